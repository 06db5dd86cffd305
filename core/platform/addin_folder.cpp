#include "platform/addin_folder.h"

#include <cstdlib>

#include "platform/path.h"

namespace tsd {

namespace {

constexpr const char* kFolderVariable = "TSENDREL_DIR";

const char* folder_override() {
  const char* dir = std::getenv(kFolderVariable);
  return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

}  // namespace

#ifdef _WIN32

std::string addin_folder() {
  const char* dir = folder_override();
  return dir != nullptr ? dir : "c:\\Tsendrel";
}

int set_addin_folder(const char* folder) {
  return _putenv_s(kFolderVariable, folder) == 0 ? 0 : -1;
}

#else

std::string addin_folder() {
  if (const char* dir = folder_override()) return dir;
  const char* home = std::getenv("HOME");
  return join_path(home != nullptr && *home != '\0' ? home : ".", "Tsendrel");
}

int set_addin_folder(const char* folder) {
  return setenv(kFolderVariable, folder, 1) == 0 ? 0 : -1;
}

#endif

}  // namespace tsd
