// The status window's operation: every message of a conversion and of the batch loops becomes one line.
// Reads nothing; writes each formatted line (at most 8191 characters) to the sink's function, which the
// front end gave, or to standard error when there is none.
#pragma once

#include <cstdarg>

namespace tarvex {

// The status lines that several passes log, each written here once.
inline constexpr char kWriteFailed[] = "Could not write the output file.\rCheck whether you have enough disk space.";
inline constexpr char kOpenBracket[] = "Input file is missing ending right bracket ']'.\rPlease correct input file.";
inline constexpr char kOpenBrace[] = "Input file is missing ending right brace '}'.\rPlease correct input file.";

struct StatusSink {
  void (*line)(void* user, const char* text) = nullptr;
  void* user = nullptr;

  void log_status(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void log_status_v(const char* format, va_list args) const __attribute__((format(printf, 2, 0)));
};

}  // namespace tarvex
