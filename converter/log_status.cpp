#include "log_status.h"

#include <cstdarg>
#include <cstdio>

namespace tarvex {

namespace {

constexpr int kLineSize = 8192;

LogStatusFn status_hook = nullptr;

}  // namespace

void set_log_status(LogStatusFn fn) {
  status_hook = fn;
}

LogStatusFn current_log_status() {
  return status_hook;
}

void log_status(const char* format, ...) {
  char line[kLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (status_hook) {
    status_hook(line);
  } else {
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
  }
}

}  // namespace tarvex
