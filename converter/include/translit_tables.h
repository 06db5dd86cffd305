// The converter's transliteration tables: KVTS consonant clusters, syllable-initial vowels, vowels and the
// clusters tried first after a syllable's first vowel, each paired with the composer key string it types;
// plus `letter_keys` (one KVTS character to one key code) and `key_text` (one key code back to KVTS).
// Reads and writes no stream: constant program data, built at compile time (built_translit_tables).
#pragma once

#include <array>

namespace tarvex {

// Key codes with a fixed meaning in key strings.
inline constexpr char kStackKey = 'f';
inline constexpr char kAnusvaraKey = '&';

// Parallel arrays of KVTS texts and their key strings, sorted by text in ascending unsigned byte order.
struct StringTable {
  const char* const* strings = nullptr;
  const char* const* keys = nullptr;
  int num_strings = 0;
};

struct TranslitTables {
  StringTable stacks;          // consonant clusters, looked up whole
  StringTable initial_vowels;  // the a-chen with its vowel, at the start of a part of a syllable
  StringTable vowels;          // vowels after consonants
  StringTable later_stacks;    // clusters tried before `stacks` after the syllable's first vowel
};

inline constexpr int kStackCount = 506;
inline constexpr int kInitialVowelCount = 27;
inline constexpr int kVowelCount = 34;
inline constexpr int kLaterStackCount = 9;

// Key code of each KVTS character; 0 when the character has none.
extern const std::array<unsigned char, 256> letter_keys;
// KVTS text of each key code; empty for the stack key and every code not listed.
extern const std::array<const char*, 256> key_text;

// The tables as built: start-up copies them into its record; tools and tests read them here.
const TranslitTables& built_translit_tables();

}  // namespace tarvex
