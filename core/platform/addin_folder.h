// The add-in's data folder, where it reads keyfont, keymap and font.def and writes font.tmp:
// "c:\Tsendrel" on Windows; elsewhere $TSENDREL_DIR, else $HOME/Tsendrel.
// Also the one-step replacement of a file by another, which the font.def save relies on.
#pragma once

#include <string>

namespace tsd {

std::string addin_folder();

// Renames `from` over `to`, replacing `to` in one step. 0, or -1 when it failed (`to` is then untouched).
int replace_file(const char* from, const char* to);

}  // namespace tsd
