// The US keyboard of the script's `type` command: characters to the word processor's key codes
// (virtual key + 256 Ctrl + 512 Shift + 1024 Alt) and back.
#pragma once

namespace wordhost {

inline constexpr int kCtrl = 256;
inline constexpr int kShift = 512;
inline constexpr int kAlt = 1024;

// The key code that types `c`, or -1 when no key does.
int key_for_char(char c);
// The character a key code types, or -1 (Ctrl and Alt keys, keys without a character).
int char_for_key(int key_code);

}  // namespace wordhost
