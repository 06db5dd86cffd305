// A font.def file of any bytes read by the add-in: the defaults are either all the file's (a family,
// sizes of 1..1999, a name of at most 63 characters) or all the built-in ones, and saving them then
// reading the saved file gives them back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "addin.h"
#include "fuzz_support.h"
#include "platform/addin_folder.h"

namespace {

using tibet::FontDefaults;

// Message boxes of a failed save have no word processor to go to.
std::int32_t TIBET_CALL no_host(std::uint16_t, std::uint16_t, std::uint16_t, tibet::command_arg*,
                                tibet::command_arg*) {
  return 0;
}

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
  using namespace tsd;
  static const bool ready = [] {
    tibet::set_dispatcher(no_host);
    return set_addin_folder(fuzz::folder().path().c_str()) == 0;
  }();
  fuzz::require(ready, "the add-in's folder is set");
  fuzz::write_file("font.def", data, size);
  // What start-up holds before it reads the file.
  tibet::defaults = FontDefaults{};
  tibet::load_font_defaults();
  const FontDefaults loaded = tibet::defaults;
  check(loaded);
  fuzz::require(tibet::save_font_defaults() == 0, "the defaults are saved");
  tibet::defaults = FontDefaults{};
  tibet::load_font_defaults();
  fuzz::require(same(tibet::defaults, loaded), "saved defaults read back the same");
  return 0;
}
