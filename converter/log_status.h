// The status window's operation: every message of a conversion and of the batch loops becomes one line.
// Reads nothing; writes each formatted line (at most 8191 characters) to the hook the front end installed.
#pragma once

namespace tarvex {

void log_status(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives each status line as it is logged. Without a hook the lines go to standard error.
using LogStatusFn = void (*)(const char* line);
void set_log_status(LogStatusFn fn);
LogStatusFn current_log_status();

}  // namespace tarvex
