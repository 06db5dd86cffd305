#include "unicode_rtf_writer.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "layout.h"

namespace tarvex {

namespace {

class Writer {
 public:
  Writer(tsd::Stream& out, int roman_size, int tib_size, int small_tib_size)
      : out_(out), roman_size_(roman_size), tib_size_(tib_size), small_tib_size_(small_tib_size) {}

  void text(std::string_view s) { out_.write(s); }
  void put(int c) { out_.put(c); }
  void format(const char* f, int a, int b = 0) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, f, a, b);
    if (n > 0) out_.write(buf, static_cast<std::size_t>(n < 64 ? n : 63));
  }
  void roman() { format("\\f0\\fs%d ", roman_size_); }
  // Back to the Tibetan font, in the small size while a small passage is open.
  void tibetan() { format("\\f1\\fs%d ", small_ ? small_tib_size_ : tib_size_); }
  void size(bool small) {
    small_ = small;
    format("\\fs%d ", small ? small_tib_size_ : tib_size_);
  }
  // A character outside ASCII: \uN? with N as RTF's signed 16-bit number, in two halves beyond U+FFFF.
  void unicode(char32_t u) {
    if (u > 0xFFFF) {
      unicode(0xD800 + ((u - 0x10000) >> 10));
      unicode(0xDC00 + ((u - 0x10000) & 0x3FF));
      return;
    }
    char buf[12] = {'\\', 'u'};
    char* end = std::to_chars(buf + 2, buf + sizeof buf - 1,
                              u > 0x7FFF ? static_cast<int>(u) - 0x10000 : static_cast<int>(u))
                    .ptr;
    *end++ = '?';
    out_.write(buf, static_cast<std::size_t>(end - buf));
  }

 private:
  tsd::Stream& out_;
  const int roman_size_, tib_size_, small_tib_size_;
  bool small_ = false;
};

// The character whose UTF-8 starts with `lead` (128 or more), reading its continuation bytes; 0 when the
// bytes are no UTF-8 (those read are put back but the first).
char32_t read_utf8(int lead, tsd::Stream& in) {
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

}  // namespace

int write_unicode_rtf(tsd::Stream& text, tsd::Stream& out, const char* unicode_font, int roman_size,
                      int tib_size, int small_tib_size) {
  Writer w(out, roman_size, tib_size, small_tib_size);
  w.text("{\\rtf1\\ansi\\uc1 \\deff0\\deflang1033 {\\fonttbl{\\f0\\fnil\\fcharset0\\fprq2 Courier;}");
  w.text("{\\f1\\fnil\\fcharset0\\fprq2 ");
  // A font name cannot close its entry early.
  for (const char* p = unicode_font; *p; ++p)
    if (*p != ';' && *p != '{' && *p != '}' && *p != '\\') w.put(*p);
  w.text(";}}");
  // Leading white space is copied and makes no paragraph.
  int c;
  while ((c = text.get()) != tsd::Stream::end && tsd::is_space(c)) w.put(c);
  text.unget(c);
  w.tibetan();
  while ((c = text.get()) != tsd::Stream::end) {
    switch (c) {
      case '\n':
        w.text("\\par \n");
        break;
      case '\t':
        w.text("\\tab ");
        break;
      case kRawStart:
        w.roman();
        w.put('[');
        break;
      case kRawEnd:
        w.put(']');
        w.tibetan();
        break;
      case kBracedStart:
        w.roman();
        w.text("\\{");
        break;
      case kBracedEnd:
        w.text("\\}");
        w.tibetan();
        break;
      case kSmallStart:
        w.size(true);
        break;
      case kSmallEnd:
        w.size(false);
        break;
      case '\\':
      case '{':
      case '}':
        w.put('\\');
        w.put(c);
        break;
      default:
        if (c < 0x80) {
          w.put(c);
        } else if (const char32_t u = read_utf8(c, text)) {
          w.unicode(u);
        } else {
          w.format("\\'%02x", c);
        }
        break;
    }
  }
  w.put('}');
  return out.flush() == 0 && !out.error() && !text.error() ? 0 : -1;
}

}  // namespace tarvex
