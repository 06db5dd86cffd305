// Keeps a loader's reports on standard error out of a fuzzing run, which would otherwise print them for
// nearly every input. TSENDREL_FUZZ_VERBOSE=1 lets them through (and any sanitizer report with them)
// when an input is replayed.
// Reads the environment; redirects file descriptor 2 while it lives.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tsd::fuzz {

class QuietStderr {
 public:
  QuietStderr() {
    static const bool verbose = std::getenv("TSENDREL_FUZZ_VERBOSE") != nullptr;
    if (verbose) return;
    std::fflush(stderr);
    saved_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 2);
      close(null);
    }
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace tsd::fuzz
