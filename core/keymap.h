// The keymap: reads the `keymap` file (lines "key, separator, internal character"), from its path, an open
// text stream or the file's bytes, into `tib_keys`, resolving each key to the first key-font entry that its
// internal character begins. Writes its reports for the user to a report hook.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "keyfont.h"
#include "platform/stream.h"
#include "text_input.h"

namespace tsd {

struct TibKey {
  char ch;             // internal character; 0 = key not mapped
  std::int32_t index;  // the key's own tib_chars entry
};

using TibKeys = std::array<TibKey, 128>;

inline constexpr int kKeymapLineSize = 132;

// Where a loader writes a report for the user: `write` is handed each report's whole text, `length`
// bytes (a NUL from the file may stand inside it).
struct ReportHook {
  void (*write)(void* user, const char* text, std::size_t length);
  void* user;
};
void write_to_standard_error(void* user, const char* text, std::size_t length);
inline constexpr ReportHook kStandardError{write_to_standard_error, nullptr};

// Returns 0 when the keymap loaded (up to its first short line), -1 on a missing file or a bad line,
// after writing the report to `report` and handing its short text to the trace sink.
// `problem`, when given, says why the load failed; its path only by the form that opens the file.
template <int Forms>
int load_keymap(const char* path, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem = nullptr, ReportHook report = kStandardError);
template <int Forms>
int load_keymap(Stream& in, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem = nullptr, ReportHook report = kStandardError);
template <int Forms>
int load_keymap(TextBytes in, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem = nullptr, ReportHook report = kStandardError);

}  // namespace tsd
