#include "word_memo.h"

#include <limits>

namespace tarvex {

WordMemo::WordMemo() : words_(new MemoWord[std::size_t{2} << kSetBits]) {}

void WordMemo::add(const MemoWord& word) {
  MemoWord* pair = &words_[set_of(word.keys) * 2];
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
  w.keys = keys;
  const std::int64_t back = st.oldest_key_read < keys_before ? keys_before - st.oldest_key_read : 0;
  if (back > 2) return false;
  HistoryEffect& e = w.effect;
  e.read_mask = back == 0 ? 0 : back == 1 ? 0xFF : 0xFFFF;
  e.read = static_cast<std::uint32_t>(history[2] | history[1] << 8) & e.read_mask;
  const std::int64_t added = st.keys_remembered - keys_before;
  e.keys_added = static_cast<std::uint8_t>(added);
  const int kept = added < 3 ? static_cast<int>(added) : 3;
  e.added_shift = static_cast<std::uint8_t>(8 * kept);
  for (int i = 0; i < kept; ++i) e.added |= static_cast<std::uint32_t>(st.key_history[2 - i]) << (8 * i);
  return true;
}

}  // namespace tarvex
