// The Unicode RTF writer: reads the Unicode pass's UTF-8 with the passage markers 19..24 and line breaks,
// and writes an RTF document laid out as the Tsendrel RTF (normal and small sizes, bracketed and braced
// passages in the roman font, one paragraph per line break) whose Tibetan is set in one Unicode font and
// written as \uN? escapes under \uc1. `UnicodeRtf` holds the rules; `write_unicode_rtf` runs them from
// one stream to another, and the fast path on runs of bytes in memory.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "char_class.h"
#include "document.h"
#include "layout.h"
#include "platform/stream.h"
#include "rtf_escape.h"

namespace tarvex {

// Returns 0, or -1 when a write to `out` or a read of `text` failed. Neither stream is closed.
int write_unicode_rtf(tsd::Stream& text, tsd::Stream& out, const char* unicode_font, int roman_size,
                      int tib_size, int small_tib_size);

// "{\rtf1" up to the end of the font table, which names `unicode_font` (without what would end its entry).
std::string unicode_rtf_start(const char* unicode_font);

// The character whose UTF-8 starts with `lead` (128 or more), reading its continuation bytes from `in`
// (get and unget as a stream's); 0 when the bytes are no UTF-8 (those read are put back but the first).
template <typename Bytes>
char32_t read_utf8(int lead, Bytes& in) {
  int more = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
  if (lead >= 0xF5 || more == 0) return 0;
  char32_t u = static_cast<char32_t>(lead & (0x3F >> more));
  const char32_t least[] = {0, 0x80, 0x800, 0x10000};
  const int count = more;
  while (more-- > 0) {
    const int c = in.get();
    if (c < 0x80 || c > 0xBF) {
      in.unget(c);
      return 0;
    }
    u = u << 6 | static_cast<char32_t>(c & 0x3F);
  }
  return u < least[count] || (u >= 0xD800 && u <= 0xDFFF) ? 0 : u;
}

// The body of the document, a character at a time, into `Out` (put(c) and write(bytes, n) as a stream's).
template <typename Out>
class UnicodeRtf {
 public:
  UnicodeRtf(Out& out, int roman_size, int tib_size, int small_tib_size)
      : out_(out), roman_size_(roman_size), tib_size_(tib_size), small_tib_size_(small_tib_size) {}

  // After the leading white space, which is copied and makes no paragraph.
  bool started() const { return started_; }

  // One character of the text (`c`, with the bytes after it in `in` for a multibyte character).
  template <typename Bytes>
  void text(int c, Bytes& in) {
    if (!started_) {
      if (tsd::is_space(c)) {
        out_.put(c);
        return;
      }
      start();
    }
    character(c, in);
  }

  // One character once the document has started; what a character other than the markers 19..24
  // becomes does not depend on what came before.
  template <typename Bytes>
  void character(int c, Bytes& in) {
    switch (c) {
      case '\n':
        write("\\par \n");
        break;
      case '\t':
        write("\\tab ");
        break;
      case kRawStart:
        roman();
        out_.put('[');
        break;
      case kRawEnd:
        out_.put(']');
        tibetan();
        break;
      case kBracedStart:
        roman();
        write("\\{");
        break;
      case kBracedEnd:
        write("\\}");
        tibetan();
        break;
      case kSmallStart:
        size(true);
        break;
      case kSmallEnd:
        size(false);
        break;
      case '\\':
      case '{':
      case '}':
        out_.put('\\');
        out_.put(c);
        break;
      default:
        if (c < 0x80) {
          out_.put(c);
        } else if (const char32_t u = read_utf8(c, in)) {
          unicode(u);
        } else {
          format("\\'%02x", c);
        }
        break;
    }
  }

  // The end of the document.
  void finish() {
    if (!started_) start();
    out_.put('}');
  }

  // Text that is not Tibetan, outside every passage: in the roman font until roman_end().
  void roman_start() {
    started_ = true;
    roman();
  }
  void roman_end() { tibetan(); }

 private:
  void start() {
    tibetan();
    started_ = true;
  }
  void write(std::string_view s) { out_.write(s.data(), s.size()); }
  void format(const char* f, auto... a) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, f, a...);
    if (n > 0) out_.write(buf, static_cast<std::size_t>(n < 64 ? n : 63));
  }
  void roman() { format("\\f0\\fs%d ", roman_size_); }
  // Back to the Tibetan font, in the small size while a small passage is open. LibreOffice sets Tibetan,
  // a complex script, in the font and size of \af and \afs under \rtlch, so both are named each time.
  void tibetan() {
    const int n = small_ ? small_tib_size_ : tib_size_;
    format("\\f1\\fs%d\\rtlch\\af1\\afs%d\\ltrch ", n, n);
  }
  void size(bool small) {
    small_ = small;
    const int n = small ? small_tib_size_ : tib_size_;
    format("\\fs%d\\rtlch\\af1\\afs%d\\ltrch ", n, n);
  }
  // A character outside ASCII: \uN? with N as RTF's signed 16-bit number, in two halves beyond U+FFFF.
  void unicode(char32_t u) {
    char text[kRtfCharSize];
    out_.write(text, static_cast<std::size_t>(rtf_unicode(u, text)));
  }

  Out& out_;
  const int roman_size_, tib_size_, small_tib_size_;
  bool small_ = false;
  bool started_ = false;
};

}  // namespace tarvex
