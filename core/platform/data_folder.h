// Where the programs find keyfont, keymap and tarvex.txt when no folder is named: the current folder when
// it holds keyfont (where table authors and the window program have always kept them), else the tables
// installed with the program. The installed folder is found from the program's own file, so that an
// installation works under any prefix and from a staging folder, and no build path is compiled in.
#pragma once

#include <string>

namespace tsd {

// The folder holding the running program's file, with no links in it; "" when the system does not say.
std::string program_folder();

// The installed tables: the installation's data folder (share/tsendrel) reached from program_folder()
// by the path that the build's installation layout puts between the two.
std::string installed_data_folder();

// The current folder when it holds keyfont, else installed_data_folder().
std::string default_data_folder();

}  // namespace tsd
