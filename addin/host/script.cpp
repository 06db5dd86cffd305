#include "script.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "keyboard.h"

namespace wordhost {
namespace {

// A whole decimal or 0x-prefixed number.
bool parse_number(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 0);
  return *end == '\0';
}

class Host {
 public:
  Host(const ExportLookup& lookup, WordModel& model, std::FILE* errors)
      : lookup_(lookup), model_(model), errors_(errors) {}

  // Calls wdAutoOpen before the first command that needs the add-in; false when start-up failed.
  bool open() {
    if (opened_) return true;
    opened_ = true;
    auto auto_open = reinterpret_cast<std::int16_t(TIBET_CALL*)(std::int16_t)>(lookup_("wdAutoOpen"));
    if (auto_open == nullptr) {
      std::fprintf(errors_, "wordhost: the library exports no wdAutoOpen\n");
      return false;
    }
    return auto_open(model_.library_id) != 0;
  }

  void unload() {
    if (!opened_ || unloaded_) return;
    unloaded_ = true;
    if (auto auto_remove = reinterpret_cast<std::int32_t(TIBET_CALL*)()>(lookup_("wdAutoRemove")))
      auto_remove();
  }

  bool run_export(const std::string& name) {
    auto command = reinterpret_cast<int(TIBET_CALL*)()>(lookup_(name.c_str()));
    if (command == nullptr) return false;
    command();
    return true;
  }

  bool press(int key_code) {
    const auto binding = model_.bindings().find(key_code);
    if (binding == model_.bindings().end()) {
      model_.press_unbound(key_code);
      return true;
    }
    return run_export(binding->second);
  }

  bool opened() const { return opened_; }

 private:
  const ExportLookup& lookup_;
  WordModel& model_;
  std::FILE* errors_;
  bool opened_ = false;
  bool unloaded_ = false;
};

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

enum class LineResult { ok, bad_line, start_failed };

LineResult run_line(Host& host, WordModel& model, const std::string& line, std::string& error) {
  // The text after the command word and one blank is taken as it is, leading and trailing blanks included.
  const std::size_t blank = line.find_first_of(" \t");
  const std::string command = line.substr(0, blank);
  const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
  const std::string name = trimmed(rest);

  if (command == "reply") {
    model.queue_reply(rest);
    return LineResult::ok;
  }
  if (command == "cancel") {
    model.queue_reply(std::nullopt);
    return LineResult::ok;
  }
  if (command == "option" || command == "fail") {
    std::istringstream numbers(rest);
    std::string a, b, c, extra;
    numbers >> a >> b >> c >> extra;
    long group = 0, field = 0, value = 0;
    if (command == "option" && parse_number(a, group) && parse_number(b, field) && parse_number(c, value) &&
        extra.empty()) {
      model.set_option(static_cast<std::uint16_t>(group), static_cast<std::uint16_t>(field),
                       static_cast<std::int16_t>(value));
      return LineResult::ok;
    }
    long nth = 0;
    if (command == "fail" && parse_number(a, group) && (b.empty() || (parse_number(b, nth) && nth > 0)) &&
        c.empty()) {
      model.fail_call(static_cast<std::uint16_t>(group), static_cast<int>(nth));
      return LineResult::ok;
    }
    error = "expected " + std::string(command == "option" ? "option GROUP FIELD VALUE" : "fail ID [N]");
    return LineResult::bad_line;
  }

  if (command != "type" && command != "key" && command != "button" && command != "run" &&
      command != "unload") {
    error = "unknown command \"" + command + "\"";
    return LineResult::bad_line;
  }
  if (!host.open()) return LineResult::start_failed;
  if (command == "type") {
    for (const char c : rest) {
      const int key_code = key_for_char(c);
      if (key_code < 0) {
        error = "no key types character " + std::to_string(static_cast<unsigned char>(c));
        return LineResult::bad_line;
      }
      host.press(key_code);
    }
  } else if (command == "key") {
    long key_code = 0;
    if (!parse_number(name, key_code) || key_code < 0 || key_code > 0xFFFF) {
      error = "expected key CODE";
      return LineResult::bad_line;
    }
    host.press(static_cast<int>(key_code));
  } else if (command == "button") {
    for (const auto& toolbar : model.toolbars()) {
      for (const Button& button : toolbar.second.buttons) {
        if (button.text == name)
          return host.run_export(button.command) ? LineResult::ok : LineResult::bad_line;
      }
    }
    error = "no button \"" + name + "\"";
    return LineResult::bad_line;
  } else if (command == "run") {
    if (model.commands().count(name) == 0 || !host.run_export(name)) {
      error = "no command \"" + name + "\"";
      return LineResult::bad_line;
    }
  } else {
    host.unload();
  }
  return LineResult::ok;
}

}  // namespace

int run_script(std::istream& script, WordModel& model, const ExportLookup& lookup, std::FILE* errors) {
  Host host(lookup, model, errors);
  std::string line;
  std::string error;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const LineResult result = run_line(host, model, line.substr(start), error);
    if (result == LineResult::start_failed) return 2;
    if (result == LineResult::bad_line) {
      std::fprintf(errors, "wordhost: line %d: %s\n", number, error.c_str());
      return 1;
    }
  }
  if (!host.open()) return 2;
  host.unload();
  return 0;
}

}  // namespace wordhost
