#include "process.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bench {

#ifndef _WIN32
namespace {

// The peak resident size of a running process once it runs `program`, in kilobytes (0 before its exec and
// once it has ended). The child's rusage would not do: Linux counts in it the pages of the parent that the
// child had before exec.
std::uint64_t peak_kilobytes(pid_t pid, const std::string& program) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  // The kernel keeps the first 15 characters of the program's name.
  const std::string name = program.substr(program.find_last_of('/') + 1).substr(0, 15);
  std::string line;
  bool running_program = false;
  while (std::getline(status, line)) {
    if (line.compare(0, 5, "Name:") == 0) running_program = line.find(name, 5) != std::string::npos;
    if (running_program && line.compare(0, 6, "VmHWM:") == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

}  // namespace
#endif

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
  // Its high-water mark read while it runs, every millisecond; the last reading before it ends stands.
  int status = 0;
  std::uint64_t peak = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0) return -1;
    peak = std::max(peak, peak_kilobytes(pid, argv[0]));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  run.seconds = took.count();
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_resident_bytes = peak * 1024;
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
