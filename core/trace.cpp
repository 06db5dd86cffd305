#include "trace.h"

#include <cstdarg>
#include <cstdio>

namespace tsd {
namespace {
TraceFn g_sink = nullptr;
int g_show_below = 0;
}  // namespace

void set_trace_sink(TraceFn sink, int show_below) {
  g_sink = sink;
  g_show_below = show_below;
}

bool trace_shows(int level) {
  return g_sink != nullptr && level < g_show_below;
}

void trace_text(int level, const char* text) {
  if (trace_shows(level)) g_sink(level, text);
}

void trace_format(int level, const char* format, ...) {
  if (!trace_shows(level)) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g_sink(level, line);
}

}  // namespace tsd
