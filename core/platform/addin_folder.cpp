#include "platform/addin_folder.h"

#include <cstdlib>

#include "platform/path.h"

namespace tsd {

#ifdef _WIN32

std::string addin_folder() {
  return "c:\\Tsendrel";
}

#else

std::string addin_folder() {
  const char* dir = std::getenv("TSENDREL_DIR");
  if (dir != nullptr && *dir != '\0') return dir;
  const char* home = std::getenv("HOME");
  return join_path(home != nullptr && *home != '\0' ? home : ".", "Tsendrel");
}

#endif

}  // namespace tsd
