#include "key_map.h"

namespace tibet::writer {

int addin_key(int key_code, int key_char, int modifiers) {
  const int held = modifiers & (kAwtCtrl | kAwtAlt);
  if (key_code == kAwtX && held == kAwtCtrl) return 24;
  if (key_code == kAwtX && held == kAwtAlt) return 25;
  if (held != 0) return -1;
  if (key_code == kAwtBackspace) return 8;
  if (key_char >= 32 && key_char < 127) return key_char;
  return -1;
}

}  // namespace tibet::writer
