// wordhost: the substitute word processor. Loads the add-in library, calls its wdAutoOpen, then plays a
// script of key presses, button clicks, prompt replies and option changes read from a file or standard
// input; prints message boxes (and every command with --log), and writes the document with --dump/--rtf.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "platform/addin_folder.h"
#include "platform/data_folder.h"
#include "platform/dynamic_library.h"
#include "platform/path.h"
#include "platform/stream.h"
#include "script.h"
#include "word_model.h"

namespace {

wordhost::WordModel* g_model = nullptr;

constexpr const char* kUsage =
    "usage: wordhost [--library PATH] [--home DIR] [--log] [--dump] [--rtf OUT] [SCRIPT]\n";

// --help, from which the manual page is made too.
constexpr const char* kHelp =
    R"(Usage: wordhost [--library PATH] [--home DIR] [--log] [--dump] [--rtf OUT] [SCRIPT]

Stands in for the word processor: loads the TIBET keyboard add-in, calls its wdAutoOpen and plays
SCRIPT (or standard input), one command a line: "type TEXT" presses the keys of TEXT on a US
keyboard, "key CODE" a key code (virtual key + 256 Ctrl + 512 Shift + 1024 Alt), "button TEXT"
clicks a toolbar button ("Tibetan On", "Tibetan Off", "Tibetan Font", "Alternate Font"), "run NAME"
runs a registered command, "reply TEXT" and "cancel" answer the next prompt, "option GROUP FIELD
VALUE" sets an option of the word processor, "fail ID [N]" makes the Nth call (or every call) of
command ID fail, and "unload" calls wdAutoRemove. Lines starting with "#" are comments. Prints
the add-in's message boxes.

Options:
  --library PATH  the add-in library (default: libTIBET.so where it is installed beside
                  wordhost, or where the build put it, else from the library path)
  --home DIR      the add-in's folder, where it reads keyfont and keymap and keeps font.def
                  (default: $TSENDREL_DIR when set, else $HOME/Tsendrel)
  --log           print every command the add-in issues
  --dump          print each character of the document: its code, font and size
  --rtf OUT       write the document as RTF to OUT
  --help          show this text

Exit status:
  0 when the script ran; 1 for bad usage, a bad script line or a file that cannot be read or
  written; 2 when the library does not load or the add-in does not start.
)";

// The add-in beside the installed program, or where the build put it; else its name alone.
std::string default_library() {
#ifdef WORDHOST_ADDIN_WHEN_INSTALLED
  const std::string program = tsd::program_folder();
  if (!program.empty())
    for (const char* folder : {WORDHOST_ADDIN_WHEN_INSTALLED, WORDHOST_ADDIN_WHEN_BUILT}) {
      const std::string path = tsd::join_path(tsd::join_path(program, folder), WORDHOST_DEFAULT_LIBRARY);
      if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return path;
      }
    }
#endif
  return WORDHOST_DEFAULT_LIBRARY;
}

struct Options {
  std::string library;  // none named: default_library()
  const char* home = nullptr;
  bool log = false;
  bool dump = false;
  const char* rtf = nullptr;
  const char* script = nullptr;
  bool help = false;
};

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--library" && has_value) {
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
  if (options.help) {
    std::fputs(kHelp, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
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

  if (options.library.empty()) options.library = default_library();
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
  const int status = wordhost::run_script(
      script, model, [&library](const char* name) { return library.symbol(name); }, stderr);
  if (status != 0) return status;
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
