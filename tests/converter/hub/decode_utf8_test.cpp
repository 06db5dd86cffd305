// decode_utf8, the one UTF-8 decoder of the text readers over bytes at hand: a character's length, 0 for
// bytes that are no character (as the byte-fed decoder tells them), -1 where the bytes at hand cut one.
#include <gtest/gtest.h>

#include <string>

#include "tibetan.h"

using namespace tarvex;

namespace {

TEST(decode_utf8, gives_each_character_its_length_and_refuses_what_is_none) {
  const struct {
    const char* bytes;
    int length;
    char32_t c;  // when length > 0
  } cases[] = {
      {"a", 1, U'a'},
      {"\xC3\xA9", 2, U'\u00E9'},
      {"\xE0\xBD\x80", 3, U'\u0F40'},
      {"\xE2\x80\x99x", 3, U'\u2019'},  // what follows is not read
      {"\xF0\x9F\x98\x80", 4, U'\U0001F600'},
      {"\xC0\xAF", 0, 0},          // overlong
      {"\xE0\x80\xAF", 0, 0},      // overlong
      {"\xED\xA0\x80", 0, 0},      // a surrogate
      {"\xF4\x90\x80\x80", 0, 0},  // past U+10FFFF
      {"\x80", 0, 0},              // a continuation byte alone
      {"\xFF", 0, 0},
      {"\xC3x", 0, 0},      // a lead byte without its continuation
      {"\xE0\xBD", -1, 0},  // cut by the end of the bytes at hand
      {"\xF0\x9F\x98", -1, 0},
  };
  for (const auto& c : cases) {
    const std::string bytes = c.bytes;
    SCOPED_TRACE(bytes);
    char32_t got = 0;
    const int length = decode_utf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), got);
    EXPECT_EQ(length, c.length);
    if (c.length > 0) {
      EXPECT_EQ(got, c.c);
    }
  }
}

}  // namespace
