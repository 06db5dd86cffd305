// The default data folder: the current folder when it holds keyfont, else the tables installed beside
// the program, found from the program's own file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/data_folder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using tsd::testing::TempDir;

// Works in another folder for the length of a test.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
  ~InFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

TEST(data_folder, the_program_folder_holds_the_running_program) {
  const std::string folder = tsd::program_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(fs::equivalent(folder, TSENDREL_BINARY_DIR "/tests")) << folder;
}

// As GNUInstallDirs lays an installation out: programs in PREFIX/bin, tables in PREFIX/share/tsendrel.
TEST(data_folder, the_installed_tables_are_under_share_beside_the_program_folder) {
  const fs::path installed = tsd::installed_data_folder();
  EXPECT_EQ(installed, fs::path(tsd::program_folder()).parent_path() / "share" / "tsendrel");
  EXPECT_EQ(installed, installed.lexically_normal());
}

TEST(data_folder, is_the_current_folder_only_when_it_holds_keyfont) {
  struct Case {
    std::vector<const char*> files;
    bool current;
  } cases[] = {
      {{}, false},
      {{"keymap"}, false},
      {{"tarvex.txt", "keymap"}, false},
      {{"keyfont"}, true},
      {{"keyfont", "keymap", "tarvex.txt"}, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string listed;
    for (const char* name : c.files) {
      dir.write(name, "");
      listed += std::string(name) + " ";
    }
    const InFolder in(dir.path());
    const std::string expected = c.current ? fs::current_path().string() : tsd::installed_data_folder();
    EXPECT_EQ(tsd::default_data_folder(), expected) << "files: " << listed;
  }
}

}  // namespace
