// wordhost's scripts: reads lines of key presses ("type", "key"), button clicks, command runs, prompt
// replies, option values, call failures and "unload", and plays them against the add-in through the
// word-processor model, starting the add-in (wdAutoOpen) before the first line that needs it.
// Reads the script stream; writes a line naming the first bad line to `errors`.
#pragma once

#include <cstdio>
#include <functional>
#include <istream>

#include "word_model.h"

namespace wordhost {

// The address of the add-in's export `name`, or null.
using ExportLookup = std::function<void*(const char* name)>;

// Plays every line, then starts the add-in if no line did and unloads it (wdAutoRemove). 0; 1 after a
// bad line (reported as "wordhost: line N: ..."); 2 when the add-in did not start.
int run_script(std::istream& script, WordModel& model, const ExportLookup& lookup, std::FILE* errors);

}  // namespace wordhost
