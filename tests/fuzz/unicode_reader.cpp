// Any bytes through the Unicode reader, lines kept and joined: it must succeed and write the hub's form:
// UTF-8 with no control byte but tab and line break, signs in canonical order (no sign of a lower nonzero
// class after one of a higher class), none of the precomposed characters that Unicode discourages; and
// warn only about bytes of the input; and the runs it copies whole must give what it gives a character at
// a time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "hub_of.h"
#include "tibetan.h"
#include "unicode_reader.h"

using namespace tarvex;

namespace {

struct Run {
  int result;
  std::string hub;
  ReaderReport report;
};

Run run(std::string_view text, bool keep_cr, bool whole_runs = true) {
  tsd::Stream in = tsd::fuzz::stream_of(text);
  tsd::fuzz::HubText out;
  Run r;
  {
    HubOut hub(out.sink());
    r.result = unicode_to_hub(in, hub, keep_cr, &r.report, whole_runs);
  }
  r.hub = std::move(out.text);
  return r;
}

// Checks the hub's form; false at the first fault, naming it in `fault`.
bool hub_form(std::string_view text, const char*& fault) {
  if (!tsd::fuzz::valid_utf8(text)) return fault = "the hub is UTF-8", false;
  int last_class = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
      return fault = "the hub holds no control character but tab and line break", false;
    if (tibetan_decomposition(c)) return fault = "the hub holds no discouraged precomposed character", false;
    // Only the Tibetan block's classes are known here: another combining character ends the check's run.
    const int klass = is_tibetan(c) ? combining_class(c) : 0;
    if (klass != 0 && klass < last_class) return fault = "the hub's signs are in canonical order", false;
    last_class = klass;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = tsd::fuzz::text_of(data, size);
  const Run kept = run(text, true);
  const Run joined = run(text, false);
  for (const Run* r : {&kept, &joined}) {
    tsd::fuzz::require(r->result == 0, "the reader succeeds");
    const char* fault = nullptr;
    if (!hub_form(r->hub, fault)) tsd::fuzz::fail(fault);
    for (const ReaderWarning& w : r->report.warnings)
      tsd::fuzz::require(w.length >= 1 && w.offset + w.length <= size, "every warning lies inside the input");
    tsd::fuzz::require(r->report.not_converted <= r->report.syllables + static_cast<std::int64_t>(size),
                       "no more replaced than read");
  }
  tsd::fuzz::require(std::count(joined.hub.begin(), joined.hub.end(), '\n') <=
                         std::count(kept.hub.begin(), kept.hub.end(), '\n'),
                     "joined lines have no more line breaks than kept ones");
  tsd::fuzz::require(kept.report.warnings.size() == joined.report.warnings.size(),
                     "joining lines changes no warning");
  tsd::fuzz::require(kept.report.syllables == joined.report.syllables, "joining lines changes no count");
  const Run careful = run(text, true, false);
  tsd::fuzz::require(careful.hub == kept.hub && careful.report.syllables == kept.report.syllables &&
                         careful.report.warnings.size() == kept.report.warnings.size(),
                     "runs copied whole give what the careful way gives");
  return 0;
}
