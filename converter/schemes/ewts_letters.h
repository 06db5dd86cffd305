// The letters of Extended Wylie as the syllable grammar indexes them, derived from ewts_tables.h: the longest
// entry a text starts with, the standard stacks as letters, the a-chen and the apostrophe (a-chung).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ewts_tables.h"

namespace tarvex::ewts {

constexpr unsigned char kNone = 0xFF;
constexpr unsigned char kAchenLetter = 0xFE;  // the a-chen as a letter, after "+" or heading a "+" stack

// The longest entry of `table` that `text` starts with, or kNone.
template <typename Table>
constexpr unsigned char longest(const Table& table, std::string_view text, std::size_t& length) {
  unsigned char best = kNone;
  length = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string_view e = table[i].ewts;
    if (e.size() > length && text.substr(0, e.size()) == e) {
      best = static_cast<unsigned char>(i);
      length = e.size();
    }
  }
  return best;
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

constexpr unsigned char kApostrophe = letter_index("'");
static_assert(kApostrophe != kNone && letter_index("h") != kNone);

inline std::string_view letter_ewts(unsigned char letter) {
  return letter == kAchenLetter ? std::string_view("a") : ewts_letters[letter].ewts;
}

}  // namespace tarvex::ewts
