#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "extract.h"
#include "platform/crlf_offsets.h"

using namespace tarvex;

namespace {

// How the pass before the extraction is read backwards in a case.
enum class Back {
  none,    // KVTS: the extraction read the input itself
  halves,  // each byte of the input wrote two of the extraction's source
  mirror,  // the source was written back to front from offset 20
};

// ends_in_input as the driver and the fast path call it: offsets of what was read (text mode: a CR LF one
// line feed) from the index `at` on, in an input whose text starts at `raw_start` (after a byte-order mark).
TEST(problem_ends, places_each_problem_and_offset_in_the_inputs_own_bytes) {
  const struct {
    const char* name;
    std::string input;  // the input's own bytes from raw_start on
    std::vector<SourceProblem> problems;
    std::vector<std::uint64_t> more;
    Back back;
    std::uint64_t at;
    std::uint64_t raw_start;
    std::vector<std::uint64_t> expected;
  } cases[] = {
      {"no CR LF: the same offsets",
       "ka kha\n",
       {{SourceProblem::syllable_marked, 0, 3, 3}},
       {},
       Back::none,
       0,
       0,
       {3, 5}},
      {"after a CR LF, one more",
       "ka\r\nkha",
       {{SourceProblem::syllable_marked, 0, 3, 3}},
       {},
       Back::none,
       0,
       0,
       {4, 6}},
      {"across a CR LF, its last byte after it",
       "a\r\nb",
       {{SourceProblem::bracket_open, 0, 0, 3}},
       {},
       Back::none,
       0,
       0,
       {0, 3}},
      {"no length: the one byte",
       "abc",
       {{SourceProblem::parenthesis_open, 0, 2, 0}},
       {},
       Back::none,
       0,
       0,
       {2, 2}},
      {"a stretch later in the input, after a mark and a CR LF",
       "abcd\r\nefghijklmnop",
       {{SourceProblem::byte_dropped, 0, 1, 1}},
       {},
       Back::none,
       10,
       3,
       {3 + 12, 3 + 12}},
      {"through the pre-pass, with an open parenthesis after the problems",
       "abcdefghij",
       {{SourceProblem::syllable_marked, 0, 4, 4}, {SourceProblem::byte_dropped, 7, 12, 1}},
       {9},
       Back::halves,
       0,
       0,
       {2, 3, 6, 6, 4}},
      {"kept as the pass gives them back, the last before the first",
       "abcdefghijklmnopqrstu",
       {{SourceProblem::syllable_marked, 0, 2, 2}},
       {},
       Back::mirror,
       0,
       0,
       {18, 17}},
  };
  for (const auto& c : cases) {
    // What the input's reader noted: the line feeds that stood for CR LFs, as text mode read them.
    const tsd::CrLfOffsets crlf = tsd::CrLfOffsets::of(c.input);
    const auto back = [&c](std::span<std::uint64_t> offsets) {
      for (std::uint64_t& o : offsets) {
        if (c.back == Back::halves) o /= 2;
        if (c.back == Back::mirror) o = 20 - o;
      }
    };
    const std::vector<std::uint64_t> ends =
        ends_in_input(c.problems, c.more, back,
                      [&](std::uint64_t offset) { return c.raw_start + crlf.raw(c.at + offset); });
    EXPECT_EQ(ends, c.expected) << c.name;
  }
}

}  // namespace
