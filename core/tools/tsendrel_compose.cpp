// tsendrel-compose: types the bytes of standard input into the composer and prints, for each key, its code,
// the composer's result and the glyph string, so a table author can check a keyfont/keymap pair.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "composer.h"
#include "platform/data_folder.h"
#include "platform/path.h"
#include "platform/stream.h"

namespace {

void print_usage(std::FILE* out) {
  std::fputs(
      "usage: tsendrel-compose [--data-dir DIR]\n"
      "Loads keyfont and keymap from DIR (default: the current directory if it holds keyfont, else the\n"
      "installed tables in ../share/tsendrel from the program's folder), feeds each byte of standard\n"
      "input to the syllable composer and prints one line per key: the key code, the result, a colon,\n"
      "then the bytes of the glyph string, all in decimal (for example \"102 1: 39\").\n",
      out);
}

void report_to_stderr(const char* message) {
  std::fprintf(stderr, "%s\n", message);
}

tsd::KeyTables<tsd::kConverterForms> tables;

}  // namespace

int main(int argc, char** argv) {
  // What the program prints and reads is the same bytes on every platform.
  tsd::binary_stdio();
  std::optional<std::string> dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--data-dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      print_usage(stdout);
      return 0;
    } else {
      print_usage(stderr);
      return 2;
    }
  }
  const std::string folder = dir ? *dir : tsd::default_data_folder();
  const std::string keyfont = tsd::join_path(folder, "keyfont");
  const std::string keymap = tsd::join_path(folder, "keymap");
  switch (tsd::load_key_tables(keyfont.c_str(), keymap.c_str(), tables, report_to_stderr)) {
    case -1:
      std::fprintf(stderr, "Could not load the key-font table %s.\n", keyfont.c_str());
      return 2;
    case -2:
      std::fprintf(stderr, "Could not load the keymap %s.\n", keymap.c_str());
      return 2;
    default:
      break;
  }
  unsigned char glyphs[tsd::kGlyphBufferSize];
  tsd::SyllableState state;
  for (int key = std::getchar(); key != EOF; key = std::getchar()) {
    const int result = tsd::compose_key(key, glyphs, tables, state);
    std::printf("%d %d:", key, result);
    for (const unsigned char* g = glyphs; *g; ++g) std::printf(" %d", *g);
    std::putchar('\n');
  }
  return 0;
}
