#include "text_output.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TSENDREL_WIDE_DECODER 1
#endif

namespace tsendrel_python {
namespace {

PyObject* general(std::string_view bytes) {
  return PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
}

std::uint64_t little_endian_word(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

#ifdef TSENDREL_WIDE_DECODER
// Three-byte characters (U+0800..U+FFFF, no surrogates, as a Tibetan text is made), eight at a time for
// as long as they last, on a processor with AVX2; how many it wrote. It reads 28 bytes past `p`.
[[gnu::target("avx2")]] std::size_t decode_three_byte_runs(const unsigned char* p, const unsigned char* end,
                                                            Py_UCS2* out, std::size_t room) {
  // Each character of a 12-byte half as b2 | b1 << 8 | b0 << 16 in a 32-bit lane.
  const __m256i order = _mm256_setr_epi8(2, 1, 0, -128, 5, 4, 3, -128, 8, 7, 6, -128, 11, 10, 9, -128,  //
                                         2, 1, 0, -128, 5, 4, 3, -128, 8, 7, 6, -128, 11, 10, 9, -128);
  std::size_t done = 0;
  while (end - p >= 28 && room - done >= 8) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    const __m256i v = _mm256_shuffle_epi8(both, order);
    const __m256i c =
        _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(v, 4), _mm256_set1_epi32(0xF000)),
                                        _mm256_and_si256(_mm256_srli_epi32(v, 2), _mm256_set1_epi32(0x0FC0))),
                        _mm256_and_si256(v, _mm256_set1_epi32(0x003F)));
    // 1110xxxx 10xxxxxx 10xxxxxx, not overlong, not a surrogate.
    const __m256i shaped =
        _mm256_cmpeq_epi32(_mm256_and_si256(v, _mm256_set1_epi32(0x00F0C0C0)), _mm256_set1_epi32(0x00E08080));
    const __m256i surrogate = _mm256_and_si256(_mm256_cmpgt_epi32(c, _mm256_set1_epi32(0xD7FF)),
                                               _mm256_cmpgt_epi32(_mm256_set1_epi32(0xE000), c));
    const __m256i long_enough = _mm256_cmpgt_epi32(c, _mm256_set1_epi32(0x7FF));
    const __m256i good = _mm256_andnot_si256(surrogate, _mm256_and_si256(shaped, long_enough));
    if (_mm256_movemask_epi8(good) != -1) break;
    // Each half's four characters to 16 bits, then the two halves side by side.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(c, c), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm256_castsi256_si128(packed));
    p += 24;
    done += 8;
  }
  return done;
}

bool has_wide_decoder() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
#endif

// Decodes into `out` (room for `room` characters); the count of characters, or -1 where the text holds a
// character past U+FFFF, bytes that are not UTF-8, more characters than `room`, or no character past
// U+00FF (a str of one-byte characters).
Py_ssize_t decode_two_byte_text(const unsigned char* p, const unsigned char* end, Py_UCS2* out,
                                Py_ssize_t room) {
  Py_UCS2* const first = out;
  Py_UCS2* const last = out + room;
  bool wide = false;
  // Two characters of U+0800..U+0FFF (Tibetan's block among them): E0, A0..BF, 80..BF, twice.
  constexpr std::uint64_t kPairMask = 0xC0E0FFC0E0FFull, kPair = 0x80A0E080A0E0ull;
#ifdef TSENDREL_WIDE_DECODER
  const bool eight = has_wide_decoder();
#endif
  while (p < end) {
#ifdef TSENDREL_WIDE_DECODER
    if (eight && (*p & 0xF0) == 0xE0 && end - p >= 28) {
      if (const std::size_t n = decode_three_byte_runs(p, end, out, static_cast<std::size_t>(last - out))) {
        p += 3 * n;
        out += n;
        wide = true;
        continue;
      }
    }
#endif
    // Four characters at once where they are (most of a Tibetan text), else two, else one.
    if (end - p >= 14 && last - out >= 4) {
      const std::uint64_t w = little_endian_word(p), v = little_endian_word(p + 6);
      if ((w & kPairMask) == kPair && (v & kPairMask) == kPair) {
        out[0] = static_cast<Py_UCS2>((w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
        out[1] = static_cast<Py_UCS2>((w >> 26 & 0xFC0) | (w >> 40 & 0x3F));
        out[2] = static_cast<Py_UCS2>((v >> 2 & 0xFC0) | (v >> 16 & 0x3F));
        out[3] = static_cast<Py_UCS2>((v >> 26 & 0xFC0) | (v >> 40 & 0x3F));
        out += 4;
        p += 12;
        wide = true;
        continue;
      }
    }
    if (out == last) return -1;
    if (end - p >= 8 && last - out >= 2) {
      const std::uint64_t w = little_endian_word(p);
      if ((w & kPairMask) == kPair) {
        out[0] = static_cast<Py_UCS2>((w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
        out[1] = static_cast<Py_UCS2>((w >> 26 & 0xFC0) | (w >> 40 & 0x3F));
        out += 2;
        p += 6;
        wide = true;
        continue;
      }
    }
    const unsigned c = *p;
    if (c < 0x80) {
      *out++ = static_cast<Py_UCS2>(c);
      ++p;
      continue;
    }
    if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      const unsigned u = (c & 0x1F) << 6 | (p[1] & 0x3Fu);
      *out++ = static_cast<Py_UCS2>(u);
      wide |= u > 0xFF;
      p += 2;
      continue;
    }
    if (c >= 0xE0 && c < 0xF0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      const unsigned u = (c & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      // Not overlong, and not a surrogate (which the general decoder escapes byte by byte).
      if (u >= 0x800 && (u < 0xD800 || u > 0xDFFF)) {
        *out++ = static_cast<Py_UCS2>(u);
        wide = true;
        p += 3;
        continue;
      }
    }
    return -1;
  }
  return wide ? out - first : -1;
}

}  // namespace

PyObject* decoded_output(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  // Text that does not start with a character past U+00FF (roman text, Wylie) is not tried: its str
  // likely has one byte a character.
  const std::string_view start = bytes.substr(0, 4096);
  const bool tried = bytes.size() >= 256 && bytes.size() < static_cast<std::size_t>(PY_SSIZE_T_MAX / 2) &&
                     std::any_of(start.begin(), start.end(), [](char b) {
                       return static_cast<unsigned char>(b) >= 0xC4 && static_cast<unsigned char>(b) < 0xF0;
                     });
  if (!tried) return general(bytes);
  // The str is made at its length, counted first: made a character a byte and cut after, it came from
  // fresh pages at every call, which the memory allocator gave back when it was freed.
  Py_ssize_t characters = 0;
  Py_BEGIN_ALLOW_THREADS
  characters = static_cast<Py_ssize_t>(std::count_if(
      p, p + bytes.size(), [](unsigned char b) { return (b & 0xC0) != 0x80; }));
  Py_END_ALLOW_THREADS
  PyObject* str = PyUnicode_New(characters, 0xFFFF);
  if (!str) return nullptr;
  Py_ssize_t length;
  Py_BEGIN_ALLOW_THREADS
  length = decode_two_byte_text(p, p + bytes.size(), PyUnicode_2BYTE_DATA(str), characters);
  Py_END_ALLOW_THREADS
  if (length != characters) {
    Py_DECREF(str);
    return general(bytes);
  }
  return str;
}

}  // namespace tsendrel_python
