// The RTF writer: reads the glyph-code file (character codes, font switches 129..255, line breaks 10 and
// the passage markers 19..24) and writes a complete RTF document in one Tibetan font family to the output.
// Also the RTF font table: the roman font, then the 34 fonts of Korlam and the 34 of Ekorlam.
#pragma once

#include <cstdint>

#include "font_names.h"
#include "platform/stream.h"

namespace tarvex {

struct FontEntry {
  std::int32_t number;  // written after \f
  const char* name;
};

inline constexpr int kRtfFontCount = 1 + tsd::kTibetanFontCount;
inline constexpr int kMaxRtfFonts = 128;  // room for the prepared font-switch strings
inline constexpr int kKorlamBase = 1;
inline constexpr int kEkorlamBase = 35;
inline constexpr int kRomanSize = 24;

// Fills fonts[0..68] and returns 69.
int build_font_table(FontEntry* fonts);

// Returns 0, or -1 when any write to `out` failed, a read of `glyphs` failed or `font_count` is not 1..128.
// Neither stream is closed.
int write_rtf(tsd::Stream& glyphs, tsd::Stream& out, const FontEntry* fonts, int font_count, int font_base,
              int roman_size, int tib_size, int small_tib_size);

}  // namespace tarvex
