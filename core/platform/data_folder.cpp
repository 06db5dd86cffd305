#include "platform/data_folder.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tsd {

namespace fs = std::filesystem;

std::string program_folder() {
  std::error_code error;
#ifdef _WIN32
  char path[MAX_PATH + 1];
  const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
  if (size == 0 || size >= sizeof path) return "";
  const fs::path file = fs::canonical(fs::path(path), error);
#else
  const fs::path file = fs::read_symlink("/proc/self/exe", error);
#endif
  return error ? "" : file.parent_path().string();
}

std::string installed_data_folder() {
  return (fs::path(program_folder()) / TSENDREL_DATA_FROM_PROGRAM).lexically_normal().string();
}

std::string default_data_folder() {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  if (!error && fs::exists(here / "keyfont", error)) return here.string();
  return installed_data_folder();
}

}  // namespace tsd
