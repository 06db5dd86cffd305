// Steps that run tarvex-cli as a child: the peak resident size of converting a large file, for every
// conversion type, and a batch of files on one thread against two. They write their generated inputs
// and the outputs in `dir` and print one line a measurement.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

struct CliBench {
  std::string cli;       // the tarvex-cli to run
  std::string data_dir;  // its keyfont and keymap
  std::string dir;       // where the inputs and outputs go
};

// Converts a generated Wylie file of `megabytes` (and its KVTS) with each conversion type.
void report_peak_memory(const CliBench& bench, std::size_t megabytes, double target_mb);

// `tarvex-cli -q -t ROUTE -o OUTPUT INPUT`, best of `runs`, as MB/s of the input and as a share of the
// engine's own best time for the same conversion (`in_process` seconds).
void report_cli_route(const CliBench& bench, const std::string& route, const std::string& input,
                      const std::string& output, int runs, double in_process);

// Converts `files` generated files of `megabytes` each with -j 1 and -j 2, best of `runs`.
void report_batch_scaling(const CliBench& bench, int files, std::size_t megabytes, int runs, double target);

}  // namespace bench
