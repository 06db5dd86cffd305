#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin_fixture.h"
#include "key_commands.h"

namespace tibet::testing {
namespace {

using KeysTest = AddinTest;

struct GlyphCase {
  const char* name;
  std::vector<unsigned char> glyphs;
  int family_base;
  std::vector<std::string> calls;
};

// gtest's messages show the glyph string, not the record's bytes.
void PrintTo(const GlyphCase& c, std::ostream* os) {
  *os << "glyphs";
  for (unsigned char g : c.glyphs) *os << ' ' << static_cast<int>(g);
  *os << " in the family at " << c.family_base;
}

class PlayGlyphs : public AddinTest, public ::testing::WithParamInterface<GlyphCase> {};

TEST_P(PlayGlyphs, issues_one_command_per_byte_and_two_per_take_back_run) {
  std::vector<unsigned char> glyphs = GetParam().glyphs;
  glyphs.push_back(0);
  defaults.family_base = static_cast<std::int16_t>(GetParam().family_base);
  word_addin().play_glyphs(glyphs.data());
  EXPECT_EQ(model_->calls(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    play_glyphs, PlayGlyphs,
    ::testing::Values(
        GlyphCase{"font_byte_selects_the_family_font",
                  {131, 65},
                  0,
                  {"0x807C 0 \"Korlam-c\" 24", "0x8012 0 \"A\""}},
        GlyphCase{"take_back_run_is_one_delete_then_font_zero",
                  {20, 20, 20, 66},
                  0,
                  {"0xC012 0 -3", "0x807C 0 \"Korlam-a\" 24", "0x8012 0 \"B\""}},
        GlyphCase{"take_back_reselects_the_font_in_force",
                  {131, 20, 20, 66, 129},
                  0,
                  {"0x807C 0 \"Korlam-c\" 24", "0xC012 0 -2", "0x807C 0 \"Korlam-c\" 24", "0x8012 0 \"B\"",
                   "0x807C 0 \"Korlam-a\" 24"}},
        GlyphCase{"second_family", {129, 107}, 34, {"0x807C 0 \"Ekorlam-a\" 24", "0x8012 0 \"k\""}},
        GlyphCase{"symbol_fonts",
                  {161, 107, 162, 36, 129},
                  34,
                  {"0x807C 0 \"Ekorlam-vowa\" 24", "0x8012 0 \"k\"", "0x807C 0 \"Ekorlam-syma\" 24",
                   "0x8012 0 \"$\"", "0x807C 0 \"Ekorlam-a\" 24"}},
        GlyphCase{"font_past_the_family_selects_nothing", {129 + 44, 65}, 34, {"0x8012 0 \"A\""}},
        GlyphCase{"empty_string_issues_nothing", {}, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeysTest, play_glyphs_returns_the_last_result) {
  const unsigned char glyphs[] = {65, 66, 0};
  model_->fail_call(cmd::insert, 2);
  EXPECT_EQ(word_addin().play_glyphs(glyphs), 1);
  EXPECT_EQ(model_->document().size(), 1u) << "a failing command does not stop the string";
  model_->fail_call(cmd::insert, 3);
  EXPECT_EQ(word_addin().play_glyphs(glyphs), 0);
  const unsigned char empty[] = {0};
  EXPECT_EQ(word_addin().play_glyphs(empty), 0);
}

TEST_F(KeysTest, the_default_size_applies_to_every_font_selection) {
  defaults.tibetan_size = 30;
  const unsigned char glyphs[] = {20, 0};
  word_addin().play_glyphs(glyphs);
  EXPECT_EQ(model_->calls().back(), "0x807C 0 \"Korlam-a\" 30");
}

TEST_F(KeysTest, a_stack_with_a_vowel_replaces_its_echo) {
  start();
  tibetan();
  f();
  r();
  k();
  EXPECT_EQ(document_text(), "39 Korlam-a 24\n114 Korlam-a 24\n107 Korlam-a 24\n");
  il();
  EXPECT_EQ(document_text(), "66 Korlam-c 24\n67 Korlam-vowa 24\n");
  EXPECT_EQ(model_->font(), "Korlam-a") << "every glyph string ends in font 0";
}

TEST_F(KeysTest, u_after_a_letter_takes_it_back_and_writes_the_joined_form) {
  start();
  tibetan();
  k();
  new_calls();
  u();
  EXPECT_EQ(new_calls(),
            (std::vector<std::string>{"0xC012 0 -1", "0x807C 0 \"Korlam-a\" 24", "0x807C 0 \"Korlam-c\" 24",
                                      "0x8012 0 \"k\"", "0x807C 0 \"Korlam-a\" 24"}));
  EXPECT_EQ(document_text(), "107 Korlam-c 24\n");
}

TEST_F(KeysTest, key_commands_compose_in_the_addins_one_state) {
  start();
  tibetan();
  f();
  EXPECT_EQ(syllable_state.depth, 1) << "the stack key opened a stack in the add-in's state";
  k();
  EXPECT_EQ(std::string(syllable_state.stack_text), "k") << "the letter went into the add-in's stack";
}

TEST_F(KeysTest, a_consumed_key_issues_no_command) {
  start();
  EXPECT_EQ(a(), 0);
  EXPECT_EQ(b(), 0) << "an unmapped key";
  EXPECT_EQ(ctrlx(), 0);
  EXPECT_TRUE(new_calls().empty());
}

TEST_F(KeysTest, backspace_takes_back_one_character) {
  start();
  tibetan();
  k();
  k();
  new_calls();
  bs();
  EXPECT_EQ(new_calls(), (std::vector<std::string>{"0xC012 0 -1", "0x807C 0 \"Korlam-a\" 24"}));
  EXPECT_EQ(model_->document().size(), 1u);
}

TEST_F(KeysTest, ctrlx_writes_the_next_key_from_the_vowel_font) {
  start();
  tibetan();
  ctrlx();
  KC();
  EXPECT_EQ(document_text(), "75 Korlam-vowa 24\n");
}

}  // namespace
}  // namespace tibet::testing
