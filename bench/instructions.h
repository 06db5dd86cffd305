// Instruction counts per input byte, which do not depend on the machine's load. The benchmark runs itself
// once more under valgrind's callgrind on a small corpus, uninstrumented but for each step's one run,
// which is counted apart and dumped under the step's name and input size; the parent reads the counts
// back from callgrind's dump files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// In the counted run: runs `work` once, its instructions counted as step `name` of `bytes` input bytes.
void count_instructions(const std::string& name, std::uint64_t bytes, const std::function<void()>& work);

struct StepCount {
  std::string name;
  std::uint64_t bytes = 0;
  std::uint64_t instructions = 0;
};

// Runs `argv` under callgrind with its dumps in `dir` and gathers each step's count, in the order the
// steps ran. Returns 0, or -1 when valgrind could not run the program or it failed.
int counts_of(const std::vector<std::string>& argv, const std::string& dir, std::vector<StepCount>& counts);

// Whether counting is possible here: valgrind installed and the benchmark built with its client requests.
bool can_count();

}  // namespace bench
