#include "extract.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "Find_mat.h"
#include "char_class.h"
#include "check.h"
#include "memo_table.h"
#include "packed_keys.h"

namespace tarvex {

namespace {

constexpr int kEnd = tsd::Stream::end;

enum CharClass : unsigned char { kOther = 0, kSpace = 1, kWord = 2, kVowel = 4 };

// Classes of the C locale: bytes 128..255 are neither letters nor whitespace.
constexpr auto kClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c)
    if (tsd::is_space(c)) classes[c] = kSpace;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kWord;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = kWord;
  for (int c : {'\'', '+', '&'}) classes[c] = kWord;
  for (int c : {'A', 'E', 'I', 'O', 'U', 'i'}) classes[c] = kWord | kVowel;
  return classes;
}();

bool is_word_char(int c) {
  return c != kEnd && (kClasses[c] & kWord) != 0;
}
bool is_vowel_char(unsigned char c) {
  return (kClasses[c] & kVowel) != 0;
}

// The vowel key codes of key strings.
constexpr auto kVowelKeys = [] {
  std::array<bool, 256> keys{};
  for (const unsigned char c : std::string_view("AEFIJLOUaeiou")) keys[c] = true;
  return keys;
}();
bool is_vowel_key(char key) {
  return kVowelKeys[static_cast<unsigned char>(key)];
}

// Syllables that stand for one symbol each, whatever their spelling.
struct WholeSyllable {
  std::string_view kvts;
  const char* keys;
};
constexpr WholeSyllable kWholeSyllables[] = {{"AOm", "<"}, {"H'Um", ">"}, {"A'A:", "="}};

// Appends to a key buffer of kKeyBufferSize bytes; a syllable never needs more.
struct KeyWriter {
  char* keys;
  int length = 0;

  void put(char key) {
    TSD_CHECK(length < kKeyBufferSize - 1, "extract");
    keys[length++] = key;
  }
  void put(const char* text) {
    while (*text != '\0') put(*text++);
  }
};

bool has_stack_key(const char* keys) {
  return std::strchr(keys, kStackKey) != nullptr;
}

// Writes a consonant cluster that stands before a vowel: leading letters that begin no known stack one
// by one, then the longest known stack that ends the cluster whole. An a-chung that ends the cluster is
// joined to the stack. Returns -1 when a letter has no key code.
int write_cluster(char* cluster, int length, bool later_part, KeyWriter& out, const TranslitTables& tables) {
  const bool a_chung = length > 0 && cluster[length - 1] == '\'';
  if (a_chung) cluster[--length] = '\0';
  const char* stack_keys = nullptr;
  for (int k = 0; k < length; ++k) {
    const char* rest = cluster + k;
    int found = -1;
    if (later_part) {
      found = find_exact(rest, tables.later_stacks.strings, tables.later_stacks.num_strings);
      if (found >= 0) stack_keys = tables.later_stacks.keys[found];
    }
    if (found < 0) {
      found = find_exact(rest, tables.stacks.strings, tables.stacks.num_strings);
      if (found >= 0) stack_keys = tables.stacks.keys[found];
    }
    if (found >= 0) {
      out.put(stack_keys);
      break;
    }
    const unsigned char key = letter_keys[static_cast<unsigned char>(*rest)];
    if (key == 0) return -1;
    out.put(static_cast<char>(key));
  }
  if (!a_chung) return 0;
  if (stack_keys != nullptr && has_stack_key(stack_keys)) {
    out.put('\'');
  } else {
    // The last letter and the a-chung make a stack of their own.
    const char last = out.keys[out.length - 1];
    out.keys[out.length - 1] = kStackKey;
    out.put(last);
    out.put('\'');
  }
  return 0;
}

// A cluster that ends the syllable: "ng" in any letter case is the one key "G", the rest letter by letter.
int write_final_cluster(const char* cluster, int length, KeyWriter& out) {
  int k = 0;
  if (length >= 2 && (cluster[0] | 0x20) == 'n' && (cluster[1] | 0x20) == 'g') {
    out.put('G');
    k = 2;
  }
  for (; k < length; ++k) {
    const unsigned char key = letter_keys[static_cast<unsigned char>(cluster[k])];
    if (key == 0) return -1;
    out.put(static_cast<char>(key));
  }
  return 0;
}

// The syllable file's bytes, gathered in a local block and handed to the destination whole. The caller
// keeps the count of bytes in the block in a local variable, which no call can change behind its back:
// each operation takes the count and returns the new one.
class Output {
 public:
  static constexpr int kFlushAt = 4096;

  explicit Output(tsd::Stream& dst) : dst_(dst) {}
  int put(int n, int c) {
    buf_[n++] = static_cast<char>(c);
    return n < kFlushAt ? n : flush(n);
  }
  int write(int n, std::string_view text) {
    for (const char c : text) n = put(n, c);
    return n;
  }
  // Writes the first `length` bytes of a key buffer; a fixed-size copy serves every key string.
  int write_keys(int n, const char* keys, int length) {
    std::memcpy(buf_ + n, keys, kKeyBufferSize);
    n += length;
    return n < kFlushAt ? n : flush(n);
  }
  // Hands the block to the destination; returns the count of an empty block.
  int flush(int n) {
    if (n > 0) dst_.write(buf_, static_cast<std::size_t>(n));
    return 0;
  }

 private:
  tsd::Stream& dst_;
  // Room past the flush point for the widest single store: a whole key buffer.
  char buf_[kFlushAt + kKeyBufferSize];
};

// A word as the pass reads it, with room past it for reading it as numbers of 8 bytes.
constexpr int kChunk = 8;
constexpr int kPaddedWordSize = (kWordBufferSize + 2 * kChunk - 1) / kChunk * kChunk;
static_assert(kWordLimit + kChunk <= static_cast<int>(tsd::Stream::kWindowSlack),
              "a syllable read in place is scanned and packed within its window and the slack");

// Syllables recur: each recent syllable of up to kLongestPackedRun characters keeps its key string, or the
// verdict that it is marked, so a repeated syllable is not converted again. The result depends on nothing
// but the syllable's text.
// The fast path keeps one for all its small batches of words (ExtractionCache), which would otherwise
// each clear it and convert their syllables anew.
struct Slot {
  PackedRun syllable;  // a syllable has at least two characters, an empty place the length 0
  bool converted;
  std::uint8_t key_length;
  char keys[kKeyBufferSize];
};
using SyllableCache = MemoTable<Slot, MemoShape{12}>;

// Stores `c` and the word characters after it while at most `lim` are stored; returns how many were
// stored and leaves in `next` the character read after them.
int read_run(tsd::Stream& src, int c, char* word, int lim, int& next) {
  int stored = 0;
  do {
    word[stored++] = static_cast<char>(c);
    c = src.get();
  } while (stored <= lim && is_word_char(c));
  next = c;
  return stored;
}

// Copies a passage after its opening character up to `close`, or to the end of the input; `closed` tells
// whether the closing character was reached.
int copy_until(tsd::Stream& src, Output& dst, int n, int close, bool& closed) {
  closed = false;
  for (int c = src.get(); c != kEnd; c = src.get()) {
    if (c == close) {
      closed = true;
      break;
    }
    n = dst.put(n, c);
  }
  return n;
}

// What the pass tells of its source when the caller asked: counts, and the places of the problems only.
struct Findings {
  ExtractionReport* report;
  std::int64_t syllables = 0;
  std::int64_t marked = 0;
  std::int64_t open_parenthesis = ExtractionState::kNone;  // the first "(" not closed yet

  void add(SourceProblem::Kind kind, std::uint64_t offset, std::uint64_t length, int value = 0) {
    if (report) report->add({kind, value, offset, length});
  }
};

// A character that is neither whitespace nor a word character, at `offset` in the source; "@", "[" and
// "{" read on by themselves.
int write_single_character(tsd::Stream& src, Output& dst, int n, unsigned char c, Findings& found,
                           std::uint64_t offset) {
  bool closed = false;
  switch (c) {
    case '(':
      if (found.open_parenthesis == ExtractionState::kNone)
        found.open_parenthesis = static_cast<std::int64_t>(offset);
      return dst.put(n, kOpenParenMarker);
    case ')':
      found.open_parenthesis = ExtractionState::kNone;
      return dst.put(n, kCloseParenMarker);
    case '-':
      return dst.put(n, kHyphenMarker);
    case '@': {
      // The blank that ends the name is consumed, not written.
      n = dst.write(n, "{@");
      for (int next = src.get(); next != kEnd && !tsd::is_space(next); next = src.get()) n = dst.put(n, next);
      return dst.put(n, '}');
    }
    case '[':
      n = copy_until(src, dst, dst.put(n, '['), ']', closed);
      if (!closed) found.add(SourceProblem::bracket_open, offset, 1);
      return closed ? dst.put(n, ']') : n;
    case '{':
      n = copy_until(src, dst, dst.put(n, '{'), '}', closed);
      if (!closed) found.add(SourceProblem::brace_closed, offset, 1);
      return dst.put(n, '}');
    case '\0':
      found.add(SourceProblem::byte_dropped, offset, 1, 0);
      return n;
    default: {
      // The composer has no key above 127: such a byte leaves nothing in the output.
      if (c >= 128) found.add(SourceProblem::byte_dropped, offset, 1, c);
      const unsigned char key = letter_keys[c];
      return dst.put(n, key != 0 ? key : c);
    }
  }
}

// Writes the error marker: the syllable exactly as read, between "[~" and "]".
int write_error_marker(Output& dst, int n, const char* word, int length) {
  n = dst.write(n, "[~");
  n = dst.write(n, std::string_view(word, static_cast<std::size_t>(length)));
  return dst.put(n, ']');
}

// What the pass keeps from one syllable to the next.
struct Extraction {
  Output dst;
  Findings found;
  SyllableCache& cache;
  const TranslitTables& tables;
  int check_syllables;
  char word[kPaddedWordSize];    // a syllable read a character at a time
  char pieces[kPaddedWordSize];  // the copy of a syllable that conversion cuts into pieces
};

// Converts a syllable as read (it stays as it is: conversion cuts a copy into pieces); false when it is
// to be marked.
bool convert(Extraction& x, const char* text, int length, char* keys) {
  std::memcpy(x.pieces, text, static_cast<std::size_t>(length));
  x.pieces[length] = '\0';
  return convert_syllable(x.pieces, length, keys, x.tables) == 0 &&
         (x.check_syllables == 0 || check_syllable_length(keys) == 0);
}

// Converts a syllable not found in the cache into the slot where it will be found.
[[gnu::noinline]] const Slot& learn(Extraction& x, std::uint64_t hash, const PackedRun& syllable,
                                    const char* text) {
  Slot& slot = x.cache.place(hash);
  slot.syllable = syllable;
  slot.converted = convert(x, text, syllable.length(), slot.keys);
  slot.key_length = static_cast<std::uint8_t>(slot.converted ? std::strlen(slot.keys) : 0);
  return slot;
}

// Writes a marked syllable found at `offset` and counts it.
[[gnu::noinline]] int mark(Extraction& x, int n, const char* text, int length, std::uint64_t offset) {
  ++x.found.marked;
  x.found.add(SourceProblem::syllable_marked, offset, static_cast<std::uint64_t>(length));
  return write_error_marker(x.dst, n, text, length);
}

// Writes the syllable or single letter of `length` characters at `text` (`offset` in the source), which
// has 16 bytes readable.
inline int write_word(Extraction& x, int n, const char* text, int length, std::uint64_t offset) {
  if (length == 1) {
    const unsigned char key = letter_keys[static_cast<unsigned char>(text[0])];
    return x.dst.put(n, key != 0 ? key : text[0]);
  }
  ++x.found.syllables;
  if (length > kLongestPackedRun) {
    char keys[kKeyBufferSize];
    return convert(x, text, length, keys) ? x.dst.write_keys(n, keys, static_cast<int>(std::strlen(keys)))
                                          : mark(x, n, text, length, offset);
  }
  const PackedRun syllable = pack_run(reinterpret_cast<const unsigned char*>(text), length);
  const std::uint64_t hash = hash_of(syllable);
  const Slot* slot = x.cache.find(hash, [&](const Slot& s) { return s.syllable == syllable; });
  if (!slot) [[unlikely]]
    slot = &learn(x, hash, syllable, text);
  return slot->converted ? x.dst.write_keys(n, slot->keys, slot->key_length) : mark(x, n, text, length, offset);
}

constexpr StopBits kWordStops = stop_bits([](int c) { return (kClasses[c] & kWord) == 0; });

// How many word characters start at `p`, counted up to kWordLimit + 1 and beyond. Reads into a window's
// slack.
int word_run(const unsigned char* p) {
  int length = run_of_8(kWordStops, p);
  if (length < 8) return length;
  for (int run = 8; run == 8 && length <= kWordLimit; length += run) run = run_of_8(kWordStops, p + length);
  return length;
}

// Takes whitespace, syllables and the simple single characters where they lie whole in the read window
// (`size` bytes at `start`, `base` in the source), and stops before anything else: "@", "[", "{" (which
// read on), an over-long run, a run that reaches the window's end. Returns how many bytes it took.
std::size_t extract_in_place(tsd::Stream& src, Extraction& x, int& count, const unsigned char* const start,
                             std::size_t size, std::uint64_t base) {
  int n = count;  // kept in a register through the loop
  const unsigned char* const end = start + size;
  const unsigned char* p = start;
  while (p < end) {
    const unsigned char c = *p;
    if (kClasses[c] & kSpace) {
      n = x.dst.put(n, c);
      ++p;
      continue;
    }
    if (!(kClasses[c] & kWord)) {
      if (c == '@' || c == '[' || c == '{') break;
      n = write_single_character(src, x.dst, n, c, x.found, base + static_cast<std::uint64_t>(p - start));
      ++p;
      continue;
    }
    const int room = static_cast<int>(end - p);
    const int length = std::min(word_run(p), room);
    if (length == room || length > kWordLimit) break;
    n = write_word(x, n, reinterpret_cast<const char*>(p), length,
                   base + static_cast<std::uint64_t>(p - start));
    p += length;
  }
  count = n;
  return static_cast<std::size_t>(p - start);
}

}  // namespace

struct ExtractionCache::Syllables : SyllableCache {};

ExtractionCache::ExtractionCache() : syllables_(std::make_unique<Syllables>()) {}
ExtractionCache::~ExtractionCache() = default;

int extract_syllables(tsd::Stream& src, tsd::Stream& destination, const TranslitTables& tables,
                      int check_syllables, ExtractionReport* report, ExtractionCache* cache,
                      ExtractionState* state) {
  std::optional<SyllableCache> own;
  SyllableCache& syllables = cache ? *cache->syllables_ : own.emplace();
  Extraction x{Output(destination), Findings{report}, syllables, tables, check_syllables, {}, {}};
  if (state) x.found.open_parenthesis = state->open_parenthesis;
  int n = 0;
  tsd::run_windows(
      src,
      [&](const unsigned char* p, std::size_t size) {
        return extract_in_place(src, x, n, p, size, src.read_offset());
      },
      [&](int c) {
        // One item the slow way; the character read after it is pushed back.
        const std::uint64_t at = src.read_offset() - 1;
        if (tsd::is_space(c)) {
          n = x.dst.put(n, c);
          return true;
        }
        if (!is_word_char(c)) {
          n = write_single_character(src, x.dst, n, static_cast<unsigned char>(c), x.found, at);
          return true;
        }
        int next = kEnd;
        const int length = read_run(src, c, x.word, kWordLimit, next);
        if (length > kWordLimit) {
          // A run longer than a syllable is marked whole: the stored characters and the rest of the run.
          n = x.dst.write(n, "[~");
          n = x.dst.write(n, std::string_view(x.word, static_cast<std::size_t>(length)));
          for (c = next; is_word_char(c); c = src.get()) n = x.dst.put(n, c);
          n = x.dst.put(n, ']');
          src.unget(c);
          ++x.found.syllables;
          ++x.found.marked;
          x.found.add(SourceProblem::syllable_marked, at, src.read_offset() - at);
          return true;
        }
        src.unget(next);
        n = write_word(x, n, x.word, length, at);
        return true;
      });
  if (state)
    state->open_parenthesis = x.found.open_parenthesis;
  else if (x.found.open_parenthesis >= 0)
    x.found.add(SourceProblem::parenthesis_open, static_cast<std::uint64_t>(x.found.open_parenthesis), 1);
  if (report) {
    report->syllables = x.found.syllables;
    report->marked = x.found.marked;
  }
  x.dst.flush(n);
  const bool written = destination.flush() == 0 && !destination.error();
  return written && !src.error() ? 0 : -1;
}

int extract_syllables(std::string_view kvts, ExtractionState& state, const TranslitTables& tables,
                      int check_syllables, ExtractionReport* report, ExtractionCache* cache,
                      tsd::MemoryPass& memory, std::string_view& syllables) {
  return memory.run(kvts, syllables, [&](tsd::Stream& in, tsd::Stream& out) {
    return extract_syllables(in, out, tables, check_syllables, report, cache, &state);
  });
}

std::vector<std::uint64_t> first_and_last_bytes(const std::vector<SourceProblem>& problems) {
  std::vector<std::uint64_t> ends;
  ends.reserve(2 * problems.size());
  for (const SourceProblem& p : problems) {
    ends.push_back(p.offset);
    ends.push_back(p.offset + (p.length > 0 ? p.length - 1 : 0));
  }
  return ends;
}

int syllables_in(std::string_view kvts) {
  int count = 0;
  int run = 0;
  for (const char c : kvts) {
    run = is_word_char(static_cast<unsigned char>(c)) ? run + 1 : 0;
    if (run == 2) ++count;
  }
  return count;
}

int convert_syllable(char* word, int n, char* keys, const TranslitTables& tables) {
  TSD_CHECK(word != NULL, "extract");
  TSD_CHECK(keys != NULL, "extract");
  TSD_CHECK(n >= 2, "extract");

  for (const auto& symbol : kWholeSyllables) {
    if (std::string_view(word, static_cast<std::size_t>(n)) == symbol.kvts) {
      std::strcpy(keys, symbol.keys);
      return 0;
    }
  }

  KeyWriter out{keys};
  int i = 0;
  int s = 0;
  int p = 0;
  do {
    ++p;
    const int b = s;
    const char* vowel_keys = "";
    int cluster_end = 0;
    for (;; ++i) {
      if (i >= n) {
        cluster_end = i;
        i = n + 1;
        break;
      }
      if (is_vowel_char(static_cast<unsigned char>(word[i]))) {
        const StringTable& table = i == b ? tables.initial_vowels : tables.vowels;
        int length_match = 0;
        int string_index = 0;
        find_longest_prefix(word + i, table.strings, table.num_strings, &length_match, &string_index);
        if (length_match == 0) return -1;
        cluster_end = i;
        vowel_keys = table.keys[string_index];
        i += length_match;
        s = i;
        break;
      }
    }
    char* cluster = word + b;
    const int length = cluster_end - b;
    word[cluster_end] = '\0';
    if (length == 1) {
      const unsigned char key = letter_keys[static_cast<unsigned char>(cluster[0])];
      if (key == 0) return -1;
      out.put(static_cast<char>(key));
    } else if (*vowel_keys == '\0') {
      if (write_final_cluster(cluster, length, out) < 0) return -1;
    } else if (write_cluster(cluster, length, p > 1, out, tables) < 0) {
      return -1;
    }
    out.put(vowel_keys);
  } while (i < n);
  keys[out.length] = '\0';
  return 0;
}

int check_syllable_length(const char* keys) {
  TSD_CHECK(keys != NULL, "extract");

  int part_start = 0;
  int stack_key = -1;
  int vowels = 0;
  for (int j = 0; keys[j] != '\0'; ++j) {
    const char key = keys[j];
    if (key == kAnusvaraKey) {
      ++part_start;
    } else if (key == kStackKey) {
      stack_key = j;
    } else if (is_vowel_key(key)) {
      ++vowels;
      const int a_chung = j > 0 && keys[j - 1] == '\'' ? 1 : 0;
      const int measure = stack_key >= 0 ? stack_key - part_start + 1 - a_chung : j - part_start - a_chung;
      const int limit = vowels == 1 ? 2 : 1;
      if (measure > limit) return -vowels;
      part_start = j + 1;
      stack_key = -1;
    }
  }
  return 0;
}

}  // namespace tarvex
