// The add-in's data folder, where it reads keyfont, keymap and font.def and writes font.tmp:
// $TSENDREL_DIR when set (wordhost's --home, the tests), else "c:\Tsendrel" on Windows and
// $HOME/Tsendrel elsewhere.
// The font.def save relies on the one-step replacement of new_file.h.
#pragma once

#include <string>

#include "platform/new_file.h"

namespace tsd {

std::string addin_folder();

// Points addin_folder() at `folder` for the rest of this process (and for the programs it starts).
// 0, or -1 when the environment cannot be changed.
int set_addin_folder(const char* folder);

}  // namespace tsd
