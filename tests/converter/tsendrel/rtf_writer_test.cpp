// The RTF writer beyond its vectors: the font table, write failures and the bounds of font_count.
#include "rtf_writer.h"

#include "driver_support.h"
#include "support/process.h"

using namespace tarvex;

namespace {

TEST(rtf_writer, font_table_numbers_every_entry_from_40) {
  FontEntry fonts[kRtfFontCount];
  ASSERT_EQ(build_font_table(fonts), 69);
  struct Case {
    int entry;
    const char* name;
  } cases[] = {{0, "Courier"},      {1, "Korlam-a"},      {8, "Korlam-big"},   {9, "Korlam-a1"},
               {32, "Korlam-big3"}, {33, "Korlam-vowa"},  {34, "Korlam-syma"}, {35, "Ekorlam-a"},
               {43, "Ekorlam-a1"},  {67, "Ekorlam-vowa"}, {68, "Ekorlam-syma"}};
  for (const Case& c : cases) {
    EXPECT_STREQ(fonts[c.entry].name, c.name);
    EXPECT_EQ(fonts[c.entry].number, 40 + c.entry);
  }
}

TEST(rtf_writer, any_failed_write_returns_minus_one) {
  for (std::size_t size : {std::size_t{0}, std::size_t{10}, std::size_t{200000}}) {
    tsd::Stream in = h2test::stream_with(std::string(size, 'K'));
    tsd::Stream full = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::text, true);
    EXPECT_EQ(write_rtf(in, full, h2test::test_fonts(), kRtfFontCount, kEkorlamBase, kRomanSize, 56, 48), -1)
        << size;
  }
}

TEST(rtf_writer, font_count_outside_the_prepared_strings_is_refused) {
  for (int count : {0, kMaxRtfFonts + 1}) {
    tsd::Stream in = h2test::stream_with("K");
    tsd::Stream out = tsd::Stream::temporary();
    EXPECT_EQ(write_rtf(in, out, h2test::test_fonts(), count, 1, kRomanSize, 56, 48), -1);
    EXPECT_EQ(h2test::contents(out), "");
  }
}

}  // namespace
