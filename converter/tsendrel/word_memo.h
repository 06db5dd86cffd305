// The font-code pass's memory of whole words: for a run of key characters composed from a composer at
// rest (outside any stack, Tibetan on, no symbol flag), the glyph bytes it wrote with its take-backs
// applied and what it did to the key history. Running text repeats its syllables, so most words are
// looked up rather than composed again; a word is only remembered after the composer has made it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "composer.h"
#include "memo_table.h"
#include "packed_keys.h"

namespace tarvex {

inline constexpr int kMemoKeys = kLongestPackedRun;  // longest word remembered, in key characters
inline constexpr int kMemoGlyphs = 38;               // most glyph bytes of a word remembered

// A word's keys packed, with their count as the run's length.
using MemoKeys = PackedRun;

// The composer's key history packed into one number, the newest key lowest (keys are below 128), with the
// count of keys it has taken in.
struct MemoHistory {
  std::uint32_t keys = 0;
  std::int64_t remembered = 0;

  explicit MemoHistory(const tsd::SyllableState& st)
      : keys(
            static_cast<std::uint32_t>(st.key_history[2] | st.key_history[1] << 8 | st.key_history[0] << 16)),
        remembered(st.keys_remembered) {}
  void store(tsd::SyllableState& st) const {
    st.key_history = {static_cast<int>(keys >> 16), static_cast<int>(keys >> 8 & 0xFF),
                      static_cast<int>(keys & 0xFF)};
    st.keys_remembered = remembered;
  }
};

// What a word composed from a composer at rest did with the key history.
struct HistoryEffect {
  // The history keys the word looked at (the newest, or the two newest): history & read_mask == read.
  std::uint32_t read_mask = 0;
  std::uint32_t read = 0;
  // The keys it added to the history, newest lowest, the last three at most; how far they move it on.
  std::uint32_t added = 0;
  std::uint8_t added_shift = 0;
  std::uint8_t keys_added = 0;

  // Whether the word composes as it did from this history.
  bool holds(std::uint32_t history) const { return (history & read_mask) == read; }
  void replay(MemoHistory& history) const {
    history.keys = ((history.keys << added_shift) | added) & 0xFFFFFF;
    history.remembered += keys_added;
  }
};

struct alignas(64) MemoWord {
  MemoKeys keys;
  HistoryEffect effect;
  std::uint8_t glyph_count = 0;
  std::array<unsigned char, kMemoGlyphs> glyphs{};  // take-backs applied
};

// A composer from which a memoised word may be replayed: only the key history carries over.
constexpr bool composer_at_rest(const tsd::SyllableState& st) {
  return st.depth == 0 && st.mode != 0 && st.mode == st.last_mode && (st.symbol1 | st.symbol2) == 0;
}

// The key history kept packed while remembered words replay one after another from a composer at rest,
// and stored back in the composer's state (settle()) before anything else reads it.
class ReplayedHistory {
 public:
  explicit ReplayedHistory(tsd::SyllableState& state) : state_(state) {}

  // Whether remembered words may replay now: from a composer at rest, whose history is then packed.
  bool ready() {
    if (!packed_) {
      if (!composer_at_rest(state_)) return false;
      history_ = MemoHistory(state_);
      packed_ = true;
    }
    return true;
  }
  // Whether a word replays as it did, and its replay.
  bool holds(const HistoryEffect& effect) const { return effect.holds(history_.keys); }
  void replay(const HistoryEffect& effect) { effect.replay(history_); }
  void settle() {
    if (packed_) history_.store(state_);
    packed_ = false;
  }

 private:
  tsd::SyllableState& state_;
  bool packed_ = false;
  MemoHistory history_{tsd::SyllableState{}};
};

// The same keys may be kept twice, composed from two histories. A new word goes first in its pair of
// places, pushing out the one learned longest ago. The places are lent by the thread (memo_table.h): a
// writer made for each short document allocates none.
class WordMemo {
 public:
  // The word as composed from a composer at rest with this history, or null.
  const MemoWord* find(const MemoKeys& keys, std::uint32_t history) const {
    return words_.find(hash_of(keys),
                       [&](const MemoWord& w) { return w.keys == keys && w.effect.holds(history); });
  }
  // Remembers a word; returns where it is kept.
  const MemoWord* add(const MemoWord& word);

 private:
  MemoTable<MemoWord, MemoShape{12, 2}> words_;
};

// Starts watching a word that the composer is about to make from `state` (at rest); `finish` then fills
// `word` with what it did, false when the word cannot be remembered.
struct WordWatch {
  std::int64_t keys_before = 0;
  std::array<int, 3> history{};

  void start(tsd::SyllableState& state);
  // `raw_count` glyph bytes made, `glyphs` with their take-backs applied.
  bool finish(const MemoKeys& keys, int raw_count, std::span<const unsigned char> glyphs,
              const tsd::SyllableState& state, MemoWord& word) const;
};

}  // namespace tarvex
