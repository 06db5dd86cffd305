// The Unicode RTF writer: reads the Unicode pass's UTF-8 with the passage markers 19..24 and line breaks,
// and writes an RTF document laid out as the Tsendrel RTF (normal and small sizes, bracketed and braced
// passages in the roman font, one paragraph per line break) whose Tibetan is set in one Unicode font and
// written as \uN? escapes under \uc1.
#pragma once

#include "platform/stream.h"

namespace tarvex {

inline constexpr char kDefaultUnicodeFont[] = "Tibetan Machine Uni";
inline constexpr int kMaxUnicodeFontName = 63;

// Returns 0, or -1 when a write to `out` or a read of `text` failed. Neither stream is closed.
int write_unicode_rtf(tsd::Stream& text, tsd::Stream& out, const char* unicode_font, int roman_size,
                      int tib_size, int small_tib_size);

}  // namespace tarvex
