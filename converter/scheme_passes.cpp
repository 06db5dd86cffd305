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

// The destination of a pass, with the writing of a table step's one to three bytes.
class Sink {
 public:
  explicit Sink(tsd::Stream& dst) : dst_(dst) {}
  void add(const Output& out) {
    if (out.length == 0) return;
    dst_.put(out.text[0]);
    if (out.length == 1) return;
    dst_.put(out.text[1]);
    if (out.length == 2) return;
    dst_.put(out.text[2]);
  }
  void put(int c) { dst_.put(c); }
  void write(std::string_view text) {
    for (const char c : text) dst_.put(c);
  }
  // 0 when the source was read and everything reached the destination, else -1.
  int finish(const tsd::Stream& src) {
    const bool written = dst_.flush() == 0 && !dst_.error();
    return written && !src.error() ? 0 : -1;
  }

 private:
  tsd::Stream& dst_;
};

// Wylie to KVTS, by the previous character: a blank (a syllable start), "A", "t", "g", or anything else.
// "[", "s" after "t" and "." after "g" look ahead and are handled apart.
enum WylieClass : unsigned char {
  kAfterSpace,
  kAfterA,
  kAfterLowerT,
  kAfterLowerG,
  kAfterNone,
  kWylieClasses
};

constexpr auto kWylieClassOf = [] {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    classes[c] = is_space(c) ? kAfterSpace
                 : c == 'A'  ? kAfterA
                 : c == 't'  ? kAfterLowerT
                 : c == 'g'  ? kAfterLowerG
                             : kAfterNone;
  }
  return classes;
}();

struct WylieStep {
  Output out;
  bool looks_ahead = false;
};

constexpr WylieStep wylie_step(int prev, int c) {
  const bool start = prev == kAfterSpace;
  const bool vowel_start = start || prev == kAfterA;
  WylieStep step;
  Output& out = step.out;
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
    case '.':
      step.looks_ahead = prev == kAfterLowerG;
      out = output_of(" ");
      break;
    case 's':
      step.looks_ahead = prev == kAfterLowerT;
      out = output_of("S");
      break;
    case '[':
      step.looks_ahead = true;
      break;
    default:
      out.length = 1;
      out.text[0] = swap_case(c);
      break;
  }
  return step;
}

constexpr auto kWylieSteps = [] {
  std::array<std::array<WylieStep, 256>, kWylieClasses> steps{};
  for (int prev = 0; prev < kWylieClasses; ++prev)
    for (int c = 0; c < 256; ++c) steps[prev][c] = wylie_step(prev, c);
  return steps;
}();

// Copies a bracketed passage after its "[" up to and including the closing "]" or to the end of the
// source; returns the last character copied, which is the previous character of the next item.
int copy_bracketed(tsd::Stream& src, Sink& dst) {
  int last = '[';
  for (int c = src.get(); c != kEnd; c = src.get()) {
    dst.put(c);
    last = c;
    if (c == ']') break;
  }
  return last;
}

// "[", "s" after "t" and "." after "g". Returns the last character consumed.
int wylie_look_ahead(tsd::Stream& src, Sink& dst, int c) {
  if (c == '[') {
    dst.put('[');
    return copy_bracketed(src, dst);
  }
  const int next = src.get();
  if (next == (c == '.' ? 'y' : 'h')) {
    // "g.y" joins the letters as "G-Y"; "tsh" is "TS".
    dst.write(c == '.' ? "-Y" : "S");
    return next;
  }
  src.unget(next);
  dst.put(c == '.' ? ' ' : 'Z');
  return c;
}

}  // namespace

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& destination) {
  Sink dst(destination);
  int prev = kStartOfSource;
  for (int c = src.get(); c != kEnd; c = src.get()) {
    const WylieStep& step = kWylieSteps[kWylieClassOf[prev]][c];
    if (step.looks_ahead) {
      prev = wylie_look_ahead(src, dst, c);
      continue;
    }
    dst.add(step.out);
    prev = c;
  }
  return dst.finish(src);
}

namespace {

// KVTS to Wylie runs as a small state machine over the previous item, so that most characters cost one
// table step: the previous character as a blank, "T" or "G", or an "A" whose output waits for the
// character after it (at a syllable start, after "G", or elsewhere). "E", "O", "[" and "-" after "G" look
// further ahead and are handled apart.
enum KvtsState : unsigned char {
  kSpace,
  kAfterT,
  kAfterG,
  kAfterOther,
  kAChenAtStart,
  kAChenAfterG,
  kAChen,
  kKvtsStates,
  kLooksAhead = kKvtsStates,
};

constexpr bool is_a_chen(int state) {
  return state >= kAChenAtStart;
}

constexpr unsigned char state_after(int c) {
  if (is_space(c)) return kSpace;
  if (c == 'T') return kAfterT;
  if (c == 'G') return kAfterG;
  return kAfterOther;
}

struct Step {
  Output out;
  unsigned char next = kAfterOther;
};

// A character with no "A" waiting before it.
constexpr Step plain_step(int state, int c) {
  if (c == 'E' || c == 'O' || c == '[' || (c == '-' && state == kAfterG)) return {{}, kLooksAhead};
  if (c == 'A') return {{}, state == kSpace ? kAChenAtStart : state == kAfterG ? kAChenAfterG : kAChen};
  Step step;
  step.next = state_after(c);
  if (c == ',') {
    step.out = output_of("/");
  } else if (c == 'S') {
    step.out = output_of(state == kAfterT ? "sh" : "s");
  } else if (c == 'Z') {
    step.out = output_of(state == kAfterT ? "s" : "z");
  } else {
    step.out.length = 1;
    step.out.text[0] = swap_case(c);
  }
  return step;
}

// A character after a waiting "A": the "A" joins it, or is written "a" before it.
constexpr Step a_chen_step(int state, int c) {
  const bool start = state == kAChenAtStart;
  switch (c) {
    case 'A':
      return {output_of(start ? "a" : "A"), kAfterOther};
    case 'I':
      return {output_of(start ? "i" : "Ai"), kAfterOther};
    case 'U':
      return {output_of(start ? "u" : "Au"), kAfterOther};
    case 'i':
      return {output_of(start ? "I" : "AI"), kAfterOther};
    case 'm':
      return {output_of("aM"), kAfterOther};
    case '-':
      return {output_of(state == kAChenAfterG ? "." : "-"), kAfterOther};
    case 'E':
    case 'O':
    case '[':
      return {{}, kLooksAhead};
    default: {
      Step step = plain_step(kAfterOther, c);
      step.out.text[2] = step.out.text[1];
      step.out.text[1] = step.out.text[0];
      step.out.text[0] = 'a';
      ++step.out.length;
      return step;
    }
  }
}

constexpr auto kKvtsSteps = [] {
  std::array<std::array<Step, 256>, kKvtsStates> steps{};
  for (int state = 0; state < kKvtsStates; ++state)
    for (int c = 0; c < 256; ++c)
      steps[state][c] = is_a_chen(state) ? a_chen_step(state, c) : plain_step(state, c);
  return steps;
}();

// "E", "O", "[" after any state and "-" after "G". Returns the state after them.
int kvts_look_ahead(tsd::Stream& src, Sink& dst, int c, int state) {
  if (c == '[') {
    if (is_a_chen(state)) dst.put('a');
    dst.put('[');
    return state_after(copy_bracketed(src, dst));
  }
  const int n = src.get();
  if (c == '-') {
    // "G-Y" is Wylie "g.y".
    if (n == 'Y') {
      dst.write(".y");
    } else {
      src.unget(n);
      dst.put('-');
    }
    return kAfterOther;
  }
  // "EE" and "OO" are the long vowels, a single "E" or "O" the short one; an "A" before them writes "A"
  // except at a syllable start.
  if (is_a_chen(state) && state != kAChenAtStart) dst.put('A');
  if (n == c) {
    dst.put(c);
  } else {
    src.unget(n);
    dst.put(swap_case(c));
  }
  return kAfterOther;
}

}  // namespace

int kvts_to_wylie(tsd::Stream& src, tsd::Stream& destination) {
  Sink dst(destination);
  int state = kSpace;  // the start of the source is a syllable start
  for (int c = src.get(); c != kEnd; c = src.get()) {
    const Step& step = kKvtsSteps[state][c];
    if (step.next == kLooksAhead) {
      state = kvts_look_ahead(src, dst, c, state);
      continue;
    }
    dst.add(step.out);
    state = step.next;
  }
  // An "A" at the end of the source is the vowel "a".
  if (is_a_chen(state)) dst.put('a');
  return dst.finish(src);
}
