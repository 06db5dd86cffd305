#include "bare_loop.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "packed_keys.h"

namespace bench {

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kSlack = 64;
constexpr std::size_t kBlock = 1 << 16;

bool ends_word(unsigned char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '/' || c == '(' || c == ')' || c == '[' || c == ']';
}

struct alignas(64) Entry {
  tarvex::PackedRun key;
  std::uint8_t alone = 0, with_blank = 0;
  std::array<unsigned char, 96> output{};
};

struct Gap {
  std::uint64_t key = 0;
  std::uint8_t length = 0;
  std::array<unsigned char, 48> output{};
};

}  // namespace

std::int64_t bare_word_loop(tsd::Stream& in, tsd::Stream& out) {
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk + kSlack + 16]);
  unsigned char* const text = buffer.get();
  std::unique_ptr<unsigned char[]> stops(new unsigned char[(kChunk + kSlack) / 8 + 8]());
  std::unique_ptr<Entry[]> table(new Entry[4096]);
  std::unique_ptr<Gap[]> gaps(new Gap[64]);
  std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock + 1024]);
  unsigned char* o = block.get();
  std::int64_t words = 0;
  std::size_t have = 0;
  bool eof = false;
  for (;;) {
    while (have < kChunk && !eof) {
      const auto window = in.window();
      if (window.empty()) {
        const int c = in.get();
        if (c == tsd::Stream::end)
          eof = true;
        else
          text[have++] = static_cast<unsigned char>(c);
        continue;
      }
      const std::size_t n = std::min(window.size(), kChunk - have);
      std::memcpy(text + have, window.data(), n);
      in.advance(n);
      have += n;
    }
    std::memset(text + have, ' ', kSlack);
    std::size_t i = 0;
#ifdef TARVEX_SSE2
    for (; i < have + kSlack; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      const auto is = [&x](char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
      const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_or_si128(is(' '), is('\n')), _mm_or_si128(is('\t'), is('/'))),
                                        _mm_or_si128(_mm_or_si128(is('('), is(')')), _mm_or_si128(is('['), is(']'))));
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
      stops[i / 8] = static_cast<unsigned char>(mask);
      stops[i / 8 + 1] = static_cast<unsigned char>(mask >> 8);
    }
#endif
    for (; i < have + kSlack; i += 8) {
      unsigned mask = 0;
      for (int k = 0; k < 8; ++k) mask |= unsigned{ends_word(text[i + k])} << k;
      stops[i / 8] = static_cast<unsigned char>(mask);
    }
    std::size_t upto = have;
    if (!eof)
      while (upto > 0 && !ends_word(text[upto - 1])) --upto;
    const unsigned char* p = text;
    const unsigned char* const end = text + upto;
    while (p < end) {
      const auto at = static_cast<std::size_t>(p - text);
      const std::uint64_t bits = tarvex::load_8(stops.get() + at / 8) >> (at % 8);
      int n = std::countr_zero(bits | std::uint64_t{1} << 56);
      if (n == 0) {
        const int g = std::min(std::countr_one(bits), 6);
        const std::uint64_t key = (tarvex::load_8(p) & ((std::uint64_t{1} << (8 * g)) - 1)) | std::uint64_t(g) << 56;
        Gap& gap = gaps[(key * 0x9E3779B97F4A7C15u) >> 58];
        if (gap.key != key) {
          gap.key = key;
          gap.length = static_cast<std::uint8_t>(3 * g);
          gap.output.fill(0xE0);
        }
        std::memcpy(o, gap.output.data(), 48);
        o += gap.length;
        p += g;
      } else {
        n = std::min(n, tarvex::kLongestPackedRun);
        const tarvex::PackedRun key = tarvex::pack_run_in_place(p, n);
        Entry& e = table[tarvex::hash_of(key) >> 52];
        if (!(e.key == key)) {
          e.key = key;
          // About what Unicode writes: 5 bytes for 2 letters, and a tsheg.
          e.alone = static_cast<std::uint8_t>(5 * n / 2);
          e.with_blank = static_cast<std::uint8_t>(5 * n / 2 + 3);
          e.output.fill(0xE0);
        }
        ++words;
        std::memcpy(o, e.output.data(), 64);
        if (p[n] == ' ') {
          o += e.with_blank;
          p += n + 1;
        } else {
          o += e.alone;
          p += n;
        }
      }
      if (static_cast<std::size_t>(o - block.get()) > kBlock) {
        out.write(block.get(), static_cast<std::size_t>(o - block.get()));
        o = block.get();
      }
    }
    std::memmove(text, text + upto, have - upto);
    have -= upto;
    if (eof && have == 0) break;
  }
  out.write(block.get(), static_cast<std::size_t>(o - block.get()));
  return in.error() || out.flush() != 0 ? -1 : words;
}

}  // namespace bench
