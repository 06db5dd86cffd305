#include "instructions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "process.h"

#if defined(__has_include)
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_HAS_CALLGRIND 1
#endif
#endif

namespace bench {

namespace fs = std::filesystem;

void count_instructions(const std::string& name, std::uint64_t bytes, const std::function<void()>& work) {
#ifdef BENCH_HAS_CALLGRIND
  // The dump's description carries the step: "name|bytes".
  const std::string label = name + "|" + std::to_string(bytes);
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
  work();
  CALLGRIND_DUMP_STATS_AT(label.c_str());
  CALLGRIND_STOP_INSTRUMENTATION;
#else
  (void)name;
  (void)bytes;
  work();
#endif
}

bool can_count() {
#ifdef BENCH_HAS_CALLGRIND
  return on_path("valgrind");
#else
  return false;
#endif
}

namespace {

// A dump holds "desc: Trigger: Client Request: LABEL" and "totals: N" (or "summary: N").
bool read_dump(const fs::path& path, StepCount& count, int& sequence) {
  std::ifstream in(path);
  std::string line;
  bool named = false;
  bool counted = false;
  constexpr std::string_view kTrigger = "desc: Trigger: Client Request: ";
  while (std::getline(in, line)) {
    if (line.rfind(kTrigger, 0) == 0) {
      const std::string label = line.substr(kTrigger.size());
      const std::size_t bar = label.rfind('|');
      if (bar == std::string::npos) return false;
      count.name = label.substr(0, bar);
      count.bytes = std::stoull(label.substr(bar + 1));
      named = true;
    } else if (line.rfind("totals: ", 0) == 0 || line.rfind("summary: ", 0) == 0) {
      count.instructions = std::stoull(line.substr(line.find(' ') + 1));
      counted = true;
    }
  }
  // The files are named "callgrind.out.N", N counting the dumps from 1.
  const std::string ext = path.extension().string();
  sequence = ext.size() > 1 ? std::atoi(ext.c_str() + 1) : 0;
  return named && counted;
}

}  // namespace

int counts_of(const std::vector<std::string>& argv, const std::string& dir, std::vector<StepCount>& counts) {
  counts.clear();
  std::vector<std::string> command = {"valgrind", "--tool=callgrind", "--instr-atstart=no", "--quiet",
                                      "--callgrind-out-file=" + (fs::path(dir) / "callgrind.out").string()};
  command.insert(command.end(), argv.begin(), argv.end());
  ChildRun run;
  if (run_child(command, run, (fs::path(dir) / "counted-run.txt").string().c_str()) != 0 ||
      run.exit_status != 0)
    return -1;
  std::vector<std::pair<int, StepCount>> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    if (entry.path().filename().string().rfind("callgrind.out.", 0) != 0) continue;
    StepCount count;
    int sequence = 0;
    if (read_dump(entry.path(), count, sequence)) found.emplace_back(sequence, count);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [sequence, count] : found) counts.push_back(std::move(count));
  return error ? -1 : 0;
}

}  // namespace bench
