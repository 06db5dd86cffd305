#include "writer/tables_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace tibet::writer {
namespace {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

std::string read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct FolderCase {
  const char* name;
  bool has_keyfont;
  bool has_keymap;
  int result;
};

constexpr FolderCase kCases[] = {
    {"both_present", true, true, 0},
    {"no_keymap", true, false, 1},
    {"no_keyfont", false, true, 1},
    {"neither", false, false, 1},
};

class CopyMissingTables : public ::testing::TestWithParam<FolderCase> {};

TEST_P(CopyMissingTables, copies_only_what_is_missing) {
  const FolderCase& c = GetParam();
  tsd::testing::TempDir from;
  tsd::testing::TempDir home;
  write(from.file("keyfont"), "installed keyfont");
  write(from.file("keymap"), "installed keymap");
  if (c.has_keyfont) write(home.file("keyfont"), "user keyfont");
  if (c.has_keymap) write(home.file("keymap"), "user keymap");
  std::string error;
  EXPECT_EQ(copy_missing_tables(from.path(), home.path(), error), c.result) << error;
  EXPECT_EQ(read(home.file("keyfont")), c.has_keyfont ? "user keyfont" : "installed keyfont");
  EXPECT_EQ(read(home.file("keymap")), c.has_keymap ? "user keymap" : "installed keymap");
  EXPECT_EQ(read(from.file("keyfont")), "installed keyfont") << "the installed copy is never written";
}

INSTANTIATE_TEST_SUITE_P(copy_missing_tables, CopyMissingTables, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(copy_missing_tables, makes_the_folder_first) {
  tsd::testing::TempDir from;
  tsd::testing::TempDir base;
  write(from.file("keyfont"), "k");
  write(from.file("keymap"), "m");
  const std::string folder = base.file("Tsendrel/deeper");
  std::string error;
  EXPECT_EQ(copy_missing_tables(from.path(), folder, error), 1) << error;
  EXPECT_EQ(read(folder + "/keymap"), "m");
}

TEST(copy_missing_tables, names_the_file_it_could_not_copy) {
  tsd::testing::TempDir from;
  tsd::testing::TempDir home;
  write(from.file("keyfont"), "k");  // no installed keymap
  std::string error;
  EXPECT_EQ(copy_missing_tables(from.path(), home.path(), error), -1);
  EXPECT_NE(error.find(from.file("keymap")), std::string::npos) << error;
}

TEST(copy_missing_tables, a_folder_that_cannot_be_made_is_named) {
  tsd::testing::TempDir from;
  tsd::testing::TempDir base;
  write(base.file("file"), "a file where the folder would go");
  std::string error;
  EXPECT_EQ(copy_missing_tables(from.path(), base.file("file/Tsendrel"), error), -1);
  EXPECT_NE(error.find(base.file("file/Tsendrel")), std::string::npos) << error;
}

}  // namespace
}  // namespace tibet::writer
