// The font-code pass's memory of whole words: for a run of key characters composed from a composer at
// rest (outside any stack, Tibetan on, no symbol flag), the glyph bytes it wrote with its take-backs
// applied and what it did to the key history. Running text repeats its syllables, so most words are
// looked up rather than composed again; a word is only remembered after the composer has made it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "composer.h"

inline constexpr int kMemoKeys = 16;    // longest word remembered, in key characters
inline constexpr int kMemoGlyphs = 38;  // most glyph bytes of a word remembered

// A word's keys packed into two words of 8, the first key lowest, zero past the last key.
struct MemoKeys {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  int count = 0;
};

struct alignas(64) MemoWord {
  std::uint64_t keys_low = 0;
  std::uint64_t keys_high = 0;
  std::uint8_t key_count = 0;
  std::uint8_t glyph_count = 0;
  // The history keys the word looked at: the newest first, then the one before it.
  std::uint8_t keys_read = 0;
  std::array<unsigned char, 2> read{};
  // How many keys the word added to the history, and the last of them (at most three), oldest first.
  std::uint8_t keys_added = 0;
  std::array<unsigned char, 3> added{};
  std::array<unsigned char, kMemoGlyphs> glyphs{};  // take-backs applied
};

// The composer's key history, held apart from its state while words are replayed one after another.
struct MemoHistory {
  int oldest, middle, newest;
  std::int64_t remembered;

  explicit MemoHistory(const tsd::SyllableState& st)
      : oldest(st.key_history[0]),
        middle(st.key_history[1]),
        newest(st.key_history[2]),
        remembered(st.keys_remembered) {}
  void store(tsd::SyllableState& st) const {
    st.key_history = {oldest, middle, newest};
    st.keys_remembered = remembered;
  }
  // Moves on by the keys a found word added; picked with selects, as the count is anyone's guess.
  void replay(const MemoWord& word) {
    const int added = word.keys_added;
    const int a = oldest, b = middle, c = newest;
    const int x = word.added[0], y = word.added[1], z = word.added[2];
    oldest = added == 0 ? a : added == 1 ? b : added == 2 ? c : x;
    middle = added == 0 ? b : added == 1 ? c : added == 2 ? x : y;
    newest = added == 0 ? c : added == 1 ? x : added == 2 ? y : z;
    remembered += added;
  }
};

// A composer from which a memoised word may be replayed: only the key history carries over.
constexpr bool composer_at_rest(const tsd::SyllableState& st) {
  return st.depth == 0 && st.mode != 0 && st.mode == st.last_mode && (st.symbol1 | st.symbol2) == 0;
}

class WordMemo {
 public:
  WordMemo();

  // The word as composed from a composer at rest whose newest history keys are `newest` and `before`, or
  // null.
  const MemoWord* find(const MemoKeys& keys, int newest, int before) const {
    const MemoWord* pair = &words_[set_of(keys) * 2];
    for (int i = 0; i < 2; ++i) {
      const MemoWord& w = pair[i];
      if (w.keys_low == keys.low && w.keys_high == keys.high && w.key_count == keys.count &&
          (w.keys_read < 1 || w.read[0] == newest) && (w.keys_read < 2 || w.read[1] == before))
        return &w;
    }
    return nullptr;
  }
  // Remembers a word in the first place of its pair; the word there before moves to the second.
  void add(const MemoWord& word);

 private:
  static constexpr int kSetBits = 12;

  static std::size_t set_of(const MemoKeys& keys) {
    // Words of more than eight keys are rare: their second half is only folded in.
    const std::uint64_t x = (keys.low ^ (keys.high >> 7)) * 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(x >> (64 - kSetBits));
  }

  // Pairs of places for the words whose keys fall in the same set.
  std::unique_ptr<MemoWord[]> words_;
};

// Starts watching a word that the composer is about to make from `state` (at rest); `finish` then fills
// `word` with what it did, false when the word cannot be remembered.
struct WordWatch {
  std::int64_t keys_before = 0;
  std::array<int, 3> history{};

  void start(tsd::SyllableState& state);
  bool finish(const MemoKeys& keys, const unsigned char* raw_glyphs, int raw_count,
              const tsd::SyllableState& state, MemoWord& word) const;
};
