#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "extract.h"
#include "translit_support.h"

using namespace tarvex;

namespace {

struct Extracted {
  std::string syllables;
  ExtractionReport report;
};

// The extraction of a whole text from a file, the way the driver runs it.
Extracted from_a_file(const std::string& kvts) {
  tsd::Stream src = tsd::Stream::holding(kvts, tsd::Stream::Mode::binary);
  tsd::Stream dst = tsd::Stream::temporary();
  Extracted run;
  EXPECT_EQ(extract_syllables(src, dst, shared_translit_tables(), 1, &run.report), 0);
  dst.rewind();
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) run.syllables += static_cast<char>(c);
  return run;
}

// A piece of a text that follows an open "(" gives in memory, from that state, what the whole text gives
// from a file: its own bytes, problems and counts, and the state the file's end tells of (the "(" left
// open, where it lies, or none). The same with nothing open before it.
TEST(extraction_state, a_piece_in_memory_from_its_state_gives_what_the_whole_text_gives) {
  const char* const pieces[] = {
      "BSGRUBS KA", "KA)",       "KA) (KHA", "(KA",    "((KA) GA", ")(",         "[KA", "{KA",
      "@name KA (", "KA\x80 GA", "",         "[KA (] GA", "OM AOm", "KA\n\nGA (", "\t-,(",
      "KAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
  };
  // What the text before the piece was, and the state it leaves.
  const struct {
    const char* before;  // its syllable file is the same bytes
    std::int64_t open;
  } states[] = {{"", ExtractionState::kNone}, {"(\n", ExtractionState::kBefore}};
  tsd::MemoryPass memory;
  ExtractionCache cache;
  for (const auto& state : states) {
    for (const std::string piece : pieces) {
      const std::string before = state.before;
      const Extracted whole = from_a_file(before + piece);
      ExtractionState at{state.open};
      ExtractionReport report;
      std::string_view syllables;
      ASSERT_EQ(extract_syllables(piece, at, shared_translit_tables(), 1, &report, &cache, memory, syllables),
                0);
      const std::string label = "after \"" + before + "\": " + piece;
      const std::string before_bytes =
          before.empty() ? "" : std::string{static_cast<char>(kOpenParenMarker), '\n'};
      ASSERT_EQ(whole.syllables.substr(0, before_bytes.size()), before_bytes) << label;
      EXPECT_EQ(std::string(syllables), whole.syllables.substr(before_bytes.size())) << label;
      EXPECT_EQ(report.syllables, whole.report.syllables) << label;
      EXPECT_EQ(report.marked, whole.report.marked) << label;
      std::vector<std::string> expected, got;
      std::int64_t open = ExtractionState::kNone;
      for (const SourceProblem& p : whole.report.problems) {
        if (p.kind == SourceProblem::parenthesis_open) {
          open = p.offset < before.size() ? ExtractionState::kBefore
                                          : static_cast<std::int64_t>(p.offset - before.size());
          continue;
        }
        expected.push_back(std::to_string(p.kind) + "@" + std::to_string(p.offset - before.size()) + "+" +
                           std::to_string(p.length) + "=" + std::to_string(p.value));
      }
      for (const SourceProblem& p : report.problems)
        got.push_back(std::to_string(p.kind) + "@" + std::to_string(p.offset) + "+" +
                      std::to_string(p.length) + "=" + std::to_string(p.value));
      EXPECT_EQ(got, expected) << label;
      EXPECT_EQ(at.open_parenthesis, open) << label;
    }
  }
}

// Without a state the extraction tells of the "(" left open itself, at the end, as it always has.
TEST(extraction_state, a_whole_text_tells_of_the_parenthesis_it_leaves_open) {
  const struct {
    const char* kvts;
    std::vector<std::uint64_t> open;
  } rows[] = {{"KA (GA", {3}}, {"(KA) GA", {}}, {"((KA", {0}}, {"(KA) (GA (", {5}}};
  for (const auto& row : rows) {
    std::vector<std::uint64_t> open;
    for (const SourceProblem& p : from_a_file(row.kvts).report.problems)
      if (p.kind == SourceProblem::parenthesis_open) open.push_back(p.offset);
    EXPECT_EQ(open, row.open) << row.kvts;
  }
}

}  // namespace
