// Conversions side by side: each with a context of its own on shared tables gives, on any thread and in
// any order, the bytes it gives alone; batches on several threads log and write as one thread does.
#include <algorithm>
#include <filesystem>
#include <thread>

#include "batch.h"
#include "driver_support.h"
#include "startup.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const ConverterTables& sample_tables() {
  static const ConverterTables* tables = [] {
    auto* loaded = new ConverterTables;
    EXPECT_EQ(load_converter_tables(TSENDREL_SOURCE_DIR "/data", *loaded, nullptr), 0);
    return loaded;
  }();
  return *tables;
}

struct Job {
  int type;
  const char* example;
  bool small_tables;  // the test tables instead of the sample tables in data/
};

const Job kJobs[] = {
    {route_id("wylie-rtf"), "aspiration.txt", false},
    {route_id("kvts-rtf"), "greeting.kvt", false},
    {route_id("wylie-unicode"), "colophon.txt", false},
    {route_id("wylie-unicode-rtf"), "glossary.txt", false},
    {route_id("wylie-kvts"), "glossary.txt", false},
    {route_id("kvts-wylie"), "greeting.kvt", false},
    {route_id("kvts-unicode"), "greeting.kvt", false},
    {route_id("kvts-rtf"), "greeting.kvt", true},
};

// Converts job `j` into `output` with a context of its own; the status lines come back.
Lines convert_job(std::size_t j, const std::string& output, int repeat = 1) {
  const Job& job = kJobs[j];
  ConversionContext context = job.small_tables ? h2test::test_context() : make_context(sample_tables());
  h2test::StatusCapture status(context);
  const std::string input = std::string(TSENDREL_SOURCE_DIR "/examples/") + job.example;
  for (int i = 0; i < repeat; ++i) {
    ConversionReport report;
    EXPECT_EQ(convert_file_until(context, input.c_str(), output.c_str(), h2test::test_request(job.type),
                                 Stage::complete, &report),
              0)
        << job.example;
  }
  return status.captured;
}

// "alone3": built by appending, which the optimised build compiles without a false overlap warning.
std::string output_name(const char* prefix, std::size_t index) {
  std::string name = prefix;
  name += std::to_string(index);
  return name;
}

TEST(conversion_context, conversions_on_four_threads_give_the_bytes_each_gives_alone) {
  tsd::testing::TempDir dir;
  constexpr std::size_t kCount = std::size(kJobs);
  std::vector<std::string> alone(kCount);
  for (std::size_t j = 0; j < kCount; ++j) {
    const std::string output = dir.file(output_name("alone", j));
    convert_job(j, output);
    alone[j] = tsd::testing::read_file(output);
    ASSERT_FALSE(alone[j].empty()) << j;
  }
  // Each thread converts every job in an order of its own, many times over.
  std::vector<std::thread> threads;
  std::vector<std::vector<std::string>> seen(4, std::vector<std::string>(kCount));
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t k = 0; k < kCount; ++k) {
        const std::size_t j = (k * 3 + static_cast<std::size_t>(t)) % kCount;
        const std::string output =
            dir.file(output_name("thread", static_cast<std::size_t>(t)) + output_name("-", j));
        convert_job(j, output, 3);
        seen[t][j] = tsd::testing::read_file(output);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t)
    for (std::size_t j = 0; j < kCount; ++j)
      EXPECT_EQ(seen[t][j], alone[j]) << "thread " << t << ", job " << j;
}

TEST(conversion_context, a_file_converts_alike_whatever_the_context_converted_before) {
  // A stack left open at the end of one file, and a vowel that looks at the key before it.
  tsd::testing::TempDir dir;
  const std::string open = dir.write("open.txt", "ka bsgr");
  const std::string next = dir.write("next.txt", "i ka'i\n");
  ConversionContext fresh = make_context(sample_tables());
  ConversionContext used = make_context(sample_tables());
  const ConversionRequest request = h2test::test_request(route_id("wylie-rtf"));
  ASSERT_EQ(convert_file(fresh, next.c_str(), dir.file("fresh.rtf").c_str(), request), 0);
  ASSERT_EQ(convert_file(used, open.c_str(), dir.file("open.rtf").c_str(), request), 0);
  ASSERT_EQ(convert_file(used, next.c_str(), dir.file("used.rtf").c_str(), request), 0);
  EXPECT_EQ(tsd::testing::read_file(dir.file("used.rtf")), tsd::testing::read_file(dir.file("fresh.rtf")));
}

class batch_jobs : public ::testing::Test {
 protected:
  // Runs the batch with `jobs` threads: its status lines and every output it leaves.
  std::pair<Lines, std::map<std::string, std::string>> run(const std::vector<std::string>& names, int jobs) {
    for (const auto& [name, bytes] : inputs) dir.write(name, bytes);
    for (const auto& entry : fs::directory_iterator(dir.path()))
      if (!inputs.count(entry.path().filename().string())) fs::remove_all(entry.path());
    ConversionContext context = make_context(sample_tables());
    h2test::StatusCapture status(context);
    std::vector<SelectedFile> files;
    for (const std::string& name : names) files.push_back({dir.path(), name});
    const BatchResult r =
        convert_selected_files(context, h2test::test_request(route_id("wylie-rtf")), files, jobs);
    EXPECT_EQ(r.processed, static_cast<int>(names.size()));
    std::map<std::string, std::string> outputs;
    for (const auto& entry : fs::directory_iterator(dir.path()))
      outputs[entry.path().filename().string()] = tsd::testing::read_file(entry.path().string());
    return {status.captured, outputs};
  }
  std::map<std::string, std::string> inputs = {
      {"a.txt", "bkra shis\n"}, {"b.txt", "\xC0\n"}, {"c.txt", "ka b+ha\n"},
      {"z.txt", "ga\n"},        {"z.rtf", "MINE\n"}, {"y.txt", "kha\n"},
      {"y", "nga\n"},           {"x", "\xC1\n"},     {"x.txt", "ca\n"},
  };
  tsd::testing::TempDir dir;
};

TEST_F(batch_jobs, threads_log_and_write_as_one_thread_does) {
  // x fails before x.txt writes the same output, so x.txt may write it.
  const std::vector<std::string> names = {"a.txt", "b.txt", "missing.txt", "c.txt", "z.txt", "z.rtf",
                                          "y.txt", "y",     "x",           "x.txt", "a.txt"};
  const auto one = run(names, 1);
  EXPECT_EQ(one.second.at("z.rtf"), "MINE\n");
  EXPECT_TRUE(one.second.count("x.rtf"));
  for (const int jobs : {2, 4, 16}) {
    const auto many = run(names, jobs);
    EXPECT_EQ(many.first, one.first) << jobs << " jobs";
    EXPECT_EQ(many.second, one.second) << jobs << " jobs";
  }
}

TEST_F(batch_jobs, each_file_has_the_same_bytes_in_any_order) {
  std::vector<std::string> names = {"a.txt", "c.txt", "y.txt", "x.txt", "z.txt"};
  const auto sorted = run(names, 1).second;
  std::reverse(names.begin(), names.end());
  EXPECT_EQ(run(names, 3).second, sorted);
  std::rotate(names.begin(), names.begin() + 2, names.end());
  EXPECT_EQ(run(names, 1).second, sorted);
}

}  // namespace
