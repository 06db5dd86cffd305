// The RTF writer: reads the glyph-code file (character codes, font switches 129..255, line breaks 10 and
// the passage markers 19..24) and writes a complete RTF document in one Tibetan font family to the output.
// Also the RTF font table: the roman font, then the 34 fonts of Korlam and the 34 of Ekorlam.
#pragma once

#include <cstdint>

#include "document.h"
#include "platform/stream.h"

namespace tarvex {

// Fills fonts[0..68] and returns 69.
int build_font_table(FontEntry* fonts);

// Returns 0, or -1 when any write to `out` failed, a read of `glyphs` failed or `font_count` is not 1..128.
// Neither stream is closed.
int write_rtf(tsd::Stream& glyphs, tsd::Stream& out, const FontEntry* fonts, int font_count, int font_base,
              int roman_size, int tib_size, int small_tib_size);

}  // namespace tarvex
