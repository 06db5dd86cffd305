#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "addin.h"
#include "platform/addin_folder.h"
#include "platform/path.h"
#include "platform/stream.h"

namespace tibet {

std::array<std::array<char, kFontNameSize>, kFontNameCount> font_names{};
FontDefaults defaults;

namespace {

constexpr const char* kFamilies[] = {"Korlam", "Ekorlam"};
constexpr const char* kSuffixes[] = {"a", "b", "c", "d", "e", "f", "g", "big"};
// Larger than any accepted value, so an overlong number is rejected instead of wrapping.
constexpr long kSaturate = 1L << 20;

bool is_space(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Like scanf's %d: skips white space, then an optional sign and digits. False when no digit came.
bool read_decimal(tsd::Stream& in, long& value) {
  int c = in.get();
  while (is_space(c)) c = in.get();
  bool negative = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    c = in.get();
  }
  if (c < '0' || c > '9') {
    in.unget(c);
    return false;
  }
  long number = 0;
  for (; c >= '0' && c <= '9'; c = in.get()) number = std::min(number * 10 + (c - '0'), kSaturate);
  in.unget(c);
  value = negative ? -number : number;
  return true;
}

// Like fgets: up to size - 1 characters, through the first line feed. False, with `line` untouched,
// when the file has ended.
bool read_line(tsd::Stream& in, char* line, int size) {
  int c = in.get();
  if (c == tsd::Stream::end) return false;
  int n = 0;
  for (; c != tsd::Stream::end; c = in.get()) {
    line[n++] = static_cast<char>(c);
    if (c == '\n' || n == size - 1) break;
  }
  line[n] = '\0';
  return true;
}

bool valid_size(long size) {
  return size >= 1 && size <= 1999;
}

}  // namespace

void fill_font_names() {
  int i = 0;
  for (const char* family : kFamilies) {
    for (int font = 0; font < 32; ++font) {
      const char* suffix = kSuffixes[font % 8];
      if (font < 8) {
        std::snprintf(font_names[i++].data(), kFontNameSize, "%s-%s", family, suffix);
      } else {
        std::snprintf(font_names[i++].data(), kFontNameSize, "%s-%s%d", family, suffix, font / 8);
      }
    }
    std::snprintf(font_names[i++].data(), kFontNameSize, "%s-vowa", family);
    std::snprintf(font_names[i++].data(), kFontNameSize, "%s-syma", family);
  }
}

void load_font_defaults() {
  const std::string path = tsd::join_path(tsd::addin_folder(), "font.def");
  tsd::Stream in = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
  if (!in.is_open()) {
    defaults = kDefaultFonts;
    return;
  }
  long family_base = defaults.family_base;
  long tibetan_size = defaults.tibetan_size;
  long alt_size = defaults.alt_size;
  if (read_decimal(in, family_base)) read_decimal(in, tibetan_size);
  // The first read takes the rest of the size's line, the second the name's line.
  read_line(in, defaults.alt_font, kAltFontSize);
  read_line(in, defaults.alt_font, kAltFontSize);
  const std::size_t length = std::strlen(defaults.alt_font);
  if (length > 0 && defaults.alt_font[length - 1] == '\n') defaults.alt_font[length - 1] = '\0';
  read_decimal(in, alt_size);
  in.close();

  const bool names_family = family_base == 0 || family_base == fonts_per_family;
  if (names_family && valid_size(tibetan_size) && valid_size(alt_size)) {
    defaults.family_base = static_cast<std::int16_t>(family_base);
    defaults.tibetan_size = static_cast<std::int16_t>(tibetan_size);
    defaults.alt_size = static_cast<std::int16_t>(alt_size);
  } else {
    defaults = kDefaultFonts;
  }
}

int save_font_defaults() {
  const std::string folder = tsd::addin_folder();
  const std::string tmp_path = tsd::join_path(folder, "font.tmp");
  const std::string def_path = tsd::join_path(folder, "font.def");
  char text[kAltFontSize + 64];
  std::snprintf(text, sizeof text, "%d\n%d\n%s\n%d\n", defaults.family_base, defaults.tibetan_size,
                defaults.alt_font, defaults.alt_size);

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
