// The platform layer on each system: the add-in's folder, paths, the directory listing of the wild-card
// search, file identity, the one-step replacement of font.def and loading libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/addin_folder.h"
#include "platform/dir_search.h"
#include "platform/dynamic_library.h"
#include "platform/file_identity.h"
#include "platform/new_file.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using tsd::testing::TempDir;

// Restores the folder override that a test changed.
class FolderOverride {
 public:
  FolderOverride() {
    const char* value = std::getenv("TSENDREL_DIR");
    saved_ = value != nullptr ? value : "";
  }
  ~FolderOverride() { tsd::set_addin_folder(saved_.c_str()); }

 private:
  std::string saved_;
};

TEST(addin_folder, is_the_override_when_set_else_the_platform_folder) {
  FolderOverride restore;
  ASSERT_EQ(tsd::set_addin_folder("elsewhere"), 0);
  EXPECT_EQ(tsd::addin_folder(), "elsewhere");
  ASSERT_EQ(tsd::set_addin_folder(""), 0);
#ifdef _WIN32
  EXPECT_EQ(tsd::addin_folder(), "c:\\Tsendrel");
#else
  const char* home = std::getenv("HOME");
  EXPECT_EQ(tsd::addin_folder(), tsd::join_path(home != nullptr && *home ? home : ".", "Tsendrel"));
#endif
}

TEST(path, joins_with_the_platform_separator_and_knows_both_slashes_here) {
#ifdef _WIN32
  EXPECT_EQ(tsd::join_path("c:\\Tsendrel", "font.def"), "c:\\Tsendrel\\font.def");
  EXPECT_TRUE(tsd::is_path_separator('\\'));
#else
  EXPECT_EQ(tsd::join_path("/home/a", "font.def"), "/home/a/font.def");
  EXPECT_FALSE(tsd::is_path_separator('\\'));
#endif
  EXPECT_TRUE(tsd::is_path_separator('/'));
  EXPECT_FALSE(tsd::is_path_separator(':'));
}

TEST(list_directory, lists_files_and_folders_without_dots_in_case_blind_order) {
  TempDir dir;
  fs::create_directory(dir.file("Sub"));
  for (const char* name : {"b.txt", "A.txt", "c"}) dir.write(name, "x");
  std::vector<tsd::DirEntry> entries;
  ASSERT_EQ(tsd::list_directory(dir.path(), entries), 0);
  struct Expected {
    const char* name;
    bool is_directory;
    bool is_file;
  } expected[] = {{"A.txt", false, true}, {"b.txt", false, true}, {"c", false, true}, {"Sub", true, false}};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].name) << i;
    EXPECT_EQ(entries[i].is_directory, expected[i].is_directory) << expected[i].name;
    EXPECT_EQ(entries[i].is_file, expected[i].is_file) << expected[i].name;
  }
  EXPECT_EQ(tsd::list_directory(dir.file("missing"), entries), -1);
}

TEST(same_existing_file, knows_one_file_by_any_spelling_and_nothing_missing) {
  TempDir dir;
  const std::string a = dir.write("a.txt", "x");
  const std::string b = dir.write("b.txt", "x");
  struct Case {
    std::string other;
    bool same;
  } cases[] = {
      {a, true},
      {dir.path() + "/./a.txt", true},
      {b, false},
      {dir.file("missing.txt"), false},
#ifdef _WIN32
      {dir.file("A.TXT"), true},  // letter case names no other file on Windows
#endif
  };
  for (const Case& c : cases)
    EXPECT_EQ(tsd::same_existing_file(a.c_str(), c.other.c_str()), c.same) << c.other;
}

TEST(replace_file, puts_the_new_file_in_place_or_leaves_the_old_one) {
  TempDir dir;
  const std::string target = dir.write("font.def", "old");
  const std::string source = dir.write("font.tmp", "new");
  ASSERT_EQ(tsd::replace_file(source.c_str(), target.c_str()), 0);
  EXPECT_EQ(tsd::testing::read_file(target), "new");
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(tsd::replace_file(source.c_str(), target.c_str()), -1);
  EXPECT_EQ(tsd::testing::read_file(target), "new");
}

TEST(dynamic_library, a_missing_file_gives_a_closed_library_and_a_reason) {
  TempDir dir;
  std::string error;
  const tsd::DynamicLibrary library = tsd::DynamicLibrary::open(dir.file("none.dll").c_str(), error);
  EXPECT_FALSE(library.is_open());
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(library.symbol("wdAutoOpen"), nullptr);
  EXPECT_EQ(tsd::find_host_symbol("no_such_export_anywhere"), nullptr);
}

}  // namespace
