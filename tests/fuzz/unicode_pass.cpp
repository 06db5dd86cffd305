// A syllable file of any bytes through the Unicode pass, with passages as text or as markers and with or
// without Keep Carriage Returns (the first byte chooses): in place in the streams' windows and through
// get and put it must write the same bytes, give the same result and log the same lines.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "status_capture.h"
#include "unicode_pass.h"

using namespace tarvex;

namespace {

struct Run {
  int result;
  std::string text;
  std::vector<std::string> lines;
};

Run run(std::string_view syllables, int keep_cr, UnicodePassages passages, bool in_place) {
  using namespace tsd;
  Stream in = fuzz::stream_of(syllables);
  Stream out = fuzz::memory_stream();
  fuzz::StatusLines status;
  const int result = unicode_pass(in, out, keep_cr, passages, status.sink(), in_place);
  return {result, fuzz::contents(out), status.lines};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  if (size == 0) return 0;
  const std::string_view syllables = fuzz::text_of(data + 1, size - 1);
  const int keep_cr = data[0] & 1;
  const UnicodePassages passages = (data[0] & 2) != 0 ? UnicodePassages::markers : UnicodePassages::text;
  const Run in_place = run(syllables, keep_cr, passages, true);
  const Run streamed = run(syllables, keep_cr, passages, false);
  fuzz::require(in_place.result == streamed.result, "in place and streamed give the same result");
  fuzz::require(in_place.text == streamed.text, "in place and streamed write the same bytes");
  fuzz::require(in_place.lines == streamed.lines, "in place and streamed log the same lines");
  fuzz::require(in_place.result == 0 || !in_place.lines.empty(), "a failure is logged");
  return 0;
}
