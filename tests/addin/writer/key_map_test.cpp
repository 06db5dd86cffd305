#include "writer/key_map.h"

#include <gtest/gtest.h>

namespace tibet::writer {
namespace {

struct KeyCase {
  const char* name;
  int key_code;
  int key_char;
  int modifiers;
  int key;  // what the composer gets, -1: Writer keeps the key
};

constexpr int kReturn = 1280;
constexpr int kLeft = 1026;
constexpr int kA = 512;

constexpr KeyCase kCases[] = {
    {"a_letter", kA, 'a', 0, 'a'},
    {"a_shifted_letter", kA, 'A', kAwtShift, 'A'},
    {"a_digit", 256, '0', 0, '0'},
    {"a_blank", 1284, ' ', 0, ' '},
    {"an_apostrophe", 0, '\'', 0, '\''},
    {"a_tilde_with_shift", 0, '~', kAwtShift, '~'},
    {"backspace", kAwtBackspace, 8, 0, 8},
    {"ctrl_x", kAwtX, 24, kAwtCtrl, 24},
    {"alt_x", kAwtX, 'x', kAwtAlt, 25},
    {"ctrl_alt_x", kAwtX, 0, kAwtCtrl | kAwtAlt, -1},
    {"ctrl_a", kA, 1, kAwtCtrl, -1},
    {"ctrl_backspace", kAwtBackspace, 8, kAwtCtrl, -1},
    {"return", kReturn, 13, 0, -1},
    {"an_arrow", kLeft, 0, 0, -1},
    {"a_letter_past_ascii", 0, 0xE9, 0, -1},
    {"delete_char", 0, 127, 0, -1},
};

class AddinKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(AddinKey, maps_the_key_event) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(addin_key(c.key_code, c.key_char, c.modifiers), c.key);
}

INSTANTIATE_TEST_SUITE_P(addin_key, AddinKey, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tibet::writer
