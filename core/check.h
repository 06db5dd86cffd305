// Argument checks of the converter's modules: a failed check means a caller bug, never bad input, and
// stops the program with the C library's assertion text, naming the module rather than a source file.
#pragma once

namespace tsd {
[[noreturn]] void check_failed(const char* condition, const char* module, int line);
}  // namespace tsd

#define TSD_CHECK(condition, module) \
  ((condition) ? static_cast<void>(0) : ::tsd::check_failed(#condition, module, __LINE__))
