// Extended Wylie (EWTS) as constant tables: its letters, vowels, signs and marks with their Unicode, the
// standard stacks that need no "+", and which letters may stand as a syllable's prefix and suffixes. The
// reader of EWTS and a writer of it read the same tables, so that every rule lives in one place.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tarvex {

// How a spelling is taken: as the scheme writes it, as an older spelling read silently (`-t` for `T`), or
// read with a warning that names the spelling to use (`gh` for `g+h`). A writer writes only `standard`.
enum class EwtsSpelling : unsigned char { standard, old, warned };

// A consonant. `whole` heads a stack, `subjoined` stands under another letter; `tsa_phru` adds U+0F39
// after the stack's letters (`f`, `v`). A `warned` spelling is two letters, `plus_spelling` and the
// letters it stands for.
struct EwtsLetter {
  std::string_view ewts;
  char32_t whole;
  char32_t subjoined;
  bool tsa_phru = false;
  EwtsSpelling spelling = EwtsSpelling::standard;
  std::string_view plus_spelling = {};  // "g+h" for "gh"
};

inline constexpr auto ewts_letters = std::to_array<EwtsLetter>({
    {"k", 0x0F40, 0x0F90},
    {"kh", 0x0F41, 0x0F91},
    {"g", 0x0F42, 0x0F92},
    {"ng", 0x0F44, 0x0F94},
    {"c", 0x0F45, 0x0F95},
    {"ch", 0x0F46, 0x0F96},
    {"j", 0x0F47, 0x0F97},
    {"ny", 0x0F49, 0x0F99},
    {"t", 0x0F4F, 0x0F9F},
    {"th", 0x0F50, 0x0FA0},
    {"d", 0x0F51, 0x0FA1},
    {"n", 0x0F53, 0x0FA3},
    {"p", 0x0F54, 0x0FA4},
    {"ph", 0x0F55, 0x0FA5},
    {"b", 0x0F56, 0x0FA6},
    {"m", 0x0F58, 0x0FA8},
    {"ts", 0x0F59, 0x0FA9},
    {"tsh", 0x0F5A, 0x0FAA},
    {"dz", 0x0F5B, 0x0FAB},
    {"w", 0x0F5D, 0x0FAD},
    {"zh", 0x0F5E, 0x0FAE},
    {"z", 0x0F5F, 0x0FAF},
    {"'", 0x0F60, 0x0FB0},
    {"y", 0x0F61, 0x0FB1},
    {"r", 0x0F62, 0x0FB2},
    {"l", 0x0F63, 0x0FB3},
    {"sh", 0x0F64, 0x0FB4},
    {"s", 0x0F66, 0x0FB6},
    {"h", 0x0F67, 0x0FB7},
    // The retroflex letters of Sanskrit, and their older spellings.
    {"T", 0x0F4A, 0x0F9A},
    {"Th", 0x0F4B, 0x0F9B},
    {"D", 0x0F4C, 0x0F9C},
    {"N", 0x0F4E, 0x0F9E},
    {"Sh", 0x0F65, 0x0FB5},
    {"-t", 0x0F4A, 0x0F9A, false, EwtsSpelling::old},
    {"-th", 0x0F4B, 0x0F9B, false, EwtsSpelling::old},
    {"-d", 0x0F4C, 0x0F9C, false, EwtsSpelling::old},
    {"-n", 0x0F4E, 0x0F9E, false, EwtsSpelling::old},
    {"-sh", 0x0F65, 0x0FB5, false, EwtsSpelling::old},
    // The fixed forms: a full ra over a letter, a ya and a wa that keep their shape under one.
    {"R", 0x0F6A, 0x0FBC},
    {"Y", 0x0F61, 0x0FBB},
    {"W", 0x0F5D, 0x0FBA},
    // pha and ba with the tsa-phru.
    {"f", 0x0F55, 0x0FA5, true},
    {"v", 0x0F56, 0x0FA6, true},
    // Aspirates written without "+": the letter with ha under it, never the precomposed letter.
    {"gh", 0x0F42, 0x0FB7, false, EwtsSpelling::warned, "g+h"},
    {"dh", 0x0F51, 0x0FB7, false, EwtsSpelling::warned, "d+h"},
    {"bh", 0x0F56, 0x0FB7, false, EwtsSpelling::warned, "b+h"},
    {"Dh", 0x0F4C, 0x0FB7, false, EwtsSpelling::warned, "D+h"},
    {"dzh", 0x0F5B, 0x0FB7, false, EwtsSpelling::warned, "dz+h"},
});

// The a-chen is a letter only after "+" (`+a`, subjoined) or heading a `+` stack (`a+ya`); elsewhere `a`
// is the vowel.
inline constexpr char32_t kEwtsAchen = 0x0F68;
inline constexpr char32_t kEwtsAchenSubjoined = 0x0FB8;
inline constexpr char32_t kEwtsTsaPhru = 0x0F39;

// A vowel: its signs after the stack's letters, bottom to top. The vocalic r and l put their letter under
// the stack (`subjoined`), or stand as that letter (`alone`) where no letter comes before them.
struct EwtsVowel {
  std::string_view ewts;
  std::array<char32_t, 2> signs;
  char32_t subjoined = 0;
  char32_t alone = 0;
};

inline constexpr auto ewts_vowels = std::to_array<EwtsVowel>({
    {"a", {}},
    {"A", {0x0F71}},
    {"i", {0x0F72}},
    {"I", {0x0F71, 0x0F72}},
    {"u", {0x0F74}},
    {"U", {0x0F71, 0x0F74}},
    {"e", {0x0F7A}},
    {"ai", {0x0F7B}},
    {"o", {0x0F7C}},
    {"au", {0x0F7D}},
    {"-i", {0x0F80}},
    {"-I", {0x0F71, 0x0F80}},
    {"r-i", {0x0F80}, 0x0FB2, 0x0F62},
    {"r-I", {0x0F71, 0x0F80}, 0x0FB2, 0x0F62},
    {"l-i", {0x0F80}, 0x0FB3, 0x0F63},
    {"l-I", {0x0F71, 0x0F80}, 0x0FB3, 0x0F63},
});

// A sign written after the vowel. One sign of each `group` per stack; `ends_syllable`: the visarga closes
// its syllable, so that what follows starts another with no tsheg between; `after_visarga`: the sign may
// still follow the visarga on its stack.
struct EwtsSign {
  std::string_view ewts;
  char32_t code;
  unsigned char group;
  bool ends_syllable = false;
  bool after_visarga = false;
};

inline constexpr auto ewts_signs = std::to_array<EwtsSign>({
    {"M", 0x0F7E, 1},
    {"~M`", 0x0F82, 1},
    {"~M", 0x0F83, 1},
    {"H", 0x0F7F, 2, true},
    {"X", 0x0F37, 3, false, true},
    {"~X", 0x0F35, 3, false, true},
    {"?", 0x0F84, 4},
    {"^", 0x0F39, 5},
    {"&", 0x0F85, 6},
});

// A mark standing alone. Its kind says what a space after it is: a tsheg after a head mark, a digit (unless
// another digit follows) or the abbreviation sign; a plain space after a shad or bracket; nothing after
// the tsheg that allows no break. `_` is the plain space itself.
enum class EwtsMarkKind : unsigned char { shad, head, digit, sign, tsheg, space };

struct EwtsMark {
  std::string_view ewts;
  char32_t code;
  EwtsMarkKind kind;
};

inline constexpr auto ewts_marks = std::to_array<EwtsMark>({
    {"//", 0x0F0E, EwtsMarkKind::shad},  // before "/": read longest first
    {"/", 0x0F0D, EwtsMarkKind::shad},  {";", 0x0F0F, EwtsMarkKind::shad},
    {"|", 0x0F11, EwtsMarkKind::shad},  {"!", 0x0F08, EwtsMarkKind::shad},
    {":", 0x0F14, EwtsMarkKind::shad},  {"<", 0x0F3A, EwtsMarkKind::shad},
    {">", 0x0F3B, EwtsMarkKind::shad},  {"(", 0x0F3C, EwtsMarkKind::shad},
    {")", 0x0F3D, EwtsMarkKind::shad},  {"*", 0x0F0C, EwtsMarkKind::tsheg},
    {"=", 0x0F34, EwtsMarkKind::sign},  {"_", 0x0020, EwtsMarkKind::space},
    {"@", 0x0F04, EwtsMarkKind::head},  {"#", 0x0F05, EwtsMarkKind::head},
    {"$", 0x0F06, EwtsMarkKind::head},  {"%", 0x0F07, EwtsMarkKind::head},
    {"0", 0x0F20, EwtsMarkKind::digit}, {"1", 0x0F21, EwtsMarkKind::digit},
    {"2", 0x0F22, EwtsMarkKind::digit}, {"3", 0x0F23, EwtsMarkKind::digit},
    {"4", 0x0F24, EwtsMarkKind::digit}, {"5", 0x0F25, EwtsMarkKind::digit},
    {"6", 0x0F26, EwtsMarkKind::digit}, {"7", 0x0F27, EwtsMarkKind::digit},
    {"8", 0x0F28, EwtsMarkKind::digit}, {"9", 0x0F29, EwtsMarkKind::digit},
});

// What a space reads as depends on what stands before it and what follows: a tsheg after a syllable, after
// a head mark or `=`, after text that is not Tibetan (or before it), and after a digit unless another digit
// follows; a plain space after a shad or other mark; nothing at a line's start or after white space. The
// reader reads spaces so, and a writer writes a tsheg as a space only where it reads back.
enum class EwtsBefore : unsigned char {
  start,     // the start of a line, or white space: a space adds nothing
  syllable,  // Tibetan letters or signs: a space is a tsheg
  digit,     // a space is a plain space before another digit, a tsheg before anything else
  tsheg,     // a head mark or the abbreviation sign: a space is a tsheg
  space,     // a shad or other mark: a space is a plain space
  text,      // text that is not Tibetan, in brackets or not: a space is a tsheg
};

// The kind of a Tibetan character (U+0F00..U+0FFF) as what stands before a space.
constexpr EwtsBefore ewts_before_kind(char32_t c) {
  if (c == 0x0F0B || c == 0x0F0C) return EwtsBefore::start;
  if (c >= 0x0F0D && c <= 0x0F14) return EwtsBefore::space;
  if (c >= 0x0F01 && c <= 0x0F0A) return EwtsBefore::tsheg;
  if (c >= 0x0F20 && c <= 0x0F33) return EwtsBefore::digit;
  if (c >= 0x0F3A && c <= 0x0F3D) return EwtsBefore::space;
  return EwtsBefore::syllable;
}

// What stands before a space after a mark of each kind.
constexpr EwtsBefore ewts_before_after_mark(EwtsMarkKind kind) {
  switch (kind) {
    case EwtsMarkKind::shad:
      return EwtsBefore::space;
    case EwtsMarkKind::head:
    case EwtsMarkKind::sign:
      return EwtsBefore::tsheg;
    case EwtsMarkKind::digit:
      return EwtsBefore::digit;
    case EwtsMarkKind::tsheg:
    case EwtsMarkKind::space:
      break;
  }
  return EwtsBefore::start;
}

// What a run of spaces between `before` and `next` reads as: nothing, a tsheg, or a plain space.
enum class EwtsSpace : unsigned char { nothing, tsheg, plain };
constexpr EwtsSpace ewts_space_reading(EwtsBefore before, EwtsBefore next) {
  switch (before) {
    case EwtsBefore::start:
      return EwtsSpace::nothing;
    case EwtsBefore::digit:
      return next != EwtsBefore::digit ? EwtsSpace::tsheg : EwtsSpace::plain;
    case EwtsBefore::syllable:
    case EwtsBefore::tsheg:
    case EwtsBefore::text:
      return EwtsSpace::tsheg;
    case EwtsBefore::space:
      break;
  }
  return EwtsSpace::plain;
}

// The standard stacks: written by their letters alone, stacked without "+".
inline constexpr auto ewts_standard_stacks = std::to_array<std::string_view>({
    // ra, la and sa on top
    "rk",
    "rg",
    "rng",
    "rj",
    "rny",
    "rt",
    "rd",
    "rn",
    "rb",
    "rm",
    "rts",
    "rdz",
    "rky",
    "rgy",
    "rmy",
    "rgw",
    "rtsw",
    "rl",
    "lk",
    "lg",
    "lng",
    "lc",
    "lj",
    "lt",
    "ld",
    "lp",
    "lb",
    "lh",
    "sk",
    "sg",
    "sng",
    "sny",
    "st",
    "sd",
    "sn",
    "sp",
    "sb",
    "sm",
    "sts",
    "sky",
    "sgy",
    "spy",
    "sby",
    "smy",
    "skr",
    "sgr",
    "snr",
    "spr",
    "sbr",
    "smr",
    // wa, ya, ra and la below
    "kw",
    "khw",
    "gw",
    "cw",
    "nyw",
    "tw",
    "dw",
    "tsw",
    "tshw",
    "zhw",
    "zw",
    "rw",
    "shw",
    "sw",
    "hw",
    "grw",
    "drw",
    "phyw",
    "ky",
    "khy",
    "gy",
    "py",
    "phy",
    "by",
    "my",
    "kr",
    "khr",
    "gr",
    "tr",
    "thr",
    "dr",
    "pr",
    "phr",
    "br",
    "mr",
    "shr",
    "sr",
    "hr",
    "kl",
    "gl",
    "bl",
    "zl",
    "sl",
    // stacked by every common converter too
    "dzr",
    "nr",
    "lw",
});
static_assert(ewts_standard_stacks.size() == 96);

// How letters written without "+" group into stacks: a head letter (one of `ewts_head_letters`, over a
// letter that it tops in a standard stack of two), one main letter, then at most two letters below (of
// `ewts_below_letters`; those of `ewts_below_alone` only under a main letter alone). Every other letter
// starts a new stack.
inline constexpr std::string_view ewts_head_letters = "r l s";
inline constexpr std::string_view ewts_below_letters = "y r l w";
inline constexpr std::string_view ewts_below_alone = "l";
inline constexpr int ewts_most_below = 2;

// A prefix and the roots it may stand before: the stacks named in `roots` (separated by spaces) and every
// standard stack topped by one of the letters of `tops` (`b` before rk, lt, sgr, sl ...).
struct EwtsPrefixRule {
  std::string_view prefix;
  std::string_view roots;
  std::string_view tops = {};
};

inline constexpr auto ewts_prefix_rules = std::to_array<EwtsPrefixRule>({
    {"g", "c ny t d n ts zh z y sh s"},
    {"d", "k g ng p b m ky gy py by my kr gr pr br"},
    {"b", "k g c t d ts zh z sh s r l ky gy kr gr kl zl sr sw", "r l s"},
    {"m", "kh g ng ch j ny th d n tsh dz khy gy khr gr"},
    {"'", "kh g ch j th d ph b tsh dz khy gy phy by khr gr dr phr br"},
});

// The letters that may close a syllable (`N` and `T` for Sanskrit), and the second suffix each allows.
// After the a-chung as a suffix, `m`, `ng` and `s` may follow (`pa'm`).
struct EwtsSuffixRule {
  std::string_view suffix;
  std::string_view second;  // the second suffixes allowed after it, separated by spaces
};

inline constexpr auto ewts_suffix_rules = std::to_array<EwtsSuffixRule>({
    {"'", "m ng s"},
    {"g", "s"},
    {"ng", "s"},
    {"d", ""},
    {"n", "d"},
    {"b", "s"},
    {"m", "s"},
    {"r", "d"},
    {"l", "d"},
    {"s", ""},
    {"N", ""},
    {"T", ""},
});

// What may follow a syllable's a-chung and its vowel (`pa'am`, `pa'ang`, `pa'is`).
inline constexpr std::string_view ewts_achung_endings = "m ng s";

// Syllables with no vowel that read two ways take a fixed reading: the letter at `root` (0 or 1) is the
// root, the rest prefix and suffixes.
struct EwtsFixedReading {
  std::string_view letters;
  unsigned char root;
};

inline constexpr auto ewts_fixed_readings = std::to_array<EwtsFixedReading>({
    {"dgs", 1},
    {"dms", 1},
    {"'gs", 1},
    {"'bs", 1},
    {"dbs", 1},
    {"mngs", 0},
    {"mgs", 0},
    {"bgs", 0},
});

// Whether `name` is one of the words of `list` (words separated by single spaces).
constexpr bool ewts_list_has(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t space = list.find(' ');
    if (list.substr(0, space) == name) return true;
    if (space == std::string_view::npos) break;
    list.remove_prefix(space + 1);
  }
  return false;
}

}  // namespace tarvex
