// The names of the 68 Tibetan fonts, written once for the RTF writer's font table and the add-in's font
// list: Korlam's 34 at 0..33, then Ekorlam's at 34..67, each family in font-number order ("a" to "g" and
// "big", the same with 1, 2 and 3, then "vowa" and "syma").
#pragma once

#include <array>

#include "keyfont.h"

namespace tsd {

inline constexpr int kTibetanFontCount = 2 * kFamilySize;
inline constexpr int kFontNameLength = 16;  // room for the longest name, "Ekorlam-big3", and its NUL

using FontName = std::array<char, kFontNameLength>;

inline constexpr std::array<FontName, kTibetanFontCount> kFontNames = [] {
  constexpr const char* kFamilies[] = {"Korlam", "Ekorlam"};
  constexpr const char* kSuffixes[] = {"a", "b", "c", "d", "e", "f", "g", "big"};
  std::array<FontName, kTibetanFontCount> names{};
  int i = 0;
  const auto name = [&](const char* family, const char* suffix, char number) {
    FontName& n = names[i++];
    int at = 0;
    for (const char* c = family; *c; ++c) n[at++] = *c;
    n[at++] = '-';
    for (const char* c = suffix; *c; ++c) n[at++] = *c;
    if (number) n[at++] = number;
  };
  for (const char* family : kFamilies) {
    for (int font = 0; font < 32; ++font) name(family, kSuffixes[font % 8], font < 8 ? 0 : '0' + font / 8);
    name(family, "vowa", 0);
    name(family, "syma", 0);
  }
  return names;
}();

}  // namespace tsd
