// A batch never writes over its own files: an output that is another input of the batch (by any spelling)
// or that an earlier file of the batch wrote is refused with a line naming both files, skipped and
// counted, and the file it names keeps its bytes and time stamp.
#include <filesystem>

#include "batch.h"
#include "driver_support.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using h2test::StatusCapture;
using Lines = std::vector<std::string>;

std::string input_line(const std::string& output, const std::string& input) {
  return "Output file " + output + " is the input file " + input + " of this batch. Skipping file.";
}
std::string written_line(const std::string& output, const std::string& input) {
  return "Output file " + output + " was already written from " + input + " in this batch. Skipping file.";
}
constexpr char kIdentical[] = "Input file name must not be identical to output file name.";

class batch_own_files : public ::testing::Test {
 protected:
  ConversionContext context = h2test::test_context();
  // Writes a file with a time stamp of an hour ago, so that a rewrite would show.
  std::string old_file(const std::string& name, const std::string& bytes) {
    const std::string path = dir.write(name, bytes);
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
    return path;
  }
  void expect_untouched(const std::string& path, const std::string& bytes, fs::file_time_type time) {
    EXPECT_EQ(tsd::testing::read_file(path), bytes) << path;
    EXPECT_EQ(fs::last_write_time(path), time) << path;
  }
  ConversionRequest request = h2test::test_request(route_id("kvts-wylie"));
  tsd::testing::TempDir dir;
};

TEST_F(batch_own_files, an_input_of_the_batch_is_never_an_output_whatever_the_order_and_spelling) {
  const std::string d = dir.path();
  const auto in = [](const std::string& folder, const char* name) { return tsd::join_path(folder, name); };
  struct Case {
    const char* name;
    std::vector<SelectedFile> files;
    Lines refusals;  // the lines after each file's two path lines
  } cases[] = {
      {"text first", {{d, "z.txt"}, {d, "z.rtf"}}, {input_line(in(d, "z.rtf"), in(d, "z.rtf")), kIdentical}},
      {"rtf first", {{d, "z.rtf"}, {d, "z.txt"}}, {kIdentical, input_line(in(d, "z.rtf"), in(d, "z.rtf"))}},
      {"other spelling",
       {{d, "z.txt"}, {d + "/.", "z.rtf"}},
       {input_line(in(d, "z.rtf"), in(d + "/.", "z.rtf")), kIdentical}},
#ifndef _WIN32  // Wine makes no file links
      {"through a link",
       {{d, "z.txt"}, {d, "link.rtf"}},
       {input_line(in(d, "z.rtf"), in(d, "link.rtf")), kIdentical}},
#endif
  };
  for (Case& c : cases) {
    dir.write("z.txt", "KA GA\n");
    const std::string mine = old_file("z.rtf", "MINE\n");
    const fs::file_time_type time = fs::last_write_time(mine);
#ifndef _WIN32
    fs::remove(dir.file("link.rtf"));
    fs::create_symlink(mine, dir.file("link.rtf"));
#endif
    StatusCapture status(context);
    const BatchResult r = convert_selected_files(context, request, c.files);
    Lines refusals;
    for (const std::string& line : status.captured)
      if (line.rfind("Input file path: ", 0) != 0 && line.rfind("Output file path: ", 0) != 0)
        refusals.push_back(line);
    refusals.pop_back();  // "2 file(s) processed"
    EXPECT_EQ(refusals, c.refusals) << c.name;
    expect_untouched(mine, "MINE\n", time);
    EXPECT_EQ(r.processed, 2) << c.name;
    EXPECT_EQ(r.converted, 0) << c.name;
    EXPECT_EQ(r.skipped + r.failed, 2) << c.name;
  }
}

TEST_F(batch_own_files, two_inputs_with_one_output_name_keep_the_first_output) {
  dir.write("y.txt", "KHA\n");
  dir.write("y", "GA\n");
  StatusCapture status(context);
  const BatchResult r = convert_selected_files(context, request, {{dir.path(), "y.txt"}, {dir.path(), "y"}});
  EXPECT_EQ(status.captured,
            (Lines{"Input file path: " + dir.file("y.txt"), "Output file path: " + dir.file("y.rtf"),
                   "Input file path: " + dir.file("y"), "Output file path: " + dir.file("y.rtf"),
                   written_line(dir.file("y.rtf"), dir.file("y.txt")), "2 file(s) processed"}));
  EXPECT_EQ(tsd::testing::read_file(dir.file("y.rtf")), "kha\r\n");
  EXPECT_EQ(r.converted, 1);
  EXPECT_EQ(r.skipped, 1);
}

TEST_F(batch_own_files, an_output_that_failed_earlier_may_be_written_later) {
  dir.write("y.txt", "\xC0 not text\n");
  dir.write("y", "GA\n");
  StatusCapture status(context);
  const BatchResult r = convert_selected_files(context, request, {{dir.path(), "y.txt"}, {dir.path(), "y"}});
  EXPECT_EQ(tsd::testing::read_file(dir.file("y.rtf")), "ga\r\n");
  EXPECT_EQ(r.converted, 1);
  EXPECT_EQ(r.failed, 1);
}

TEST_F(batch_own_files, the_wild_card_window_refuses_the_same_outputs) {
  dir.write("z.txt", "KA\n");
  const std::string mine = old_file("z.rtf", "MINE\n");
  const fs::file_time_type time = fs::last_write_time(mine);
  dir.write("y.txt", "KHA\n");
  dir.write("y", "GA\n");
  StatusCapture status(context);
  const BatchResult r = convert_found_files(
      context, request, {dir.file("z.txt"), dir.file("z.rtf"), dir.file("y.txt"), dir.file("y")});
  EXPECT_EQ(status.captured,
            (Lines{"Input file path: " + dir.file("z.txt"), "Output file path: " + dir.file("z.rtf"),
                   input_line(dir.file("z.rtf"), dir.file("z.rtf")), "Input file path: " + dir.file("z.rtf"),
                   "Output file path: " + dir.file("z.rtf"), kIdentical,
                   "Input file path: " + dir.file("y.txt"), "Output file path: " + dir.file("y.rtf"),
                   "Input file path: " + dir.file("y"), "Output file path: " + dir.file("y.rtf"),
                   written_line(dir.file("y.rtf"), dir.file("y.txt")), "4 file(s) processed"}));
  expect_untouched(mine, "MINE\n", time);
  EXPECT_EQ(r.processed, 4);
  EXPECT_EQ(r.converted, 1);
  EXPECT_EQ(r.skipped, 2);
  EXPECT_EQ(r.failed, 1);
}

}  // namespace
