// Directory listing of the platform layer, for the wild-card file search: the names in one directory,
// each with whether it is a directory.
#pragma once

#include <string>
#include <vector>

namespace tsd {

struct DirEntry {
  std::string name;
  bool is_directory = false;
  bool is_file = false;  // a regular file, or a link to one (never a device or a pipe)
};

// Lists `directory` without "." and "..", in a stable order (names compared without letter case, then
// byte by byte). Directories reached through links are marked neither, so a search never loops.
// Returns 0, or -1 when the directory cannot be read.
int list_directory(const std::string& directory, std::vector<DirEntry>& entries);

}  // namespace tsd
