// The Unicode pass: reads the syllable file (composer key strings, blanks, line breaks, passages and the
// markers 23, 24, 25) and writes Tibetan Unicode as UTF-8: each word's key string through
// `syllable_to_unicode`, and between words the font-code pass's layout rules, with the tsheg U+0F0B as the
// separator and each punctuation key's Unicode mark. A word that has no Unicode form is written as "~" and
// its key texts inside a raw passage, as the font-code pass writes a word that the composer refused.
#pragma once

#include <string_view>

#include "layout.h"
#include "log_status.h"
#include "platform/stream.h"

namespace tarvex {

// How passages reach the output: as the text a reader sees ("[...]", "{...}", "(...)"), or as the marker
// bytes 19..24 of the glyph-code file, for the Unicode RTF writer to set in their fonts and sizes.
enum class UnicodePassages { text, markers };

// Returns 0 when the whole syllable file was converted, -1 after logging a failed write or a bracket or
// brace left open (the font-code pass's messages) to `status`. Words and what lies between them are
// converted in place in the streams' windows; without `in_place` everything goes through get and put (the
// tests compare the two).
int unicode_pass(tsd::Stream& syllables, tsd::Stream& out, int keep_cr, UnicodePassages passages,
                 const StatusSink& status, bool in_place = true);

// The marks that the Unicode pass lays out between words: the tsheg, the punctuation's Unicode marks, and
// the passages' texts or marker bytes.
LayoutMarks unicode_marks(UnicodePassages passages);

// The longest run of keys that the Unicode pass converts as one word (a longer one is written as its key
// texts), and the room its UTF-8 may take (the symbol `>` gives four letters of three bytes).
inline constexpr int kLongestUnicodeWord = 1024;
inline constexpr int kUnicodeWordRoom = kLongestUnicodeWord * 12;

// A run of keys as the Unicode pass writes it into out[0 .. capacity): its UTF-8, or, when it has no
// Unicode form, "~" and each key's text between the marks of a raw passage (`raw` then true). Returns the
// bytes written, or -1 when they do not fit.
int unicode_word(std::string_view keys, const LayoutMarks& marks, char* out, int capacity, bool& raw);

}  // namespace tarvex
