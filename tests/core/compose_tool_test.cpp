// tsendrel-compose end to end: the real loaders and composer behind the table author's tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/temp_dir.h"

namespace {

std::string run(const std::string& command, int* status) {
  std::string output;
  std::FILE* pipe = popen(command.c_str(), "r");
  char chunk[256];
  while (pipe && std::fgets(chunk, sizeof chunk, pipe)) output += chunk;
  *status = pipe ? pclose(pipe) : -1;
  return output;
}

const std::string tool = TSENDREL_BINARY_DIR "/core/tsendrel-compose";

TEST(tsendrel_compose, prints_one_line_per_key_with_the_sample_tables) {
  int status = 0;
  const std::string out =
      run("printf 'kfkye' | " + tool + " --data-dir " TSENDREL_SOURCE_DIR "/data/sample", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "107 1: 61\n102 1: 39\n107 1: 61\n121 1: 91\n101 1: 20 20 20 130 67 161 40 129\n");
}

TEST(tsendrel_compose, table_failures_exit_2_with_a_message) {
  tsd::testing::TempDir dir;
  dir.write("keyfont", "");
  int status = 0;
  const std::string out = run(tool + " --data-dir " + dir.path() + " </dev/null 2>&1", &status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(out.find("keyfont"), std::string::npos);
  std::string bad = "k 0 75";
  for (int group = 1; group < 19; ++group) bad += group == 2 ? " x 0 19" : " x 0 75";
  dir.write("keyfont", bad + "\n");
  const std::string refused = run(tool + " --data-dir " + dir.path() + " </dev/null 2>&1", &status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(
      refused.find("Record 1 of the keyfont file (entry \"k\"), form 2: character code 19 is not allowed"),
      std::string::npos)
      << refused;
  run(tool + " --bogus 2>/dev/null", &status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
