// The character classes that readers and passes test bytes against, those of the C locale: white space
// and decimal digits. Bytes 128..255 and a stream's end (-1) belong to neither.
#pragma once

namespace tsd {

constexpr bool is_space(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

}  // namespace tsd
