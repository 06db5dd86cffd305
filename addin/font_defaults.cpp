#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "addin.h"
#include "platform/addin_folder.h"
#include "platform/path.h"
#include "platform/stream.h"
#include "text_input.h"

namespace tibet {

namespace {

// Larger than any accepted value, so an overlong number is rejected instead of wrapping.
constexpr long kSaturate = 1L << 20;

bool valid_size(long size) {
  return size >= 1 && size <= 1999;
}

template <class In>
FontDefaults read_defaults(In& in, const FontDefaults& current) {
  FontDefaults read = current;
  long family_base = read.family_base;
  long tibetan_size = read.tibetan_size;
  long alt_size = read.alt_size;
  if (tsd::read_decimal(in, kSaturate, family_base)) tsd::read_decimal(in, kSaturate, tibetan_size);
  // The first line read takes the rest of the size's line, the second the name's line; a line past the
  // end leaves the name as it was.
  char line[kAltFontSize];
  for (int i = 0; i < 2; ++i)
    if (tsd::Get_line(line, kAltFontSize, &in) > 0) std::memcpy(read.alt_font, line, sizeof line);
  const std::size_t length = std::strlen(read.alt_font);
  if (length > 0 && read.alt_font[length - 1] == '\n') read.alt_font[length - 1] = '\0';
  tsd::read_decimal(in, kSaturate, alt_size);

  const bool names_family = family_base == 0 || family_base == fonts_per_family;
  if (!names_family || !valid_size(tibetan_size) || !valid_size(alt_size)) return kDefaultFonts;
  read.family_base = static_cast<std::int16_t>(family_base);
  read.tibetan_size = static_cast<std::int16_t>(tibetan_size);
  read.alt_size = static_cast<std::int16_t>(alt_size);
  return read;
}

}  // namespace

FontDefaults read_font_defaults(tsd::Stream& in, const FontDefaults& current) {
  return read_defaults(in, current);
}

FontDefaults read_font_defaults(tsd::TextBytes in, const FontDefaults& current) {
  return read_defaults(in, current);
}

void Addin::load_font_defaults() {
  const std::string path = tsd::join_path(tsd::addin_folder(), "font.def");
  tsd::Stream in = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
  defaults = in.is_open() ? read_font_defaults(in, defaults) : kDefaultFonts;
}

int format_font_defaults(const FontDefaults& d, char* text, int size) {
  return std::snprintf(text, static_cast<std::size_t>(size), "%d\n%d\n%s\n%d\n", d.family_base,
                       d.tibetan_size, d.alt_font, d.alt_size);
}

int Addin::save_font_defaults() {
  const std::string folder = tsd::addin_folder();
  const std::string tmp_path = tsd::join_path(folder, "font.tmp");
  const std::string def_path = tsd::join_path(folder, "font.def");
  char text[kFontDefTextSize];
  format_font_defaults(defaults, text, sizeof text);

  tsd::Stream out = tsd::Stream::open_write(tmp_path.c_str(), tsd::Stream::Mode::text);
  bool saved = false;
  if (out.is_open()) {
    const bool written = out.write(text) >= 0;
    saved = out.close() == 0 && written && tsd::replace_file(tmp_path.c_str(), def_path.c_str()) == 0;
    if (!saved) std::remove(tmp_path.c_str());
  }
  if (!saved) {
    const std::string message = "Error: Cannot save default font information in " + tmp_path +
                                ". Please check whether your disk is full.";
    show_error(message.c_str());
    return -1;
  }
  return 0;
}

}  // namespace tibet
