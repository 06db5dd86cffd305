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

}  // namespace tsd
