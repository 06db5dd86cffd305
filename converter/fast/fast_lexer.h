// The fast path's word lexer: reads the input window's text and tells where its words end (a bit for each
// byte, found 16 bytes at a time), how long a word or "@" name is, its key in the table of words, whether a
// Wylie syllable starts at it, and where the passes come to rest after a stretch. Reads the window's
// text; writes nothing but its bits of word ends.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fast_input.h"
#include "fast_words.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

class WordLexer {
 public:
  // Over the text of an input window (kChunk bytes and its slack, after the byte before it).
  WordLexer(const unsigned char* text, bool wylie)
      : scheme_(wylie ? kWylieScheme : kKvtsScheme), wylie_(wylie), text_(text) {}

  // The text, and what each byte of it is to the scan: the scan's one copy of both.
  const unsigned char* text() const { return text_; }
  const Scheme& scheme() const { return scheme_; }
  // The bits of word ends, 8 bytes of them a byte, the text's first byte lowest.
  const unsigned char* stops() const { return stops_.get(); }

  // The word of n bytes at p, as the table knows it.
  PackedRun key_of(const unsigned char* p, int n, bool starts_syllable) const {
    PackedRun key = pack_run_in_place(p, n);
    key.high |= starts_bit_ & (std::uint64_t{0} - starts_syllable);
    return key;
  }

  // Marks in stops_ which of the n bytes of the text end a word, a bit for each, the first byte lowest.
  void mark_word_ends(std::size_t n) {
    unsigned char* bits = stops_.get();
    std::size_t i = 0;
#ifdef TARVEX_SSE2
    const auto byte = [](int c) { return _mm_set1_epi8(static_cast<char>(c)); };
    const __m128i pair = byte(0xFE), comma_to = byte(wylie_ ? 0xFC : 0xFE);
    for (; i + 16 <= n; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + i));
      const __m128i from_tab = _mm_sub_epi8(x, byte(0x09));
      __m128i ends = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, byte(4)), from_tab);
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte(0x20)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(_mm_and_si128(x, pair), byte(0x28)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(_mm_and_si128(x, comma_to), byte(0x2C)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('@')));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('[')));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('{')));
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
      bits[i / 8] = static_cast<unsigned char>(mask);
      bits[i / 8 + 1] = static_cast<unsigned char>(mask >> 8);
    }
#endif
    for (; i < n; i += 8) {
      unsigned mask = 0;
      for (std::size_t k = 0; k < 8; ++k) mask |= unsigned{scheme_.kinds[text_[i + k]] != Source::word} << k;
      bits[i / 8] = static_cast<unsigned char>(mask);
    }
  }

  // The length of the word at p and its key, or 0 when it is too long for a key.
  [[gnu::always_inline]] int measure_word(const unsigned char* p, bool starts_syllable,
                                          PackedRun& key) const {
    const auto at = static_cast<std::size_t>(p - text_);
    // A word ends within the next 57 bytes, or is too long anyway.
    const int n = std::countr_zero((load_8(stops_.get() + at / 8) >> (at % 8)) | std::uint64_t{1} << 56);
    if (n > kLongestPackedRun) return 0;
    key = key_of(p, n, starts_syllable);
    return n;
  }

  // The length of the word at p, however long: the white space past the text ends it there.
  int run_length(const unsigned char* p) const {
    const auto from = static_cast<std::size_t>(p - text_);
    for (std::size_t at = from;; at = at / 8 * 8 + 64) {
      const std::uint64_t ends = load_8(stops_.get() + at / 8) >> (at % 8);
      if (ends != 0) return static_cast<int>(at + static_cast<std::size_t>(std::countr_zero(ends)) - from);
    }
  }

  // Whether a Wylie syllable starts at the word at p: after white space, not after punctuation. The
  // buffer keeps the byte before its text.
  bool starts_syllable(const unsigned char* p) const {
    return scheme_.kinds[p[-1]] == Source::white;
  }

  // The length of the word or "@" name at p and its key, or 0 when it is too long for a key or (a name)
  // holds what the scan leaves to the passes.
  [[gnu::always_inline]] int key_at(const unsigned char* p, bool name, PackedRun& key) const {
    const bool starts = starts_syllable(p);
    if (!name) return measure_word(p, starts, key);
    const int n = name_length(p);
    if (n > 0) key = key_of(p, n, starts);
    return n;
  }

  // The length of the "@" name at p up to the byte that ends it (white space, or the Wylie "." that the
  // pre-pass makes a blank), or 0 when it is too long or holds what the scan leaves to the passes: a "}"
  // too, after which the passes read the rest of the name as keys of the word that follows it.
  int name_length(const unsigned char* p) const {
    for (int n = 1; n <= kLongestPackedRun; ++n) {
      const unsigned char c = p[n];
      const Source kind = scheme_.kinds[c];
      if (kind == Source::white) return n;
      if (kind == Source::dot && !tsheg_breaks_within(p[n - 1], p[n + 1])) return n;
      if (kind == Source::odd || kind == Source::bracket || c == '}') return 0;
    }
    return 0;
  }

  // The first white space from p on outside a bracket (which the Wylie pre-pass copies as it stands, in
  // a brace too) and a brace, where the passes come to rest unless the extraction reads a passage
  // otherwise; null when there is none before `end`. The extraction takes the white space that ends a
  // "@" name into the name's passage, which the name's first "}" closes: the rest of such a name, keys,
  // runs on into the word after that white space, which is then no place of rest.
  const unsigned char* rest_after(const unsigned char* p, const unsigned char* end) const {
    bool brace = false;
    bool name = false;
    bool name_closed = false;
    for (; p < end; ++p) {
      const unsigned char c = *p;
      if (c == '[' && (wylie_ || !brace)) {
        p = static_cast<const unsigned char*>(std::memchr(p + 1, ']', static_cast<std::size_t>(end - p - 1)));
        if (!p) return nullptr;
      } else if (c == '{' || c == '}') {
        brace = c == '{';
        name_closed = name_closed || (name && c == '}');
      } else if (c == '@' && !brace && !name) {
        name = true;
      } else if (!brace && scheme_.kinds[c] == Source::white) {
        if (!name_closed) return p;
        name = name_closed = false;
      } else if (name && scheme_.kinds[c] == Source::white) {
        name = false;  // ended inside a brace that the passes read on in
      }
    }
    return nullptr;
  }

 private:
  static constexpr std::size_t kChunk = InputWindow::kChunk;
  static constexpr std::size_t kSlack = InputWindow::kSlack;

  const Scheme& scheme_;
  const bool wylie_;
  // In the key of a word that starts a syllable.
  const std::uint64_t starts_bit_ = wylie_ ? kStartsSyllable : 0;
  const unsigned char* const text_;
  // A bit for each byte of the text that ends a word, with 8 bytes of slack to load a word of them anywhere.
  std::unique_ptr<unsigned char[]> stops_{new unsigned char[(kChunk + kSlack) / 8 + 8]()};
};

}  // namespace
}  // namespace tarvex::fast
