#include "platform/addin_folder.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/path.h"

namespace tsd {

#ifdef _WIN32

std::string addin_folder() {
  return "c:\\Tsendrel";
}

int replace_file(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

#else

std::string addin_folder() {
  const char* dir = std::getenv("TSENDREL_DIR");
  if (dir != nullptr && *dir != '\0') return dir;
  const char* home = std::getenv("HOME");
  return join_path(home != nullptr && *home != '\0' ? home : ".", "Tsendrel");
}

int replace_file(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 0 : -1;
}

#endif

}  // namespace tsd
