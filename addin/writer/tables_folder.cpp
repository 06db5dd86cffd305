#include "tables_folder.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "platform/addin_folder.h"

namespace tibet::writer {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTables[] = {"keyfont", "keymap"};

}  // namespace

std::string installed_tables_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&installed_tables_folder), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return (fs::path(info.dli_fname).parent_path() / "tables").string();
}

int copy_missing_tables(const std::string& from, const std::string& folder, std::string& error) {
  std::error_code ec;
  bool missing = false;
  for (const char* name : kTables)
    if (!fs::exists(fs::path(folder) / name, ec)) missing = true;
  if (!missing) return 0;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return -1;
  }
  for (const char* name : kTables) {
    const fs::path target = fs::path(folder) / name;
    if (fs::exists(target, ec)) continue;
    fs::copy_file(fs::path(from) / name, target, ec);
    if (ec) {
      error = "cannot copy " + (fs::path(from) / name).string() + " to " + target.string() + ": " + ec.message();
      return -1;
    }
  }
  return 1;
}

bool provide_tables(Host& host) {
  const std::string folder = tsd::addin_folder();
  std::string error;
  const int copied = copy_missing_tables(installed_tables_folder(), folder, error);
  if (copied < 0) {
    host.message(("The Tsendrel tables are missing, and " + error + ".").c_str(), "Tsendrel Error");
    return false;
  }
  if (copied > 0) {
    host.message(("The Tsendrel tables were copied to " + folder + ", where the add-in keeps its files.").c_str(),
                 "Tsendrel");
  }
  return true;
}

}  // namespace tibet::writer
