// Short runs of bytes: where a run ends, found without a branch per byte, and the run packed into numbers
// so that it is hashed and compared in a few instructions (the first byte lowest, zero past the run, on
// machines of either byte order).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

// SSE2 where it is sure to be there; the other machines take the plain ways.
#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define TARVEX_SSE2 1
#endif

namespace tarvex {

// For each of 8 places, each byte's bit in that place when the byte ends a run.
using StopBits = std::array<std::array<std::uint8_t, 256>, 8>;

template <typename EndsRun>
constexpr StopBits stop_bits(EndsRun ends_run) {
  StopBits bits{};
  for (int place = 0; place < 8; ++place)
    for (int c = 0; c < 256; ++c) bits[place][c] = static_cast<std::uint8_t>(ends_run(c) << place);
  return bits;
}

// How many of the 8 bytes at `p` come before the first that ends a run: 8 when none does. One table
// load per byte and no branch, as where a word ends is anyone's guess.
inline int run_of_8(const StopBits& bits, const unsigned char* p) {
  unsigned stops = 1u << 8;
  for (int i = 0; i < 8; ++i) stops |= bits[i][p[i]];
  return std::countr_zero(stops);
}

// Eight bytes as a number whose lowest byte is the first.
inline std::uint64_t load_8(const unsigned char* p) {
  std::uint64_t bytes = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bytes, p, sizeof bytes);
  } else {
    for (int i = 7; i >= 0; --i) bytes = bytes << 8 | p[i];
  }
  return bytes;
}

// Masks that keep the first n bytes of a number of 8 (the lowest), for n from 0 to 8.
inline constexpr auto kKeepBytes = [] {
  std::array<std::uint64_t, 9> masks{};
  for (int n = 0; n < 8; ++n) masks[n] = (std::uint64_t{1} << (8 * n)) - 1;
  masks[8] = ~std::uint64_t{0};
  return masks;
}();

// A run of at most 15 bytes in two numbers, its length in the highest byte of the second.
struct PackedRun {
  std::uint64_t low = 0;
  std::uint64_t high = 0;

  int length() const { return static_cast<int>(high >> 56); }
  bool operator==(const PackedRun&) const = default;
};
inline constexpr int kLongestPackedRun = 15;

#ifdef TARVEX_SSE2
// Masks that keep the first n of 16 bytes; each file its own copy, read without an indirection in
// position-independent code.
alignas(16) constexpr auto kKeep16 = [] {
  std::array<std::array<unsigned char, 16>, 17> masks{};
  for (int n = 0; n <= 16; ++n)
    for (int i = 0; i < n; ++i) masks[n][i] = 0xFF;
  return masks;
}();
#endif

// Packs the `length` bytes at `p` (at most kLongestPackedRun, with 16 bytes readable there).
inline PackedRun pack_run(const unsigned char* p, int length) {
  const int in_high = length > 8 ? length - 8 : 0;
  return {load_8(p) & kKeepBytes[length - in_high],
          (load_8(p + 8) & kKeepBytes[in_high]) | std::uint64_t(length) << 56};
}

// The same, with SSE2 by one masked load of 16 bytes: quicker on text read in place, as the fast path
// and its benchmark read it, but slower on bytes just stored one at a time (the extraction's word
// buffer), which a wide load cannot take from the stores in flight.
inline PackedRun pack_run_in_place(const unsigned char* p, int length) {
#ifdef TARVEX_SSE2
  const __m128i kept = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                     _mm_load_si128(reinterpret_cast<const __m128i*>(kKeep16[length].data())));
  return {static_cast<std::uint64_t>(_mm_cvtsi128_si64(kept)),
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(kept, kept))) |
              std::uint64_t(length) << 56};
#else
  return pack_run(p, length);
#endif
}

inline std::uint64_t hash_of(const PackedRun& run) {
  // Runs of more than eight bytes are rare: their second half is only folded in.
  return (run.low ^ (run.high >> 7)) * 0x9E3779B97F4A7C15u;
}

}  // namespace tarvex
