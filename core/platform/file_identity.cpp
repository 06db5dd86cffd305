#include "platform/file_identity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tsd {

#ifdef _WIN32

namespace {

bool file_id(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return ok;
}

}  // namespace

bool same_existing_file(const char* path1, const char* path2) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (!file_id(path1, a) || !file_id(path2, b)) return false;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

#else

bool same_existing_file(const char* path1, const char* path2) {
  struct stat a, b;
  if (stat(path1, &a) != 0 || stat(path2, &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

#endif

}  // namespace tsd
