// A character as RTF text: ASCII as it is (the RTF specials and tab escaped), anything else as \uN? with N
// RTF's signed 16-bit number, in two halves beyond U+FFFF, under \uc1. Shared by the writers that set
// text of any script.
#pragma once

#include <charconv>
#include <string>

namespace tarvex {

inline constexpr int kRtfCharSize = 24;  // the longest text of one character: two \uN? halves

// `u` (outside ASCII) as \uN? at `out` (kRtfCharSize bytes); returns how many bytes.
inline int rtf_unicode(char32_t u, char* out) {
  if (u > 0xFFFF) {
    const int n = rtf_unicode(0xD800 + ((u - 0x10000) >> 10), out);
    return n + rtf_unicode(0xDC00 + ((u - 0x10000) & 0x3FF), out + n);
  }
  out[0] = '\\';
  out[1] = 'u';
  char* end =
      std::to_chars(out + 2, out + 11, u > 0x7FFF ? static_cast<int>(u) - 0x10000 : static_cast<int>(u)).ptr;
  *end++ = '?';
  return static_cast<int>(end - out);
}

// Appends `u` as RTF text to `out`.
inline void append_rtf_char(char32_t u, std::string& out) {
  if (u >= 0x80) {
    char text[kRtfCharSize];
    out.append(text, static_cast<std::size_t>(rtf_unicode(u, text)));
    return;
  }
  if (u == '\t') {
    out += "\\tab ";
    return;
  }
  if (u == '\\' || u == '{' || u == '}') out += '\\';
  out += static_cast<char>(u);
}

}  // namespace tarvex
