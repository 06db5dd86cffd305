// Other programs run from the benchmark as children: it waits for each and reads its exit status, its
// wall time and its peak resident size from the system. The child's standard output and error go to a
// file or where the benchmark's go; nothing of them is read here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct ChildRun {
  int exit_status = -1;  // -1 when the child did not exit normally
  double seconds = 0;
  std::uint64_t peak_resident_bytes = 0;
};

// Starts argv[0] (looked up in PATH when it has no slash) with its arguments and waits for it. Returns 0,
// or -1 when it could not be started or waited for, or on a system where this is not built.
int run_child(const std::vector<std::string>& argv, ChildRun& run, const char* stdout_path = nullptr);

// Whether `program` is found in PATH.
bool on_path(const char* program);

}  // namespace bench
