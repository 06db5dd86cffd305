// Any bytes read as Extended Wylie straight into the Tsendrel writer, which then takes the syllables the
// reader knows as tokens, give the document, counts and warnings that the reader's hub read as bytes gives.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ewts_reader.h"
#include "fuzz_support.h"
#include "hub_rtf.h"
#include "rtf_writer.h"

using namespace tarvex;

namespace {

struct Written {
  std::string rtf;
  ReaderReport read, written;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto fonts = [] {
    std::array<FontEntry, kRtfFontCount> f{};
    build_font_table(f.data());
    return f;
  }();
  const HubRtfRequest request{fonts.data(), kRtfFontCount, kEkorlamBase, kRomanSize, 56, 48};
  const auto& tables = tsd::fuzz::bundled_tables<tsd::kConverterForms>();
  // Repeated, so that the reader meets its syllables again and hands them on as tokens.
  std::string ewts(tsd::fuzz::text_of(data, size));
  for (int i = 0; i < 3; ++i) ewts += ewts;
  const bool keep_cr = size % 2 == 0;

  Written direct, through;
  {
    tsd::Stream in = tsd::fuzz::stream_of(ewts);
    tsd::Stream out = tsd::fuzz::memory_stream();
    tsd::SyllableState state;
    HubRtfWriter writer(out, tables, state, request, &direct.written);
    HubOut hub(writer.sink());
    tsd::fuzz::require(ewts_to_hub(in, hub, keep_cr, &direct.read) == 0, "the reader succeeds");
    tsd::fuzz::require(writer.finish() == 0, "the writer succeeds");
    direct.rtf = tsd::fuzz::contents(out);
  }
  {
    tsd::Stream in = tsd::fuzz::stream_of(ewts);
    tsd::Stream hub = tsd::fuzz::memory_stream();
    tsd::fuzz::require(ewts_to_hub(in, hub, keep_cr, &through.read) == 0, "the reader succeeds");
    hub.rewind();
    tsd::Stream out = tsd::fuzz::memory_stream();
    tsd::SyllableState state;
    tsd::fuzz::require(write_hub_rtf(hub, out, tables, state, request, &through.written) == 0,
                       "the writer succeeds");
    through.rtf = tsd::fuzz::contents(out);
  }
  tsd::fuzz::require(direct.rtf == through.rtf, "the same document either way");
  tsd::fuzz::require(direct.written.syllables == through.written.syllables &&
                         direct.written.not_converted == through.written.not_converted,
                     "the same counts either way");
  tsd::fuzz::require(direct.written.warnings.size() == through.written.warnings.size(),
                     "the same warnings either way");
  for (std::size_t i = 0; i < direct.written.warnings.size(); ++i)
    tsd::fuzz::require(direct.written.warnings[i].offset == through.written.warnings[i].offset &&
                           direct.written.warnings[i].text == through.written.warnings[i].text,
                       "each warning at the same place either way");
  return 0;
}
