// The trace sink: every trace line of the core and the add-in goes to one hook set by the front end.
// A line is formatted only when the installed sink shows its level, so silent traces cost a compare.
#pragma once

namespace tsd {

using TraceFn = void (*)(int level, const char* text);

namespace trace_detail {
inline TraceFn sink = nullptr;
inline int show_below = 0;
}  // namespace trace_detail

// Installs `sink`, which is handed the lines whose level is below `show_below` (the add-in shows level < 0).
// A null sink, the default, shows nothing.
void set_trace_sink(TraceFn sink, int show_below);

inline bool trace_shows(int level) {
  return trace_detail::sink != nullptr && level < trace_detail::show_below;
}
void trace_text(int level, const char* text);
void trace_format(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The check every formatted trace passes first: keeps per-key traces free when nothing is shown.
#define TSD_TRACE(level, ...)                                               \
  do {                                                                      \
    if (::tsd::trace_shows(level)) ::tsd::trace_format(level, __VA_ARGS__); \
  } while (0)

}  // namespace tsd
