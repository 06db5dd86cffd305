// KVTS text of any bytes through the extraction pass, with and without the syllable-length check (the
// first byte chooses); the pass reads and writes to the end, and every problem it reports lies inside the
// source.
#include <cstddef>
#include <cstdint>

#include "extract.h"
#include "fuzz_support.h"
#include "status_capture.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  if (size == 0) return 0;
  const int check_syllables = data[0] & 1;
  const std::string path = fuzz::write_file("input.kvt", data + 1, size - 1);
  Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
  Stream out = fuzz::memory_stream();
  fuzz::StatusLines status;
  ExtractionReport report;
  fuzz::require(extract_syllables(in, out, built_translit_tables(), check_syllables, &report) == 0,
                "the extraction of a readable file succeeds");
  fuzz::require(out.flush() == 0 && !out.error(), "the syllable file is written");
  fuzz::require(report.marked >= 0 && report.marked <= report.syllables, "at most every syllable is marked");
  std::int64_t marked = 0;
  for (const SourceProblem& p : report.problems) {
    fuzz::require(p.offset + p.length <= size - 1, "a problem lies inside the source");
    if (p.kind == SourceProblem::syllable_marked) ++marked;
  }
  fuzz::require(marked == report.marked, "every marked syllable is a problem");
  return 0;
}
