// Running the project's programs from a test, and the platform's special files that tests lean on: the
// command's exit status and what it printed, quoting for the platform's shell (sh here, cmd on Windows),
// the null device, and a file whose writes fail as on a full disk.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tsd::testing {

// A run of digits in a death test's pattern: GoogleTest's own regular expressions on Windows have no
// brackets.
#ifdef _WIN32
#define TSD_DIGITS "\\d+"
#else
#define TSD_DIGITS "[0-9]+"
#endif

#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
inline constexpr const char* kExeSuffix = ".exe";
#else
inline constexpr const char* kNullDevice = "/dev/null";
inline constexpr const char* kExeSuffix = "";
#endif

// One argument as the shell reads it back unchanged.
inline std::string quoted(const std::string& s) {
#ifdef _WIN32
  return "\"" + s + "\"";
#else
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
#endif
}

// The shell's words that make `folder` the current one (on Windows its drive too).
inline std::string change_folder(const std::string& folder) {
#ifdef _WIN32
  return "cd /d " + quoted(folder);
#else
  return "cd " + quoted(folder);
#endif
}

#ifdef _WIN32
// cmd takes off the first and last quotes of a line that starts with one: a spare pair keeps the rest.
inline std::string shell_line(const std::string& command) {
  return "\"" + command + "\"";
}
inline int exit_status(int raw) {
  return raw;
}
#else
inline std::string shell_line(const std::string& command) {
  return command;
}
inline int exit_status(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
#endif

// Under Wine on a busy machine, about one start of the shell in four thousand fails (system() gives -1 with
// errno set, _popen() null) and the command never runs: such a start is tried again. Now and then the shell
// starts but cannot start the program, and says it does not know it (status 9009, "Can't recognize"),
// though it ran a moment before: tried again too. On Windows itself these fail only for want of memory or
// handles, or for a command that is not there, which a second try does not harm.
#ifdef _WIN32
inline constexpr int kNotRecognized = 9009;
#else
inline constexpr int kNotRecognized = -2;  // no such status
#endif
template <typename Start, typename Failed>
auto started(Start start, Failed failed) {
  for (int attempt = 1;; ++attempt) {
    errno = 0;
    auto result = start();
    if (!failed(result) || attempt == 5) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
  }
}

// Runs `command` through the shell; its exit status, or -1 when it did not end normally.
inline int run_status(const std::string& command) {
  const std::string line = shell_line(command);
  return exit_status(
      started([&] { return std::system(line.c_str()); },
              [](int raw) { return (raw == -1 && errno != 0) || raw == kNotRecognized; }));
}

struct Captured {
  int status = -1;
  std::string output;
};

// Runs `command` and collects its standard output.
inline Captured run_captured(const std::string& command) {
  return started(
      [&] {
        Captured result;
#ifdef _WIN32
        const std::string line = shell_line(command);
        std::FILE* pipe =
            started([&] { return _popen(line.c_str(), "rb"); }, [](std::FILE* f) { return f == nullptr; });
#else
        std::FILE* pipe = popen(command.c_str(), "r");
#endif
        if (pipe == nullptr) return result;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
          result.output.append(buffer, n);
#ifdef _WIN32
        result.status = _pclose(pipe);
#else
        result.status = exit_status(pclose(pipe));
#endif
        return result;
      },
      [](const Captured& result) { return result.status == kNotRecognized; });
}

// An open file whose writes all fail, as on a full disk: the full device here; on Windows, which has
// none, the null device opened for reading only, which refuses every write.
inline std::FILE* open_full_device() {
#ifdef _WIN32
  return std::fopen(kNullDevice, "rb");
#else
  return std::fopen("/dev/full", "w+b");
#endif
}

}  // namespace tsd::testing
