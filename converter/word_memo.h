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
  // The glyph bytes, then room for the byte that its user writes after the word when a blank follows.
  std::array<unsigned char, kMemoGlyphs> glyphs{};
};

// A composer from which a memoised word may be replayed: only the key history carries over.
constexpr bool composer_at_rest(const tsd::SyllableState& st) {
  return st.depth == 0 && st.mode != 0 && st.mode == st.last_mode && (st.symbol1 | st.symbol2) == 0;
}

class WordMemo {
 public:
  WordMemo();

  // The word as composed from `state`, or null.
  const MemoWord* find(const MemoKeys& keys, const tsd::SyllableState& state) const {
    const MemoWord* pair = &words_[set_of(keys) * 2];
    for (int i = 0; i < 2; ++i) {
      const MemoWord& w = pair[i];
      if (w.keys_low == keys.low && w.keys_high == keys.high && w.key_count == keys.count &&
          (w.keys_read < 1 || w.read[0] == state.key_history[2]) &&
          (w.keys_read < 2 || w.read[1] == state.key_history[1]))
        return &w;
    }
    return nullptr;
  }
  // Remembers a word in the first place of its pair; the word there before moves to the second.
  void add(const MemoWord& word);
  // Replays a found word's effect on the key history.
  static void replay(const MemoWord& word, tsd::SyllableState& state) {
    const int h[6] = {state.key_history[0], state.key_history[1], state.key_history[2],
                      word.added[0],         word.added[1],         word.added[2]};
    const int shift = word.keys_added < 3 ? word.keys_added : 3;
    for (int i = 0; i < 3; ++i) state.key_history[i] = h[i + shift];
    state.keys_remembered += word.keys_added;
  }

 private:
  static constexpr int kSetBits = 12;

  static std::size_t set_of(const MemoKeys& keys) {
    std::uint64_t x = (keys.low * 0x9E3779B97F4A7C15u) ^ keys.high;
    x *= 0xC2B2AE3D27D4EB4Fu;
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
