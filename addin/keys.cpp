#include <cstring>

#include "addin.h"
#include "key_commands.h"
#include "trace.h"

namespace tibet {

namespace {

std::int32_t set_tibetan_font(int font) {
  return set_font(font_names[defaults.family_base + font].data(), defaults.tibetan_size);
}

}  // namespace

std::int32_t set_font(const char* name, int size) {
  command_block block;
  return run_command(block, cmd::set_font, 0, nullptr, 0, "si", name, size);
}

std::int32_t play_glyphs(const unsigned char* glyphs) {
  std::int32_t result = 0;
  int font = 0;
  command_block block;
  for (int i = 0; glyphs[i] != 0;) {
    const unsigned char byte = glyphs[i];
    TSD_TRACE(0, "buf[%d] = %d", i, byte);
    if (byte >= tsd::kFontBase) {
      // A font number past the family (a bad keyfont) selects nothing rather than a name past the list.
      if (byte - tsd::kFontBase < fonts_per_family) {
        font = byte - tsd::kFontBase;
        result = set_tibetan_font(font);
      }
      ++i;
    } else if (byte == tsd::kTakeBack) {
      int n = 0;
      while (glyphs[i + n] == tsd::kTakeBack) ++n;
      result = run_command(block, cmd::delete_back, 0, nullptr, 0, "i", -n);
      result = set_tibetan_font(font);
      i += n;
    } else {
      const char text[2] = {static_cast<char>(byte), '\0'};
      result = run_command(block, cmd::insert, 0, nullptr, 0, "s", text);
      ++i;
    }
  }
  return result;
}

std::int32_t on_key(int key) {
  unsigned char glyphs[tsd::kGlyphBufferSize];
  const int composed = tsd::type_key(key, glyphs, key_tables, syllable_state, typed_history);
  TSD_TRACE(0, "processing %c, ret %d, strlen(buf) %d", key, composed,
            static_cast<int>(std::strlen(reinterpret_cast<const char*>(glyphs))));
  for (int i = 0; glyphs[i] != 0; ++i) TSD_TRACE(0, "buf[%d] = %d ", i, glyphs[i]);
  return play_glyphs(glyphs);
}

}  // namespace tibet

#define TIBET_KEY_EXPORT(name, key, binding, second, message, bound) \
  extern "C" TIBET_EXPORT int TIBET_CALL name() {                    \
    return tibet::on_key(key);                                       \
  }
TIBET_KEY_COMMANDS(TIBET_KEY_EXPORT)
#undef TIBET_KEY_EXPORT
