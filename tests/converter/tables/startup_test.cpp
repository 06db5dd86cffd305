// Start-up loading of the converter's tables: the message for each file that does not load, and loading
// once per record.
#include "startup.h"
#include "driver_support.h"

using namespace tarvex;

namespace {

std::vector<std::string> shown;
void show(const char* message) {
  shown.emplace_back(message);
}

TEST(startup, failed_loads_name_their_file_then_a_good_folder_loads_once) {
  tsd::testing::TempDir dir;
  const std::string keyfont_message = table_load_message("keyfont");
  EXPECT_EQ(
      keyfont_message,
      "Could not initialize character table from file keyfont.  Please make sure that file keyfont is in the "
      "same directory as tarvex.exe. Copy from installation diskettes if necessary. Exiting.");

  ConverterTables loaded;
  shown.clear();
  EXPECT_EQ(load_converter_tables(dir.path().c_str(), loaded, show), -1);
  EXPECT_EQ(shown, std::vector<std::string>{keyfont_message});

  const std::string tables = h2test::vectors_dir("font_code_pass");
  dir.write("keyfont", tsd::testing::read_file(tables + "/keyfont"));
  shown.clear();
  EXPECT_EQ(load_converter_tables(dir.path().c_str(), loaded, show), -1);
  EXPECT_EQ(shown, std::vector<std::string>{table_load_message("keymap")});

  dir.write("keymap", "k k\nk g\n");
  shown.clear();
  EXPECT_EQ(load_converter_tables(dir.path().c_str(), loaded, show), -1);
  EXPECT_EQ(shown, std::vector<std::string>{table_load_message("keymap")});
  EXPECT_FALSE(loaded.loaded);

  dir.write("keymap", tsd::testing::read_file(tables + "/keymap"));
  shown.clear();
  EXPECT_EQ(load_converter_tables(dir.path().c_str(), loaded, show), 0);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(loaded.loaded);
  EXPECT_EQ(loaded.font_count, 69);
  EXPECT_EQ(loaded.help_path, dir.file("tarvex.txt"));
  EXPECT_EQ(loaded.translit_tables.stacks.num_strings, kStackCount);
  EXPECT_EQ(loaded.key_tables.tib_keys['k'].ch, 'k');

  EXPECT_EQ(load_converter_tables("/no/such/folder", loaded, show), 0);
  EXPECT_EQ(loaded.help_path, dir.file("tarvex.txt"));
}

}  // namespace
