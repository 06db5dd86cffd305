// The fast path of the conversions through the syllable file: reads the input text (Wylie or KVTS, text
// mode) and writes the finished output (UTF-8 text, or the Tsendrel RTF document) in one scan, with no intermediate file. Each word of
// the input (the bytes between blanks and punctuation) is converted once, with what it depends on before
// it, through the passes' own functions, and then remembered; what lies between words is laid out live by
// the shared layout rules; a word too long for the table's key is remembered beside it. What it does not
// take word by word (a brace, a bracket beyond the bytes read, a stray control character with the word
// before it, a name too long for a key) goes through the passes alone, up to the next white space where
// they are at rest or to the end of the input, and the scan goes on after it. A word that the composer
// refuses or whose glyphs overflow is written as text, as the font-code pass writes it. It declines a file
// whose conversion fails (a bracket never closed), a failed write, and, when it places problems, a word
// written as text; the passes then convert the file instead.
#pragma once

#include "conversion_context.h"
#include "conversion_request.h"
#include "extract.h"
#include "platform/stream.h"

namespace tarvex {

// Whether the fast path takes the route with this id (the route table says so).
bool fast_path_takes(int conversion_type);

// Converts with the context's tables. New words go through the passes in memory; the context's temporary
// files 0 (their pre-pass), 1 (their syllables) and 2 (their glyph codes), numbered as the driver numbers
// its own, take the same bytes, so that one that fails fails the fast path as it fails the passes.
// Returns 0 when the whole input was converted, with the output written and flushed, the extraction's
// counts in `found` and the context's composer left as the font-code pass leaves it; or kFastDeclined,
// when the output holds nothing of use and must be started again (the input is left wherever the scan
// stopped, the composer as it was; a temporary file that failed is among the reasons). Logs nothing.
// With `place_problems`, `found` also gets the problems that the passes would find, at the offsets of the
// input's own bytes (a CR LF counts two), whatever the scheme.
inline constexpr int kFastDeclined = 1;
int fast_convert(tsd::Stream& input, tsd::Stream& output, const ConversionRequest& request,
                 ConversionContext& context, ExtractionReport& found, bool place_problems = false);

}  // namespace tarvex
