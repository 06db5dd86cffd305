// The Unicode key table read backwards: the composer keys of a syllable of the hub, as the extraction
// writes a syllable of the same Tibetan (`bfsgrubs` for བསྒྲུབས), and the key of a digit or mark. Only
// stacks that the loaded key-font table holds are written; what cannot be typed is refused with its place.
// Built once from the key tables as they load (ConverterTables); reads and writes no stream.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "document.h"

namespace tarvex {

class StackKeys {
 public:
  explicit StackKeys(const ConverterKeyTables& tables);

  // The keys of `syllable` (UTF-8: Tibetan letters and the signs on them, starting with a letter) into
  // out[0 .. capacity): each stack's letters (after the stack key `f` when it has several, or the a-chung
  // under it), the a-chung `'`, the vowel key; `a` after a stack of several letters that has no vowel;
  // byte 25 between ga and a ya after it, as the extraction writes g.y. Returns how many, or -1 when a
  // stack is not in the key-font table, a sign has no key, or the keys would not give the syllable back;
  // then [bad_from, bad_to) are the bytes of the syllable that cannot be written.
  int syllable_keys(std::string_view syllable, char* out, int capacity, std::size_t& bad_from,
                    std::size_t& bad_to) const;

  // The key of a digit, mark or symbol character standing alone, or 0.
  char mark_key(char32_t c) const;

  // Whether it was built from these tables.
  bool reads(const ConverterKeyTables& tables) const { return &tables == source_; }

 private:
  const ConverterKeyTables* source_;
  static constexpr int kBlock = 256;
  std::array<char, kBlock> letter_{};     // the key of each whole letter U+0F00 + i
  std::array<char, kBlock> subjoined_{};  // of each subjoined letter
  std::array<char, kBlock> mark_{};       // of each digit, mark and symbol that stands alone
  std::array<char, kBlock> sign_{};       // of each sign typed after the vowel key (ཾ ྃ ཿ ...)
  std::array<std::pair<std::string, char>, 4> symbols_{};  // syllables typed with one key (ཧཱུྃ)
  std::unordered_set<std::string> stacks_;  // UTF-8 of every stack of several letters the table holds
};

}  // namespace tarvex
