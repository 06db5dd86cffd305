#include "process.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bench {

#ifndef _WIN32

int run_child(const std::vector<std::string>& argv, ChildRun& run, const char* stdout_path) {
  run = ChildRun{};
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (stdout_path != nullptr) {
      const int fd = open(stdout_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
      close(fd);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  run.seconds = took.count();
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_resident_bytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
  return 0;
}

bool on_path(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  for (const char* dir = path;; ++dir) {
    const char* colon = std::strchr(dir, ':');
    const std::string candidate =
        std::string(dir, colon ? static_cast<std::size_t>(colon - dir) : std::strlen(dir)) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    if (colon == nullptr) return false;
    dir = colon;
  }
}

#else

int run_child(const std::vector<std::string>&, ChildRun& run, const char*) {
  run = ChildRun{};
  return -1;
}

bool on_path(const char*) {
  return false;
}

#endif

}  // namespace bench
