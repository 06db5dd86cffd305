// The Writer host's document commands: the Tibetan of a document turned in place between the Tsendrel
// fonts and Unicode, on the selection or, when nothing is selected, on the whole document (body, tables,
// frames, headers and footers). Each stretch of Tibetan (characters in the Tsendrel fonts; or Unicode
// Tibetan with the blanks after it) is read by the converter as tsendrel-unicode or unicode-rtf reads
// it and replaced by what it writes; other text, paragraphs and their formatting stay. Reads and writes
// the document through UNO; unicode-rtf's RTF goes through a temporary folder and is read back by Writer.
#pragma once

#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <string>

#include "startup.h"

namespace tibet::writer {

namespace css = com::sun::star;

struct ConversionOutcome {
  int stretches = 0;      // stretches of Tibetan replaced
  int not_converted = 0;  // glyphs written as U+FFFD, or syllables written as markers
  std::string error;      // why nothing was converted
};

// Text in the Tsendrel fonts → Unicode Tibetan in `unicode_font`, at its size.
ConversionOutcome document_to_unicode(const css::uno::Reference<css::frame::XFrame>& frame,
                                      const tarvex::ConverterTables& tables, const std::string& unicode_font);

// Unicode Tibetan → the Tsendrel fonts of the family at `font_base` (tarvex::kKorlamBase or
// tarvex::kEkorlamBase), at its size.
ConversionOutcome document_to_tsendrel(const css::uno::Reference<css::uno::XComponentContext>& context,
                                       const css::uno::Reference<css::frame::XFrame>& frame,
                                       const tarvex::ConverterTables& tables, int font_base);

}  // namespace tibet::writer
