// The output is replaced only by a conversion that succeeded: after a failing pass, a write failure or a
// folder where no new file can be made, the old output keeps its bytes and time stamp (or stays absent),
// and no file is left behind in the output's folder.
#include <csignal>
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "convert_file.h"
#include "driver_support.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using h2test::StatusCapture;
using Lines = std::vector<std::string>;

constexpr char kOld[] = "OLD OUTPUT\n";
constexpr char kWriteFailed[] = "Could not write the output file.\rCheck whether you have enough disk space.";

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
// Holds the size that a file of this process may grow to, as a full disk would; restores it afterwards.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};
#endif

class driver_output : public ::testing::Test {
 protected:
  ConversionContext context = h2test::test_context();
  // Writes the old output with a time stamp of an hour ago, so that any rewrite would show.
  void write_old_output() {
    dir.write("a.rtf", kOld);
    old_time = fs::last_write_time(output) - std::chrono::hours(1);
    fs::last_write_time(output, old_time);
  }
  void expect_old_output_intact(const std::string& what) {
    EXPECT_EQ(tsd::testing::read_file(output), kOld) << what;
    EXPECT_EQ(fs::last_write_time(output), old_time) << what;
  }
  tsd::testing::TempDir dir;
  std::string output = dir.file("a.rtf");
  fs::file_time_type old_time;
};

TEST_F(driver_output, failing_conversions_leave_the_old_output_and_nothing_else) {
  struct Case {
    const char* name;
    const char* input;
    int type;
    Lines status;
  } cases[] = {
      {"missing bracket",
       "KA [[[[ KHA\n",
       route_id("kvts-rtf"),
       {"Input file is missing ending right bracket ']'.\rPlease correct input file.",
        "Tsendrel text conversion failure."}},
      {"missing bracket in Wylie",
       "bsgrubs [note\n",
       route_id("wylie-rtf"),
       {"Input file is missing ending right bracket ']'.\rPlease correct input file.",
        "Tsendrel text conversion failure."}},
      {"non-text start",
       "\xC0\xC1 KA\n",
       route_id("kvts-wylie"),
       {"Error: File begins with non-text characters. Skipping file."}},
  };
  for (const Case& c : cases) {
    const std::string input = dir.write("a.txt", c.input);
    write_old_output();
    StatusCapture status(context);
    EXPECT_EQ(convert_file(context, input.c_str(), output.c_str(), h2test::test_request(c.type)), -1)
        << c.name;
    EXPECT_EQ(status.captured, c.status) << c.name;
    expect_old_output_intact(c.name);
    EXPECT_EQ(names_in(dir.path()), (Lines{"a.rtf", "a.txt"})) << c.name;

    fs::remove(output);
    EXPECT_EQ(convert_file(context, input.c_str(), output.c_str(), h2test::test_request(c.type)), -1)
        << c.name;
    EXPECT_EQ(names_in(dir.path()), Lines{"a.txt"}) << c.name << ": absent output stays absent";
  }
}

TEST_F(driver_output, a_write_failure_leaves_the_old_output_and_nothing_else) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no limit on a file's size to stand in for a full disk";
#else
  const std::string input = dir.write("a.txt", "KA GA\n");
  for (int type :
       {route_id("wylie-rtf"), route_id("kvts-rtf"), route_id("wylie-kvts"), route_id("kvts-wylie")}) {
    write_old_output();
    StatusCapture status(context);
    {
      // The RTF header alone is longer than this; the scheme passes meet the limit on a longer input.
      FileSizeLimit limit(route_by_id(type)->to == Format::rtf ? 1000 : 4);
      EXPECT_EQ(convert_file(context, input.c_str(), output.c_str(), h2test::test_request(type)), -1) << type;
    }
    EXPECT_EQ(status.captured.front(), kWriteFailed) << type;
    expect_old_output_intact("type " + std::to_string(type));
    EXPECT_EQ(names_in(dir.path()), (Lines{"a.rtf", "a.txt"})) << type;
  }
#endif
}

TEST_F(driver_output, a_folder_without_room_for_the_new_file_logs_the_three_lines) {
#ifdef _WIN32
  GTEST_SKIP() << "a read-only folder still takes new files on Windows";
#else
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
  const std::string input = dir.write("a.txt", "KA\n");
  fs::create_directory(dir.file("locked"));
  const std::string locked_output = dir.file("locked/a.rtf");
  std::ofstream(locked_output) << kOld;
  fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  StatusCapture status(context);
  EXPECT_EQ(convert_file(context, input.c_str(), locked_output.c_str(),
                         h2test::test_request(route_id("kvts-wylie"))),
            -1);
  fs::permissions(dir.file("locked"), fs::perms::owner_all);
  EXPECT_EQ(status.captured, (Lines{"Program could not open output file " + locked_output,
                                    "Please check whether this file is being used by another application.",
                                    "If so, close the file in the application."}));
  EXPECT_EQ(tsd::testing::read_file(locked_output), kOld);
  EXPECT_EQ(names_in(dir.file("locked")), Lines{"a.rtf"});
#endif
}

TEST_F(driver_output, a_path_through_a_file_cannot_hold_a_new_file) {
  const std::string input = dir.write("a.txt", "KA\n");
  const std::string under_file = input + "/a.rtf";
  StatusCapture status(context);
  EXPECT_EQ(
      convert_file(context, input.c_str(), under_file.c_str(), h2test::test_request(route_id("kvts-wylie"))),
      -1);
  EXPECT_EQ(status.captured.front(), "Program could not open output file " + under_file);
  EXPECT_EQ(tsd::testing::read_file(input), "KA\n");
  EXPECT_EQ(names_in(dir.path()), Lines{"a.txt"});
}

TEST_F(driver_output, a_success_replaces_the_old_output_and_keeps_its_permissions) {
  const std::string input = dir.write("a.txt", "KA\n");
  write_old_output();
  fs::permissions(output, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(route_id("kvts-wylie"))), 0);
  EXPECT_EQ(tsd::testing::read_file(output), "ka\r\n");
#ifndef _WIN32  // Windows keeps only a read-only flag
  EXPECT_EQ(fs::status(output).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  EXPECT_EQ(names_in(dir.path()), (Lines{"a.rtf", "a.txt"}));
}

TEST_F(driver_output, a_linked_output_replaces_the_file_the_link_names) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine cannot create file links";
#endif
  const std::string input = dir.write("a.txt", "KA\n");
  fs::create_directory(dir.file("real"));
  dir.write("real/a.rtf", kOld);
  fs::create_symlink(dir.file("real/a.rtf"), output);
  EXPECT_EQ(
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(route_id("kvts-wylie"))), 0);
  EXPECT_TRUE(fs::is_symlink(output));
  EXPECT_EQ(tsd::testing::read_file(dir.file("real/a.rtf")), "ka\r\n");
  EXPECT_EQ(names_in(dir.file("real")), Lines{"a.rtf"});
}

}  // namespace
