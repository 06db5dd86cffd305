#include "unicode_rtf_writer.h"

namespace tarvex {

std::string unicode_rtf_start(const char* unicode_font) {
  std::string start =
      "{\\rtf1\\ansi\\uc1 \\deff0\\deflang1033 {\\fonttbl{\\f0\\fnil\\fcharset0\\fprq2 Courier;}";
  start += "{\\f1\\fnil\\fcharset0\\fprq2 ";
  // A font name cannot close its entry early.
  for (const char* p = unicode_font; *p; ++p)
    if (*p != ';' && *p != '{' && *p != '}' && *p != '\\') start += *p;
  start += ";}}";
  return start;
}

int write_unicode_rtf(tsd::Stream& text, tsd::Stream& out, const char* unicode_font, int roman_size,
                      int tib_size, int small_tib_size) {
  out.write(unicode_rtf_start(unicode_font));
  UnicodeRtf<tsd::Stream> rtf(out, roman_size, tib_size, small_tib_size);
  for (int c; (c = text.get()) != tsd::Stream::end;) rtf.text(c, text);
  rtf.finish();
  return out.flush() == 0 && !out.error() && !text.error() ? 0 : -1;
}

}  // namespace tarvex
