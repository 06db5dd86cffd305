#include "word_memo.h"

#include <limits>

WordMemo::WordMemo() : words_(new MemoWord[std::size_t{2} << kSetBits]) {}

void WordMemo::add(const MemoWord& word) {
  MemoWord* pair = &words_[set_of({word.keys_low, word.keys_high, word.key_count}) * 2];
  pair[1] = pair[0];
  pair[0] = word;
}

void WordWatch::start(tsd::SyllableState& st) {
  keys_before = st.keys_remembered;
  history = st.key_history;
  st.oldest_key_read = std::numeric_limits<std::int64_t>::max();
}

bool WordWatch::finish(const MemoKeys& keys, const unsigned char* raw_glyphs, int raw_count,
                       const tsd::SyllableState& st, MemoWord& w) const {
  if (!composer_at_rest(st) || raw_count == 0) return false;
  w = MemoWord{};
  // Take-backs resolved as the word's flush resolves them.
  int n = 0;
  for (int i = 0; i < raw_count; ++i) {
    if (raw_glyphs[i] == tsd::kTakeBack) {
      if (n > 0) --n;
    } else {
      if (n == kMemoGlyphs) return false;
      w.glyphs[n++] = raw_glyphs[i];
    }
  }
  w.glyph_count = static_cast<std::uint8_t>(n);
  w.keys_low = keys.low;
  w.keys_high = keys.high;
  w.key_count = static_cast<std::uint8_t>(keys.count);
  const std::int64_t back = st.oldest_key_read < keys_before ? keys_before - st.oldest_key_read : 0;
  if (back > 2) return false;
  w.keys_read = static_cast<std::uint8_t>(back);
  w.read = {static_cast<unsigned char>(history[2]), static_cast<unsigned char>(history[1])};
  const std::int64_t added = st.keys_remembered - keys_before;
  w.keys_added = static_cast<std::uint8_t>(added);
  const int kept = added < 3 ? static_cast<int>(added) : 3;
  for (int i = 0; i < kept; ++i) w.added[i] = static_cast<unsigned char>(st.key_history[3 - kept + i]);
  return true;
}
