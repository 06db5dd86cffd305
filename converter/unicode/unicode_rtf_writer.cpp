#include "unicode_rtf_writer.h"

#include "tibetan.h"

namespace tarvex {

std::string unicode_rtf_start(const char* unicode_font) {
  std::string start = "{\\rtf1\\ansi\\uc1 \\deff0\\deflang1033 {\\fonttbl{\\f0\\fnil\\fcharset0\\fprq2 Courier;}";
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

namespace {

// The continuation bytes of one character, read ahead, handed to UnicodeRtf as a stream would.
struct HeldBytes {
  unsigned char bytes[4];
  int count = 0;
  int next = 0;
  int get() { return next < count ? bytes[next++] : tsd::Stream::end; }
  void unget(int) { --next; }
};

}  // namespace

int write_hub_unicode_rtf(tsd::Stream& hub, tsd::Stream& out, const char* unicode_font, int roman_size,
                          int tib_size, int small_tib_size) {
  out.write(unicode_rtf_start(unicode_font));
  UnicodeRtf<tsd::Stream> rtf(out, roman_size, tib_size, small_tib_size);
  bool roman = false;
  for (int c; (c = hub.get()) != tsd::Stream::end;) {
    HeldBytes rest;
    char32_t u = static_cast<char32_t>(c);
    if (c >= 0xC0) {
      const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
      u = static_cast<char32_t>(c & (0x3F >> more));
      for (int i = 0; i < more; ++i) {
        const int b = hub.get();
        if (b == tsd::Stream::end) break;
        rest.bytes[rest.count++] = static_cast<unsigned char>(b);
        u = u << 6 | static_cast<char32_t>(b & 0x3F);
      }
    }
    const bool white = c == ' ' || c == '\t' || c == '\n';
    if (!white && !roman && !is_tibetan(u)) {
      rtf.roman_start();
      roman = true;
    } else if (roman && is_tibetan(u)) {
      rtf.roman_end();
      roman = false;
    }
    rtf.text(c, rest);
  }
  rtf.finish();
  return out.flush() == 0 && !out.error() && !hub.error() ? 0 : -1;
}

}  // namespace tarvex
