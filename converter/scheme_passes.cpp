#include "scheme_passes.h"

#include <array>
#include <cstring>
#include <string_view>

namespace tarvex {

namespace {

constexpr int kEnd = tsd::Stream::end;

// The C locale's whitespace; the start of the source counts as a syllable start too.
constexpr bool is_space(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

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

// One step of a pass's state machine: the bytes that a character writes and the state after it. A
// character that the look-ahead rules hold back moves to a waiting state instead, whose row writes the
// held-back text together with the next character's own, so no character is ever pushed back. Only "["
// leaves the table: its step writes the text before the passage, and the passage is copied apart.
// A step names the state after it by the offset of that state's row in the table.
constexpr int kBracket = -1;
constexpr unsigned kBracketRow = 0xFFFF;

struct Step {
  char text[4] = {};
  unsigned char length = 0;
  unsigned short next_row = 0;
};

constexpr Step step_of(std::string_view text, int next) {
  Step step;
  text.copy(step.text, text.size());
  step.length = static_cast<unsigned char>(text.size());
  step.next_row = static_cast<unsigned short>(next == kBracket ? kBracketRow : 256u * next);
  return step;
}

// `before` written ahead of `step`, for a waiting state that lets its held-back text go.
constexpr Step prefixed(std::string_view before, Step step) {
  Step out = step_of(before, 0);
  out.next_row = step.next_row;
  for (int k = 0; k < step.length; ++k) out.text[out.length++] = step.text[k];
  return out;
}

template <std::size_t States>
using StepTable = std::array<std::array<Step, 256>, States>;

// The pass's output, gathered in a local block and handed to the destination whole.
class Sink {
 public:
  static constexpr int kFlushAt = 4096;
  static constexpr int kSize = kFlushAt + sizeof(Step::text);

  explicit Sink(tsd::Stream& dst) : dst_(dst) {}
  char* block() { return buf_; }
  // Hands the first `length` bytes of the block to the destination.
  void flush(int length) {
    if (length > 0) dst_.write(buf_, static_cast<std::size_t>(length));
  }
  // 0 when the source was read and everything reached the destination, else -1.
  int finish(const tsd::Stream& src, int length) {
    flush(length);
    const bool written = dst_.flush() == 0 && !dst_.error();
    return written && !src.error() ? 0 : -1;
  }

 private:
  tsd::Stream& dst_;
  char buf_[kSize];
};

// Copies a bracketed passage up to and including the closing "]" or to the end of the source; returns
// the last character copied, which is the previous character of the next item.
int copy_bracketed(tsd::Stream& src, Sink& dst, int& length) {
  char* const out = dst.block();
  out[length++] = '[';
  int last = '[';
  for (int c = src.get(); c != kEnd; c = src.get()) {
    if (length >= Sink::kFlushAt) {
      dst.flush(length);
      length = 0;
    }
    out[length++] = static_cast<char>(c);
    last = c;
    if (c == ']') break;
  }
  return last;
}

// Wylie to KVTS, by the previous character: a blank (a syllable start), "A", "t", "g", or anything else;
// then the two waiting states of "s" after "t" (for "tsh") and "." after "g" (for "g.y").
enum WylieState : unsigned char {
  kAfterSpace,
  kAfterA,
  kAfterLowerT,
  kAfterLowerG,
  kAfterNone,
  kWaitingTs,
  kWaitingGDot,
  kWylieStates
};

constexpr unsigned char wylie_state_after(int c) {
  return is_space(c) ? kAfterSpace
         : c == 'A'  ? kAfterA
         : c == 't'  ? kAfterLowerT
         : c == 'g'  ? kAfterLowerG
                     : kAfterNone;
}

constexpr Step wylie_plain_step(int prev, int c) {
  const bool start = prev == kAfterSpace;
  const bool vowel_start = start || prev == kAfterA;
  const int next = wylie_state_after(c);
  switch (c) {
    case 'a':
      return step_of(start ? "AA" : "A", next);
    case 'e':
    case 'i':
    case 'o':
    case 'u': {
      Step step = step_of(vowel_start ? "A" : "", next);
      step.text[step.length++] = swap_case(c);
      return step;
    }
    case 'E':
      return step_of(vowel_start ? "AEE" : "EE", next);
    case 'I':
      return step_of(vowel_start ? "Ai" : "i", next);
    case 'O':
      return step_of(vowel_start ? "AOO" : "OO", next);
    case 'A':
      return step_of("", next);
    case '/':
      return step_of(",", next);
    case '.':
      return step_of(prev == kAfterLowerG ? "" : " ", prev == kAfterLowerG ? kWaitingGDot : next);
    case 's':
      return step_of(prev == kAfterLowerT ? "" : "S", prev == kAfterLowerT ? kWaitingTs : next);
    case '[':
      return step_of("", kBracket);
    default: {
      Step step = step_of("", next);
      step.text[step.length++] = swap_case(c);
      return step;
    }
  }
}

constexpr auto kWylieSteps = [] {
  StepTable<kWylieStates> steps{};
  for (int c = 0; c < 256; ++c) {
    for (int prev = 0; prev < kAfterNone + 1; ++prev) steps[prev][c] = wylie_plain_step(prev, c);
    // "tsh" is "TS" and "g.y" is "G-Y"; otherwise the held-back "s" or "." is written as if alone, and
    // the character after it follows as after any other character.
    const Step after_other = wylie_plain_step(kAfterNone, c);
    steps[kWaitingTs][c] = c == 'h' ? step_of("S", kAfterNone) : prefixed("Z", after_other);
    steps[kWaitingGDot][c] = c == 'y' ? step_of("-Y", kAfterNone) : prefixed(" ", after_other);
  }
  return steps;
}();

// What a waiting state writes when the source ends.
template <std::size_t States>
using EndTexts = std::array<std::string_view, States>;

constexpr EndTexts<kWylieStates> kWylieEndTexts = {"", "", "", "", "", "Z", " "};

// A pass's table as it runs: each entry holds the address of the row of the state after it, so finding
// the next entry costs one load and no arithmetic on the way. Built from the step table on first use.
struct Link {
  const Link* next = nullptr;  // null: a passage follows
  char text[4] = {};
  unsigned char length = 0;
};

template <std::size_t States>
class Links {
 public:
  explicit Links(const StepTable<States>& steps) {
    for (std::size_t state = 0; state < States; ++state) {
      for (std::size_t c = 0; c < 256; ++c) {
        const Step& step = steps[state][c];
        Link& link = links_[state * 256 + c];
        link.next = at(step.next_row);
        std::memcpy(link.text, step.text, sizeof link.text);
        link.length = step.length;
      }
    }
  }
  const Link* at(unsigned next_row) const { return next_row == kBracketRow ? nullptr : &links_[next_row]; }
  std::size_t state_of(const Link* row) const { return static_cast<std::size_t>(row - links_.data()) / 256; }

 private:
  std::array<Link, States * 256> links_;
};

// The state after a character, found from the entry just taken: each state depends on the one before.
struct NextFromStep {
  const Link* next_row(const Link& link, int) const { return link.next; }
  void after_bracket(int) {}
};

// Runs a pass's state machine over the whole source. Every step stores four bytes into the block and
// keeps as many as it wrote, so the loop has no branch on the length of a step's output.
template <std::size_t States, typename Next>
int run_steps(tsd::Stream& src, tsd::Stream& destination, const Links<States>& links,
              const EndTexts<States>& end_texts, unsigned char (*state_after)(int), Next next) {
  Sink dst(destination);
  char* const out = dst.block();
  int length = 0;
  const Link* row = links.at(0);  // the start of the source is a syllable start
  for (int c = src.get(); c != kEnd; c = src.get()) {
    const Link& link = row[c];
    std::memcpy(out + length, link.text, sizeof link.text);
    length += link.length;
    row = next.next_row(link, c);
    if (length >= Sink::kFlushAt) {
      dst.flush(length);
      length = 0;
    }
    if (row == nullptr) {
      const int last = copy_bracketed(src, dst, length);
      row = links.at(256u * state_after(last));
      next.after_bracket(last);
    }
  }
  for (const char c : end_texts[links.state_of(row)]) out[length++] = c;
  return dst.finish(src, length);
}

// In Wylie the state after a character depends only on that character and on whether the one before it
// was "t", "g" or another: the pass finds it from the source alone, without waiting for the step before.
constexpr int wylie_kind(int c) {
  return c == 't' ? 1 : c == 'g' ? 2 : 0;
}
constexpr WylieState kStateOfKind[] = {kAfterNone, kAfterLowerT, kAfterLowerG};

constexpr auto kWylieNextRows = [] {
  std::array<std::array<unsigned short, 256>, 3> rows{};
  for (int kind = 0; kind < 3; ++kind)
    for (int c = 0; c < 256; ++c) rows[kind][c] = kWylieSteps[kStateOfKind[kind]][c].next_row;
  return rows;
}();

constexpr bool next_rows_agree_with_steps() {
  for (int state = 0; state < kWylieStates; ++state) {
    const int kind = state == kAfterLowerT ? 1 : state == kAfterLowerG ? 2 : 0;
    for (int c = 0; c < 256; ++c)
      if (kWylieSteps[state][c].next_row != kWylieNextRows[kind][c]) return false;
  }
  return true;
}
static_assert(next_rows_agree_with_steps());

using WylieRows = std::array<std::array<const Link*, 256>, 3>;

WylieRows wylie_rows(const Links<kWylieStates>& links) {
  WylieRows rows;
  for (std::size_t kind = 0; kind < 3; ++kind)
    for (std::size_t c = 0; c < 256; ++c) rows[kind][c] = links.at(kWylieNextRows[kind][c]);
  return rows;
}

struct NextFromWylieKind {
  const WylieRows& rows;
  std::size_t kind = 0;  // the character before the source is a NUL

  const Link* next_row(const Link&, int c) {
    const Link* row = rows[kind][static_cast<std::size_t>(c)];
    kind = static_cast<std::size_t>(wylie_kind(c));
    return row;
  }
  void after_bracket(int last) { kind = static_cast<std::size_t>(wylie_kind(last)); }
};

const Links<kWylieStates>& wylie_links() {
  static const Links<kWylieStates> links(kWylieSteps);
  return links;
}

}  // namespace

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst) {
  static const WylieRows rows = wylie_rows(wylie_links());
  return run_steps(
      src, dst, wylie_links(), kWylieEndTexts, [](int c) { return wylie_state_after(c); },
      NextFromWylieKind{rows});
}

void wylie_places(tsd::Stream& src, std::span<std::uint64_t> offsets) {
  const Links<kWylieStates>& links = wylie_links();
  static const WylieRows rows = wylie_rows(links);
  NextFromWylieKind next{rows};
  std::uint64_t written = 0;  // KVTS bytes written so far
  std::uint64_t at = 0;       // where the character being stepped lies in the Wylie
  std::size_t q = 0;
  const auto written_by_this = [&] {
    while (q < offsets.size() && offsets[q] < written) offsets[q++] = at;
  };
  const Link* row = links.at(0);
  for (;;) {
    const std::uint64_t here = src.read_offset();
    int c = src.get();
    if (c == kEnd) break;
    at = here;
    const Link& link = row[c];
    written += link.length;
    written_by_this();
    row = next.next_row(link, c);
    if (row != nullptr) continue;
    // A bracketed passage is copied a byte for a byte, its "[" and "]" included.
    ++written;
    written_by_this();
    int last = '[';
    for (;;) {
      const std::uint64_t inside = src.read_offset();
      if ((c = src.get()) == kEnd) break;
      at = inside;
      ++written;
      written_by_this();
      last = c;
      if (c == ']') break;
    }
    row = links.at(256u * wylie_state_after(last));
    next.after_bracket(last);
  }
  written += kWylieEndTexts[links.state_of(row)].size();
  written_by_this();
  while (q < offsets.size()) offsets[q++] = at;
}

namespace {

// KVTS to Wylie, by the previous item: the previous character as a blank, "T", "G" or anything else; an
// "A" whose output waits for the character after it (at a syllable start, after "G", or elsewhere); or a
// waiting "E", "O", or "-" after "G", whose output depends on the character after them.
enum KvtsState : unsigned char {
  kSpace,
  kAfterT,
  kAfterG,
  kAfterOther,
  kAChenAtStart,
  kAChenAfterG,
  kAChen,
  kWaitingE,
  kWaitingO,
  kWaitingGDash,
  kKvtsStates
};

constexpr bool is_a_chen(int state) {
  return state == kAChenAtStart || state == kAChenAfterG || state == kAChen;
}

constexpr unsigned char kvts_state_after(int c) {
  if (is_space(c)) return kSpace;
  if (c == 'T') return kAfterT;
  if (c == 'G') return kAfterG;
  return kAfterOther;
}

// A character with no "A" waiting before it.
constexpr Step plain_step(int state, int c) {
  switch (c) {
    case 'E':
      return step_of("", kWaitingE);
    case 'O':
      return step_of("", kWaitingO);
    case '[':
      return step_of("", kBracket);
    case 'A':
      return step_of("", state == kSpace ? kAChenAtStart : state == kAfterG ? kAChenAfterG : kAChen);
    case ',':
      return step_of("/", kAfterOther);
    case 'S':
      return step_of(state == kAfterT ? "sh" : "s", kAfterOther);
    case 'Z':
      return step_of(state == kAfterT ? "s" : "z", kAfterOther);
    case '-':
      return step_of(state == kAfterG ? "" : "-", state == kAfterG ? kWaitingGDash : kAfterOther);
    default: {
      Step step = step_of("", kvts_state_after(c));
      step.text[step.length++] = swap_case(c);
      return step;
    }
  }
}

// A character after a waiting "A": the "A" joins it, or is written "a" before it. Before "E" and "O" it
// writes "A" except at a syllable start, and the vowel waits in turn.
constexpr Step a_chen_step(int state, int c) {
  const bool start = state == kAChenAtStart;
  switch (c) {
    case 'A':
      return step_of(start ? "a" : "A", kAfterOther);
    case 'I':
      return step_of(start ? "i" : "Ai", kAfterOther);
    case 'U':
      return step_of(start ? "u" : "Au", kAfterOther);
    case 'i':
      return step_of(start ? "I" : "AI", kAfterOther);
    case 'm':
      return step_of("aM", kAfterOther);
    case '-':
      return step_of(state == kAChenAfterG ? "." : "-", kAfterOther);
    case 'E':
    case 'O':
      return prefixed(start ? "" : "A", plain_step(kAfterOther, c));
    case '[':
      return step_of("a", kBracket);
    default:
      return prefixed("a", plain_step(kAfterOther, c));
  }
}

constexpr auto kKvtsSteps = [] {
  StepTable<kKvtsStates> steps{};
  for (int c = 0; c < 256; ++c) {
    for (int state = 0; state < kWaitingE; ++state)
      steps[state][c] = is_a_chen(state) ? a_chen_step(state, c) : plain_step(state, c);
    // "EE" and "OO" are the long vowels, a single "E" or "O" the short one; "G-Y" is Wylie "g.y". A
    // waiting character that does not join the next is written alone, and the next follows it as after
    // any other character.
    const Step after_other = plain_step(kAfterOther, c);
    steps[kWaitingE][c] = c == 'E' ? step_of("E", kAfterOther) : prefixed("e", after_other);
    steps[kWaitingO][c] = c == 'O' ? step_of("O", kAfterOther) : prefixed("o", after_other);
    steps[kWaitingGDash][c] = c == 'Y' ? step_of(".y", kAfterOther) : prefixed("-", after_other);
  }
  return steps;
}();

// An "A" at the end of the source is the vowel "a"; a waiting "E", "O" or "-" is written alone.
constexpr EndTexts<kKvtsStates> kKvtsEndTexts = {"", "", "", "", "a", "a", "a", "e", "o", "-"};

}  // namespace

int kvts_to_wylie(tsd::Stream& src, tsd::Stream& dst) {
  static const Links<kKvtsStates> links(kKvtsSteps);
  return run_steps(
      src, dst, links, kKvtsEndTexts, [](int c) { return kvts_state_after(c); }, NextFromStep{});
}

}  // namespace tarvex
