#include "rtf_writer.h"

#include "rtf_pieces.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "char_class.h"
#include "font_names.h"

namespace tarvex {

namespace {

constexpr const char* kRomanFontName = "Courier";

constexpr int kFirstFontNumber = 40;

}  // namespace

std::string rtf_document_start(const FontEntry* fonts, int font_count) {
  std::string start = "{\\rtf1\\ansi \\deff69\\deflang1033 {\\fonttbl";
  for (int i = 0; i < font_count; ++i) {
    char declaration[kPreparedSize * 2];
    const int n = std::snprintf(declaration, sizeof declaration, "{\\f%d\\fnil\\fcharset0\\fprq2 %s;}",
                                fonts[i].number, fonts[i].name);
    if (n > 0)
      start.append(declaration, static_cast<std::size_t>(n) < sizeof declaration ? n : sizeof declaration - 1);
  }
  start += '}';
  return start;
}

int build_font_table(FontEntry* fonts) {
  fonts[0] = FontEntry{kFirstFontNumber, kRomanFontName};
  for (int i = 1; i < kRtfFontCount; ++i)
    fonts[i] = FontEntry{kFirstFontNumber + i, tsd::kFontNames[i - 1].data()};
  return kRtfFontCount;
}

int write_rtf(tsd::Stream& glyphs, tsd::Stream& out, const FontEntry* fonts, int font_count, int font_base,
              int roman_size, int tib_size, int small_tib_size) {
  if (font_count < 1 || font_count > kMaxRtfFonts) return -1;
  const PieceTable table(fonts, font_count, font_base, roman_size, tib_size, small_tib_size);
  {
    BlockOutput doc(out);
    TsendrelRtf<BlockOutput> rtf(doc, table, fonts, font_count);
    tsd::read_rest(glyphs, [&rtf](const unsigned char* p, std::size_t n) {
      rtf.glyphs(p, n);
      return true;
    });
    rtf.finish();
  }
  if (out.flush() != 0 || out.error() || glyphs.error()) return -1;
  return 0;
}

}  // namespace tarvex
