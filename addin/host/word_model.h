// The substitute word processor: takes the add-in's commands (a command number and its argument block,
// as `wdCommandDispatch` receives them) and keeps what they build: the document with an insertion point
// at its end, the registered commands, the toolbars, the key bindings, three option groups, the message
// boxes and the prompts' replies. It can log each command and make chosen calls fail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bridge.h"

namespace wordhost {

struct DocChar {
  unsigned char code;
  std::string font;
  int size;
};

struct Button {
  int position;
  std::string command;
  std::string text;
};

struct Toolbar {
  int width = 0;
  std::vector<Button> buttons;
};

struct Message {
  std::string title;
  std::string text;
};

class WordModel {
 public:
  WordModel();

  std::int32_t dispatch(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                        tibet::command_arg* args, tibet::command_arg* ret);

  // Says whether the add-in exports a function of this name; commands that name none are refused.
  std::function<bool(const std::string&)> export_exists;
  // Where the log lines, message boxes and prompts are printed as they happen (null: nowhere).
  std::FILE* out = nullptr;
  bool log_commands = false;
  std::int16_t library_id = 1;

  // Script controls.
  void queue_reply(std::optional<std::string> reply) { replies_.push_back(std::move(reply)); }
  void set_option(std::uint16_t group, std::uint16_t field, std::int16_t value) {
    options_[group][field] = value;
  }
  // The nth call (from 1) of `id` fails with result 1; n 0 makes every call fail.
  void fail_call(std::uint16_t id, int nth) { failures_.push_back({id, nth}); }
  // A key press that no binding takes: the word processor's own typing.
  void press_unbound(int key_code);

  const std::vector<DocChar>& document() const { return document_; }
  const std::map<std::string, std::string>& commands() const { return commands_; }
  const std::map<std::string, Toolbar>& toolbars() const { return toolbars_; }
  const std::map<int, std::string>& bindings() const { return bindings_; }
  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<std::string>& calls() const { return calls_; }
  std::int16_t option(std::uint16_t group, std::uint16_t field) const;
  const std::string& font() const { return font_; }
  int size() const { return size_; }

  // One line for a command: its id in hex, the dialog options, then each argument.
  static std::string format_call(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                                 const tibet::command_arg* args);

 private:
  struct Failure {
    std::uint16_t id;
    int nth;
  };

  std::int32_t run(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                   tibet::command_arg* args, tibet::command_arg* ret);
  void insert(unsigned char code);
  void erase_back(int n);
  void print(const std::string& line);

  std::vector<DocChar> document_;
  std::string font_ = "Times New Roman";
  int size_ = 12;
  std::map<std::string, std::string> commands_;  // name -> description
  std::map<std::string, Toolbar> toolbars_;
  std::map<int, std::string> bindings_;  // key code -> command
  std::map<std::uint16_t, std::map<std::uint16_t, std::int16_t>> options_;
  std::vector<Message> messages_;
  std::vector<std::string> calls_;
  std::deque<std::optional<std::string>> replies_;
  std::vector<Failure> failures_;
  std::map<std::uint16_t, int> call_counts_;
};

}  // namespace wordhost
