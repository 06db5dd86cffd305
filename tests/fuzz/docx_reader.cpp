// Any bytes as a DOCX container: the reader reads it or says why not, and what it reads is UTF-8 with no
// control byte but tab and line break.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bundled_glyphs.h"
#include "docx_reader.h"
#include "fuzz_support.h"
#include "glyph_text.h"
#include "hub_of.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsd::fuzz::HubText out;
  ReaderReport report;
  std::string why;
  int read = 0;
  {
    HubOut hub(out.sink());
    DocumentText text(tsd::fuzz::bundled_tables<tsd::kConverterForms>(), &tsd::fuzz::bundled_glyphs(), hub,
                      &report);
    read = docx_to_text(tsd::fuzz::text_of(data, size), text, why);
    tsd::fuzz::require(text.finish() == 0, "the hub is handed on");
  }
  tsd::fuzz::require(read == 0 || (read == -1 && !why.empty()), "a document not read says why");
  const std::string& hub = out.text;
  tsd::fuzz::require(tsd::fuzz::valid_utf8(hub), "the hub is UTF-8");
  tsd::fuzz::require(
      std::none_of(hub.begin(), hub.end(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n'; }),
      "the hub holds no control byte but tab and line break");
  return 0;
}
