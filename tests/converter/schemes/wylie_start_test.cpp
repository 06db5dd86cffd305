#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scheme_passes.h"

using namespace tarvex;

namespace {

std::string from_a_file(const std::string& wylie) {
  tsd::Stream src = tsd::Stream::holding(wylie, tsd::Stream::Mode::binary);
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(wylie_to_kvts(src, dst), 0);
  dst.rewind();
  std::string kvts;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) kvts += static_cast<char>(c);
  return kvts;
}

// What a start state stands for: the text that, written before a piece, leaves the pre-pass there; its
// KVTS is the same number of bytes.
const struct {
  WylieStart start;
  const char* before;
} kStarts[] = {{WylieStart::syllable, ""},
               {WylieStart::syllable, "ka "},
               {WylieStart::after_punctuation, "/"},
               {WylieStart::after_punctuation, "("}};

const char* const kPieces[] = {"a",     "e",        "i bstan", "Ang",  "o rgyan", "E",     "I",
                               "O",     "ts",       "tsha",    "g.yag", "[a]e",   "",      "a/e",
                               "ka\nA", "s",        ".y",      "A",     "u",      "[open", "bsgrubs"};

// A piece of Wylie gives in memory, from a start state, what a file of the text that leaves the pre-pass
// in that state and the piece after it gives for the piece.
TEST(wylie_start, a_piece_from_its_start_gives_what_it_gives_after_the_text_before) {
  tsd::MemoryPass memory;
  for (const auto& s : kStarts) {
    for (const std::string piece : kPieces) {
      const std::string before = s.before;
      const std::string whole = from_a_file(before + piece);
      std::string_view kvts;
      ASSERT_EQ(wylie_to_kvts(piece, s.start, memory, kvts), 0);
      EXPECT_EQ(std::string(kvts), whole.substr(before.size())) << "after \"" << before << "\": " << piece;
    }
  }
}

// Places in the KVTS of a piece read back from its start state are the piece's own Wylie offsets of the
// same characters that the whole text places.
TEST(wylie_start, places_from_a_start_are_those_of_the_whole_text) {
  for (const auto& s : kStarts) {
    for (const std::string piece : kPieces) {
      const std::string before = s.before;
      tsd::MemoryPass memory;
      std::string_view kvts;
      ASSERT_EQ(wylie_to_kvts(piece, s.start, memory, kvts), 0);
      std::vector<std::uint64_t> own, whole;
      for (std::uint64_t at = 0; at < kvts.size(); ++at) {
        own.push_back(at);
        whole.push_back(at + before.size());
      }
      wylie_places(memory.input(), own, s.start);
      tsd::Stream all = tsd::Stream::holding(before + piece, tsd::Stream::Mode::binary);
      wylie_places(all, whole);
      for (std::uint64_t& at : whole) at -= before.size();
      EXPECT_EQ(own, whole) << "after \"" << before << "\": " << piece;
    }
  }
}

// Pieces run one after the other each give what they give alone, and each of their KVTS bytes is placed
// in its own piece's Wylie, after the pieces before it.
TEST(wylie_start, pieces_give_what_each_gives_alone) {
  constexpr auto kSyllable = WylieStart::syllable;
  constexpr auto kAfter = WylieStart::after_punctuation;
  const std::vector<std::vector<WyliePiece>> rows = {
      {{"a\n", kSyllable}, {"e\n", kAfter}, {"o rgyan\n", kSyllable}},
      {{"Ang\n", kAfter}, {"I\n", kAfter}},
      {{"", kAfter}, {"tsha\n", kSyllable}, {"", kSyllable}, {"g.yag", kAfter}},
      {{"[a]e\n", kAfter}, {"a", kAfter}, {"[x] o", kSyllable}},
  };
  tsd::MemoryPass memory, alone;
  for (const auto& pieces : rows) {
    std::string_view kvts;
    std::vector<std::size_t> starts;
    ASSERT_EQ(wylie_to_kvts(pieces, memory, kvts, &starts), 0);
    std::string expected;
    std::vector<std::uint64_t> offsets, places;
    std::uint64_t wylie_at = 0;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      std::string_view own;
      ASSERT_EQ(wylie_to_kvts(pieces[p].text, pieces[p].start, alone, own), 0);
      EXPECT_EQ(starts[p], expected.size()) << p;
      std::vector<std::uint64_t> own_places;
      for (std::uint64_t at = 0; at < own.size(); ++at) {
        offsets.push_back(expected.size() + at);
        own_places.push_back(at);
      }
      wylie_places(alone.input(), own_places, pieces[p].start);
      for (const std::uint64_t at : own_places) places.push_back(wylie_at + at);
      expected += own;
      wylie_at += pieces[p].text.size();
    }
    EXPECT_EQ(std::string(kvts), expected);
    // Placed in any order.
    std::reverse(offsets.begin(), offsets.end());
    std::reverse(places.begin(), places.end());
    wylie_places_in_pieces(pieces, starts, offsets);
    EXPECT_EQ(offsets, places) << expected;
  }
}

}  // namespace
