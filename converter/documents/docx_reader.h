// The DOCX reader: opens the ZIP container held in memory (libzip) and reads `word/document.xml` with
// expat, handing `DocumentText` its paragraphs (`w:p`), runs (`w:r`) with their font (`w:rFonts`) and size
// (`w:sz`), text (`w:t`), tabs (`w:tab`), breaks (`w:br`, `w:cr`) and symbols (`w:sym`); the default run
// font and size come from `word/styles.xml`. A part that would unpack to more than 256 MiB is not read.
// Built only with TSENDREL_DOCX; writes nothing itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "glyph_text.h"

namespace tarvex {

inline constexpr std::uint64_t kMostDocxPart = std::uint64_t{256} << 20;

// 0, or -1 when the container or its document part cannot be read, `why` then saying so.
int docx_to_text(std::string_view bytes, DocumentText& text, std::string& why);

}  // namespace tarvex
