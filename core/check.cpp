#include "check.h"

#include <cstdio>
#include <cstdlib>

namespace tsd {

void check_failed(const char* condition, const char* module, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, module, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tsd
