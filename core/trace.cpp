#include "trace.h"

#include <cstdarg>
#include <cstdio>

namespace tsd {

void set_trace_sink(TraceFn sink, int show_below) {
  trace_detail::sink = sink;
  trace_detail::show_below = show_below;
}

void trace_text(int level, const char* text) {
  if (trace_shows(level)) trace_detail::sink(level, text);
}

void trace_format(int level, const char* format, ...) {
  if (!trace_shows(level)) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  trace_detail::sink(level, line);
}

}  // namespace tsd
