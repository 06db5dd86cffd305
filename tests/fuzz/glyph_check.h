// The composer driven one key at a time, with every glyph string and every state checked against the
// composer's rules: at most 25 bytes before the NUL and none inside, only font switches 129..162 and
// each to a font not already in force, back in font 0 at the end, nothing written for a refused or
// consumed key, and a refused key leaving the state as it was.
// Reads the keys of a harness's input; writes nothing.
#pragma once

#include <cstring>
#include <string_view>

#include "composer.h"
#include "fuzz_support.h"

namespace tsd::fuzz {

// Turns the Tibetan keyboard off or on again instead of being composed.
inline constexpr unsigned char kModeToggle = 0xFF;

inline bool same_state(const SyllableState& a, const SyllableState& b) {
  return a.mode == b.mode && a.last_mode == b.last_mode && a.entry == b.entry && a.depth == b.depth &&
         a.match_stack == b.match_stack &&
         std::memcmp(a.stack_text, b.stack_text, sizeof a.stack_text) == 0 &&
         a.stack_length == b.stack_length && a.apostrophe_flag == b.apostrophe_flag &&
         a.current_font == b.current_font && a.symbol1 == b.symbol1 && a.symbol2 == b.symbol2 &&
         a.key_history == b.key_history && a.keys_remembered == b.keys_remembered;
}

inline void check_glyph_string(const unsigned char* buf, int result) {
  const std::size_t length = std::strlen(reinterpret_cast<const char*>(buf));
  require(length <= static_cast<std::size_t>(kMaxGlyphString), "a glyph string is at most 25 bytes");
  require(result >= -1 && result <= 1, "compose_key returns -1, 0 or 1");
  if (result <= 0) require(length == 0, "a refused or consumed key writes an empty glyph string");
  int font = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char byte = buf[i];
    require(byte != 128, "byte 128 never occurs in a glyph string");
    if (byte > 128) {
      require(byte <= kFontBase + kFamilySize - 1, "font switches are 129..162");
      require(byte - kFontBase != font, "a font switch changes the font");
      font = byte - kFontBase;
    }
  }
  require(font == 0, "a glyph string ends in font 0");
}

inline void check_state(const SyllableState& st) {
  require(st.depth >= 0 && st.depth <= kMatchStackSize, "the match stack's depth is 0..20");
  require(st.stack_length >= 0 && st.stack_length < kMatchStackSize,
          "stack_text holds at most 19 characters");
  require(st.entry >= -1 && st.entry < kTibCharsCapacity, "entry is -1 or an entry of the table");
}

// Composes every key of `keys` from a fresh state.
template <int Forms>
void compose_all(std::string_view keys, const KeyTables<Forms>& tables) {
  SyllableState st;
  for (const char k : keys) {
    const auto key = static_cast<unsigned char>(k);
    if (key == kModeToggle) {
      st.mode = st.mode != 0 ? 0 : 1;
      continue;
    }
    unsigned char buf[kGlyphBufferSize];
    std::memset(buf, 0xAA, sizeof buf);
    const SyllableState before = st;
    int length = -1;
    const int result = compose_key(key, buf, tables, st);
    if (before.mode == 0) {
      // Keys pass through unchanged.
      require(result == 1 && buf[0] == key && (key == 0 || buf[1] == 0), "mode 0 writes the key itself");
      continue;
    }
    check_glyph_string(buf, result);
    if (result < 0) require(same_state(before, st), "a refused key changes nothing");
    check_state(st);
    if constexpr (Forms == kConverterForms) {
      // The form that also gives the length agrees with the plain one.
      SyllableState again = before;
      unsigned char buf2[kGlyphBufferSize];
      require(compose_key(key, buf2, tables, again, length) == result && same_state(again, st) &&
                  length == static_cast<int>(std::strlen(reinterpret_cast<const char*>(buf))) &&
                  std::memcmp(buf, buf2, static_cast<std::size_t>(length) + 1) == 0,
              "both forms of compose_key agree");
    }
  }
}

}  // namespace tsd::fuzz
