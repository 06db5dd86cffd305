// A font.def file of any bytes read by the add-in: the defaults are either all the file's (a family,
// sizes of 1..1999, a name of at most 63 characters) or all the built-in ones, and the text that saving
// them writes reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "addin.h"
#include "fuzz_support.h"

namespace {

using tibet::FontDefaults;

bool same(const FontDefaults& a, const FontDefaults& b) {
  return a.family_base == b.family_base && a.tibetan_size == b.tibetan_size && a.alt_size == b.alt_size &&
         std::strcmp(a.alt_font, b.alt_font) == 0;
}

void check(const FontDefaults& d) {
  using tsd::fuzz::require;
  require(d.family_base == 0 || d.family_base == tibet::fonts_per_family, "the family is Korlam or Ekorlam");
  require(d.tibetan_size >= 1 && d.tibetan_size <= 1999, "the Tibetan size is 1..1999");
  require(d.alt_size >= 1 && d.alt_size <= 1999, "the alternate size is 1..1999");
  require(strnlen(d.alt_font, sizeof d.alt_font) < sizeof d.alt_font, "the name ends within its field");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // What start-up holds before it reads the file.
  const FontDefaults loaded = tibet::read_font_defaults(tsd::TextBytes(tsd::fuzz::text_of(data, size)), {});
  check(loaded);
  char saved[tibet::kFontDefTextSize];
  const int length = tibet::format_font_defaults(loaded, saved, sizeof saved);
  tsd::fuzz::require(length > 0 && length < static_cast<int>(sizeof saved), "the saved text fits");
  // The file holds the text as a text-mode stream writes it.
  std::string file;
  for (int i = 0; i < length; ++i) file += saved[i] == '\n' ? std::string("\r\n") : std::string(1, saved[i]);
  const FontDefaults again = tibet::read_font_defaults(tsd::TextBytes(file), {});
  tsd::fuzz::require(same(again, loaded), "saved defaults read back the same");
  return 0;
}
