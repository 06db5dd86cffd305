// A syllable file of any bytes through the font-code pass with the bundled tables, once replaying
// remembered words and once composing every key (the first byte chooses Keep Carriage Returns): both
// must write the same glyph codes, give the same result, log the same lines and tell the same raw words.
#include <cstddef>
#include <cstdint>

#include "font_code_pass.h"
#include "fuzz_support.h"
#include "status_capture.h"

using namespace tarvex;

namespace {

struct Run {
  int result;
  std::string glyphs;
  std::vector<std::string> lines;
  std::vector<RawWord> raw_words;
};

Run run(std::string_view syllables, int keep_cr, bool memoise) {
  using namespace tsd;
  Stream in = fuzz::stream_of(syllables);
  Stream out = fuzz::memory_stream();
  SyllableState state;
  fuzz::StatusLines status;
  std::vector<RawWord> raw_words;
  const int result = font_code_pass(in, out, keep_cr, fuzz::bundled_tables<kConverterForms>(), state,
                                    status.sink(), memoise, &raw_words);
  return {result, fuzz::contents(out), status.lines, raw_words};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  if (size == 0) return 0;
  const std::string_view syllables = fuzz::text_of(data + 1, size - 1);
  const Run memoised = run(syllables, data[0] & 1, true);
  const Run composed = run(syllables, data[0] & 1, false);
  fuzz::require(memoised.result == composed.result, "replayed words give the same result");
  fuzz::require(memoised.glyphs == composed.glyphs, "replayed words give the same glyph codes");
  fuzz::require(memoised.lines == composed.lines, "replayed words log the same lines");
  fuzz::require(memoised.result == 0 || !memoised.lines.empty(), "a failure is logged");
  fuzz::require(memoised.raw_words.size() == composed.raw_words.size(), "replayed words become raw alike");
  for (std::size_t i = 0; i < memoised.raw_words.size(); ++i) {
    const RawWord& a = memoised.raw_words[i];
    const RawWord& b = composed.raw_words[i];
    fuzz::require(a.offset == b.offset && a.refused == b.refused, "replayed words become raw alike");
    fuzz::require(a.offset < syllables.size(), "a raw word lies inside the syllable file");
  }
  return 0;
}
