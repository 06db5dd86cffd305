#include "cli_steps.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "corpus.h"
#include "platform/stream.h"
#include "process.h"
#include "scheme_passes.h"

namespace bench {

namespace fs = std::filesystem;

namespace {

bool write_wylie(const std::string& path, std::size_t megabytes, unsigned seed) {
  const std::string text = wylie_corpus(megabytes * 1000000, seed);
  std::ofstream out(path, std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out);
}

bool write_kvts(const std::string& wylie, const std::string& kvts) {
  tsd::Stream in = tsd::Stream::open_read(wylie.c_str(), tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::open_write(kvts.c_str(), tsd::Stream::Mode::text);
  return in.is_open() && out.is_open() && tarvex::wylie_to_kvts(in, out) == 0 && out.close() == 0;
}

// The command line of one conversion of `inputs` into `out_dir` (or to `output` for one input).
std::vector<std::string> command(const CliBench& bench, const char* type, const std::vector<std::string>& inputs,
                                 const std::string& output, int threads) {
  std::vector<std::string> argv = {bench.cli, "-t", type, "-d", bench.data_dir};
  if (threads > 0) argv.insert(argv.end(), {"-j", std::to_string(threads)});
  if (!output.empty()) argv.insert(argv.end(), {"-o", output});
  argv.insert(argv.end(), inputs.begin(), inputs.end());
  return argv;
}

}  // namespace

void report_peak_memory(const CliBench& bench, std::size_t megabytes, double target_mb) {
  std::printf("\nPeak resident size of tarvex-cli, one %zu MB file\n", megabytes);
  const std::string wylie = (fs::path(bench.dir) / "large.txt").string();
  const std::string kvts = (fs::path(bench.dir) / "large.kvt").string();
  const std::string output = (fs::path(bench.dir) / "large.out").string();
  if (!write_wylie(wylie, megabytes, 3) || !write_kvts(wylie, kvts)) {
    std::printf("not available: the large input could not be written in %s\n", bench.dir.c_str());
    return;
  }
  const struct {
    const char* type;
    const std::string& input;
  } types[] = {
      {"wylie-rtf", wylie},     {"kvts-rtf", kvts},         {"wylie-kvts", wylie},        {"kvts-wylie", kvts},
      {"wylie-unicode", wylie}, {"kvts-unicode", kvts},     {"wylie-unicode-rtf", wylie}, {"kvts-unicode-rtf", kvts},
  };
  for (const auto& t : types) {
    std::error_code ignored;
    fs::remove(output, ignored);
    ChildRun run;
    const int started = run_child(command(bench, t.type, {t.input}, output, 0), run,
                                  (fs::path(bench.dir) / "cli-output.txt").string().c_str());
    if (started != 0 || run.exit_status != 0) {
      std::printf("%-26s not available: tarvex-cli failed (exit status %d)\n", t.type, run.exit_status);
      continue;
    }
    const double mb = static_cast<double>(run.peak_resident_bytes) / 1e6;
    std::printf("%-26s %8.1f MB %8.3f s %9.1f MB peak   target %5.0f MB: %s\n", t.type,
                static_cast<double>(fs::file_size(t.input)) / 1e6, run.seconds, mb, target_mb,
                mb <= target_mb ? "met" : "ABOVE");
  }
  std::error_code ignored;
  for (const std::string& path : {wylie, kvts, output}) fs::remove(path, ignored);
}

void report_cli_route(const CliBench& bench, const std::string& route, const std::string& input,
                      const std::string& output, int runs, double in_process) {
  const std::string log = (fs::path(bench.dir) / "cli-output.txt").string();
  std::vector<std::string> argv = command(bench, route.c_str(), {input}, output, 0);
  argv.insert(argv.begin() + 1, "-q");
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    std::error_code ignored;
    fs::remove(output, ignored);
    ChildRun run;
    if (run_child(argv, run, log.c_str()) != 0 || run.exit_status != 0) {
      std::printf("  tarvex-cli -q -t %s: not available (exit status %d)\n", route.c_str(), run.exit_status);
      return;
    }
    best = std::min(best, run.seconds);
  }
  const double megabytes = static_cast<double>(fs::file_size(input)) / 1e6;
  std::printf("  through tarvex-cli -q -t %-20s %8.3f s %9.1f MB/s   %3.0f%% of in process\n", route.c_str(),
              best, megabytes / best, 100 * in_process / best);
}


void report_batch_scaling(const CliBench& bench, int files, std::size_t megabytes, int runs, double target) {
  std::printf("\nA batch of %d files of %zu MB, Wylie to Tsendrel through tarvex-cli, best of %d\n", files,
              megabytes, runs);
  const fs::path folder = fs::path(bench.dir) / "batch";
  fs::create_directories(folder);
  std::vector<std::string> inputs;
  for (int i = 0; i < files; ++i) {
    inputs.push_back((folder / ("file" + std::to_string(i) + ".txt")).string());
    if (!write_wylie(inputs.back(), megabytes, 100 + static_cast<unsigned>(i))) {
      std::printf("not available: the batch could not be written in %s\n", folder.string().c_str());
      return;
    }
  }
  const std::string log = (fs::path(bench.dir) / "cli-output.txt").string();
  double best[2] = {1e30, 1e30};
  for (int run_index = 0; run_index < runs; ++run_index) {
    for (int threads = 1; threads <= 2; ++threads) {
      for (const std::string& input : inputs) {
        std::error_code ignored;
        fs::remove(fs::path(input).replace_extension(".rtf"), ignored);
      }
      ChildRun run;
      if (run_child(command(bench, "wylie-rtf", inputs, "", threads), run, log.c_str()) != 0 ||
          run.exit_status != 0) {
        std::printf("not available: tarvex-cli -j %d failed (exit status %d; it may not have -j yet)\n",
                    threads, run.exit_status);
        return;
      }
      best[threads - 1] = std::min(best[threads - 1], run.seconds);
    }
  }
  const double ratio = best[0] / best[1];
  std::printf("-j 1 %.3f s, -j 2 %.3f s: %.2f times as fast   target %.1f: %s\n", best[0], best[1], ratio,
              target, ratio >= target ? "met" : "BELOW");
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace bench
