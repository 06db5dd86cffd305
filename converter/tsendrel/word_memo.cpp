#include "word_memo.h"

#include <cstring>
#include <limits>

namespace tarvex {

const MemoWord* WordMemo::add(const MemoWord& word) {
  MemoWord& place = words_.place(hash_of(word.keys));
  place = word;
  return &place;
}

void WordWatch::start(tsd::SyllableState& st) {
  keys_before = st.keys_remembered;
  history = st.key_history;
  st.oldest_key_read = std::numeric_limits<std::int64_t>::max();
}

bool WordWatch::finish(const MemoKeys& keys, int raw_count, std::span<const unsigned char> glyphs,
                       const tsd::SyllableState& st, MemoWord& w) const {
  if (!composer_at_rest(st) || raw_count == 0 || glyphs.size() > static_cast<std::size_t>(kMemoGlyphs))
    return false;
  w = MemoWord{};
  std::memcpy(w.glyphs.data(), glyphs.data(), glyphs.size());
  w.glyph_count = static_cast<std::uint8_t>(glyphs.size());
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
