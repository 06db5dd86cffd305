#include "platform/dir_search.h"

#include <algorithm>
#include <cctype>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace tsd {

namespace {

bool listed_before(const DirEntry& a, const DirEntry& b) {
  const auto fold = [](unsigned char c) { return std::tolower(c); };
  const auto by_folded = [&](char x, char y) {
    return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
  };
  if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), by_folded))
    return true;
  if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(), by_folded))
    return false;
  return a.name < b.name;
}

bool is_dot_name(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

#ifdef _WIN32

int list_directory(const std::string& directory, std::vector<DirEntry>& entries) {
  entries.clear();
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern.push_back('\\');
  pattern += "*";
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
  do {
    if (is_dot_name(data.cFileName)) continue;
    DirEntry entry;
    entry.name = data.cFileName;
    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.is_directory = dir && !link;
    entry.is_file = !dir;
    entries.push_back(std::move(entry));
  } while (FindNextFileA(h, &data));
  FindClose(h);
  std::sort(entries.begin(), entries.end(), listed_before);
  return 0;
}

#else

int list_directory(const std::string& directory, std::vector<DirEntry>& entries) {
  entries.clear();
  DIR* dir = opendir(directory.c_str());
  if (!dir) return -1;
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  const std::size_t prefix = path.size();
  while (const dirent* d = readdir(dir)) {
    if (is_dot_name(d->d_name)) continue;
    DirEntry entry;
    entry.name = d->d_name;
    path.resize(prefix);
    path += entry.name;
    struct stat own, target;
    if (lstat(path.c_str(), &own) == 0) {
      if (S_ISLNK(own.st_mode)) {
        entry.is_file = stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
      } else {
        entry.is_directory = S_ISDIR(own.st_mode);
        entry.is_file = S_ISREG(own.st_mode);
      }
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), listed_before);
  return 0;
}

#endif

}  // namespace tsd
