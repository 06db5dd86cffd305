// Documents set in the Tsendrel fonts → the hub: tells an RTF document from a DOCX one by its first bytes
// and runs its reader (`RtfReader`, or the DOCX reader where the build has it) into `DocumentText`.
// Reads the input stream (binary) to its end; writes the hub. A document that cannot be read at all gets
// one sentence saying why; problems inside one are warnings of the report, placed by paragraph.
#pragma once

#include <cstddef>
#include <string>

#include "document.h"
#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

class GlyphTable;

enum class DocumentKind { rtf, docx, odt, doc, other };

// What a file starting with head[0 .. n) is: "{\rtf", a ZIP holding "mimetype" of an OpenDocument (odt) or
// another ZIP (docx), an OLE compound file (doc, Word 97-2003), or other.
DocumentKind document_kind(const unsigned char* head, std::size_t n);

// Whether this build reads DOCX (it needs libzip and expat).
bool reads_docx();

// 0; -1 when reading or handing the hub on failed; -2 when the document cannot be read, `why` then
// saying so in a sentence. `glyphs`: the glyph table filled once from `tables`, or null (see DocumentText).
int document_to_hub(tsd::Stream& in, HubOut& out, const ConverterKeyTables& tables, const GlyphTable* glyphs,
                    ReaderReport* report, std::string& why);

}  // namespace tarvex
