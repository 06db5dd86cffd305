// The driver's refusals and failures: each message in its words and order, nothing created where nothing
// may be, and write failures simulated with a file that refuses every write.
#include <filesystem>

#include "convert_file.h"
#include "driver_support.h"
#include "support/process.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using h2test::StatusCapture;
using Lines = std::vector<std::string>;

constexpr char kWriteFailed[] = "Could not write the output file.\rCheck whether you have enough disk space.";
constexpr char kTempFailed[] = "Program could not open temporary file. Check for system problem.";

tsd::Stream full_disk() {
  return tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
}

// Makes temporary file `which` with `make`, the others as usual.
template <int Which, tsd::Stream (*Make)()>
tsd::Stream one_temporary(void*, int which) {
  return which == Which ? Make() : tsd::Stream::temporary();
}
tsd::Stream not_created() {
  return tsd::Stream();
}

using TemporaryFileFactory = tsd::Stream (*)(void*, int which);

// Gives the context's conversions the temporary files of `f` (null: anonymous ones) while it lives.
struct FactoryGuard {
  FactoryGuard(ConversionContext& context, TemporaryFileFactory f) : context_(context) {
    context.temporaries = TemporaryFiles{f, nullptr};
  }
  ~FactoryGuard() { context_.temporaries = TemporaryFiles{}; }
  ConversionContext& context_;
};

class driver : public ::testing::Test {
 protected:
  ConversionContext context = h2test::test_context();
  int convert(const std::string& in, const std::string& out, int type = route_id("kvts-rtf")) {
    return convert_file(context, in.c_str(), out.c_str(), h2test::test_request(type));
  }
  tsd::testing::TempDir dir;
};

TEST_F(driver, same_path_is_refused_before_anything_is_opened) {
  StatusCapture status(context);
  EXPECT_EQ(convert(dir.file("a.txt"), dir.file("a.txt")), -1);
  EXPECT_EQ(status.captured, Lines{"Input file name must not be identical to output file name."});
  EXPECT_FALSE(fs::exists(dir.file("a.txt")));
}

TEST_F(driver, two_spellings_of_one_file_are_refused_and_the_input_survives) {
  const std::string input = dir.write("a.txt", "KA");
  std::vector<std::string> spellings{dir.path() + "/./a.txt", dir.path() + "//a.txt"};
#ifdef _WIN32
  // Wine makes no file links; letter case and the other separator are spellings of their own here.
  spellings.push_back(dir.file("A.TXT"));
  spellings.push_back(dir.path() + "/a.txt");
#else
  fs::create_symlink(input, dir.file("link.txt"));
  spellings.push_back(dir.file("link.txt"));
#endif
  for (const std::string& other : spellings) {
    StatusCapture status(context);
    EXPECT_EQ(convert(input, other), -1) << other;
    EXPECT_EQ(status.captured, Lines{"Input file name must not be identical to output file name."}) << other;
    EXPECT_EQ(tsd::testing::read_file(input), "KA");
  }
}

#ifdef _WIN32
TEST_F(driver, names_differing_in_case_name_one_file_on_windows) {
  const std::string input = dir.write("a.TXT", "KA");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, dir.file("a.txt"), route_id("kvts-wylie")), -1);
  EXPECT_EQ(status.captured, Lines{"Input file name must not be identical to output file name."});
  EXPECT_EQ(tsd::testing::read_file(input), "KA");
}
#else
TEST_F(driver, names_differing_in_case_are_different_files_here) {
  const std::string input = dir.write("a.TXT", "KA");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, dir.file("a.txt"), route_id("kvts-wylie")), 0);
  EXPECT_TRUE(status.captured.empty());
  EXPECT_EQ(tsd::testing::read_file(dir.file("a.txt")), "ka");
}
#endif

TEST_F(driver, missing_input_is_reported_and_no_output_is_made) {
  StatusCapture status(context);
  EXPECT_EQ(convert(dir.file("none.txt"), dir.file("none.rtf")), -1);
  EXPECT_EQ(status.captured, Lines{"Could not open " + dir.file("none.txt")});
  EXPECT_FALSE(fs::exists(dir.file("none.rtf")));
}

TEST_F(driver, directory_as_input_cannot_be_opened) {
  fs::create_directory(dir.file("sub"));
  StatusCapture status(context);
  EXPECT_EQ(convert(dir.file("sub"), dir.file("sub.rtf")), -1);
  EXPECT_EQ(status.captured, Lines{"Could not open " + dir.file("sub")});
  EXPECT_FALSE(fs::exists(dir.file("sub.rtf")));
}

TEST_F(driver, output_that_cannot_be_opened_logs_three_lines) {
  const std::string input = dir.write("a.txt", "KA");
  const std::string output = dir.file("no/such/folder/a.rtf");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, output), -1);
  EXPECT_EQ(status.captured, (Lines{"Program could not open output file " + output,
                                    "Please check whether this file is being used by another application.",
                                    "If so, close the file in the application."}));
}

TEST_F(driver, unknown_conversion_type_creates_nothing) {
  const std::string input = dir.write("a.txt", "KA");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, dir.file("a.rtf"), 99), -1);
  EXPECT_EQ(status.captured, Lines{"Unknown conversion type 99."});
  EXPECT_FALSE(fs::exists(dir.file("a.rtf")));
}

TEST_F(driver, first_temporary_file_failure_has_no_line_feed) {
  FactoryGuard guard(context, one_temporary<0, not_created>);
  const std::string input = dir.write("a.txt", "KA");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, dir.file("a.rtf")), -1);
  EXPECT_EQ(status.captured, Lines{kTempFailed});
}

TEST_F(driver, later_temporary_file_failures_end_in_a_line_feed_for_every_type) {
  for (int type = 0; type < 4; ++type) {
    for (TemporaryFileFactory factory : {one_temporary<1, not_created>, one_temporary<2, not_created>}) {
      FactoryGuard guard(context, factory);
      const std::string input = dir.write("a.txt", "KA");
      StatusCapture status(context);
      EXPECT_EQ(convert(input, dir.file("a.rtf"), type), -1) << type;
      EXPECT_EQ(status.captured, Lines{std::string(kTempFailed) + "\n"}) << type;
    }
  }
}

TEST_F(driver, full_disk_under_a_scheme_pass_is_reported) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no path whose writes fail; the passes' own tests cover full disks";
#endif
  const std::string input = dir.write("a.txt", "bsgrubs");
  for (int type : {route_id("wylie-kvts"), route_id("kvts-wylie")}) {
    StatusCapture status(context);
    EXPECT_EQ(convert(input, "/dev/full", type), -1) << type;
    EXPECT_EQ(status.captured, Lines{kWriteFailed}) << type;
  }
}

TEST_F(driver, full_disk_under_the_rtf_writer_is_reported) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no path whose writes fail; the writer's own tests cover full disks";
#endif
  const std::string input = dir.write("a.txt", "KA");
  StatusCapture status(context);
  EXPECT_EQ(convert(input, "/dev/full"), -1);
  EXPECT_EQ(status.captured, (Lines{kWriteFailed, "Tsendrel rtf conversion failure."}));
}

TEST_F(driver, full_temporary_files_are_reported) {
  const std::string input = dir.write("a.txt", "bsgrubs");
  struct Case {
    TemporaryFileFactory factory;
    Lines lines;
  } cases[] = {
      {one_temporary<0, full_disk>, {kWriteFailed}},
      {one_temporary<1, full_disk>, {kWriteFailed}},
      {one_temporary<2, full_disk>, {kWriteFailed, "Tsendrel text conversion failure."}},
  };
  for (const Case& c : cases) {
    FactoryGuard guard(context, c.factory);
    StatusCapture status(context);
    EXPECT_EQ(convert(input, dir.file("a.rtf"), route_id("wylie-rtf")), -1);
    EXPECT_EQ(status.captured, c.lines);
  }
}

TEST_F(driver, stages_write_the_intermediate_bytes) {
  const std::string input = dir.write("a.txt", "bsgrubs ka\n");
  const std::string output = dir.file("out");
  const ConversionRequest request = h2test::test_request(route_id("wylie-rtf"));
  struct Case {
    Stage stage;
    std::string bytes;
  } cases[] = {
      {Stage::pre_pass, "BSGRUBS KA\n"},
      {Stage::syllables, "bfsgrubs ka\n"},
      {Stage::glyphs,
       "B\x86X\x81"
       "BS.K."},  // the last line break joins: a separator
  };
  for (const Case& c : cases) {
    EXPECT_EQ(convert_file_until(context, input.c_str(), output.c_str(), request, c.stage), 0);
    EXPECT_EQ(h2test::escape(tsd::testing::read_file(output)), h2test::escape(c.bytes));
  }
}

}  // namespace

namespace {

class driver_unicode : public driver {};

TEST_F(driver_unicode, same_file_is_refused_for_every_unicode_type) {
  const std::string input = dir.write("a.txt", "KA");
  for (int type : {route_id("wylie-unicode"), route_id("kvts-unicode"), route_id("wylie-unicode-rtf"),
                   route_id("kvts-unicode-rtf")}) {
    StatusCapture status(context);
    EXPECT_EQ(convert(input, dir.path() + "/./a.txt", type), -1) << type;
    EXPECT_EQ(status.captured, Lines{"Input file name must not be identical to output file name."});
    EXPECT_EQ(tsd::testing::read_file(input), "KA");
  }
}

TEST_F(driver_unicode, write_failures_are_reported) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no path whose writes fail; the passes' own tests cover full disks";
#endif
  const std::string input = dir.write("a.txt", "bsgrubs");
  struct Case {
    int type;
    const char* output;
    TemporaryFileFactory factory;
    Lines lines;
  } cases[] = {
      {route_id("wylie-unicode"), "/dev/full", nullptr, {kWriteFailed, "Tsendrel text conversion failure."}},
      {route_id("kvts-unicode-rtf"),
       "/dev/full",
       nullptr,
       {kWriteFailed, "Tsendrel rtf conversion failure."}},
      {route_id("wylie-unicode"), nullptr, one_temporary<1, full_disk>, {kWriteFailed}},
      {route_id("wylie-unicode-rtf"),
       nullptr,
       one_temporary<2, full_disk>,
       {kWriteFailed, "Tsendrel text conversion failure."}},
  };
  for (const Case& c : cases) {
    FactoryGuard guard(context, c.factory);
    StatusCapture status(context);
    EXPECT_EQ(convert(input, c.output ? c.output : dir.file("a.rtf"), c.type), -1) << c.type;
    EXPECT_EQ(status.captured, c.lines) << c.type;
    EXPECT_FALSE(fs::exists(dir.file("a.rtf")));
  }
}

}  // namespace
