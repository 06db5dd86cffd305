// What a character of the Tibetan block is to the hub's readers and writers, from the Unicode database
// (tibetan_normal.h, generated) and the block's layout; and UTF-8 written and read a character at a time.
// Constants and small functions only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tibetan_normal.h"

namespace tarvex {

inline constexpr char32_t kReplacement = 0xFFFD;
inline constexpr char32_t kTsheg = 0x0F0B;

constexpr bool is_tibetan(char32_t c) {
  return c >= 0x0F00 && c <= 0x0FFF;
}
// A letter that heads a stack (U+0F40..U+0F6C).
constexpr bool is_tibetan_letter(char32_t c) {
  return c >= 0x0F40 && c <= 0x0F6C;
}
// A letter under another (U+0F90..U+0FBC).
constexpr bool is_subjoined(char32_t c) {
  return c >= 0x0F90 && c <= 0x0FBC;
}
constexpr bool is_tibetan_digit(char32_t c) {
  return c >= 0x0F20 && c <= 0x0F33;
}

constexpr int combining_class(char32_t c) {
  return is_tibetan(c) ? kTibetanCombiningClass[c - 0x0F00] : 0;
}

// A sign that sits on the letter, stack or digit before it: subjoined letters, vowel signs and the signs
// after them, and the marks under or over a digit or syllable.
constexpr bool is_tibetan_sign(char32_t c) {
  return (c >= 0x0F71 && c <= 0x0F87) || (c >= 0x0F8D && c <= 0x0FBC) || c == 0x0F18 || c == 0x0F19 ||
         c == 0x0F35 || c == 0x0F37 || c == 0x0F39 || c == 0x0F3E || c == 0x0F3F || c == 0x0FC6;
}

// The parts a discouraged character is written as, or none.
constexpr const TibetanDecomposition* tibetan_decomposition(char32_t c) {
  if (!is_tibetan(c)) return nullptr;
  for (const TibetanDecomposition& d : kTibetanDecompositions)
    if (d.from == c) return &d;
  return nullptr;
}

// `c` as UTF-8 at `out` (room for 4); returns the bytes written.
constexpr int put_utf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | c >> 6);
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | c >> 12);
    out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | c >> 18);
  out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

inline void append_utf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, static_cast<std::size_t>(put_utf8(c, bytes)));
}

// A UTF-8 decoder fed a byte at a time, so that a character may straddle the runs of bytes a stream hands
// out. Invalid input is told as one bad sequence for each maximal part of a character that cannot go on
// (as Unicode recommends replacing it), the byte that showed it fed again.
class Utf8Decoder {
 public:
  static constexpr int kMore = -1;     // the character goes on in the next byte
  static constexpr int kBad = -2;      // the bytes held so far are no character; feed this byte again
  static constexpr int kBadByte = -3;  // this byte is no character, nor the start of one

  // The character completed by `b`, or kMore, kBad or kBadByte.
  int feed(unsigned char b) {
    if (need_ == 0) {
      if (b < 0x80) return b;
      if (b >= 0xC2 && b <= 0xDF) return start(b & 0x1F, 1, 0x80, 0xBF);
      if (b >= 0xE0 && b <= 0xEF) return start(b & 0x0F, 2, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF);
      if (b >= 0xF0 && b <= 0xF4) return start(b & 0x07, 3, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF);
      return kBadByte;
    }
    if (b < low_ || b > high_) {
      need_ = 0;
      return kBad;
    }
    low_ = 0x80;
    high_ = 0xBF;
    value_ = value_ << 6 | (b & 0x3F);
    return --need_ == 0 ? static_cast<int>(value_) : kMore;
  }
  // Bytes of an unfinished character are held (at the end of the input they are a bad sequence).
  bool holding() const { return need_ != 0; }
  void reset() { need_ = 0; }

 private:
  int start(std::uint32_t bits, int need, unsigned char low, unsigned char high) {
    value_ = bits;
    need_ = need;
    low_ = low;
    high_ = high;
    return kMore;
  }
  std::uint32_t value_ = 0;
  int need_ = 0;
  unsigned char low_ = 0x80, high_ = 0xBF;
};

// The character at p, of the `avail` bytes at hand (at least 1), by the decoder above: its length, 0 when the
// bytes are no character, or -1 when the end of the bytes at hand cuts it.
inline int decode_utf8(const unsigned char* p, std::size_t avail, char32_t& c) {
  Utf8Decoder decoder;
  for (std::size_t k = 0; k < avail && k < 4; ++k) {
    const int r = decoder.feed(p[k]);
    if (r >= 0) {
      c = static_cast<char32_t>(r);
      return static_cast<int>(k) + 1;
    }
    if (r != Utf8Decoder::kMore) return 0;
  }
  return -1;
}

}  // namespace tarvex
