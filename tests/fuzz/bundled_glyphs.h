// The glyph table of the bundled key tables, filled once as the converter fills it when it loads them:
// for the targets that read documents. Reads the data folder of the source tree.
#pragma once

#include "fuzz_support.h"
#include "glyph_text.h"

namespace tsd::fuzz {

inline const tarvex::GlyphTable& bundled_glyphs() {
  static const tarvex::GlyphTable glyphs(bundled_tables<kConverterForms>());
  return glyphs;
}

}  // namespace tsd::fuzz
