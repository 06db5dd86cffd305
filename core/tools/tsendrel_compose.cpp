// tsendrel-compose: types the bytes of standard input into the composer and prints, for each key, its code,
// the composer's result and the glyph string, so a table author can check a keyfont/keymap pair.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "composer.h"
#include "font_names.h"
#include "platform/data_folder.h"
#include "platform/path.h"
#include "platform/stream.h"

namespace {

void print_usage(std::FILE* out) {
  std::fputs(
      "usage: tsendrel-compose [--data-dir DIR] [--check]\n"
      "Loads keyfont and keymap from DIR (default: the current directory if it holds keyfont, else the\n"
      "installed tables in ../share/tsendrel from the program's folder), feeds each byte of standard\n"
      "input to the syllable composer and prints one line per key: the key code, the result, a colon,\n"
      "then the bytes of the glyph string, all in decimal (for example \"102 1: 39\").\n"
      "With --check it reads nothing and lists instead every glyph (font and code) that more than one\n"
      "entry or form of keyfont draws, each name on a line, the first being the one documents are read\n"
      "as; it exits with 1 when there is any.\n",
      out);
}

void report_to_stderr(const char* message) {
  std::fprintf(stderr, "%s\n", message);
}

tsd::KeyTables<tsd::kConverterForms> tables;

// The glyphs of the loaded keyfont that several entries or forms draw, every name of each; the number of
// such glyphs.
int list_shared_glyphs() {
  const tsd::GlyphIndex& index = tables.glyph_index;
  for (int font = 0; font < tsd::kFamilySize; ++font)
    for (int code = 0; code < tsd::kGlyphCodes; ++code) {
      const tsd::GlyphName& name =
          index.glyphs[static_cast<std::size_t>(font)][static_cast<std::size_t>(code)];
      if (name.names < 2) continue;
      const char* suffix = std::strchr(tsd::kFontNames[static_cast<std::size_t>(font)].data(), '-') + 1;
      std::printf("font %d (%s) code %d: %d names, read as the first\n", font, suffix, code, name.names);
      unsigned signs_listed = 0;
      for (int entry = 0; entry < tables.table_size; ++entry)
        for (int form = 0; form < tsd::kFormCount; ++form) {
          const auto& e = tables.tib_chars[static_cast<std::size_t>(entry)];
          if (e.font_table[static_cast<std::size_t>(form)] != font ||
              e.font_slot[static_cast<std::size_t>(form)] != code)
            continue;
          if (tsd::is_sign_glyph(font, form)) {
            if (signs_listed & (1u << form)) continue;
            signs_listed |= 1u << form;
            std::printf("  form %d (a sign; first of entry %d \"%s\")\n", form, entry, e.string);
          } else {
            std::printf("  entry %d \"%s\" form %d\n", entry, e.string, form);
          }
        }
    }
  if (index.shared == 0) std::printf("Every glyph of keyfont is drawn by one entry and form.\n");
  return index.shared;
}

}  // namespace

int main(int argc, char** argv) {
  // What the program prints and reads is the same bytes on every platform.
  tsd::binary_stdio();
  std::optional<std::string> dir;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--data-dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
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
  if (check) return list_shared_glyphs() == 0 ? 0 : 1;
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
