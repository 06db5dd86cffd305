#include "run_memo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Memo = tarvex::RunMemo<80>;

// Runs are kept by their first and last eight bytes and their length; longer than 16 bytes, the bytes
// between must be compared too.
TEST(run_memo, tells_apart_runs_that_share_their_ends) {
  const struct {
    const char* name;
    std::string kept;
    std::string asked;
    bool found;
  } cases[] = {
      {"the same short run", "ka", "ka", true},
      {"a run of one byte", "k", "k", true},
      {"one byte longer", "abcdefgh", "abcdefghi", false},
      {"nine bytes, the middle one differs", "abcdXfghi", "abcdYfghi", false},
      {"sixteen bytes, the same", std::string(16, 'q'), std::string(16, 'q'), true},
      {"twenty bytes, the same ends, another middle", "abcdefgh1234stuvwxyz", "abcdefgh5678stuvwxyz", false},
      {"twenty bytes, the same", "abcdefgh1234stuvwxyz", "abcdefgh1234stuvwxyz", true},
      {"the longest run kept, its middle byte differs", std::string(19, 'a') + "b" + std::string(18, 'a'),
       std::string(19, 'a') + "c" + std::string(18, 'a'), false},
      {"the longest run kept, the same", std::string(Memo::kLongest, 'z'), std::string(Memo::kLongest, 'z'),
       true},
  };
  for (const auto& c : cases) {
    Memo memo;
    bool found = true;
    Memo::fill(memo.place(c.kept, found), c.kept, "spelled");
    EXPECT_FALSE(found) << c.name;
    Memo::Entry& e = memo.place(c.asked, found);
    EXPECT_EQ(found, c.found) << c.name;
    if (found) {
      EXPECT_EQ(e.spelling(), "spelled") << c.name;
    }
  }
}

// A place handed out and never filled holds nothing: a run whose spelling was not kept is spelled again.
TEST(run_memo, a_place_not_filled_is_found_empty) {
  const std::vector<std::string> runs = {"ka", std::string(12, 'g'), std::string(30, 'n')};
  for (const std::string& run : runs) {
    Memo memo;
    bool found = true;
    memo.place(run, found);
    EXPECT_FALSE(found) << run;
    memo.place(run, found);
    EXPECT_FALSE(found) << run;
  }
}

// What is kept is what was spelled, whole, up to the longest spelling kept; an empty spelling too.
TEST(run_memo, gives_back_the_spelling_kept) {
  const std::vector<std::string> spellings = {"", "k", "bsgrubs", std::string(Memo::kLongestSpelled, 'x')};
  for (const std::string& spelled : spellings) {
    Memo memo;
    bool found = false;
    Memo::fill(memo.place("run", found), "run", spelled);
    const Memo::Entry& e = memo.place("run", found);
    ASSERT_TRUE(found) << spelled;
    EXPECT_EQ(e.spelling(), spelled);
  }
}

}  // namespace
