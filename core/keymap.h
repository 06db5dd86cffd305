// The keymap: reads the `keymap` file (lines "key, separator, internal character") into `tib_keys`,
// resolving each key to the first key-font entry that its internal character begins.
// `Get_line` is the line reader that the keymap and the converter share.
#pragma once

#include <array>
#include <cstdint>

#include "keyfont.h"
#include "platform/stream.h"

namespace tsd {

struct TibKey {
  char ch;             // internal character; 0 = key not mapped
  std::int32_t index;  // the key's own tib_chars entry
};

using TibKeys = std::array<TibKey, 128>;

inline constexpr int kKeymapLineSize = 132;

// Stores up to size - 1 characters of the next line, its newline included when reached, and a NUL.
// Returns the number of characters stored (0 at the end of the file).
int Get_line(char* line, int size, Stream* fp);

// Returns 0 when the keymap loaded (up to its first short line), -1 on a missing file or a bad line,
// after writing the report to standard error and handing its short text to the trace sink.
// `problem`, when given, says why the load failed.
template <int Forms>
int load_keymap(const char* path, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem = nullptr);

}  // namespace tsd
