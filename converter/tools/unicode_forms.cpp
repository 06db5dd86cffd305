// tsendrel-unicode-forms: loads DIR/keyfont and prints, for every entry and form 0..17, where the form
// lives and what it means in Unicode, one line each:
//   <entry-index> <entry-string> <form> <font> <code> <kind> <U+XXXX U+YYYY ...>
// kind is "base" for the forms that draw the whole letter or stack (0, 2, 16, 17) and "mark" for the
// vowel-sign forms, whose code points are the cluster the sign sits on followed by the sign; "-" stands
// for the code points of a form that means nothing in Unicode.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "keyfont.h"
#include "platform/path.h"
#include "unicode_keys.h"

using namespace tarvex;

namespace {

void print_usage(std::FILE* out) {
  std::fputs(
      "usage: tsendrel-unicode-forms --data-dir DIR\n"
      "Prints one line per entry of DIR/keyfont and form 0..17: entry index, entry string, form, font,\n"
      "code, kind (base or mark) and the Unicode code points of the form, or \"-\".\n",
      out);
}

void report_to_stderr(const char* message) {
  std::fprintf(stderr, "%s\n", message);
}

bool is_whole_form(int form) {
  return form == tsd::kFormBase || form == tsd::kFormJoinedU || form == tsd::kFormApostropheBase ||
         form == tsd::kFormApostropheJoinedU;
}

// The code points of well-formed UTF-8 of at most three bytes a character, as the key table writes it.
std::string code_points(const char* utf8, int length) {
  std::string out;
  for (int i = 0; i < length;) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : 2;
    unsigned c = extra == 0 ? b : extra == 1 ? b & 0x1Fu : b & 0x0Fu;
    for (int k = 1; k <= extra && i + k < length; ++k) c = (c << 6) | (utf8[i + k] & 0x3Fu);
    char text[16];
    std::snprintf(text, sizeof text, "%sU+%04X", out.empty() ? "" : " ", c);
    out += text;
    i += extra + 1;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
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
  if (dir.empty()) {
    print_usage(stderr);
    return 2;
  }
  const std::string path = tsd::join_path(dir, "keyfont");
  std::vector<tsd::TibChar<tsd::kConverterForms>> entries(tsd::kTibCharsCapacity);
  const int count = tsd::load_keyfont(path.c_str(), entries.data(), tsd::kTibCharsCapacity, report_to_stderr);
  if (count < 1) {
    std::fprintf(stderr, "Could not load the key-font table %s.\n", path.c_str());
    return 2;
  }
  char utf8[64];
  for (int i = 0; i < count; ++i) {
    const auto& e = entries[static_cast<std::size_t>(i)];
    for (int form = 0; form < tsd::kFormCount; ++form) {
      const int n = entry_form_unicode(e.string, form, utf8, sizeof utf8);
      std::printf("%d %s %d %d %d %s %s\n", i, e.string, form, e.font_table[form], e.font_slot[form],
                  is_whole_form(form) ? "base" : "mark", n > 0 ? code_points(utf8, n).c_str() : "-");
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
