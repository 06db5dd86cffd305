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

// "dir<separator>name", the form in which every data file and output path is built.
std::string join_path(std::string_view dir, std::string_view name);

}  // namespace tsd
