// The conversion request: the choices of the windows (or the command line), filled by the batch module
// and read by the driver. The tables that the passes read come with the conversion context.
#pragma once

#include <cstdint>

#include "document.h"
#include "routes.h"

namespace tarvex {

struct ConversionRequest {
  std::int32_t check_syllables = 1;
  std::int32_t conversion_type = kDefaultRouteId;  // the id of its route (routes.h)
  std::int32_t keep_cr = 0;
  std::int32_t roman_size = kRomanSize;   // half-points
  std::int32_t font_base = kEkorlamBase;  // first font of the family in the context's RTF font table
  std::int32_t tib_size = 56;             // half-points
  std::int32_t small_tib_size = 48;       // half-points
  // The font of the Tibetan in a Unicode RTF.
  char unicode_font[kMaxUnicodeFontName + 1] = "Tibetan Machine Uni";
  // Whether the readers also warn about what they take silently (curly apostrophes for "'", a byte-order
  // mark): a pipeline's strict reading.
  std::int32_t tell_sloppy = 0;
};

}  // namespace tarvex
