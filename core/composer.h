// The syllable composer: takes one key code at a time and writes the glyph string for it (font switches
// 129..255, take-backs 20, character codes), building stacks between the stack key and a closing key.
// The converter's font-code pass and the add-in's key commands both drive it.
#pragma once

#include <array>
#include <cstdint>

#include "keyfont.h"
#include "keymap.h"

namespace tsd {

inline constexpr int kGlyphBufferSize = 32;  // callers' buffers; a glyph string is at most 25 bytes
inline constexpr int kMaxGlyphString = 25;
inline constexpr int kMatchStackSize = 20;
inline constexpr unsigned char kTakeBack = 20;
inline constexpr unsigned char kFontBase = 129;  // font n is selected by byte 129 + n
inline constexpr unsigned char kStackMarker = 39;
// After "o" and an apostrophe, the "i" sign is the apostrophe's form this many codes further on.
inline constexpr int kShiftedI = 2;

struct SyllableState {
  int mode = 1;
  int last_mode = 1;
  std::int32_t entry = -1;
  std::array<std::int32_t, kMatchStackSize> match_stack{};
  int depth = 0;
  char stack_text[32] = {};
  int stack_length = 0;
  int apostrophe_flag = 0;
  int current_font = 0;
  int symbol1 = 0;
  int symbol2 = 0;
  std::array<int, 3> key_history{};  // oldest first
  // For callers that memoise whole runs of keys: how many keys the history has taken in so far, and the
  // lowest such count whose key a rule has looked at since the caller last set it.
  std::int64_t keys_remembered = 0;
  std::int64_t oldest_key_read = 0;
};

// Everything the composer reads: both tables as loaded, and the stack index built from tib_chars.
template <int Forms>
struct KeyTables {
  std::array<TibChar<Forms>, kTibCharsCapacity> tib_chars{};
  int table_size = 0;
  TibKeys tib_keys{};
  StackIndex stack_index{};
  GlyphIndex glyph_index{};  // the key-font table read backwards, for readers of documents
};

// Loads keyfont then keymap and builds the stack index and the glyph index. 0 on success; -1 when keyfont
// loaded no entry (missing, empty, first record malformed, or too many records: reported through `report`);
// -2 when the keymap failed. Callers show their own message for each. `problem`, when given, names the file
// that failed and why.
template <int Forms>
int load_key_tables(const char* keyfont_path, const char* keymap_path, KeyTables<Forms>& tables,
                    ReportFn report, TableProblem* problem = nullptr);

// Handles one key: writes its NUL-terminated glyph string into `buf` (kGlyphBufferSize bytes) and returns
// 1 (handled), 0 (consumed: `a` outside a stack, keys 24 and 25) or -1 (match stack full, nothing changed).
template <int Forms>
int compose_key(int key, unsigned char* buf, const KeyTables<Forms>& tables, SyllableState& state);
// The same, also giving the glyph string's length, for callers that collect strings by the million.
template <int Forms>
int compose_key(int key, unsigned char* buf, const KeyTables<Forms>& tables, SyllableState& state,
                int& length);

// What a typist's document holds before the caret, as far as the composer wrote it: for each character,
// the key history in force after it was written, the newest last (the oldest drop off a full record).
struct TypedHistory {
  static constexpr int kCapacity = 64;
  std::array<std::array<int, 3>, kCapacity> behind{};
  int count = 0;
};

// compose_key for a typist, whose BackSpace (key 8) erases one character of the document: outside a stack
// the key history goes back with it, to the key behind the character now before the caret (no key once
// the record runs out), so that a `u` typed next joins that letter and not the key erased. A typist's `u`
// after anything but a letter writes nothing (result 0): compose_key keeps the joined form of any key.
template <int Forms>
int type_key(int key, unsigned char* buf, const KeyTables<Forms>& tables, SyllableState& state,
             TypedHistory& typed);

// The vowel code of an internal character: its vowel sign's form index, 0 for every other character.
inline constexpr auto kVowelCodes = [] {
  std::array<std::uint8_t, 256> codes{};
  const char vowels[] = "iueoEOJFL~`IU&%";
  for (int i = 0; vowels[i] != '\0'; ++i)
    codes[static_cast<unsigned char>(vowels[i])] = static_cast<std::uint8_t>(i + 1);
  return codes;
}();
constexpr int vowel_code(unsigned char ch) {
  return kVowelCodes[ch];
}

}  // namespace tsd
