#include "keyboard.h"

namespace wordhost {
namespace {

struct Key {
  char plain;
  char shifted;
  int virtual_key;
};

constexpr Key kKeys[] = {
    {'0', ')', '0'},  {'1', '!', '1'}, {'2', '@', '2'},  {'3', '#', '3'}, {'4', '$', '4'}, {'5', '%', '5'},
    {'6', '^', '6'},  {'7', '&', '7'}, {'8', '*', '8'},  {'9', '(', '9'}, {';', ':', 186}, {'=', '+', 187},
    {',', '<', 188},  {'-', '_', 189}, {'.', '>', 190},  {'/', '?', 191}, {'`', '~', 192}, {'[', '{', 219},
    {'\\', '|', 220}, {']', '}', 221}, {'\'', '"', 222}, {' ', ' ', 32},  {'\t', '\t', 9},
};

}  // namespace

int key_for_char(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
  if (c >= 'A' && c <= 'Z') return kShift + c;
  for (const Key& key : kKeys) {
    if (key.plain == c) return key.virtual_key;
    if (key.shifted == c) return kShift + key.virtual_key;
  }
  return -1;
}

int char_for_key(int key_code) {
  if (key_code & (kCtrl | kAlt)) return -1;
  const bool shift = (key_code & kShift) != 0;
  const int virtual_key = key_code & 0xFF;
  if (key_code & ~(kShift | 0xFF)) return -1;
  if (virtual_key >= 'A' && virtual_key <= 'Z') return shift ? virtual_key : virtual_key - 'A' + 'a';
  for (const Key& key : kKeys) {
    if (key.virtual_key == virtual_key) return shift ? key.shifted : key.plain;
  }
  return -1;
}

}  // namespace wordhost
