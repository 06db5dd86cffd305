// wordhost: the substitute word processor. Loads the add-in library, calls its wdAutoOpen, then plays a
// script of key presses, button clicks, prompt replies and option changes read from a file or standard
// input; prints message boxes (and every command with --log), and writes the document with --dump/--rtf.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "keyboard.h"
#include "platform/addin_folder.h"
#include "platform/dynamic_library.h"
#include "platform/stream.h"
#include "word_model.h"

namespace {

wordhost::WordModel* g_model = nullptr;

constexpr const char* kUsage =
    "usage: wordhost [--library PATH] [--home DIR] [--log] [--dump] [--rtf OUT] [SCRIPT]\n";

struct Options {
  std::string library = WORDHOST_DEFAULT_LIBRARY;
  const char* home = nullptr;
  bool log = false;
  bool dump = false;
  const char* rtf = nullptr;
  const char* script = nullptr;
};

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--library" && has_value) {
      options.library = argv[++i];
    } else if (arg == "--home" && has_value) {
      options.home = argv[++i];
    } else if (arg == "--rtf" && has_value) {
      options.rtf = argv[++i];
    } else if (arg == "--log") {
      options.log = true;
    } else if (arg == "--dump") {
      options.dump = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return false;
    } else if (options.script == nullptr) {
      options.script = argv[i];
    } else {
      return false;
    }
  }
  return true;
}

// A whole decimal or 0x-prefixed number.
bool parse_number(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 0);
  return *end == '\0';
}

void append_rtf_char(std::string& out, unsigned char c) {
  if (c == 13) {
    out += "\\par\n";
  } else if (c == 9) {
    out += "\\tab ";
  } else if (c == '\\' || c == '{' || c == '}') {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c >= 32 && c < 127) {
    out += static_cast<char>(c);
  } else {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\'%02x", c);
    out += hex;
  }
}

// The document as RTF: a font table of the fonts used, then each run with its font and size.
int write_rtf(const char* path, const std::vector<wordhost::DocChar>& document) {
  std::map<std::string, int> numbers;
  std::string fonts;
  for (const wordhost::DocChar& c : document) {
    if (numbers.emplace(c.font, static_cast<int>(numbers.size())).second) {
      fonts += "{\\f" + std::to_string(numbers.size() - 1) + "\\fnil\\fcharset0 " + c.font + ";}";
    }
  }
  std::string text = "{\\rtf1\\ansi\\deff0{\\fonttbl" + fonts + "}\n";
  const wordhost::DocChar* last = nullptr;
  for (const wordhost::DocChar& c : document) {
    if (last == nullptr || last->font != c.font || last->size != c.size) {
      text += "\\f" + std::to_string(numbers[c.font]) + "\\fs" + std::to_string(c.size * 2) + " ";
    }
    append_rtf_char(text, c.code);
    last = &c;
  }
  text += "}\n";
  tsd::Stream out = tsd::Stream::open_write(path, tsd::Stream::Mode::text);
  if (!out.is_open()) return -1;
  const bool written = out.write(text) >= 0;
  return out.close() == 0 && written ? 0 : -1;
}

class Host {
 public:
  Host(tsd::DynamicLibrary& library, wordhost::WordModel& model) : library_(library), model_(model) {}

  // Calls wdAutoOpen before the first command that needs the add-in; false when start-up failed.
  bool open() {
    if (opened_) return true;
    opened_ = true;
    auto auto_open = reinterpret_cast<std::int16_t(TIBET_CALL*)(std::int16_t)>(library_.symbol("wdAutoOpen"));
    if (auto_open == nullptr) {
      std::fprintf(stderr, "wordhost: the library exports no wdAutoOpen\n");
      return false;
    }
    return auto_open(model_.library_id) != 0;
  }

  void unload() {
    if (!opened_ || unloaded_) return;
    unloaded_ = true;
    if (auto auto_remove = reinterpret_cast<std::int32_t(TIBET_CALL*)()>(library_.symbol("wdAutoRemove")))
      auto_remove();
  }

  bool run_export(const std::string& name) {
    auto command = reinterpret_cast<int(TIBET_CALL*)()>(library_.symbol(name.c_str()));
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
  tsd::DynamicLibrary& library_;
  wordhost::WordModel& model_;
  bool opened_ = false;
  bool unloaded_ = false;
};

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

enum class LineResult { ok, bad_line, start_failed };

LineResult run_line(Host& host, wordhost::WordModel& model, const std::string& line, std::string& error) {
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
      const int key_code = wordhost::key_for_char(c);
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
      for (const wordhost::Button& button : toolbar.second.buttons) {
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

#ifdef _WIN32
#define WORDHOST_EXPORT __declspec(dllexport)
#else
#define WORDHOST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" WORDHOST_EXPORT std::int32_t TIBET_CALL wdCommandDispatch(std::uint16_t id,
                                                                     std::uint16_t dialog_options,
                                                                     std::uint16_t count,
                                                                     tibet::command_arg* args,
                                                                     tibet::command_arg* ret) {
  return g_model != nullptr ? g_model->dispatch(id, dialog_options, count, args, ret) : 1;
}

int main(int argc, char** argv) {
  // What the program prints and reads is the same bytes on every platform.
  tsd::binary_stdio();
  Options options;
  if (!parse_options(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  if (options.home != nullptr) tsd::set_addin_folder(options.home);

  std::ifstream script_file;
  if (options.script != nullptr) {
    script_file.open(options.script);
    if (!script_file) {
      std::fprintf(stderr, "wordhost: cannot read %s\n", options.script);
      return 1;
    }
  }
  std::istream& script = options.script != nullptr ? script_file : std::cin;

  std::string error;
  tsd::DynamicLibrary library = tsd::DynamicLibrary::open(options.library.c_str(), error);
  if (!library.is_open()) {
    std::fprintf(stderr, "wordhost: cannot load %s: %s\n", options.library.c_str(), error.c_str());
    return 2;
  }

  wordhost::WordModel model;
  model.out = stdout;
  model.log_commands = options.log;
  model.export_exists = [&library](const std::string& name) {
    return library.symbol(name.c_str()) != nullptr;
  };
  g_model = &model;
  Host host(library, model);

  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const LineResult result = run_line(host, model, line.substr(start), error);
    if (result == LineResult::start_failed) return 2;
    if (result == LineResult::bad_line) {
      std::fprintf(stderr, "wordhost: line %d: %s\n", number, error.c_str());
      return 1;
    }
  }
  if (!host.open()) return 2;
  host.unload();
  std::fflush(stdout);

  if (options.dump) {
    for (const wordhost::DocChar& c : model.document())
      std::printf("%d %s %d\n", c.code, c.font.c_str(), c.size);
  }
  if (options.rtf != nullptr && write_rtf(options.rtf, model.document()) < 0) {
    std::fprintf(stderr, "wordhost: cannot write %s\n", options.rtf);
    return 1;
  }
  g_model = nullptr;
  return 0;
}
