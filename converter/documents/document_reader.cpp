#include "document_reader.h"

#include <cstring>
#include <string_view>

#include "glyph_text.h"
#include "rtf_reader.h"
#if TSENDREL_DOCX
#include "docx_reader.h"
#endif

namespace tarvex {

DocumentKind document_kind(const unsigned char* head, std::size_t n) {
  const std::string_view start(reinterpret_cast<const char*>(head), n);
  if (start.starts_with("{\\rtf")) return DocumentKind::rtf;
  if (start.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return DocumentKind::doc;
  if (!start.starts_with("PK\x03\x04")) return DocumentKind::other;
  // An OpenDocument's first member is "mimetype", stored, holding the type.
  if (n >= 38 + 39 && start.substr(30, 8) == "mimetype" &&
      start.substr(38, 39).find("opendocument") != std::string_view::npos)
    return DocumentKind::odt;
  return DocumentKind::docx;
}

bool reads_docx() {
  return TSENDREL_DOCX != 0;
}

int document_to_hub(tsd::Stream& in, HubOut& out, const ConverterKeyTables& tables, const GlyphTable* glyphs,
                    ReaderReport* report, std::string& why) {
  unsigned char head[96];
  const std::size_t n = in.peek(head, sizeof head);
  const DocumentKind kind = document_kind(head, n);
  DocumentText text(tables, glyphs, out, report);
  if (kind == DocumentKind::rtf) {
    RtfReader rtf(text);
    tsd::read_rest(in, [&rtf](const unsigned char* p, std::size_t size) {
      rtf.feed(p, size);
      return true;
    });
    rtf.finish();
  } else if (kind == DocumentKind::docx) {
#if TSENDREL_DOCX
    std::string bytes;
    tsd::read_rest(in, [&bytes](const unsigned char* p, std::size_t size) {
      bytes.append(reinterpret_cast<const char*>(p), size);
      return true;
    });
    if (in.error()) return -1;
    if (docx_to_text(bytes, text, why) != 0) return -2;
#else
    why = "this build of the converter reads no DOCX documents: save the document as RTF";
    return -2;
#endif
  } else {
    why = "the file is neither an RTF nor a DOCX document";
    return -2;
  }
  const int result = text.finish();
  return result == 0 && !in.error() ? 0 : -1;
}

}  // namespace tarvex
