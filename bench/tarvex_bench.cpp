// Measures the converter single-threaded on a generated corpus: MB/s (10^6 bytes of each pass's own input
// per second, best of several runs) for every pass and for the conversion types end to end; then the
// instructions per input byte of each, counted under callgrind on a small corpus.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bare_loop.h"
#include "batch.h"
#include "cli_steps.h"
#include "convert_file.h"
#include "corpus.h"
#include "extract.h"
#include "font_code_pass.h"
#include "instructions.h"
#include "rtf_writer.h"
#include "scheme_passes.h"
#include "startup.h"
#include "unicode_keys.h"
#include "unicode_pass.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using tsd::Stream;

struct Target {
  const char* name;
  double mb_per_s;
};

std::uintmax_t size_of(const std::string& path) {
  return fs::file_size(path);
}

// Best time in seconds of `runs` calls of `work`. The output of the run before is deleted first, untimed:
// truncating a large file on a journalling disk costs more than writing it, and is no part of converting.
double best_of(int runs, const std::string& output, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    std::error_code ignored;
    fs::remove(output, ignored);
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void report(const char* name, std::uintmax_t bytes, double seconds, double target) {
  const double rate = bytes / 1e6 / seconds;
  std::printf("%-26s %8.1f MB %8.3f s %9.1f MB/s", name, bytes / 1e6, seconds, rate);
  if (target > 0) std::printf("   target %5.0f MB/s: %s", target, rate >= target ? "met" : "BELOW");
  std::printf("\n");
}

// Rewrites the file at `path` without its carriage returns: 0, or -1 when it cannot be read or written.
int drop_carriage_returns(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (!in.good() && !in.eof()) return -1;
  std::erase(text, '\r');
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return out.good() ? 0 : -1;
}

void fail(const char* what) {
  std::fprintf(stderr, "tarvex-bench: %s\n", what);
  std::exit(1);
}

// Every measured step goes through here: timed and reported, or, in the counted run under callgrind,
// run once with its instructions counted.
class Steps {
 public:
  Steps(std::string only, int runs, bool counting, std::string output)
      : only_(std::move(only)), runs_(runs), counting_(counting), output_(std::move(output)) {}

  bool wanted(const char* name) const { return only_.empty() || only_ == name; }

  // `work` runs the step once over `input_bytes` bytes of its input. Its best time, or 0 when not timed.
  double step(const char* name, std::uintmax_t input_bytes, double target,
              const std::function<void()>& work) {
    if (!wanted(name)) return 0;
    if (counting_) {
      std::error_code ignored;
      fs::remove(output_, ignored);
      bench::count_instructions(name, input_bytes, work);
      return 0;
    }
    const double seconds = best_of(runs_, output_, work);
    report(name, input_bytes, seconds, target);
    return seconds;
  }

 private:
  std::string only_;
  int runs_;
  bool counting_;
  std::string output_;
};

// The instructions of every step, counted in a run of this program under callgrind on a corpus of
// `megabytes`; one line per step.
void report_instructions(const char* self, std::size_t megabytes, const std::string& only,
                         const fs::path& dir) {
  std::printf("\nInstructions per input byte (callgrind, %zu MB corpus)\n", megabytes);
  if (!bench::can_count()) {
    std::printf("not available: valgrind is not installed, or this build has no callgrind.h\n");
    return;
  }
  const fs::path dumps = dir / "callgrind";
  fs::create_directories(dumps);
  std::vector<std::string> argv = {self, "--mb", std::to_string(megabytes), "--count"};
  if (!only.empty()) argv.insert(argv.end(), {"--only", only});
  std::vector<bench::StepCount> counts;
  if (bench::counts_of(argv, dumps.string(), counts) != 0) {
    std::printf("not available: the counted run under valgrind failed\n");
    return;
  }
  for (const bench::StepCount& c : counts)
    std::printf("%-26s %8.1f MB %14llu instructions %8.2f per byte\n", c.name.c_str(), c.bytes / 1e6,
                static_cast<unsigned long long>(c.instructions),
                c.bytes ? static_cast<double>(c.instructions) / static_cast<double>(c.bytes) : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t megabytes = 32;
  int runs = 5;
  std::string only;
  bool counting = false;  // the counted run under callgrind
  bool instructions = true;
  std::size_t instructions_mb = 2;
  std::size_t memory_mb = 200;  // 0: no memory step
  int batch_runs = 3;           // 0: no batch step
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc)
      megabytes = std::strtoul(argv[++i], nullptr, 10);
    else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
      only = argv[++i];
    else if (std::strcmp(argv[i], "--count") == 0)
      counting = true;
    else if (std::strcmp(argv[i], "--no-instructions") == 0)
      instructions = false;
    else if (std::strcmp(argv[i], "--instructions-mb") == 0 && i + 1 < argc)
      instructions_mb = std::strtoul(argv[++i], nullptr, 10);
    else if (std::strcmp(argv[i], "--memory-mb") == 0 && i + 1 < argc)
      memory_mb = std::strtoul(argv[++i], nullptr, 10);
    else if (std::strcmp(argv[i], "--batch-runs") == 0 && i + 1 < argc)
      batch_runs = std::atoi(argv[++i]);
    else {
      std::printf(
          "Usage: tarvex-bench [--mb N] [--runs N] [--only STEP] [--no-instructions] [--instructions-mb N]\n"
          "                    [--memory-mb N] [--batch-runs N]   (0 leaves that step out)\n");
      return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
    }
  }

  ConverterTables tables;
  if (load_converter_tables(TSENDREL_DATA_DIR, tables,
                            [](const char* m) { std::fprintf(stderr, "%s\n", m); }) != 0)
    fail("the tables in " TSENDREL_DATA_DIR " did not load");
  ConversionContext context = make_context(tables);
  context.status.line = [](void*, const char* line) { std::fprintf(stderr, "status: %s\n", line); };
  ConversionRequest request;
  fill_request(request, BatchChoices{}, context);

  std::random_device random;
  const fs::path dir = fs::temp_directory_path() / ("tarvex-bench-" + std::to_string(random()));
  fs::create_directories(dir);
  const std::string wylie = (dir / "corpus.txt").string();
  const std::string kvts = (dir / "corpus.kvt").string();
  const std::string syllables = (dir / "corpus.syl").string();
  const std::string glyphs = (dir / "corpus.gly").string();
  const std::string output = (dir / "out.rtf").string();
  const std::string wylie_long = (dir / "corpus-long.txt").string();
  const std::string kvts_long = (dir / "corpus-long.kvt").string();
  // The volume's Extended Wylie, and its Unicode.
  const std::string kangyur = TSENDREL_CORPUS_DIR "/kangyur-035.wylie.txt";
  const std::string kangyur_unicode = TSENDREL_CORPUS_DIR "/kangyur-035.bo.txt";
  const std::string kangyur_kvts = (dir / "kangyur.kvt").string();
  const std::string kangyur_rtf = (dir / "kangyur.rtf").string();  // its Tsendrel RTF, to be read back
  const std::string kangyur_acip = (dir / "kangyur.acip.txt").string();  // its ACIP, written from its Unicode

  // The corpus, and the same with long words, braces and brackets across lines among its words.
  for (const bool long_words : {false, true}) {
    const std::string text = bench::wylie_corpus(megabytes * 1000000, 1, long_words);
    const std::string& to = long_words ? wylie_long : wylie;
    std::ofstream(to, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    Stream in = Stream::open_read(to.c_str(), Stream::Mode::text);
    Stream out = Stream::open_write((long_words ? kvts_long : kvts).c_str(), Stream::Mode::text);
    wylie_to_kvts(in, out);
    if (out.close() != 0) fail("could not write the KVTS corpus");
  }
  if (fs::exists(kangyur)) {
    Stream in = Stream::open_read(kangyur.c_str(), Stream::Mode::text);
    Stream out = Stream::open_write(kangyur_kvts.c_str(), Stream::Mode::text);
    wylie_to_kvts(in, out);
    if (out.close() != 0) fail("could not write the KVTS of the Kangyur volume");
    request.conversion_type = route_id("ewts-rtf");
    if (convert_file(context, kangyur.c_str(), kangyur_rtf.c_str(), request) != 0)
      fail("could not write the Tsendrel RTF of the Kangyur volume");
  }
  if (fs::exists(kangyur_unicode)) {
    // Line for line, with line feeds as the volume's EWTS has them, so that the two readers compared below
    // read the same lines.
    ConversionRequest lines = request;
    lines.conversion_type = route_id("unicode-acip");
    lines.keep_cr = true;
    if (convert_file(context, kangyur_unicode.c_str(), kangyur_acip.c_str(), lines) != 0 ||
        drop_carriage_returns(kangyur_acip) != 0)
      fail("could not write the ACIP of the Kangyur volume");
  }
  {
    Stream in = Stream::open_read(kvts.c_str(), Stream::Mode::text);
    Stream out = Stream::open_write(syllables.c_str(), Stream::Mode::binary);
    extract_syllables(in, out, tables.translit_tables, 1);
    if (out.close() != 0) fail("could not write the syllable file");
  }
  {
    Stream in = Stream::open_read(syllables.c_str(), Stream::Mode::binary);
    Stream out = Stream::open_write(glyphs.c_str(), Stream::Mode::binary);
    if (font_code_pass(in, out, 0, tables.key_tables, context.composer, context.status) != 0 ||
        out.close() != 0)
      fail("the font-code pass failed");
  }

  if (!counting) {
    std::printf("Corpus: %.1f MB of Wylie, %.1f MB of KVTS, %.1f MB of syllables, %.1f MB of glyph codes\n",
                size_of(wylie) / 1e6, size_of(kvts) / 1e6, size_of(syllables) / 1e6, size_of(glyphs) / 1e6);
    std::printf("Best of %d runs, single-threaded; MB/s counts 10^6 bytes of each step's own input.\n\n",
                runs);
  }
  Steps steps(only, runs, counting, output);
  const auto heading = [&](const char* text) {
    if (!counting) std::printf("%s", text);
  };

  const auto pass = [&](const char* name, const std::string& from, Stream::Mode from_mode,
                        Stream::Mode to_mode, double target,
                        const std::function<void(Stream&, Stream&)>& run) {
    if (!steps.wanted(name) || !fs::exists(from)) return;
    steps.step(name, size_of(from), target, [&] {
      Stream in = Stream::open_read(from.c_str(), from_mode);
      Stream out = Stream::open_write(output.c_str(), to_mode);
      run(in, out);
      if (out.close() != 0) fail(name);
    });
  };
  constexpr auto text = Stream::Mode::text;
  constexpr auto binary = Stream::Mode::binary;

  heading("Passes\n");
  pass("wylie_to_kvts", wylie, text, binary, 500, [](Stream& in, Stream& out) { wylie_to_kvts(in, out); });
  pass("kvts_to_wylie", kvts, text, binary, 500, [](Stream& in, Stream& out) { kvts_to_wylie(in, out); });
  pass("wylie_to_kvts, Kangyur", kangyur, text, binary, 500,
       [](Stream& in, Stream& out) { wylie_to_kvts(in, out); });
  pass("kvts_to_wylie, Kangyur", kangyur_kvts, text, binary, 500,
       [](Stream& in, Stream& out) { kvts_to_wylie(in, out); });
  pass("extract_syllables", kvts, text, binary, 0,
       [&](Stream& in, Stream& out) { extract_syllables(in, out, tables.translit_tables, 1); });
  pass("font_code_pass", syllables, binary, binary, 0, [&](Stream& in, Stream& out) {
    font_code_pass(in, out, 0, tables.key_tables, context.composer, context.status);
  });
  pass("unicode_pass", syllables, binary, binary, 0,
       [&](Stream& in, Stream& out) { unicode_pass(in, out, 0, UnicodePassages::text, context.status); });
  pass("write_rtf", glyphs, binary, text, 0, [&](Stream& in, Stream& out) {
    write_rtf(in, out, tables.rtf_fonts.data(), tables.font_count, kEkorlamBase, kRomanSize, 56, 48);
  });
  if (steps.wanted("syllable_to_unicode")) {
    // The key table alone: every run of keys between blanks of the syllable file, held in memory, to UTF-8.
    std::string keys;
    {
      std::ifstream in(syllables, std::ios::binary);
      keys.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string utf8(keys.size() * 4, '\0');
    long long written = 0;
    steps.step("syllable_to_unicode", keys.size(), 0, [&] {
      written = 0;
      const char* const end = keys.data() + keys.size();
      for (const char* p = keys.data(); p < end;) {
        const char* q = p;
        while (q<end&& static_cast<unsigned char>(*q)> ' ') ++q;
        if (q > p) {
          const int n = syllable_to_unicode(std::string_view(p, static_cast<std::size_t>(q - p)),
                                            utf8.data() + written, static_cast<int>(utf8.size() - written));
          written += n > 0 ? n : 0;
        }
        p = q + 1;
      }
    });
    if (written == 0) fail("syllable_to_unicode wrote nothing");
  }

  heading("\nEnd to end (convert_file)\n");
  const struct {
    const char* name;
    int type;
    const std::string& input;
    double target;
  } types[] = {
      {"Wylie to Tsendrel", route_id("wylie-rtf"), wylie, 200},
      {"KVTS to Tsendrel", route_id("kvts-rtf"), kvts, 250},
      {"Wylie to KVTS", route_id("wylie-kvts"), wylie, 0},
      {"KVTS to Wylie", route_id("kvts-wylie"), kvts, 0},
      {"Wylie to Unicode", route_id("wylie-unicode"), wylie, 300},
      {"KVTS to Unicode", route_id("kvts-unicode"), kvts, 0},
      {"Wylie to Unicode RTF", route_id("wylie-unicode-rtf"), wylie, 0},
      {"KVTS to Unicode RTF", route_id("kvts-unicode-rtf"), kvts, 0},
      {"Wylie to Tsendrel, long words", route_id("wylie-rtf"), wylie_long, 0},
      {"KVTS to Tsendrel, long words", route_id("kvts-rtf"), kvts_long, 0},
      {"Wylie to Unicode, long words", route_id("wylie-unicode"), wylie_long, 0},
      {"KVTS to Unicode, long words", route_id("kvts-unicode"), kvts_long, 0},
      {"Wylie to Unicode RTF, long words", route_id("wylie-unicode-rtf"), wylie_long, 0},
      {"KVTS to Unicode RTF, long words", route_id("kvts-unicode-rtf"), kvts_long, 0},
      {"Wylie to Unicode, Kangyur", route_id("wylie-unicode"), kangyur, 300},
      {"Wylie to Tsendrel, Kangyur", route_id("wylie-rtf"), kangyur, 200},
      {"EWTS to Unicode, Kangyur", route_id("ewts-unicode"), kangyur, 150},
      {"EWTS to Tsendrel, Kangyur", route_id("ewts-rtf"), kangyur, 100},
      {"EWTS to Unicode RTF, Kangyur", route_id("ewts-unicode-rtf"), kangyur, 0},
      {"Unicode to Tsendrel, Kangyur", route_id("unicode-rtf"), kangyur_unicode, 100},
      {"Unicode to Unicode, Kangyur", route_id("unicode-unicode"), kangyur_unicode, 0},
      {"Tsendrel RTF to Unicode, Kangyur", route_id("tsendrel-unicode"), kangyur_rtf, 100},
      {"Unicode to EWTS, Kangyur", route_id("unicode-ewts"), kangyur_unicode, 100},
      // ACIP is read at least as fast as EWTS: the same target.
      {"ACIP to Unicode, Kangyur", route_id("acip-unicode"), kangyur_acip, 150},
      {"Unicode to ACIP, Kangyur", route_id("unicode-acip"), kangyur_unicode, 0},
  };
  const bench::CliBench cli{TSENDREL_CLI, TSENDREL_DATA_DIR, dir.string()};
  for (const auto& t : types) {
    if (!steps.wanted(t.name) || !fs::exists(t.input)) continue;
    request.conversion_type = t.type;
    const double in_process = steps.step(t.name, size_of(t.input), t.target, [&] {
      if (convert_file(context, t.input.c_str(), output.c_str(), request) != 0) fail(t.name);
    });
    // The real text's routes also through the program users run, beside the engine's figure.
    if (in_process > 0 && std::string_view(t.name).ends_with("Kangyur"))
      bench::report_cli_route(cli, std::string(route_by_id(t.type)->name), t.input, output, 5, in_process);
  }
  // The two readers of the volume side by side, a run of each in turn, so that what else the machine does
  // weighs on both alike: the best of each.
  if (!counting && steps.wanted("ACIP beside EWTS") && fs::exists(kangyur) && fs::exists(kangyur_acip)) {
    double best[2] = {1e30, 1e30};
    const std::string* inputs[2] = {&kangyur, &kangyur_acip};
    const int routes[2] = {route_id("ewts-unicode"), route_id("acip-unicode")};
    // Each goes first in every other round: the second of a pair was measured 0.4% slower when both
    // were the same conversion.
    for (int round = 0; round < 4 * runs; ++round)
      for (int turn = 0; turn < 2; ++turn) {
        const int r = turn ^ (round & 1);
        request.conversion_type = routes[r];
        best[r] = std::min(best[r], best_of(1, output, [&] {
                             if (convert_file(context, inputs[r]->c_str(), output.c_str(), request) != 0)
                               fail("ACIP beside EWTS");
                           }));
      }
    const double ewts = size_of(kangyur) / 1e6 / best[0], acip = size_of(kangyur_acip) / 1e6 / best[1];
    std::printf("ACIP to Unicode beside EWTS to Unicode, in turns: %.1f against %.1f MB/s, %.0f%% "
                "(goal: at least 100%%): %s\n",
                acip, ewts, 100 * acip / ewts, acip >= ewts ? "met" : "BELOW");
  }

  heading("\nA bare loop of word lookups (no conversion): the floor of the end-to-end figures above\n");
  const auto bare = [&](const char* name, const std::string& from) {
    pass(name, from, text, binary, 0, [name](Stream& in, Stream& out) {
      if (bench::bare_word_loop(in, out) < 0) fail(name);
    });
  };
  bare("bare word loop", wylie);
  bare("bare word loop, Kangyur", kangyur);

  if (!counting && memory_mb > 0 && steps.wanted("memory")) bench::report_peak_memory(cli, memory_mb, 100);
  if (!counting && batch_runs > 0 && steps.wanted("batch"))
    bench::report_batch_scaling(cli, 16, 16, batch_runs, 1.8);
  if (!counting && instructions) report_instructions(argv[0], instructions_mb, only, dir);

  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return 0;
}
