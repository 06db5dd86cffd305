// ACIP (the Asian Classics Input Project's input code) as constant tables: its letters, vowels and signs
// with the Extended Wylie that spells the same Unicode, its marks standing alone, and the Tibetan prefix
// letters. The ACIP reader turns each syllable into that Extended Wylie for the shared syllable grammar,
// and the ACIP writer reads the same rows backwards, so each spelling lives in one place.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tarvex {

// A consonant: ACIP's spelling and Extended Wylie's. `V` and `W` both spell wa; the writer writes the
// first row of a letter, so `V` comes before `W`.
struct AcipLetter {
  std::string_view acip;
  std::string_view ewts;
};

inline constexpr auto acip_letters = std::to_array<AcipLetter>({
    {"K", "k"},   {"KH", "kh"}, {"G", "g"},   {"NG", "ng"},  {"C", "c"},   {"CH", "ch"}, {"J", "j"},
    {"NY", "ny"}, {"T", "t"},   {"TH", "th"}, {"D", "d"},    {"N", "n"},   {"P", "p"},   {"PH", "ph"},
    {"B", "b"},   {"M", "m"},   {"TZ", "ts"}, {"TS", "tsh"}, {"DZ", "dz"}, {"V", "w"},   {"W", "w"},
    {"ZH", "zh"}, {"Z", "z"},   {"'", "'"},   {"Y", "y"},    {"R", "r"},   {"L", "l"},   {"SH", "sh"},
    {"S", "s"},   {"H", "h"},   {"t", "T"},   {"th", "Th"},  {"d", "D"},   {"n", "N"},   {"sh", "Sh"},
});

// A vowel after a letter (or after the carrier `A`). A leading `'` makes it long.
struct AcipVowel {
  std::string_view acip;
  std::string_view ewts;
};

inline constexpr auto acip_vowels = std::to_array<AcipVowel>({
    {"A", "a"},
    {"'A", "A"},
    {"I", "i"},
    {"'I", "I"},
    {"U", "u"},
    {"'U", "U"},
    {"EE", "ai"},
    {"E", "e"},
    {"OO", "au"},
    {"O", "o"},
    {"'i", "-I"},
    {"i", "-i"},
});

// A sign after the vowel. `x` and `o` are one mark, the small circle below; `o` is how it is written.
struct AcipSign {
  std::string_view acip;
  std::string_view ewts;
};

inline constexpr auto acip_signs = std::to_array<AcipSign>({
    {"m", "M"},
    {"~m", "~M"},
    {":", "H"},
    {"\\", "?"},
    {"&", "&"},
    {"o", "X"},
    {"x", "X"},
    {"%", "~X"},
});

// A mark standing alone between words, and its Unicode (a run of `*` adds one U+0F05 for each star).
struct AcipMark {
  std::string_view acip;
  std::u32string_view code;
};

inline constexpr auto acip_marks = std::to_array<AcipMark>({
    {",,", U"\u0F0E"},
    {",", U"\u0F0D"},
    {";", U"\u0F11"},
    {"`", U"\u0F08"},
    {"#", U"\u0F04\u0F05\u0F05"},
    {"*", U"\u0F04\u0F05"},
    {"^", U"\u0F38"},
});

// The letters that may stand unstacked before a syllable's root.
inline constexpr std::string_view acip_prefixes[] = {"g", "d", "b", "m", "'"};

}  // namespace tarvex
