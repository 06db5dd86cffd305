#include "scheme_passes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>
#include <vector>

#include "char_class.h"
#include "packed_keys.h"

namespace tarvex {

namespace {

constexpr int kEnd = tsd::Stream::end;

using tsd::is_space;

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
constexpr int kBracket = 0xFF;

struct Step {
  char text[4] = {};
  unsigned char length = 0;
  unsigned char next = 0;
};

constexpr Step step_of(std::string_view text, int next) {
  Step step;
  text.copy(step.text, text.size());
  step.length = static_cast<unsigned char>(text.size());
  step.next = static_cast<unsigned char>(next);
  return step;
}

// `before` written ahead of `step`, for a waiting state that lets its held-back text go.
constexpr Step prefixed(std::string_view before, Step step) {
  Step out = step_of(before, 0);
  out.next = step.next;
  for (int k = 0; k < step.length; ++k) out.text[out.length++] = step.text[k];
  return out;
}

template <std::size_t States>
using StepTable = std::array<std::array<Step, 256>, States>;

// What each state writes when the source ends.
template <std::size_t States>
using EndTexts = std::array<std::string_view, States>;

// A pass as it runs. A state is held as kField times its number, which is where its field lies in each
// byte's word of next states: the state after a byte is one shift and one mask of a word that the byte
// alone selects, so each step waits on the one before it for two instructions only. What a byte writes
// in a state is one 32-bit entry: its text (at most three bytes, in the order written) and its length.
constexpr int kField = 6;
constexpr std::uint64_t kFieldMask = (1u << kField) - 1;
constexpr std::size_t kLongestText = 3;

constexpr std::uint32_t entry_of(std::string_view text) {
  constexpr bool little = std::endian::native == std::endian::little;
  std::uint32_t entry = 0;
  for (std::size_t k = 0; k < text.size(); ++k)
    entry |= std::uint32_t{static_cast<unsigned char>(text[k])} << (little ? 8 * k : 24 - 8 * k);
  return entry | static_cast<std::uint32_t>(text.size()) << (little ? 24 : 0);
}

constexpr std::size_t length_of(std::uint32_t entry) {
  return std::endian::native == std::endian::little ? entry >> 24 : entry & 0xFF;
}

// The first entry of a state's row.
constexpr std::size_t row_of(std::uint64_t state) {
  return static_cast<std::size_t>(state) << 8;
}

template <std::size_t States>
struct Machine {
  static_assert(States * kField <= 64 && (States - 1) * kField <= kFieldMask);

  std::array<std::uint64_t, 256> next{};  // for each byte, the state after it from each state
  std::array<std::uint32_t, ((States - 1) * kField + 1) * 256> entries{};  // from row_of(state)
  std::array<std::uint8_t, 256> after_passage{};  // the state after a passage whose last byte this is
  std::array<std::uint32_t, States> end_entries{};

  constexpr std::uint64_t next_state(std::uint64_t state, unsigned c) const {
    return next[c] >> state & kFieldMask;
  }
  constexpr std::uint32_t end_entry(std::uint64_t state) const { return end_entries[state / kField]; }
};

// Whether the machine can hold a pass: only "[" leaves the table, and no text is too long for an entry
// (the "[" writes what its step writes and the "[" itself).
template <std::size_t States>
constexpr bool runnable(const StepTable<States>& steps, const EndTexts<States>& end_texts) {
  for (std::size_t state = 0; state < States; ++state) {
    for (std::size_t c = 0; c < 256; ++c) {
      const Step& step = steps[state][c];
      if ((step.next == kBracket) != (c == '[')) return false;
      if (step.length + std::size_t{c == '['} > kLongestText) return false;
    }
    if (end_texts[state].size() > kLongestText) return false;
  }
  return true;
}

template <std::size_t States>
constexpr Machine<States> machine_of(const StepTable<States>& steps, const EndTexts<States>& end_texts,
                                     unsigned char (*state_after)(int)) {
  Machine<States> m;
  for (std::size_t state = 0; state < States; ++state) {
    for (std::size_t c = 0; c < 256; ++c) {
      const Step& step = steps[state][c];
      char text[4] = {};
      std::string_view(step.text, step.length).copy(text, step.length);
      if (c == '[') text[step.length] = '[';
      m.entries[row_of(state * kField) + c] = entry_of(std::string_view(text, step.length + (c == '[')));
      if (c != '[') m.next[c] |= std::uint64_t{step.next} * kField << (state * kField);
    }
    m.end_entries[state] = entry_of(end_texts[state]);
  }
  for (int c = 0; c < 256; ++c) m.after_passage[c] = static_cast<std::uint8_t>(state_after(c) * kField);
  return m;
}

// Steps through the bytes [p, end) from `state`, writing at `out`; returns where the output ends. Every
// step stores four bytes and keeps as many as it wrote, so the loop has no branch on the text.
template <std::size_t States>
char* run_block(const Machine<States>& m, const unsigned char* p, const unsigned char* end,
                std::uint64_t& state, char* out) {
  std::uint64_t s = state;
  const auto step = [&](unsigned c) {
    const std::uint32_t entry = m.entries[row_of(s) + c];
    const std::uint64_t next = m.next[c];
    std::memcpy(out, &entry, sizeof entry);
    out += length_of(entry);
    s = next >> s & kFieldMask;
  };
  for (; end - p >= 8; p += 8) {
    std::uint64_t bytes = load_8(p);
    for (int k = 0; k < 8; ++k, bytes >>= 8) step(static_cast<unsigned>(bytes & 0xFF));
  }
  for (; p != end; ++p) step(*p);
  state = s;
  return out;
}

// The pass's output, gathered in a local block and handed to the destination whole.
class Sink {
 public:
  static constexpr std::size_t kSize = std::size_t{1} << 14;
  static constexpr std::size_t kLeastRoom = 64;

  explicit Sink(tsd::Stream& dst) : dst_(dst) {}
  char* at() { return at_; }
  void wrote_to(char* at) { at_ = at; }
  std::size_t room() const { return static_cast<std::size_t>(buf_ + kSize - at_); }
  void append(std::uint32_t entry) {
    std::memcpy(at_, &entry, sizeof entry);
    at_ += length_of(entry);
  }
  void flush() {
    if (at_ > buf_) dst_.write(buf_, static_cast<std::size_t>(at_ - buf_));
    flushed_ += static_cast<std::uint64_t>(at_ - buf_);
    at_ = buf_;
  }
  // n bytes written to the destination past the sink.
  void copied(std::uint64_t n) { flushed_ += n; }
  // The bytes written so far.
  std::uint64_t total() const { return flushed_ + static_cast<std::uint64_t>(at_ - buf_); }
  // 0 when the source was read and everything reached the destination, else -1.
  int finish(const tsd::Stream& src) {
    flush();
    const bool written = dst_.flush() == 0 && !dst_.error();
    return written && !src.error() ? 0 : -1;
  }

 private:
  tsd::Stream& dst_;
  char buf_[kSize + sizeof(std::uint32_t)];
  char* at_ = buf_;
  std::uint64_t flushed_ = 0;
};

// Copies the passage after a "[" up to and including the closing "]", or to the end of the source;
// returns the last byte copied ("[" when none was).
int copy_passage(tsd::Stream& src, tsd::Stream& dst) {
  int last = '[';
  tsd::run_windows(
      src,
      [&](const unsigned char* p, std::size_t size) {
        const void* close = std::memchr(p, ']', size);
        const std::size_t n =
            close ? static_cast<std::size_t>(static_cast<const unsigned char*>(close) - p) + 1 : size;
        dst.write(p, n);
        last = p[n - 1];
        return tsd::WindowUse{n, close ? tsd::WindowUse::Next::stop : tsd::WindowUse::Next::again};
      },
      [&](int c) {
        dst.put(c);
        last = c;
        return c != ']';
      });
  return last;
}

// Where a pass starts again from a state of its own: at a piece of the source converted as if alone, the
// source's offset where it starts.
struct Restart {
  std::uint64_t at;
  std::uint64_t state;
};

// Runs a pass over the whole source from `state`: the bytes in the source's read window block by block up
// to the next "[", the rest (a CR of text mode, a block's last bytes, the passages) one at a time. At each
// of `restarts` (ascending; one inside a passage is taken after it) the state before it ends as the
// source's end ends it and the restart's state follows; `written_at` gets how many bytes were written
// before each.
template <std::size_t States>
int run_pass(tsd::Stream& src, tsd::Stream& destination, const Machine<States>& m, std::uint64_t state = 0,
             std::span<const Restart> restarts = {}, std::vector<std::size_t>* written_at = nullptr) {
  Sink dst(destination);
  std::size_t next = 0;
  // Takes the restarts at or before `here`; returns how many bytes lie before the next one.
  const auto restart_at = [&](std::uint64_t here) {
    for (; next < restarts.size() && restarts[next].at <= here; ++next) {
      if (dst.room() < Sink::kLeastRoom) dst.flush();
      dst.append(m.end_entry(state));
      state = restarts[next].state;
      if (written_at) written_at->push_back(static_cast<std::size_t>(dst.total()));
    }
    return next < restarts.size() ? static_cast<std::size_t>(restarts[next].at - here) : SIZE_MAX;
  };
  tsd::run_windows(
      src,
      [&](const unsigned char* p, std::size_t size) {
        if (dst.room() < Sink::kLeastRoom) dst.flush();
        std::size_t until = SIZE_MAX;
        if (next < restarts.size()) [[unlikely]] {
          until = restart_at(src.read_offset());
          if (dst.room() < Sink::kLeastRoom) dst.flush();
        }
        const std::size_t n = std::min({size, dst.room() / kLongestText, until});
        const void* bracket = std::memchr(p, '[', n);
        const std::size_t run =
            bracket ? static_cast<std::size_t>(static_cast<const unsigned char*>(bracket) - p) : n;
        dst.wrote_to(run_block(m, p, p + run, state, dst.at()));
        // Up to a restart or the sink's room, the window again; at a "[", the passage a byte at a time.
        return tsd::WindowUse{run, run == n ? tsd::WindowUse::Next::again : tsd::WindowUse::Next::byte};
      },
      [&](int c, std::uint64_t at) {
        if (dst.room() < Sink::kLeastRoom) dst.flush();
        if (next < restarts.size()) [[unlikely]] {
          restart_at(at);
          if (dst.room() < Sink::kLeastRoom) dst.flush();
        }
        dst.append(m.entries[row_of(state) + static_cast<unsigned>(c)]);
        if (c != '[') {
          state = m.next_state(state, static_cast<unsigned>(c));
          return true;
        }
        dst.flush();
        const std::uint64_t passage = src.read_offset();
        state = m.after_passage[static_cast<unsigned char>(copy_passage(src, destination))];
        // Copied byte for byte past the sink (a source read with restarts is read untranslated).
        if (written_at) dst.copied(src.read_offset() - passage);
        return true;
      });
  // Restarts at the end: pieces with nothing in them.
  for (; next < restarts.size(); ++next) {
    dst.append(m.end_entry(state));
    state = restarts[next].state;
    if (written_at) written_at->push_back(static_cast<std::size_t>(dst.total()));
  }
  dst.append(m.end_entry(state));
  return dst.finish(src);
}

// Wylie to KVTS, by the previous character: a blank (a syllable start), "A", "t", "g", or anything else;
// then the two waiting states of "s" after "t" (for "tsh") and "." after "g" (for "g.y").
enum WylieState : unsigned char {
  kAfterSpace,  // and the start of the source, which counts as a syllable start too
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
    case kWylieShad:
      return step_of(kShadInKvts, next);
    case kWylieTsheg:
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
    steps[kWaitingGDot][c] =
        tsheg_breaks_within('g', c) ? step_of("-Y", kAfterNone) : prefixed(" ", after_other);
  }
  return steps;
}();

// What a waiting state writes when the source ends.
constexpr EndTexts<kWylieStates> kWylieEndTexts = {"", "", "", "", "", "Z", " "};

static_assert(runnable(kWylieSteps, kWylieEndTexts));
constexpr auto kWylieMachine = machine_of(kWylieSteps, kWylieEndTexts, wylie_state_after);

// The pass's state at `start`: after white space, or after punctuation, such as "/".
constexpr std::uint64_t wylie_state_at(WylieStart start) {
  return (start == WylieStart::syllable ? kAfterSpace : kAfterNone) * std::uint64_t{kField};
}

}  // namespace

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst) {
  return wylie_to_kvts(src, dst, WylieStart::syllable);
}

int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst, WylieStart start) {
  return run_pass(src, dst, kWylieMachine, wylie_state_at(start));
}

int wylie_to_kvts(std::span<const WyliePiece> pieces, tsd::MemoryPass& memory, std::string_view& kvts,
                  std::vector<std::size_t>* starts) {
  // One run over the pieces one after the other, starting again at each.
  std::string text;
  std::vector<Restart> restarts;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) restarts.push_back({text.size(), wylie_state_at(pieces[i].start)});
    text.append(pieces[i].text);
  }
  if (starts) starts->assign(pieces.empty() ? 0 : 1, 0);
  const std::uint64_t first = pieces.empty() ? 0 : wylie_state_at(pieces.front().start);
  return memory.run(text, kvts, [&](tsd::Stream& in, tsd::Stream& out) {
    return run_pass(in, out, kWylieMachine, first, restarts, starts);
  });
}

int wylie_to_kvts(std::string_view wylie, WylieStart start, tsd::MemoryPass& memory, std::string_view& kvts) {
  const WyliePiece piece{wylie, start};
  return wylie_to_kvts(std::span(&piece, 1), memory, kvts);
}

// Byte by byte through get(), not run_windows: it runs only to place problems, and each step needs the
// offset of its own byte.
void wylie_places(tsd::Stream& src, std::span<std::uint64_t> offsets, WylieStart start) {
  const auto& m = kWylieMachine;
  std::uint64_t written = 0;  // KVTS bytes written so far
  std::uint64_t at = 0;       // where the character being stepped lies in the Wylie
  std::size_t q = 0;
  const auto written_by_this = [&] {
    while (q < offsets.size() && offsets[q] < written) offsets[q++] = at;
  };
  std::uint64_t state = wylie_state_at(start);
  for (;;) {
    const std::uint64_t here = src.read_offset();
    int c = src.get();
    if (c == kEnd) break;
    at = here;
    written += length_of(m.entries[row_of(state) + static_cast<unsigned>(c)]);
    written_by_this();
    if (c != '[') {
      state = m.next_state(state, static_cast<unsigned>(c));
      continue;
    }
    // The passage after the "[" is copied a byte for a byte, its "]" included.
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
    state = m.after_passage[static_cast<unsigned char>(last)];
  }
  written += length_of(m.end_entry(state));
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

static_assert(runnable(kKvtsSteps, kKvtsEndTexts));
constexpr auto kKvtsMachine = machine_of(kKvtsSteps, kKvtsEndTexts, kvts_state_after);

}  // namespace

int kvts_to_wylie(tsd::Stream& src, tsd::Stream& dst) {
  return run_pass(src, dst, kKvtsMachine);
}

void wylie_places_in_any_order(tsd::Stream& src, std::span<std::uint64_t> offsets, WylieStart start) {
  std::vector<std::size_t> order(offsets.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
  std::vector<std::uint64_t> sorted;
  sorted.reserve(order.size());
  for (const std::size_t i : order) sorted.push_back(offsets[i]);
  wylie_places(src, sorted, start);
  for (std::size_t k = 0; k < order.size(); ++k) offsets[order[k]] = sorted[k];
}

void wylie_places_in_pieces(std::span<const WyliePiece> pieces, std::span<const std::size_t> starts,
                            std::span<std::uint64_t> offsets) {
  if (pieces.empty() || starts.size() != pieces.size()) return;
  // Each piece's offsets, placed in its own Wylie and moved to where that lies among the pieces'.
  std::vector<std::size_t> piece_of(offsets.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const auto after = std::upper_bound(starts.begin(), starts.end(), offsets[i]);
    piece_of[i] = after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin() - 1);
  }
  std::uint64_t wylie_at = 0;
  std::vector<std::uint64_t> own;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    own.clear();
    for (std::size_t i = 0; i < offsets.size(); ++i)
      if (piece_of[i] == p) own.push_back(offsets[i] - starts[p]);
    if (!own.empty()) {
      tsd::Stream src = tsd::Stream::memory();
      src.write(pieces[p].text);
      src.rewind();
      wylie_places_in_any_order(src, own, pieces[p].start);
      std::size_t k = 0;
      for (std::size_t i = 0; i < offsets.size(); ++i)
        if (piece_of[i] == p) offsets[i] = wylie_at + own[k++];
    }
    wylie_at += pieces[p].text.size();
  }
}

}  // namespace tarvex
