// What the readers' and writers' vector tests print and compare: a report's warnings as "offset:length
// text" lines, those lines joined for a message, and UTF-8 as its code points (bytes that are no UTF-8 as
// <HH>).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "hub.h"

namespace h2test {

inline std::vector<std::string> warnings_of(const tarvex::ReaderReport& report) {
  std::vector<std::string> out;
  for (const tarvex::ReaderWarning& w : report.warnings)
    out.push_back(std::to_string(w.offset) + ":" + std::to_string(w.length) + " " + w.text);
  return out;
}

inline std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out.append("\n    ").append(l);
  return out.empty() ? "\n    (none)" : out;
}

inline std::string code_points(std::string_view utf8) {
  std::string out;
  char hex[16];
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
    bool whole = n > 0 && i + n <= utf8.size();
    char32_t c = n == 1 ? b : n == 2 ? b & 0x1Fu : n == 3 ? b & 0x0Fu : b & 0x07u;
    for (std::size_t k = 1; whole && k < n; ++k) {
      whole = (utf8[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (utf8[i + k] & 0x3F);
    }
    if (whole)
      std::snprintf(hex, sizeof hex, "%s%04X", out.empty() ? "" : " ", static_cast<unsigned>(c));
    else
      std::snprintf(hex, sizeof hex, "%s<%02X>", out.empty() ? "" : " ", static_cast<unsigned>(b));
    out += hex;
    i += whole ? n : 1;
  }
  return out;
}

}  // namespace h2test
