// The extraction pass: reads KVTS text (the input, or the Wylie pre-pass file) and writes the syllable
// file: whitespace unchanged, each syllable as its composer key string (or the error marker "[~...]"),
// "(", ")", "-" as the markers 23, 24, 25, "@..." and "{...}" as braced passages, "[...]" unchanged, and
// other single characters through `letter_keys`.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "layout.h"
#include "platform/stream.h"
#include "translit_tables.h"

namespace tarvex {

// The syllable file's markers for the single characters "(", ")" and "-", as the layout reads them.
inline constexpr unsigned char kOpenParenMarker = kSmallStart;
inline constexpr unsigned char kCloseParenMarker = kSmallEnd;
inline constexpr unsigned char kHyphenMarker = kWordBreak;

// What the extraction makes of each byte of KVTS text, for a reader that cuts the text where it does: part
// of a word's run (letters, and the characters it writes through `letter_keys` beside them); a blank that
// ends a word and that the layout lays out; a mark that stands for one byte of the syllable file; the "["
// or "{" of a passage copied as it stands; the "@" of a name; or other white space, which the passes after
// it read as keys of the word before it.
enum class KvtsByte : unsigned char { word, blank, mark, bracket, brace, name, other_space };
struct KvtsByteRoles {
  std::array<KvtsByte, 256> role{};
  std::array<unsigned char, 256> marker{};  // the syllable-file byte of a mark
};
constexpr KvtsByteRoles kvts_byte_roles() {
  KvtsByteRoles r{};
  for (auto& role : r.role) role = KvtsByte::word;
  for (const int c : {' ', '\t', '\n'}) r.role[c] = KvtsByte::blank;
  for (const int c : {'\r', '\v', '\f'}) r.role[c] = KvtsByte::other_space;
  r.role['['] = KvtsByte::bracket;
  r.role['{'] = KvtsByte::brace;
  r.role['@'] = KvtsByte::name;
  const auto mark = [&r](int c, unsigned char marker) {
    r.role[c] = KvtsByte::mark;
    r.marker[c] = marker;
  };
  mark('(', kOpenParenMarker);
  mark(')', kCloseParenMarker);
  mark('-', kHyphenMarker);
  mark(',', ',');  // its own key
  return r;
}

inline constexpr int kWordLimit = 32;                      // word characters of the longest syllable
inline constexpr int kWordBufferSize = kWordLimit + 2;     // one character past the limit, and a NUL
inline constexpr int kKeyBufferSize = 2 * kWordLimit + 2;  // at most two key codes per character

// A problem of the source that the user should hear of, where it lies in the source (file offsets, as
// tsd::Stream::read_offset gives them).
struct SourceProblem {
  enum Kind : unsigned char {
    syllable_marked,   // written as the error marker "[~...]"; `length` characters from `offset`
    byte_dropped,      // a NUL or a byte of 128 and above that the output loses; `value` is the byte
    bracket_open,      // a "[" never closed: the conversion fails at the end
    brace_closed,      // a "{" never closed, closed by the converter at the end
    parenthesis_open,  // a "(" never closed: the small size runs to the end
    word_refused,      // (found by the font-code pass) a word the composer refused, written as text
    word_overflowed,   // (found by the font-code pass) a word whose glyphs overflowed, written as text
  };
  Kind kind;
  int value;
  std::uint64_t offset;
  std::uint64_t length;
};

// The offsets of the first and the last byte of each problem, two a problem in the problems' order: what
// is placed in the user's input (through the Wylie pre-pass's steps, for Wylie).
std::vector<std::uint64_t> first_and_last_bytes(const std::vector<SourceProblem>& problems);

// Where the problems lie in the user's input, the one mapping of every place the extraction finds: the
// first and last byte of each problem (two to a problem), then each of `more` (a byte of its own), taken
// back through the pass that wrote the extraction's source (`back`, mapping the list in place: the Wylie
// pre-pass's steps read again; nothing for KVTS), then made offsets of the input's own bytes (`raw`, where
// what was read took a CR LF as one line feed or started later in the input).
template <typename Back, typename Raw>
std::vector<std::uint64_t> ends_in_input(const std::vector<SourceProblem>& problems,
                                         std::span<const std::uint64_t> more, Back back, Raw raw) {
  std::vector<std::uint64_t> ends = first_and_last_bytes(problems);
  ends.insert(ends.end(), more.begin(), more.end());
  back(std::span<std::uint64_t>(ends));
  for (std::uint64_t& end : ends) end = raw(end);
  return ends;
}

struct ExtractionReport {
  std::int64_t syllables = 0;  // runs of two or more word characters
  std::int64_t marked = 0;     // of them, written as error markers
  // The problems in the order found, the first `keep` of them; the others only counted, so that a file
  // of millions of problems (a text converted as the wrong scheme) takes no more memory than these.
  std::vector<SourceProblem> problems;
  std::size_t keep = std::size_t{1} << 16;
  std::int64_t not_kept = 0;

  void add(const SourceProblem& problem) {
    if (problems.size() < keep)
      problems.push_back(problem);
    else
      ++not_kept;
  }
};

// What the extraction carries from one piece of a text into the next, when the pieces are converted
// apart: the first "(" that no ")" has closed yet, which it tells of at the end of the text.
struct ExtractionState {
  static constexpr std::int64_t kNone = -1;
  static constexpr std::int64_t kBefore = -2;  // in a piece before this one
  std::int64_t open_parenthesis = kNone;        // or its offset in this piece
};

// The syllables that extractions converted, kept from one to the next of the same tables and check, so
// that many small extractions convert each syllable once.
class ExtractionCache {
 public:
  ExtractionCache();
  ~ExtractionCache();
  ExtractionCache(const ExtractionCache&) = delete;
  ExtractionCache& operator=(const ExtractionCache&) = delete;

 private:
  friend int extract_syllables(tsd::Stream&, tsd::Stream&, const TranslitTables&, int, ExtractionReport*,
                               ExtractionCache*, ExtractionState*);
  struct Syllables;
  std::unique_ptr<Syllables> syllables_;
};

// Converts the whole source; 0, or -1 when reading the source or writing the syllable file failed (the
// destination's error state stays set). `report`, when given, receives the counts and the problems.
// With `state`, the source is a piece of a text: the extraction starts from the state given and leaves
// there the state after the piece, with no problem told of a "(" still open.
int extract_syllables(tsd::Stream& src, tsd::Stream& dst, const TranslitTables& tables, int check_syllables,
                      ExtractionReport* report = nullptr, ExtractionCache* cache = nullptr,
                      ExtractionState* state = nullptr);

// The extraction of a piece of KVTS held in memory, from `state` and leaving the state after it there,
// through `memory`'s streams: 0 with `syllables` viewing the syllable-file bytes (valid until `memory` runs
// again), or -1.
int extract_syllables(std::string_view kvts, ExtractionState& state, const TranslitTables& tables,
                      int check_syllables, ExtractionReport* report, ExtractionCache* cache,
                      tsd::MemoryPass& memory, std::string_view& syllables);

// How many syllables the extraction counts in a text without white space, brackets, braces or "@": its
// runs of two or more word characters.
int syllables_in(std::string_view kvts);

// Writes the key string of the NUL-terminated syllable `word` (length n >= 2; cut into pieces in place)
// into `keys`
// (kKeyBufferSize bytes). 0, or -1 when the syllable cannot be converted.
int convert_syllable(char* word, int n, char* keys, const TranslitTables& tables);

// 0 when no part of the key string has too many keys before its vowel, else minus the number of the
// first part that has (1 for the part of the first vowel).
int check_syllable_length(const char* keys);

}  // namespace tarvex
