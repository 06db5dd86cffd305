#include "scheme_passes.h"

#include <array>
#include <string_view>

namespace {

constexpr int kEnd = tsd::Stream::end;

// The C locale's whitespace; the start of the source counts as a syllable start too, so `prev` starts as a
// blank.
constexpr bool is_space(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
constexpr int kStartOfSource = ' ';

constexpr bool is_upper(int c) {
  return c >= 'A' && c <= 'Z';
}
constexpr bool is_lower(int c) {
  return c >= 'a' && c <= 'z';
}

// Every character that a pass does not treat by rule has its letter case swapped.
constexpr char swap_case(int c) {
  if (is_upper(c)) return static_cast<char>(c + ('a' - 'A'));
  if (is_lower(c)) return static_cast<char>(c - ('a' - 'A'));
  return static_cast<char>(c);
}

// What a character without look-ahead writes, chosen by a table so that the common letters cost one
// lookup and one or two writes.
struct Output {
  unsigned char length = 0;
  char text[3] = {};
};

constexpr Output output_of(std::string_view text) {
  Output out;
  out.length = static_cast<unsigned char>(text.size());
  text.copy(out.text, text.size());
  return out;
}

inline void put_output(tsd::Stream& dst, const Output& out) {
  if (out.length == 0) return;
  dst.put(out.text[0]);
  if (out.length == 1) return;
  dst.put(out.text[1]);
  if (out.length == 2) return;
  dst.put(out.text[2]);
}

// The previous character matters only as whitespace (a syllable start) or as one particular letter.
enum PrevClass : unsigned char { kAfterSpace, kAfterLetter, kAfterOther, kPrevClasses };

template <char Letter>
constexpr std::array<unsigned char, 256> make_prev_classes() {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c)
    classes[c] = is_space(c) ? kAfterSpace : c == Letter ? kAfterLetter : kAfterOther;
  return classes;
}

using OutputTable = std::array<std::array<Output, 256>, kPrevClasses>;

// Wylie to KVTS, by the class of the previous character (a blank, "A", anything else). "." "s" "[" look
// ahead and are handled apart.
constexpr auto kWylieClasses = make_prev_classes<'A'>();
constexpr bool wylie_looks_ahead(int c) {
  return c == '.' || c == 's' || c == '[';
}

constexpr OutputTable make_wylie_outputs() {
  OutputTable table{};
  for (int prev = 0; prev < kPrevClasses; ++prev) {
    const bool start = prev == kAfterSpace;
    const bool vowel_start = start || prev == kAfterLetter;
    for (int c = 0; c < 256; ++c) {
      Output& out = table[prev][c];
      switch (c) {
        case 'a':
          out = output_of(start ? "AA" : "A");
          break;
        case 'e':
        case 'i':
        case 'o':
        case 'u':
          out = output_of(vowel_start ? "A" : "");
          out.text[out.length++] = swap_case(c);
          break;
        case 'E':
          out = output_of(vowel_start ? "AEE" : "EE");
          break;
        case 'I':
          out = output_of(vowel_start ? "Ai" : "i");
          break;
        case 'O':
          out = output_of(vowel_start ? "AOO" : "OO");
          break;
        case 'A':
          break;
        case '/':
          out = output_of(",");
          break;
        default:
          out.length = 1;
          out.text[0] = swap_case(c);
          break;
      }
    }
  }
  return table;
}
constexpr OutputTable kWylieOutputs = make_wylie_outputs();

// Copies a bracketed passage after its "[" up to and including the closing "]" or to the end of the
// source; returns the last character copied, which is the previous character of the next item.
int copy_bracketed(tsd::Stream& src, tsd::Stream& dst) {
  int last = '[';
  for (int c = src.get(); c != kEnd; c = src.get()) {
    dst.put(c);
    last = c;
    if (c == ']') break;
  }
  return last;
}

int finish(const tsd::Stream& src, tsd::Stream& dst) {
  const bool written = dst.flush() == 0 && !dst.error();
  return written && !src.error() ? 0 : -1;
}

// The Wylie characters that look at the next one. Returns the last character consumed.
int wylie_look_ahead(tsd::Stream& src, tsd::Stream& dst, int c, int prev) {
  if (c == '[') {
    dst.put('[');
    return copy_bracketed(src, dst);
  }
  const bool after_letter = c == '.' ? prev == 'g' : prev == 't';
  if (!after_letter) {
    dst.put(c == '.' ? ' ' : 'S');
    return c;
  }
  const int next = src.get();
  if (next == (c == '.' ? 'y' : 'h')) {
    dst.write(c == '.' ? "-Y" : "S");
    return next;
  }
  src.unget(next);
  dst.put(c == '.' ? ' ' : 'Z');
  return c;
}

}  // namespace

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst) {
  int prev = kStartOfSource;
  for (int c = src.get(); c != kEnd; c = src.get()) {
    if (wylie_looks_ahead(c)) {
      prev = wylie_look_ahead(src, dst, c, prev);
      continue;
    }
    put_output(dst, kWylieOutputs[kWylieClasses[prev]][c]);
    prev = c;
  }
  return finish(src, dst);
}

namespace {

// KVTS to Wylie, by the class of the previous character (a blank, "T", anything else). "A" "E" "O" "-"
// "[" look ahead and are handled apart; the character read ahead is carried to the next round rather than
// pushed back.
constexpr auto kKvtsClasses = make_prev_classes<'T'>();
constexpr bool kvts_looks_ahead(int c) {
  return c == 'A' || c == 'E' || c == 'O' || c == '-' || c == '[';
}

constexpr OutputTable make_kvts_outputs() {
  OutputTable table{};
  for (int prev = 0; prev < kPrevClasses; ++prev) {
    const bool after_t = prev == kAfterLetter;
    for (int c = 0; c < 256; ++c) {
      Output& out = table[prev][c];
      if (c == ',') {
        out = output_of("/");
      } else if (c == 'S') {
        out = output_of(after_t ? "sh" : "s");
      } else if (c == 'Z') {
        out = output_of(after_t ? "s" : "z");
      } else {
        out.length = 1;
        out.text[0] = swap_case(c);
      }
    }
  }
  return table;
}
constexpr OutputTable kKvtsOutputs = make_kvts_outputs();

// The characters that an "A" before them joins: every other one leaves the "A" as the vowel "a".
constexpr auto kJoinsAChen = [] {
  std::array<bool, 256> joins{};
  for (const unsigned char c : std::string_view("AIUim-EO")) joins[c] = true;
  return joins;
}();
constexpr bool joins_a_chen(int n) {
  return n != kEnd && kJoinsAChen[n];
}

// The "A" of KVTS with the character n after it, which it joins: `start` tells whether the "A" stands at
// a syllable start. Returns the last character consumed; `next` receives the character to handle after it.
int a_chen_to_wylie(tsd::Stream& src, tsd::Stream& dst, int n, int prev, bool start, int& next) {
  switch (n) {
    case 'A':
      dst.put(start ? 'a' : 'A');
      break;
    case 'I':
      dst.write(start ? "i" : "Ai");
      break;
    case 'U':
      dst.write(start ? "u" : "Au");
      break;
    case 'i':
      dst.write(start ? "I" : "AI");
      break;
    case 'm':
      dst.write("aM");
      break;
    case '-':
      dst.put(prev == 'G' ? '.' : '-');
      break;
    default: {
      // "E" or "O": doubled, the long vowel.
      const int after = src.get();
      if (!start) dst.put('A');
      if (after == n) {
        dst.put(n);
        next = src.get();
        return after;
      }
      dst.put(swap_case(n));
      next = after;
      return n;
    }
  }
  next = src.get();
  return n;
}

// The other KVTS characters that look at the next one. Returns the last character consumed; `next`
// receives the character to handle after it.
int kvts_look_ahead(tsd::Stream& src, tsd::Stream& dst, int c, int prev, int& next) {
  if (c == '[') {
    dst.put('[');
    const int last = copy_bracketed(src, dst);
    next = src.get();
    return last;
  }
  const int n = src.get();
  // "EE" and "OO" are the long vowels, a single "E" or "O" the short one; "G-Y" is Wylie "g.y".
  const bool joined = c == '-' ? prev == 'G' && n == 'Y' : n == c;
  if (joined) {
    dst.write(c == '-' ? ".y" : c == 'E' ? "E" : "O");
    next = src.get();
    return n;
  }
  dst.put(c == '-' ? '-' : swap_case(c));
  next = n;
  return c;
}

}  // namespace

int kvts_to_wylie(tsd::Stream& src, tsd::Stream& dst) {
  int prev = kStartOfSource;
  int c = src.get();
  while (c != kEnd) {
    int next = kEnd;
    if (c == 'A') {
      const int n = src.get();
      if (joins_a_chen(n)) {
        prev = a_chen_to_wylie(src, dst, n, prev, is_space(prev), next);
      } else {
        dst.put('a');
        prev = c;
        next = n;
      }
    } else if (kvts_looks_ahead(c)) {
      prev = kvts_look_ahead(src, dst, c, prev, next);
    } else {
      put_output(dst, kKvtsOutputs[kKvtsClasses[prev]][c]);
      prev = c;
      next = src.get();
    }
    c = next;
  }
  return finish(src, dst);
}
