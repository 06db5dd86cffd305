// The add-in's data folder, where it reads keyfont, keymap and font.def and writes font.tmp:
// "c:\Tsendrel" on Windows; elsewhere $TSENDREL_DIR, else $HOME/Tsendrel.
// The font.def save relies on the one-step replacement of new_file.h.
#pragma once

#include <string>

#include "platform/new_file.h"

namespace tsd {

std::string addin_folder();

}  // namespace tsd
