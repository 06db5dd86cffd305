#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin_fixture.h"
#include "support/escapes.h"

namespace tibet::testing {
namespace {

using tsd::testing::read_file;

struct ReplyCase {
  const char* name;
  bool tibetan;  // tibfont, else altfont
  const char* reply;
  const char* message;  // null: accepted
  int family_base;
  int size;
  const char* alt_font;
};

// gtest's messages show the command and the reply, not the record's bytes.
void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << (c.tibetan ? "tibfont" : "altfont") << " reply \"" << tsd::testing::escape(c.reply) << '"';
}

class FontReply : public AddinTest, public ::testing::WithParamInterface<ReplyCase> {};

constexpr const char* kNeedName =
    "You need to enter a font name followed by a blank space and then a point size.";
constexpr const char* kBadSize = "The point size must be between 1 and 1638.";

TEST_P(FontReply, is_checked_then_saved) {
  const ReplyCase& c = GetParam();
  defaults = kDefaultFonts;
  model_->queue_reply(c.reply);
  c.tibetan ? tibfont() : altfont();
  if (c.message != nullptr) {
    EXPECT_EQ(message_lines(), (std::vector<std::string>{std::string("Tsendrel Error: ") + c.message}));
    EXPECT_FALSE(std::filesystem::exists(home_.file("font.def")));
  } else {
    EXPECT_TRUE(model_->messages().empty());
    EXPECT_TRUE(std::filesystem::exists(home_.file("font.def")));
  }
  EXPECT_EQ(defaults.family_base, c.family_base);
  EXPECT_EQ(c.tibetan ? defaults.tibetan_size : defaults.alt_size, c.size);
  EXPECT_STREQ(defaults.alt_font, c.alt_font);
}

INSTANTIATE_TEST_SUITE_P(
    default_fonts, FontReply,
    ::testing::Values(
        ReplyCase{"e_30", true, "e 30", nullptr, 34, 30, "Times"},
        ReplyCase{"family_name_counts_by_first_letter", true, "Ekorlam 18", nullptr, 34, 18, "Times"},
        ReplyCase{"k_with_tab", true, "k\t1638", nullptr, 0, 1638, "Times"},
        ReplyCase{"other_letter_keeps_the_size_in_memory", true, "x 12",
                  "You must enter K or E.  Please check your spelling.", 0, 12, "Times"},
        ReplyCase{"no_size", true, "K", kNeedName, 0, 24, "Times"},
        ReplyCase{"no_size_after_blanks", true, "K   ", kNeedName, 0, 24, "Times"},
        ReplyCase{"leading_blank", true, " K 12", kNeedName, 0, 24, "Times"},
        ReplyCase{"size_zero", true, "K 0", kBadSize, 0, 24, "Times"},
        ReplyCase{"size_not_a_number", true, "K big", kBadSize, 0, 24, "Times"},
        ReplyCase{"size_too_big", true, "E 1639", kBadSize, 0, 24, "Times"},
        ReplyCase{"size_overflowing", true, "E 99999999999999999999", kBadSize, 0, 24, "Times"},
        ReplyCase{"name_with_blanks", false, "Times New Roman 10", nullptr, 0, 10, "Times New Roman"},
        ReplyCase{"trailing_blank", false, "Arial 12 ", kBadSize, 0, 12, "Times"},
        ReplyCase{"no_blank", false, "Arial12", kNeedName, 0, 12, "Times"},
        ReplyCase{"blank_first_only", false, " 12", kNeedName, 0, 12, "Times"},
        ReplyCase{"negative_size", false, "Arial -3", kBadSize, 0, 12, "Times"},
        ReplyCase{"long_name", false, "A23456789012345678901234567890123456789012345678901234567890123 9",
                  nullptr, 0, 9, "A23456789012345678901234567890123456789012345678901234567890123"},
        ReplyCase{"too_long_name", false,
                  "A234567890123456789012345678901234567890123456789012345678901234 9",
                  "The font name must be at most 63 characters.", 0, 12, "Times"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddinTest, tibfont_offers_the_current_font_and_applies_in_tibetan_mode) {
  defaults = kDefaultFonts;
  model_->queue_reply("e 30");
  tibfont();
  EXPECT_EQ(model_->calls(),
            (std::vector<std::string>{
                "0x80B1 0 \"Enter K for Korlam and E for Ekorlam.  Follow the K or E with a blank "
                "space and then a point size.\" \"Default Tibetan Font\" \"K 24\"",
                "0x807C 0 \"Ekorlam-a\" 30",
            }));
  EXPECT_EQ(read_file(home_.file("font.def")), "34\r\n30\r\nTimes\r\n12\r\n");
  model_->queue_reply("K 20");
  tibfont();
  EXPECT_NE(model_->calls()[2].find("\"E 30\""), std::string::npos);
}

TEST_F(AddinTest, altfont_applies_only_in_alternate_mode) {
  defaults = kDefaultFonts;
  model_->queue_reply("Arial Narrow 11");
  altfont();
  EXPECT_EQ(model_->calls(),
            (std::vector<std::string>{
                "0x80B1 0 \"Enter your default English font.  Follow the font name with a blank "
                "space and then a point size.\" \"Default English Font\" \"Times 12\"",
            }));
  syllable_state.mode = 0;
  model_->queue_reply("Courier 9");
  altfont();
  EXPECT_EQ(model_->calls().back(), "0x807C 0 \"Courier\" 9");
  EXPECT_EQ(read_file(home_.file("font.def")), "0\r\n24\r\nCourier\r\n9\r\n");
  model_->queue_reply("e 30");
  tibfont();
  EXPECT_EQ(model_->calls().back().substr(0, 6), "0x80B1") << "no Tibetan font in alternate mode";
}

TEST_F(AddinTest, a_cancelled_prompt_changes_nothing) {
  defaults = kDefaultFonts;
  model_->queue_reply(std::nullopt);
  tibfont();
  model_->queue_reply(std::nullopt);
  altfont();
  EXPECT_TRUE(model_->messages().empty());
  EXPECT_EQ(model_->calls().size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(home_.file("font.def")));
}

}  // namespace
}  // namespace tibet::testing
