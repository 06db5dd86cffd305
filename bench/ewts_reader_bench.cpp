// Measures the Extended Wylie reader single-threaded: MB/s of EWTS read (10^6 bytes per second, best of
// several runs) from the Kangyur volume of the shared corpus beside the checkout, repeated into a file of
// about 27 MB, read in text mode as the command line reads it, its hub written to a file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "ewts_reader.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string volume = TSENDREL_CORPUS_DIR "/kangyur-035.wylie.txt";
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::ifstream file(volume, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "ewts-reader-bench: %s is not there\n", volume.c_str());
    return 77;
  }
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const fs::path dir =
      fs::temp_directory_path() / ("ewts-reader-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const std::string input = (dir / "in.txt").string(), output = (dir / "out.txt").string();
  {
    std::ofstream in(input, std::ios::binary);
    for (int i = 0; i < 20; ++i) in << text;
  }
  const auto bytes = fs::file_size(input);
  double best = 1e30;
  tarvex::ReaderReport report;
  for (int i = 0; i < runs; ++i) {
    fs::remove(output);
    report = {};
    const auto start = std::chrono::steady_clock::now();
    tsd::Stream in = tsd::Stream::open_read(input.c_str(), tsd::Stream::Mode::text);
    tsd::Stream out = tsd::Stream::open_write(output.c_str(), tsd::Stream::Mode::binary);
    if (tarvex::ewts_to_hub(in, out, true, &report) != 0 || out.close() != 0) {
      std::fprintf(stderr, "ewts-reader-bench: the conversion failed\n");
      return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  std::printf("EWTS to Unicode, Kangyur x20 %8.1f MB %8.3f s %9.1f MB/s  (%lld syllables, %zu warnings)\n",
              bytes / 1e6, best, bytes / 1e6 / best, static_cast<long long>(report.syllables),
              report.warnings.size());
  fs::remove_all(dir);
  return 0;
}
