// The letters of Extended Wylie as the syllable grammar indexes them, derived from ewts_tables.h: the longest
// entry a text starts with, the standard stacks as letters, the a-chen and the apostrophe (a-chung).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "ewts_tables.h"

namespace tarvex::ewts {

constexpr unsigned char kNone = 0xFF;
constexpr unsigned char kAchenLetter = 0xFE;  // the a-chen as a letter, after "+" or heading a "+" stack

// The entries of a table grouped by the first byte of their spelling, each group in the table's order:
// a text is compared only with the entries that start as it does.
template <std::size_t Size>
struct FirstByteIndex {
  static_assert(Size < 256);
  std::array<unsigned char, 257> start{};  // the group of byte b is order[start[b] .. start[b + 1])
  std::array<unsigned char, Size> order{};
};

template <typename Table>
constexpr auto index_by_first_byte(const Table& table) {
  FirstByteIndex<std::tuple_size_v<Table>> index;
  std::size_t n = 0;
  for (std::size_t b = 0; b < 256; ++b) {
    index.start[b] = static_cast<unsigned char>(n);
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].ewts.empty()) throw "an entry has no spelling";
      if (static_cast<unsigned char>(table[i].ewts[0]) == b) index.order[n++] = static_cast<unsigned char>(i);
    }
  }
  index.start[256] = static_cast<unsigned char>(n);
  return index;
}

template <const auto& Table>
inline constexpr auto kByFirstByte = index_by_first_byte(Table);

// The longest entry of `Table` that `text` starts with (the first of the table's order among equals), or
// kNone.
template <const auto& Table>
constexpr unsigned char longest(std::string_view text, std::size_t& length) {
  unsigned char best = kNone;
  length = 0;
  if (text.empty()) return best;
  constexpr const auto& index = kByFirstByte<Table>;
  const auto first = static_cast<unsigned char>(text[0]);
  for (std::size_t k = index.start[first]; k < index.start[first + 1u]; ++k) {
    const unsigned char i = index.order[k];
    const std::string_view e = Table[i].ewts;
    if (e.size() > length && text.starts_with(e)) {
      best = i;
      length = e.size();
    }
  }
  return best;
}

// A token of the syllable grammar: a letter, vowel or sign (its index in its table), "+", ".", or a byte
// that means nothing; where it stands in the spelling read.
enum class TokenKind : unsigned char { letter, vowel, sign, plus, dot, other, skip };
struct Token {
  TokenKind kind;
  unsigned char index;
  std::uint16_t pos;
  std::uint16_t len;
};

// The token that `text` starts with, `after_plus` when "+" comes right before it (where `a` is the a-chen
// letter); its length in `len`. A letter of a `warned` spelling is returned as that letter.
constexpr Token lex_token(std::string_view text, bool after_plus) {
  if (text[0] == '+' || text[0] == '.') return {text[0] == '+' ? TokenKind::plus : TokenKind::dot, 0, 0, 1};
  if (after_plus && text[0] == 'a') return {TokenKind::letter, kAchenLetter, 0, 1};
  std::size_t letter_len = 0, vowel_len = 0, sign_len = 0;
  const unsigned char letter = longest<ewts_letters>(text, letter_len);
  const unsigned char vowel = longest<ewts_vowels>(text, vowel_len);
  const unsigned char sign = longest<ewts_signs>(text, sign_len);
  if (letter_len == 0 && vowel_len == 0 && sign_len == 0) return {TokenKind::other, 0, 0, 1};
  if (letter_len >= vowel_len && letter_len >= sign_len)
    return {TokenKind::letter, letter, 0, static_cast<std::uint16_t>(letter_len)};
  if (vowel_len >= sign_len) return {TokenKind::vowel, vowel, 0, static_cast<std::uint16_t>(vowel_len)};
  return {TokenKind::sign, sign, 0, static_cast<std::uint16_t>(sign_len)};
}

constexpr unsigned char letter_index(std::string_view ewts) {
  for (std::size_t i = 0; i < ewts_letters.size(); ++i)
    if (ewts_letters[i].ewts == ewts && ewts_letters[i].spelling == EwtsSpelling::standard)
      return static_cast<unsigned char>(i);
  return kNone;
}

// The standard stacks as letters, read as a syllable's letters are: longest first.
struct StackLetters {
  std::array<unsigned char, 4> letters{};
  unsigned char count = 0;
};

constexpr auto kStandardStacks = [] {
  std::array<StackLetters, ewts_standard_stacks.size()> stacks{};
  for (std::size_t s = 0; s < stacks.size(); ++s) {
    std::string_view text = ewts_standard_stacks[s];
    while (!text.empty()) {
      std::size_t length = 0;
      unsigned char best = kNone;
      for (std::size_t i = 0; i < ewts_letters.size(); ++i) {
        const std::string_view e = ewts_letters[i].ewts;
        if (ewts_letters[i].spelling == EwtsSpelling::standard && e.size() > length &&
            text.substr(0, e.size()) == e)
          best = static_cast<unsigned char>(i), length = e.size();
      }
      if (best == kNone || stacks[s].count == 4) throw "a standard stack is not made of letters";
      stacks[s].letters[stacks[s].count++] = best;
      text.remove_prefix(length);
    }
  }
  return stacks;
}();

// The roles a letter may take in a stack written without "+" (ewts_tables.h), by letter.
struct LetterRoles {
  std::array<bool, ewts_letters.size()> head{}, below{}, below_alone{};
  // pair[a][b]: the letters a and b make a standard stack of two.
  std::array<std::array<bool, ewts_letters.size()>, ewts_letters.size()> pair{};
};

constexpr LetterRoles kRoles = [] {
  LetterRoles r;
  for (std::size_t i = 0; i < ewts_letters.size(); ++i) {
    if (ewts_letters[i].spelling != EwtsSpelling::standard) continue;
    r.head[i] = ewts_list_has(ewts_head_letters, ewts_letters[i].ewts);
    r.below[i] = ewts_list_has(ewts_below_letters, ewts_letters[i].ewts);
    r.below_alone[i] = ewts_list_has(ewts_below_alone, ewts_letters[i].ewts);
  }
  for (const StackLetters& s : kStandardStacks)
    if (s.count == 2) r.pair[s.letters[0]][s.letters[1]] = true;
  return r;
}();

constexpr bool is_letter(unsigned char l) { return l < ewts_letters.size(); }
// Whether `head` is the head letter of a stack whose main letter is `main` (r over k: rk).
constexpr bool tops(unsigned char head, unsigned char main) {
  return is_letter(head) && is_letter(main) && kRoles.head[head] && kRoles.pair[head][main] &&
         !kRoles.below[main];
}
// Whether `letter` heads a standard stack of two over `next` (also r over l in rl), which it would
// rather do than stand below the letter before it.
constexpr bool heads_pair(unsigned char letter, unsigned char next) {
  return is_letter(letter) && is_letter(next) && kRoles.head[letter] && kRoles.pair[letter][next];
}
constexpr bool is_below(unsigned char l) { return is_letter(l) && kRoles.below[l]; }
constexpr bool is_below_alone(unsigned char l) { return is_letter(l) && kRoles.below_alone[l]; }

constexpr unsigned char kApostrophe = letter_index("'");
static_assert(kApostrophe != kNone && letter_index("h") != kNone);

inline std::string_view letter_ewts(unsigned char letter) {
  return letter == kAchenLetter ? std::string_view("a") : ewts_letters[letter].ewts;
}

}  // namespace tarvex::ewts
