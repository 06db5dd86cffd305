// tsendrel-compose end to end: the real loaders and composer behind the table author's tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using tsd::testing::kNullDevice;
using tsd::testing::quoted;
using tsd::testing::run_captured;

const std::string tool =
    quoted(TSENDREL_BINARY_DIR "/core/tsendrel-compose" + std::string(tsd::testing::kExeSuffix));

TEST(tsendrel_compose, prints_one_line_per_key_with_the_sample_tables) {
  tsd::testing::TempDir dir;
  const std::string keys = dir.write("keys", "kfkye");
  const auto run = run_captured(tool + " --data-dir " TSENDREL_SOURCE_DIR "/data/sample <" + quoted(keys));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "107 1: 61\n102 1: 39\n107 1: 61\n121 1: 91\n101 1: 20 20 20 130 67 161 40 129\n");
}

TEST(tsendrel_compose, table_failures_exit_2_with_a_message) {
  tsd::testing::TempDir dir;
  dir.write("keyfont", "");
  const auto failed = run_captured(tool + " --data-dir " + quoted(dir.path()) + " <" + kNullDevice + " 2>&1");
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.output.find("keyfont"), std::string::npos);
  std::string bad = "k 0 75";
  for (int group = 1; group < 19; ++group) bad += group == 2 ? " x 0 19" : " x 0 75";
  dir.write("keyfont", bad + "\n");
  const auto refused =
      run_captured(tool + " --data-dir " + quoted(dir.path()) + " <" + kNullDevice + " 2>&1");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find(
                "Record 1 of the keyfont file (entry \"k\"), form 2: character code 19 is not allowed"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(run_captured(tool + " --bogus 2>" + kNullDevice).status, 2);
}

// The key-font table read backwards: a glyph two forms draw is listed with both names, the first being the
// one documents are read as; a vowel sign that many entries draw in "vowa" is one name.
TEST(tsendrel_compose, check_lists_the_glyphs_that_several_forms_draw) {
  const auto clean = run_captured(tool + " --data-dir " TSENDREL_SOURCE_DIR "/data/sample --check");
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.output, "Every glyph of keyfont is drawn by one entry and form.\n");
  tsd::testing::TempDir dir;
  std::string keyfont = tsd::testing::read_file(TSENDREL_SOURCE_DIR "/data/sample/keyfont");
  // The apostrophe's own glyph (font 0, code 43) drawn by "$" as well, its form 16 (after "apos").
  keyfont.replace(keyfont.find("apos 3 40"), 9, "apos 0 43");
  dir.write("keyfont", keyfont);
  std::filesystem::copy_file(TSENDREL_SOURCE_DIR "/data/sample/keymap", dir.file("keymap"));
  const auto shared = run_captured(tool + " --data-dir " + quoted(dir.path()) + " --check");
  EXPECT_EQ(shared.status, 1);
  EXPECT_EQ(shared.output,
            "font 0 (a) code 43: 2 names, read as the first\n"
            "  entry 0 \"$\" form 16\n"
            "  entry 1 \"'\" form 0\n");
}

}  // namespace
