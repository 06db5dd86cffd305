#include <gtest/gtest.h>

#include "key_commands.h"
#include "keyboard.h"

namespace {

TEST(keyboard, every_printable_character_types_back_as_itself) {
  for (int c = 32; c < 127; ++c) {
    const int key = wordhost::key_for_char(static_cast<char>(c));
    ASSERT_GE(key, 0) << c;
    EXPECT_EQ(wordhost::char_for_key(key), c) << key;
  }
}

// The host's US keyboard and the add-in's bindings must agree, or typed text would run the wrong command.
TEST(keyboard, each_printable_key_command_is_bound_to_the_key_that_types_its_character) {
  for (const tibet::KeyCommand& command : tibet::key_commands) {
    if (command.key < 32) continue;
    EXPECT_EQ(command.binding, wordhost::key_for_char(static_cast<char>(command.key))) << command.name;
  }
}

TEST(keyboard, ctrl_and_alt_keys_type_nothing) {
  EXPECT_EQ(wordhost::char_for_key(wordhost::kCtrl + 'X'), -1);
  EXPECT_EQ(wordhost::char_for_key(wordhost::kAlt + 'X'), -1);
  EXPECT_EQ(wordhost::char_for_key(0x4000 + 'X'), -1);
  EXPECT_EQ(wordhost::key_for_char('\x80'), -1);
}

}  // namespace
