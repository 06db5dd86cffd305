// Any bytes made a hub by the Unicode reader and written as Tsendrel RTF with the bundled tables: the
// writer succeeds, the document's groups nest and close, and every warning lies inside the hub.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "hub_of.h"
#include "hub_rtf.h"
#include "rtf_writer.h"
#include "stack_keys.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto fonts = [] {
    std::array<FontEntry, kRtfFontCount> f{};
    build_font_table(f.data());
    return f;
  }();
  const std::string hub = tsd::fuzz::unicode_hub_of(tsd::fuzz::text_of(data, size), size % 2 == 0);
  tsd::Stream in = tsd::fuzz::stream_of(hub);
  tsd::Stream out = tsd::fuzz::memory_stream();
  tsd::SyllableState state;
  ReaderReport problems;
  // Built once, as the converter builds them when it loads its tables.
  static const StackKeys keys(tsd::fuzz::bundled_tables<tsd::kConverterForms>());
  const HubRtfRequest request{fonts.data(), kRtfFontCount, kEkorlamBase, kRomanSize, 56, 48, &keys};
  tsd::fuzz::require(write_hub_rtf(in, out, tsd::fuzz::bundled_tables<tsd::kConverterForms>(), state, request,
                                   &problems) == 0,
                     "the writer succeeds");
  const std::string rtf = tsd::fuzz::contents(out);
  tsd::fuzz::require(rtf.rfind("{\\rtf1", 0) == 0, "the document starts with its header");
  tsd::fuzz::require(tsd::fuzz::groups_balanced(rtf), "the document's groups nest and close");
  for (const ReaderWarning& w : problems.warnings)
    tsd::fuzz::require(w.length >= 1 && w.offset + w.length <= hub.size(),
                       "every warning lies inside the hub");
  tsd::fuzz::require(problems.not_converted <= problems.syllables + static_cast<std::int64_t>(hub.size()),
                     "no more markers than places");
  return 0;
}
