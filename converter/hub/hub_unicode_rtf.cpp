#include "hub_unicode_rtf.h"

namespace tarvex {

namespace {

// The continuation bytes of one character, handed to UnicodeRtf as a stream would.
struct HeldBytes {
  char bytes[4];
  int count = 0;
  int next = 1;
  int get() { return next < count ? static_cast<unsigned char>(bytes[next++]) : tsd::Stream::end; }
  void unget(int) { --next; }
};

}  // namespace

HubUnicodeRtfWriter::HubUnicodeRtfWriter(tsd::Stream& out, const char* unicode_font, int roman_size,
                                         int tib_size, int small_tib_size)
    : out_(out), rtf_(out, roman_size, tib_size, small_tib_size) {
  out.write(unicode_rtf_start(unicode_font));
}

void HubUnicodeRtfWriter::take(const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const int c = decoder_.feed(bytes[i]);
    if (c >= 0) character(static_cast<char32_t>(c));
  }
}

// Every character outside the Tibetan block but white space is set in the roman font. The Tibetan inside
// parentheses is set in the small size, as the Tsendrel RTF sets a parenthesised passage.
void HubUnicodeRtfWriter::character(char32_t c) {
  HeldBytes marker;
  if (c == ')' && parentheses_ > 0 && --parentheses_ == 0) rtf_.text(kSmallEnd, marker);
  const bool white = c == ' ' || c == '\t' || c == '\n';
  if (!white && !roman_ && !is_tibetan(c)) {
    rtf_.roman_start();
    roman_ = true;
  } else if (roman_ && is_tibetan(c)) {
    rtf_.roman_end();
    roman_ = false;
  }
  HeldBytes held;
  held.count = put_utf8(c, held.bytes);
  rtf_.text(static_cast<unsigned char>(held.bytes[0]), held);
  if (c == '(' && parentheses_++ == 0) rtf_.text(kSmallStart, marker);
}

int HubUnicodeRtfWriter::finish() {
  rtf_.finish();
  return out_.flush() == 0 && !out_.error() ? 0 : -1;
}

}  // namespace tarvex
