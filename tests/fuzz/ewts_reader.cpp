// EWTS of any bytes through the Extended Wylie reader, lines kept and joined: it must succeed, write UTF-8
// with no control byte but tab and line break, warn only about bytes of the input, and write no more line
// breaks when joining lines than when keeping them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ewts_reader.h"
#include "fuzz_support.h"
#include "hub_of.h"

using namespace tarvex;

namespace {

struct Run {
  int result;
  std::string hub;
  ReaderReport report;
};

Run run(std::string_view ewts, bool keep_cr) {
  tsd::Stream in = tsd::fuzz::stream_of(ewts);
  tsd::fuzz::HubText out;
  Run r;
  HubOut hub(out.sink());
  r.result = ewts_to_hub(in, hub, keep_cr, &r.report);
  r.hub = std::move(out.text);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view ewts = tsd::fuzz::text_of(data, size);
  const Run kept = run(ewts, true);
  const Run joined = run(ewts, false);
  for (const Run* r : {&kept, &joined}) {
    tsd::fuzz::require(r->result == 0, "the reader succeeds");
    tsd::fuzz::require(tsd::fuzz::valid_utf8(r->hub), "the hub is UTF-8");
    tsd::fuzz::require(
        std::none_of(r->hub.begin(), r->hub.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n'; }),
        "the hub holds no control byte but tab and line break");
    for (const ReaderWarning& w : r->report.warnings)
      tsd::fuzz::require(w.length >= 1 && w.offset + w.length <= std::max<std::size_t>(size, 1),
                         "every warning lies inside the input");
  }
  tsd::fuzz::require(std::count(joined.hub.begin(), joined.hub.end(), '\n') <=
                         std::count(kept.hub.begin(), kept.hub.end(), '\n'),
                     "joined lines have no more line breaks than kept ones");
  tsd::fuzz::require(kept.report.warnings.size() == joined.report.warnings.size(),
                     "joining lines changes no warning");
  return 0;
}
