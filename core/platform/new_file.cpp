#include "platform/new_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#include <climits>
#include <cstdlib>
#endif

namespace tsd {

namespace {

constexpr int kNameAttempts = 100;

std::string folder_of(const std::string& path) {
#ifdef _WIN32
  const std::size_t cut = path.find_last_of("\\/:");
#else
  const std::size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A name that no earlier call in this process gave; the clock tells processes apart.
std::string candidate_name(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char name[40];
  std::snprintf(name, sizeof name, "~tsd%08llx.tmp", (ticks * 2654435761ull + ++counter) & 0xFFFFFFFFull);
  return folder + name;
}

#ifdef _WIN32

std::FILE* create_exclusive(const std::string& path, int /*mode_of_destination*/) {
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

#else

std::FILE* create_exclusive(const std::string& path, int mode_of_destination) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return nullptr;
  // The replacement keeps the permissions of the file it replaces.
  if (mode_of_destination >= 0) (void)fchmod(fd, static_cast<mode_t>(mode_of_destination));
  std::FILE* file = fdopen(fd, "wb");
  if (!file) ::close(fd);
  return file;
}

#endif

}  // namespace

#ifdef _WIN32

int replace_file(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  // The usual causes: the destination is open in another program, or read-only.
  errno = EACCES;
  return -1;
}

#else

int replace_file(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 0 : -1;
}

#endif

int NewFile::open(const char* destination, Stream::Mode mode) {
  abandon();
  target_ = destination;
  int kept_mode = -1;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(destination);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return -1;
  }
#else
  struct stat link;
  if (lstat(destination, &link) == 0 && S_ISLNK(link.st_mode)) {
    // A link stays a link: the file it points to is the one replaced.
    char resolved[PATH_MAX];
    if (realpath(destination, resolved)) target_ = resolved;
  }
  struct stat existing;
  if (stat(target_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    if (!S_ISREG(existing.st_mode)) {
      stream_ = Stream::open_write(target_.c_str(), mode);
      return stream_.is_open() ? 0 : -1;
    }
    // A file that may not be written may not be replaced either.
    if (access(target_.c_str(), W_OK) != 0) return -1;
    kept_mode = static_cast<int>(existing.st_mode & 07777);
  }
#endif
  const std::string folder = folder_of(target_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = candidate_name(folder);
    std::FILE* file = create_exclusive(candidate, kept_mode);
    if (file) {
      temporary_ = candidate;
      stream_ = Stream::adopt(file, mode, true);
      return 0;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

int NewFile::commit() {
  const bool written = stream_.close() == 0;
  if (temporary_.empty()) return written ? 0 : kWriteFailed;
  if (!written) {
    abandon();
    return kWriteFailed;
  }
  if (replace_file(temporary_.c_str(), target_.c_str()) != 0) {
    const int reason = errno;
    abandon();
    errno = reason;
    return kNotReplaced;
  }
  temporary_.clear();
  return 0;
}

void NewFile::abandon() {
  stream_.close();
  if (!temporary_.empty()) std::remove(temporary_.c_str());
  temporary_.clear();
}

}  // namespace tsd
