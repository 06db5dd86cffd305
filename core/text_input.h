// Reading text, for the loaders of the key tables and of font.def and for the number fields of the front
// ends: bytes in memory read as a text-mode stream reads a file (CR LF as LF), the line of fgets and the
// decimal number of scanf's "%d", each written once for a Stream and for bytes in memory alike.
#pragma once

#include <cstddef>
#include <string_view>

#include "char_class.h"
#include "check.h"
#include "platform/stream.h"

namespace tsd {

// Bytes in memory, read as a text-mode Stream reads the same bytes from a file: get(), one character of
// push-back, and CR LF read as LF.
class TextBytes {
 public:
  static constexpr int end = Stream::end;

  explicit TextBytes(std::string_view bytes) : bytes_(bytes) {}

  int get() {
    if (pushed_ >= 0) {
      const int c = pushed_;
      pushed_ = -1;
      return c;
    }
    if (at_ == bytes_.size()) return end;
    const int c = static_cast<unsigned char>(bytes_[at_++]);
    if (c == '\r' && at_ < bytes_.size() && bytes_[at_] == '\n') {
      ++at_;
      return '\n';
    }
    return c;
  }
  void unget(int c) {
    if (c != end) pushed_ = c & 0xFF;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  int pushed_ = -1;
};

// Stores up to size - 1 characters of the next line, its newline included when reached, and a NUL.
// Returns the number of characters stored (0 at the end of the input).
template <class In>
int Get_line(char* line, int size, In* fp) {
  TSD_CHECK(line != NULL, "Get_line");
  TSD_CHECK(fp != NULL, "Get_line");
  int count = 0;
  while (count < size - 1) {
    const int c = fp->get();
    if (c == In::end) break;
    line[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (size > 0) line[count] = '\0';
  return count;
}

// Reads a decimal number as "%d" does: white space, an optional sign, then digits up to the first
// character that is not one, which is left unread. Magnitudes beyond `bound` are held at it, so that an
// overlong number stays out of any range instead of wrapping. False when no digit stands there; the
// character that is not a digit is then left unread too.
template <class In>
bool read_decimal(In& in, long bound, long& value) {
  int c = in.get();
  while (is_space(c)) c = in.get();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = in.get();
  }
  if (!is_digit(c)) {
    in.unget(c);
    return false;
  }
  long n = 0;
  for (; is_digit(c); c = in.get()) {
    const int digit = c - '0';
    n = n > (bound - digit) / 10 ? bound : n * 10 + digit;
  }
  in.unget(c);
  value = negative ? -n : n;
  return true;
}

// The same number at the start of `text`; returns how many characters it took, 0 when none stands there.
std::size_t parse_decimal(std::string_view text, long bound, long& value);

// True when `text` is a number written in digits alone, nothing before or after them.
bool parse_whole_number(std::string_view text, long bound, long& value);

}  // namespace tsd
