#include "log_status.h"

#include <cstdarg>
#include <cstdio>

namespace tarvex {

namespace {

constexpr int kLineSize = 8192;

}  // namespace

void StatusSink::log_status(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  log_status_v(format, args);
  va_end(args);
}

void StatusSink::log_status_v(const char* format, va_list args) const {
  char text[kLineSize];
  std::vsnprintf(text, sizeof text, format, args);
  if (line) {
    line(user, text);
  } else {
    std::fputs(text, stderr);
    std::fputc('\n', stderr);
  }
}

}  // namespace tarvex
