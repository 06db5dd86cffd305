// The font-code pass: reads the syllable file (composer key strings, blanks, line breaks, passages and the
// markers 23, 24, 25), feeds every key character to the composer and writes the glyph-code file: resolved
// glyph strings, separator and punctuation glyphs, line breaks, and raw passages 19..20 and 21..22.
#pragma once

#include <cstdint>
#include <vector>

#include "composer.h"
#include "document.h"
#include "layout.h"
#include "log_status.h"
#include "platform/stream.h"

namespace tarvex {

inline constexpr int kGlyphWordSize = 128;  // glyph bytes of one word, take-backs not yet resolved
inline constexpr int kTypedKeysSize = 176;  // key characters remembered for a raw passage

// Returns 0 when the whole syllable file was converted, -1 after logging a failed write or an open bracket
// or brace to `status`. A raw passage writes each key character as its `key_text`. `state` is the composer
// state of the conversion. Words already made are replayed from memory; without
// `memoise_words` every key goes through the composer (the tests compare the two).
// `raw_words`, when given, receives the offset in the syllable file of every key at which a word became a
// raw passage, the composer having refused it (`refused` true) or its glyphs overflowing the word; in
// ascending order, as the file is read.
struct RawWord {
  std::uint64_t offset;
  bool refused;
};
int font_code_pass(tsd::Stream& syllables, tsd::Stream& glyphs, int keep_cr,
                   const ConverterKeyTables& key_tables, tsd::SyllableState& state, const StatusSink& status,
                   bool memoise_words = true, std::vector<RawWord>* raw_words = nullptr);

// The marks that the pass lays out between words: the punctuation glyphs as the composer draws them (with
// `state` taken out of any stack first; composing them moves its key history on, as at the start of every
// pass), the separator glyph, and the passage marker bytes.
LayoutMarks font_code_marks(const ConverterKeyTables& key_tables, tsd::SyllableState& state);

// One word's glyph bytes with every take-back (20) applied, into `out` (kGlyphWordSize bytes); returns
// how many there are.
int resolve_glyphs(const unsigned char* glyphs, int length, unsigned char* out);

}  // namespace tarvex
