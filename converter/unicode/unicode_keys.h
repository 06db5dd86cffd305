// What each composer key of the syllable file means in Unicode Tibetan, and one syllable's key string (or
// one form of a key-font entry) written as UTF-8 from that table. Reads and writes no stream: a constant
// table, and functions that write into the caller's buffer without allocating.
//
// The UTF-8 is in canonical order, unchanged by NFC and NFD, and never uses the precomposed letters that
// Unicode discourages (U+0F43, U+0F73, U+0F81 ...): they are written as their parts.
#pragma once

#include <array>
#include <string_view>

namespace tarvex {

enum class KeyRole : unsigned char {
  none,        // no meaning in Unicode
  letter,      // a consonant: whole outside a stack and heading one, subjoined under a stack's first letter
  apostrophe,  // the a-chung: a letter outside a stack and heading one, U+0F71 under a stack's letters
  stack,       // `f`: the letters after it are stacked
  inherent,    // `a`: closes a stack and writes nothing
  vowel,       // a vowel sign on the letter or stack before it (with the anusvara where the key holds one)
  separator,   // `.`: closes a stack and writes the tsheg
  mark,        // a digit or a punctuation mark, standing alone
  symbol,      // a whole syllable of its own
};

struct UnicodeKey {
  char key;
  KeyRole role;
  std::array<char32_t, 4> text;  // the whole letter, the vowel sign(s), the mark or the symbol; 0 ends it
  char32_t subjoined;            // a letter's form under another letter; 0 for the other roles
};

// Every key that the extraction can write into a syllable file and that means something in Unicode, and
// the keys of the signs, marks and letters that only Unicode and Extended Wylie text bring (`~`, `` ` ``,
// `H`, `_`, `#`, `^`, `(`, `)`, `+`: keys that the extraction never writes). Keys not listed (among them
// the vowel key `%`, which no table types) have no meaning.
inline constexpr auto unicode_keys = std::to_array<UnicodeKey>({
    // Consonants, in the order of the alphabet.
    {'k', KeyRole::letter, {0x0F40}, 0x0F90},
    {'K', KeyRole::letter, {0x0F41}, 0x0F91},
    {'g', KeyRole::letter, {0x0F42}, 0x0F92},
    {'G', KeyRole::letter, {0x0F44}, 0x0F94},
    {'c', KeyRole::letter, {0x0F45}, 0x0F95},
    {'C', KeyRole::letter, {0x0F46}, 0x0F96},
    {'j', KeyRole::letter, {0x0F47}, 0x0F97},
    {'N', KeyRole::letter, {0x0F49}, 0x0F99},
    {'t', KeyRole::letter, {0x0F4F}, 0x0F9F},
    {'T', KeyRole::letter, {0x0F50}, 0x0FA0},
    {'d', KeyRole::letter, {0x0F51}, 0x0FA1},
    {'n', KeyRole::letter, {0x0F53}, 0x0FA3},
    {'p', KeyRole::letter, {0x0F54}, 0x0FA4},
    {'P', KeyRole::letter, {0x0F55}, 0x0FA5},
    {'b', KeyRole::letter, {0x0F56}, 0x0FA6},
    {'m', KeyRole::letter, {0x0F58}, 0x0FA8},
    {'x', KeyRole::letter, {0x0F59}, 0x0FA9},
    {'X', KeyRole::letter, {0x0F5A}, 0x0FAA},
    {'D', KeyRole::letter, {0x0F5B}, 0x0FAB},
    {'w', KeyRole::letter, {0x0F5D}, 0x0FAD},
    {'Z', KeyRole::letter, {0x0F5E}, 0x0FAE},
    {'z', KeyRole::letter, {0x0F5F}, 0x0FAF},
    {'\'', KeyRole::apostrophe, {0x0F60}, 0x0F71},
    {'y', KeyRole::letter, {0x0F61}, 0x0FB1},
    {'r', KeyRole::letter, {0x0F62}, 0x0FB2},
    {'l', KeyRole::letter, {0x0F63}, 0x0FB3},
    {'S', KeyRole::letter, {0x0F64}, 0x0FB4},
    {'s', KeyRole::letter, {0x0F66}, 0x0FB6},
    {'h', KeyRole::letter, {0x0F67}, 0x0FB7},
    {'A', KeyRole::letter, {0x0F68}, 0x0FB8},
    // The retroflex letters.
    {'q', KeyRole::letter, {0x0F4A}, 0x0F9A},
    {'Q', KeyRole::letter, {0x0F4B}, 0x0F9B},
    {'v', KeyRole::letter, {0x0F4C}, 0x0F9C},
    {'V', KeyRole::letter, {0x0F4E}, 0x0F9E},
    {'B', KeyRole::letter, {0x0F65}, 0x0FB5},
    // The fixed forms: ra that keeps its full shape over a letter, ya and wa that keep theirs under one.
    {'R', KeyRole::letter, {0x0F6A}, 0x0FBC},
    {'Y', KeyRole::letter, {0x0F61}, 0x0FBB},
    {'W', KeyRole::letter, {0x0F5D}, 0x0FBA},
    // The a-chung as a letter under another (ཌྰ), which Sanskrit spells apart from the long vowel ཱ; whole
    // it is the plain a-chung, which the key `'` types.
    {'+', KeyRole::letter, {0x0F60}, 0x0FB0},
    // Stack key, inherent vowel, vowel signs.
    {'f', KeyRole::stack, {}, 0},
    {'a', KeyRole::inherent, {}, 0},
    {'i', KeyRole::vowel, {0x0F72}, 0},
    {'u', KeyRole::vowel, {0x0F74}, 0},
    {'e', KeyRole::vowel, {0x0F7A}, 0},
    {'o', KeyRole::vowel, {0x0F7C}, 0},
    {'E', KeyRole::vowel, {0x0F7B}, 0},
    {'O', KeyRole::vowel, {0x0F7D}, 0},
    {'I', KeyRole::vowel, {0x0F80}, 0},
    {'J', KeyRole::vowel, {0x0F72, 0x0F7E}, 0},
    {'F', KeyRole::vowel, {0x0F7A, 0x0F7E}, 0},
    {'L', KeyRole::vowel, {0x0F7C, 0x0F7E}, 0},
    {'U', KeyRole::vowel, {0x0F80, 0x0F7E}, 0},
    {'&', KeyRole::vowel, {0x0F7E}, 0},
    // Signs typed after the vowel key, over the letter or stack and its vowel.
    {'~', KeyRole::vowel, {0x0F83}, 0},  // sna ldan (candrabindu)
    {'`', KeyRole::vowel, {0x0F82}, 0},  // nyi zla naa da (candrabindu with a drop)
    // Separator, digits, punctuation.
    {'.', KeyRole::separator, {0x0F0B}, 0},
    {'0', KeyRole::mark, {0x0F20}, 0},
    {'1', KeyRole::mark, {0x0F21}, 0},
    {'2', KeyRole::mark, {0x0F22}, 0},
    {'3', KeyRole::mark, {0x0F23}, 0},
    {'4', KeyRole::mark, {0x0F24}, 0},
    {'5', KeyRole::mark, {0x0F25}, 0},
    {'6', KeyRole::mark, {0x0F26}, 0},
    {'7', KeyRole::mark, {0x0F27}, 0},
    {'8', KeyRole::mark, {0x0F28}, 0},
    {'9', KeyRole::mark, {0x0F29}, 0},
    {',', KeyRole::mark, {0x0F0D}, 0},   // shad
    {'?', KeyRole::mark, {0x0F0E}, 0},   // nyis shad
    {':', KeyRole::mark, {0x0F14}, 0},   // gter tsheg
    {'-', KeyRole::mark, {0x0F0F}, 0},   // tsheg shad
    {'|', KeyRole::mark, {0x0F11}, 0},   // rin chen spungs shad
    {'!', KeyRole::mark, {0x0F05}, 0},   // closing yig mgo
    {'@', KeyRole::mark, {0x0F05}, 0},   // the same mark: its KVTS text is "#" too
    {';', KeyRole::mark, {0x0F07}, 0},   // yig mgo tsheg shad
    {'"', KeyRole::mark, {0x0F0C}, 0},   // tsheg that does not allow a line break
    {'/', KeyRole::mark, {0x0F34}, 0},   // bsdus rtags
    {'\\', KeyRole::mark, {0x0F08}, 0},  // sbrul shad
    {'*', KeyRole::mark, {0x0F08}, 0},   // the same mark: its KVTS text is "\" too
    {'#', KeyRole::mark, {0x0F04}, 0},   // opening yig mgo (head mark)
    {'^', KeyRole::mark, {0x0F06}, 0},   // yig mgo with the swastika
    {'(', KeyRole::mark, {0x0F09}, 0},   // bskur yig mgo
    {')', KeyRole::mark, {0x0F0A}, 0},   // bka' shog yig mgo
    // Signs that end a syllable, written after it with their own advance.
    {'H', KeyRole::mark, {0x0F7F}, 0},   // visarga (rnam bcad)
    {'_', KeyRole::mark, {0x0F85}, 0},   // avagraha (paluta)
    // Whole-syllable symbols.
    {'<', KeyRole::symbol, {0x0F00}, 0},
    {'=', KeyRole::symbol, {0x0F68, 0x0F71, 0x0F7F}, 0},
    {'>', KeyRole::symbol, {0x0F67, 0x0F71, 0x0F74, 0x0F83}, 0},
});

// The table's record of `key`, or nullptr when the key has no meaning in Unicode.
const UnicodeKey* unicode_key(unsigned char key);

// The key that types `c` as the first letter of a stack (the first key of the table that writes it, the
// a-chung's own key for U+0F60), or under another letter; 0 when none does.
char whole_letter_key(char32_t c);
char subjoined_letter_key(char32_t c);

// One key string as the extraction writes it (a syllable, or a lone digit, mark or symbol key) as UTF-8
// in out[0 .. capacity): letters outside a stack each whole; a stack's first letter whole and the rest
// subjoined, the a-chung of a stack as U+0F71 after them; each vowel sign after its letter or stack. The
// text is not NUL-terminated. Returns the number of bytes written, or -1 when a key has no meaning in
// Unicode, a vowel has no letter to sit on, a mark or a letter follows the a-chung inside a stack, a mark
// stands inside a stack, the signs would not be in canonical order, or `out` is too small. Bytes of `out`
// past the result may have been written too (scratch); after a failure none of them means anything.
int syllable_to_unicode(std::string_view keys, char* out, int capacity);

// Form `form` (0..17) of the key-font entry whose string is `entry_string` (internal keymap characters,
// `$` for the stack key), as the composer draws it: 0 the letter or stack, 1..15 it with the vowel sign of
// that vowel code, 16 and 17 forms 0 and 2 with the a-chung that an apostrophe typed in the stack adds.
// Returns the number of UTF-8 bytes written, 0 when the form means nothing in Unicode for that entry, -1
// when `out` is too small.
int entry_form_unicode(std::string_view entry_string, int form, char* out, int capacity);

}  // namespace tarvex
