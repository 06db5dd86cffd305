// The extraction pass: reads KVTS text (the input, or the Wylie pre-pass file) and writes the syllable
// file: whitespace unchanged, each syllable as its composer key string (or the error marker "[~...]"),
// "(", ")", "-" as the markers 23, 24, 25, "@..." and "{...}" as braced passages, "[...]" unchanged, and
// other single characters through `letter_keys`.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/stream.h"
#include "translit_tables.h"

namespace tarvex {

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

// Converts the whole source; 0, or -1 when reading the source or writing the syllable file failed (the
// destination's error state stays set). `report`, when given, receives the counts and the problems.
int extract_syllables(tsd::Stream& src, tsd::Stream& dst, const TranslitTables& tables, int check_syllables,
                      ExtractionReport* report = nullptr);

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
