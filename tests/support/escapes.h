// The escapes of the behaviour vectors: \\ a backslash, \n \r \t, \xHH any byte; everything else stands
// for itself.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tsd::testing {

inline std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char e = text[++i];
    if (e == 'n')
      out += '\n';
    else if (e == 'r')
      out += '\r';
    else if (e == 't')
      out += '\t';
    else if (e == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else
      out += e;
  }
  return out;
}

inline std::string escape(std::string_view bytes) {
  std::string out;
  char hex[8];
  for (unsigned char c : bytes) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (c < 32 || c > 126) {
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else
      out += static_cast<char>(c);
  }
  return out;
}

}  // namespace tsd::testing
