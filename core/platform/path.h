// Path helpers of the platform layer: joining a folder and a name with this platform's separator.
#pragma once

#include <string>
#include <string_view>

namespace tsd {

#ifdef _WIN32
inline constexpr char path_separator = '\\';
#else
inline constexpr char path_separator = '/';
#endif

// Whether `c` ends a folder name: "/" everywhere, "\\" too on Windows.
constexpr bool is_path_separator(char c) {
  return c == '/' || c == path_separator;
}

// "dir<separator>name", the form in which every data file and output path is built.
std::string join_path(std::string_view dir, std::string_view name);

}  // namespace tsd
