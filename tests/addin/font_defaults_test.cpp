#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "addin_fixture.h"
#include "support/escapes.h"

namespace tibet::testing {
namespace {

using tsd::testing::read_file;

struct LoadCase {
  const char* name;
  const char* file;  // null: no font.def
  int family_base;
  int tibetan_size;
  const char* alt_font;
  int alt_size;
};

// gtest's messages show the file, not the record's bytes.
void PrintTo(const LoadCase& c, std::ostream* os) {
  if (c.file == nullptr)
    *os << "no font.def";
  else
    *os << "font.def \"" << tsd::testing::escape(c.file) << '"';
}

class FontDefLoad : public AddinTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(FontDefLoad, gives_the_file_values_or_all_defaults) {
  const LoadCase& c = GetParam();
  if (c.file != nullptr) home_.write("font.def", c.file);
  word_addin().load_font_defaults();
  EXPECT_EQ(defaults.family_base, c.family_base);
  EXPECT_EQ(defaults.tibetan_size, c.tibetan_size);
  EXPECT_STREQ(defaults.alt_font, c.alt_font);
  EXPECT_EQ(defaults.alt_size, c.alt_size);
}

TEST_P(FontDefLoad, reads_the_bytes_of_the_file_as_the_file) {
  const LoadCase& c = GetParam();
  if (c.file == nullptr) GTEST_SKIP() << "no bytes without a file";
  const FontDefaults read = read_font_defaults(tsd::TextBytes(c.file), defaults);
  EXPECT_EQ(read.family_base, c.family_base);
  EXPECT_EQ(read.tibetan_size, c.tibetan_size);
  EXPECT_STREQ(read.alt_font, c.alt_font);
  EXPECT_EQ(read.alt_size, c.alt_size);
}

INSTANTIATE_TEST_SUITE_P(
    load_font_defaults, FontDefLoad,
    ::testing::Values(LoadCase{"missing", nullptr, 0, 24, "Times", 12},
                      LoadCase{"as_saved", "34\r\n30\r\nArial Narrow\r\n10\r\n", 34, 30, "Arial Narrow", 10},
                      LoadCase{"unix_line_ends", "0\n18\nCourier\n9\n", 0, 18, "Courier", 9},
                      LoadCase{"no_family_68", "68\n24\nArial\n12\n", 0, 24, "Times", 12},
                      LoadCase{"negative_family", "-34\n24\nArial\n12\n", 0, 24, "Times", 12},
                      LoadCase{"only_two_numbers", "0 24", 0, 24, "", 12},
                      LoadCase{"only_two_lines", "34\n20\n", 34, 20, "", 12},
                      LoadCase{"size_too_big", "0\n2000\nArial\n12\n", 0, 24, "Times", 12},
                      LoadCase{"size_1999", "0\n1999\nArial\n1999\n", 0, 1999, "Arial", 1999},
                      LoadCase{"alt_size_zero", "0\n24\nArial\n0\n", 0, 24, "Times", 12},
                      LoadCase{"size_past_16_bits", "0\n65560\nArial\n12\n", 0, 24, "Times", 12},
                      LoadCase{"unread_numbers_keep_their_values", "zero\nArial\n", 0, 24, "Arial", 12},
                      LoadCase{"empty", "", 0, 24, "", 12}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddinTest, a_long_font_line_is_cut_at_63_characters) {
  const std::string name(70, 'n');
  home_.write("font.def", "0\n24\n" + name + "\n14\n");
  word_addin().load_font_defaults();
  EXPECT_EQ(std::string(defaults.alt_font), name.substr(0, 63));
}

// Values that the text does not reach keep what the add-in held, the name too when no line holds it.
TEST_F(AddinTest, values_missing_from_font_def_keep_the_current_ones) {
  const FontDefaults current{34, 30, "Garamond", 10};
  struct Case {
    const char* text;
    FontDefaults expected;
  } cases[] = {
      {"0 20", {0, 20, "Garamond", 10}},
      {"0\n20\n", {0, 20, "", 10}},
      {"0\n20\nArial", {0, 20, "Arial", 10}},
      {"x", {34, 30, "x", 10}},  // the line read after the failed number takes it
  };
  for (const Case& c : cases) {
    const FontDefaults read = read_font_defaults(tsd::TextBytes(c.text), current);
    EXPECT_EQ(read.family_base, c.expected.family_base) << c.text;
    EXPECT_EQ(read.tibetan_size, c.expected.tibetan_size) << c.text;
    EXPECT_STREQ(read.alt_font, c.expected.alt_font) << c.text;
    EXPECT_EQ(read.alt_size, c.expected.alt_size) << c.text;
  }
}

TEST_F(AddinTest, saving_the_defaults_writes_four_lines) {
  defaults = kDefaultFonts;
  EXPECT_EQ(word_addin().save_font_defaults(), 0);
  EXPECT_EQ(read_file(home_.file("font.def")), "0\r\n24\r\nTimes\r\n12\r\n");
  EXPECT_FALSE(std::filesystem::exists(home_.file("font.tmp")));
  defaults = FontDefaults{};
  word_addin().load_font_defaults();
  EXPECT_STREQ(defaults.alt_font, "Times");
}

// font.tmp made a link to the full device: it opens, but nothing written to it reaches the disk.
TEST_F(AddinTest, a_failing_write_leaves_font_def_untouched) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no full device to link font.tmp to";
#else
  home_.write("font.def", "34\n30\nArial\n10\n");
  std::error_code error;
  std::filesystem::create_symlink("/dev/full", home_.file("font.tmp"), error);
  ASSERT_FALSE(error) << error.message();
  defaults = kDefaultFonts;
  EXPECT_EQ(word_addin().save_font_defaults(), -1);
  EXPECT_EQ(read_file(home_.file("font.def")), "34\n30\nArial\n10\n");
  EXPECT_EQ(message_lines(),
            (std::vector<std::string>{"Tsendrel Error: Error: Cannot save default font information in " +
                                      home_.file("font.tmp") + ". Please check whether your disk is full."}));
  EXPECT_FALSE(std::filesystem::exists(home_.file("font.tmp")));
#endif
}

TEST_F(AddinTest, an_uncreatable_temporary_file_shows_the_save_message) {
  home_.write("font.def", "34\n30\nArial\n10\n");
  ASSERT_TRUE(std::filesystem::create_directory(home_.file("font.tmp")));
  EXPECT_EQ(word_addin().save_font_defaults(), -1);
  EXPECT_EQ(read_file(home_.file("font.def")), "34\n30\nArial\n10\n");
  EXPECT_EQ(model_->messages().size(), 1u);
}

TEST_F(AddinTest, a_failed_save_keeps_the_new_values_in_memory) {
  ASSERT_TRUE(std::filesystem::create_directory(home_.file("font.tmp")));
  defaults = kDefaultFonts;
  model_->queue_reply("E 40");
  tibfont();
  EXPECT_EQ(defaults.family_base, 34);
  EXPECT_EQ(defaults.tibetan_size, 40);
  EXPECT_EQ(model_->messages().size(), 1u);
}

}  // namespace
}  // namespace tibet::testing
