#include "platform/file_identity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tsd {

#ifdef _WIN32

bool identify_file(const char* path, FileIdentity& identity) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

#else

bool identify_file(const char* path, FileIdentity& identity) {
  struct stat s;
  if (stat(path, &s) != 0) return false;
  identity.volume = static_cast<std::uint64_t>(s.st_dev);
  identity.index = static_cast<std::uint64_t>(s.st_ino);
  return true;
}

#endif

bool same_existing_file(const char* path1, const char* path2) {
  FileIdentity a, b;
  return identify_file(path1, a) && identify_file(path2, b) && a == b;
}

bool identify_place(const char* path, FilePlace& place) {
  // Views, not substrings: GCC's -O3 sees a false overlap in the substring copies (-Wrestrict).
  const std::string_view whole(path);
#ifdef _WIN32
  const std::size_t cut = whole.find_last_of("\\/:");
#else
  const std::size_t cut = whole.find_last_of('/');
#endif
  std::string_view folder = cut == std::string_view::npos ? std::string_view(".") : whole.substr(0, cut);
#ifdef _WIN32
  if (cut != std::string_view::npos && (folder.empty() || folder.back() == ':')) folder = whole.substr(0, cut + 1);
#else
  if (cut != std::string_view::npos && folder.empty()) folder = "/";
#endif
  place.name.assign(cut == std::string_view::npos ? whole : whole.substr(cut + 1));
#ifdef _WIN32
  for (char& c : place.name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
#endif
  return identify_file(std::string(folder).c_str(), place.folder);
}

}  // namespace tsd
