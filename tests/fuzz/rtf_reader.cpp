// Any bytes as an RTF document in the Tsendrel fonts: the reader succeeds, writes UTF-8 with no control
// byte but tab and line break, places every warning in a paragraph it wrote, and reads the same document
// whether it is fed whole or cut in two anywhere (the first byte chooses where).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bundled_glyphs.h"
#include "fuzz_support.h"
#include "glyph_text.h"
#include "hub_of.h"
#include "rtf_reader.h"

using namespace tarvex;

namespace {

struct Run {
  int result;
  std::string hub;
  ReaderReport report;
};

Run run(std::string_view rtf, std::size_t cut) {
  tsd::fuzz::HubText out;
  Run r;
  {
    HubOut hub(out.sink());
    DocumentText text(tsd::fuzz::bundled_tables<tsd::kConverterForms>(), &tsd::fuzz::bundled_glyphs(), hub,
                      &r.report);
    RtfReader reader(text);
    const auto* p = reinterpret_cast<const unsigned char*>(rtf.data());
    reader.feed(p, cut);
    reader.feed(p + cut, rtf.size() - cut);
    reader.finish();
    r.result = text.finish();
  }
  r.hub = std::move(out.text);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rtf = tsd::fuzz::text_of(data + 1, size - 1);
  const Run whole = run(rtf, 0);
  const Run cut = run(rtf, data[0] % (rtf.size() + 1));
  tsd::fuzz::require(whole.result == 0, "the reader succeeds");
  tsd::fuzz::require(tsd::fuzz::valid_utf8(whole.hub), "the hub is UTF-8");
  tsd::fuzz::require(
      std::none_of(whole.hub.begin(), whole.hub.end(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n'; }),
      "the hub holds no control byte but tab and line break");
  const auto paragraphs =
      static_cast<std::uint32_t>(std::count(whole.hub.begin(), whole.hub.end(), '\n') + 1);
  for (const ReaderWarning& w : whole.report.warnings)
    tsd::fuzz::require(w.paragraph >= 1 && w.paragraph <= paragraphs && w.position >= 1,
                       "every warning lies in a paragraph of the document");
  tsd::fuzz::require(cut.hub == whole.hub, "a document cut in two reads as the whole");
  tsd::fuzz::require(cut.report.warnings.size() == whole.report.warnings.size(),
                     "a document cut in two warns as the whole");
  return 0;
}
