#include "scheme_passes.h"

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
constexpr int swap_case(int c) {
  if (is_upper(c)) return c + ('a' - 'A');
  if (is_lower(c)) return c - ('a' - 'A');
  return c;
}

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

}  // namespace

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst) {
  int prev = kStartOfSource;
  for (int c = src.get(); c != kEnd; c = src.get()) {
    const bool start = is_space(prev);
    switch (c) {
      case 'a':
        dst.write(start ? "AA" : "A");
        break;
      case 'e':
      case 'i':
      case 'o':
      case 'u':
        if (start || prev == 'A') dst.put('A');
        dst.put(swap_case(c));
        break;
      case 'E':
        dst.write(start || prev == 'A' ? "AEE" : "EE");
        break;
      case 'I':
        dst.write(start || prev == 'A' ? "Ai" : "i");
        break;
      case 'O':
        dst.write(start || prev == 'A' ? "AOO" : "OO");
        break;
      case 'A':
        break;
      case '.':
        if (prev == 'g') {
          const int next = src.get();
          if (next == 'y') {
            dst.write("-Y");
            c = next;
            break;
          }
          src.unget(next);
        }
        dst.put(' ');
        break;
      case '/':
        dst.put(',');
        break;
      case 's':
        if (prev == 't') {
          const int next = src.get();
          if (next == 'h') {
            dst.put('S');
            c = next;
            break;
          }
          src.unget(next);
          dst.put('Z');
          break;
        }
        dst.put('S');
        break;
      case '[':
        dst.put('[');
        c = copy_bracketed(src, dst);
        break;
      default:
        dst.put(swap_case(c));
        break;
    }
    prev = c;
  }
  return finish(src, dst);
}

namespace {

// The "A" of KVTS with the character after it: `start` tells whether the "A" stands at a syllable start.
// Returns the last character consumed.
int a_chen_to_wylie(tsd::Stream& src, tsd::Stream& dst, int prev, bool start) {
  const int n = src.get();
  switch (n) {
    case 'A':
      dst.put(start ? 'a' : 'A');
      return n;
    case 'I':
      dst.write(start ? "i" : "Ai");
      return n;
    case 'U':
      dst.write(start ? "u" : "Au");
      return n;
    case 'i':
      dst.write(start ? "I" : "AI");
      return n;
    case 'm':
      dst.write("aM");
      return n;
    case '-':
      dst.put(prev == 'G' ? '.' : '-');
      return n;
    case 'E':
    case 'O': {
      const int after = src.get();
      const bool doubled = after == n;
      if (!doubled) src.unget(after);
      if (!start) dst.put('A');
      dst.put(doubled ? n : swap_case(n));
      return doubled ? after : n;
    }
    default:
      src.unget(n);
      dst.put('a');
      return 'A';
  }
}

}  // namespace

int kvts_to_wylie(tsd::Stream& src, tsd::Stream& dst) {
  int prev = kStartOfSource;
  for (int c = src.get(); c != kEnd; c = src.get()) {
    switch (c) {
      case 'O':
      case 'E': {
        const int next = src.get();
        if (next == c) {
          dst.put(c);
          c = next;
          break;
        }
        src.unget(next);
        dst.put(swap_case(c));
        break;
      }
      case ',':
        dst.put('/');
        break;
      case '-':
        if (prev == 'G') {
          const int next = src.get();
          if (next == 'Y') {
            dst.write(".y");
            c = next;
            break;
          }
          src.unget(next);
        }
        dst.put('-');
        break;
      case 'S':
        dst.write(prev == 'T' ? "sh" : "s");
        break;
      case 'Z':
        dst.put(prev == 'T' ? 's' : 'z');
        break;
      case '[':
        dst.put('[');
        c = copy_bracketed(src, dst);
        break;
      case 'A':
        c = a_chen_to_wylie(src, dst, prev, is_space(prev));
        break;
      default:
        dst.put(swap_case(c));
        break;
    }
    prev = c;
  }
  return finish(src, dst);
}
