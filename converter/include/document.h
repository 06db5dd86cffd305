// What a converted document is set in, as the request and the context name it: the RTF font table of the
// Tsendrel RTF (the roman font, then Korlam's and Ekorlam's 34 fonts each), the default sizes, the Unicode
// RTF's font, and the key tables the composer reads. Constants and plain records only.
#pragma once

#include <cstdint>

#include "composer.h"
#include "font_names.h"

namespace tarvex {

struct FontEntry {
  std::int32_t number;  // written after \f
  const char* name;
};

inline constexpr int kRtfFontCount = 1 + tsd::kTibetanFontCount;
inline constexpr int kMaxRtfFonts = 128;  // room for the prepared font-switch strings
inline constexpr int kKorlamBase = 1;
inline constexpr int kEkorlamBase = 35;
inline constexpr int kRomanSize = 24;

inline constexpr char kDefaultUnicodeFont[] = "Tibetan Machine Uni";
inline constexpr int kMaxUnicodeFontName = 63;

using ConverterKeyTables = tsd::KeyTables<tsd::kConverterForms>;

}  // namespace tarvex
