#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "addin_fixture.h"
#include "key_commands.h"

namespace tibet::testing {
namespace {

using StartupTest = AddinTest;

std::vector<std::string> with_prefix(const std::vector<std::string>& calls, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& call : calls) {
    if (call.rfind(prefix, 0) == 0) out.push_back(call);
  }
  return out;
}

TEST_F(StartupTest, runs_its_steps_in_order) {
  copy_tables();
  ASSERT_EQ(wdAutoOpen(7), 1);
  const auto& calls = model_->calls();
  const std::vector<std::string> head(calls.begin(), calls.begin() + 10);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "0x017A 2 734=0/2 735=0/2 736=0/2",
                      "0x016D 2 863=0/2 864=0/2 865=0/2 866=0/2 1031=0/2 1032=0/2 1026=0/2 1026=0/2",
                      "0x00E0 2 761=0/2 657=0/2 927=0/2",
                      "0x017A 2 734=0/1 735=0/1 736=0/1",
                      "0x016D 2 863=0/1 864=0/1 865=0/1 866=0/1 1031=0/1 1032=0/1 1026=0/1 1026=0/1",
                      "0x00E0 2 761=0/1 657=0/1 927=0/1",
                      "0x8176 0 7 \"tibetan\" \"Turns on Tibetan keyboard.\"",
                      "0x8176 0 7 \"alternate\" \"Turns off Tibetan keyboard.\"",
                      "0x8176 0 7 \"tibfont\" \"Select default Tibetan font.\"",
                      "0x8176 0 7 \"altfont\" \"Select default Alternate font.\"",
                  }));
  EXPECT_EQ(calls[10], "0x8176 0 7 \"a\" \"\"");
  EXPECT_EQ(calls[10 + 97], "0x8176 0 7 \"altx\" \"\"");
  const std::vector<std::string> toolbar(calls.begin() + 108, calls.begin() + 114);
  EXPECT_EQ(toolbar, (std::vector<std::string>{
                         "0x024A 2 1=\"Tsendrel\"/1 3=7/1",
                         "0x8175 0 \"Tsendrel\" 1 1 \"tibetan\" \"Tibetan On\" 7",
                         "0x8175 0 \"Tsendrel\" 2 1 \"alternate\" \"Tibetan Off\" 7",
                         "0x8175 0 \"Tsendrel\" 3 1 \"tibfont\" \"Tibetan Font\" 7",
                         "0x8175 0 \"Tsendrel\" 4 1 \"altfont\" \"Alternate Font\" 7",
                         "0x815C 0 \"Tsendrel\" 600",
                     }));
  EXPECT_EQ(calls[114], "0x01B0 2 2=65/1 328=1/1 1=\"a\"/1 152=1/1 3=7/1");
  EXPECT_EQ(calls.size(), 114u + 99u);
  EXPECT_EQ(calls.back(), "0x01B0 2 2=32/1 328=1/1 1=\"space\"/1 152=1/1 3=7/1");
  EXPECT_TRUE(model_->messages().empty());
  EXPECT_EQ(syllable_state.mode, 1);
  EXPECT_EQ(library_id, 7);
  // The user's options were saved, then cleared.
  EXPECT_EQ(saved_options[autocorrect_options], (OptionRecord{1, 1, 1}));
  EXPECT_EQ(saved_options[autoformat_options], (OptionRecord{1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(model_->option(cmd::edit_options, 927), 0);
}

TEST_F(StartupTest, registers_every_key_command_in_order) {
  copy_tables();
  ASSERT_EQ(wdAutoOpen(7), 1);
  const auto registrations = with_prefix(model_->calls(), "0x8176");
  ASSERT_EQ(registrations.size(), 102u);
  std::string names;
  for (std::size_t i = 4; i < registrations.size(); ++i) {
    const auto& line = registrations[i];
    const auto start = line.find('"') + 1;
    names += line.substr(start, line.find('"', start) - start) + " ";
  }
  EXPECT_EQ(
      names,
      "a b c d e f g j k l m n o p q r s t u w x y z hl il vl AC BC CC DC EC FC GC HC IC JC KC LC MC NC OC "
      "PC "
      "QC RC SC TC UC VC WC XC YC ZC A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 semi equal comma dash period fslash grave "
      "lbrack bslash rbrack apost space tild exclam at pound dollar percent caret amper aster lparen rparen "
      "under plus lbrace rbrace colon quote vbar langle rangle question bs ctrlx altx ");
}

TEST_F(StartupTest, binds_the_keys_in_their_own_order) {
  start();
  std::string names;
  for (const std::string& line : with_prefix(model_->calls(), "0x01B0")) {
    const auto start = line.find(" 1=\"");
    if (start == std::string::npos) continue;
    names += line.substr(start + 4, line.find('"', start + 4) - start - 4) + " ";
  }
  EXPECT_EQ(names,
            "a b c d e f g j k l m n o p q r s t u w x y z hl il vl AC BC CC DC EC FC GC HC IC JC KC LC MC NC OC "
            "PC QC RC SC TC UC VC WC XC YC ZC semi A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 comma grave dash equal lbrack "
            "rbrack apost bslash fslash period tild exclam at pound dollar percent caret amper aster lparen "
            "rparen under plus lbrace rbrace colon vbar langle rangle question quote bs bs ctrlx altx space ");
}

TEST_F(StartupTest, binds_every_key_to_its_command) {
  start();
  const std::map<int, std::string> expected_some = {
      {65, "a"},       {72, "hl"},    {73, "il"},      {86, "vl"},        {577, "AC"},    {602, "ZC"},
      {48, "A0"},      {186, "semi"}, {192, "grave"},  {222, "apost"},    {704, "tild"},  {560, "rparen"},
      {734, "quote"},  {8, "bs"},     {328, "bs"},     {344, "ctrlx"},    {1112, "altx"}, {32, "space"},
      {220, "bslash"}, {699, "plus"}, {731, "lbrace"}, {703, "question"},
  };
  const auto& bindings = model_->bindings();
  EXPECT_EQ(bindings.size(), 99u);
  for (const auto& [key, command] : expected_some) {
    const auto found = bindings.find(key);
    ASSERT_NE(found, bindings.end()) << key;
    EXPECT_EQ(found->second, command) << key;
  }
}

TEST_F(StartupTest, fills_the_font_names_of_both_families) {
  EXPECT_STREQ(font_names[0].data(), "Korlam-a");
  EXPECT_STREQ(font_names[7].data(), "Korlam-big");
  EXPECT_STREQ(font_names[8].data(), "Korlam-a1");
  EXPECT_STREQ(font_names[31].data(), "Korlam-big3");
  EXPECT_STREQ(font_names[32].data(), "Korlam-vowa");
  EXPECT_STREQ(font_names[33].data(), "Korlam-syma");
  EXPECT_STREQ(font_names[34].data(), "Ekorlam-a");
  EXPECT_STREQ(font_names[50].data(), "Ekorlam-a2");
  EXPECT_STREQ(font_names[67].data(), "Ekorlam-syma");
}

TEST_F(StartupTest, a_missing_keyfont_stops_before_any_registration) {
  EXPECT_EQ(wdAutoOpen(7), 0);
  const std::string path = home_.file("keyfont");
  EXPECT_EQ(message_lines(), (std::vector<std::string>{
                                 "Tsendrel Error: Could not initialize character table from " + path +
                                     ".  Please make sure that the keyfont file is located in " + path +
                                     ". Copy from installation diskettes if necessary.",
                             }));
  EXPECT_TRUE(model_->commands().empty());
  // The options were saved and cleared before the tables were read, and stay so.
  EXPECT_EQ(model_->option(cmd::autocorrect_options, 734), 0);
  EXPECT_EQ(saved_options[autocorrect_options][0], 1);
}

TEST_F(StartupTest, an_overfull_keyfont_shows_the_loader_report_then_its_own_message) {
  copy_tables();
  std::string keyfont;
  for (int i = 0; i < 700; ++i) {
    keyfont += "k 0 1";
    for (int group = 1; group < 19; ++group) keyfont += " x 0 1";
    keyfont += "\n";
  }
  home_.write("keyfont", keyfont);
  EXPECT_EQ(wdAutoOpen(7), 0);
  const auto lines = message_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "Tsendrel Error: Number of entries in keyfont file is larger than available table size = 700");
  EXPECT_EQ(lines[1].rfind("Tsendrel Error: Could not initialize character table from ", 0), 0u);
}

TEST_F(StartupTest, a_keyfont_value_out_of_range_is_shown_then_the_table_message) {
  copy_tables();
  std::string keyfont = "k 0 75";
  for (int group = 1; group < 19; ++group) keyfont += group == 4 ? " x 255 75" : " x 0 75";
  home_.write("keyfont", keyfont + "\n");
  EXPECT_EQ(wdAutoOpen(7), 0);
  const auto lines = message_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(
      lines[0],
      "Tsendrel Error: Record 1 of the keyfont file (entry \"k\"), form 4: font number 255 is not allowed; "
      "fonts are 0 to 33.");
  EXPECT_EQ(lines[1].rfind("Tsendrel Error: Could not initialize character table from ", 0), 0u);
  EXPECT_TRUE(model_->commands().empty());
}

TEST_F(StartupTest, reads_the_default_fonts_before_anything_else) {
  copy_tables();
  home_.write("font.def", "34\n20\nArial\n10\n");
  ASSERT_EQ(wdAutoOpen(7), 1);
  EXPECT_EQ(defaults.family_base, 34);
  EXPECT_EQ(defaults.tibetan_size, 20);
  EXPECT_STREQ(defaults.alt_font, "Arial");
  EXPECT_EQ(defaults.alt_size, 10);
}

TEST_F(StartupTest, a_bad_keymap_shows_the_loader_report_then_its_own_message) {
  copy_tables();
  home_.write("keymap", "k k\nr r\nk r\n");
  EXPECT_EQ(wdAutoOpen(7), 0);
  const std::string path = home_.file("keymap");
  EXPECT_EQ(message_lines(), (std::vector<std::string>{
                                 "Tsendrel Debug: A character appeared twice in the left column",
                                 "Tsendrel Error: Could not initialize character table from " + path +
                                     ".  Please make sure that the keymap file is located in " + path +
                                     ". Copy from installation diskettes if necessary.",
                             }));
  EXPECT_TRUE(model_->commands().empty());
}

TEST_F(StartupTest, a_failed_registration_stops_silently_and_keeps_the_earlier_ones) {
  copy_tables();
  model_->fail_call(cmd::register_command, 30);
  EXPECT_EQ(wdAutoOpen(7), 0);
  EXPECT_EQ(model_->commands().size(), 29u);
  EXPECT_TRUE(model_->messages().empty());
  EXPECT_TRUE(with_prefix(model_->calls(), "0x024A").empty());
}

TEST_F(StartupTest, a_failed_toolbar_stops_silently) {
  copy_tables();
  model_->fail_call(cmd::new_toolbar, 0);
  EXPECT_EQ(wdAutoOpen(7), 0);
  EXPECT_TRUE(model_->messages().empty());
  EXPECT_TRUE(model_->bindings().empty());
}

TEST_F(StartupTest, a_failed_button_stops_silently) {
  copy_tables();
  model_->fail_call(cmd::add_button, 3);
  EXPECT_EQ(wdAutoOpen(7), 0);
  EXPECT_TRUE(model_->messages().empty());
  EXPECT_EQ(model_->toolbars().at("Tsendrel").buttons.size(), 2u);
  EXPECT_TRUE(with_prefix(model_->calls(), "0x815C").empty());
}

TEST_F(StartupTest, a_failed_resize_does_not_matter) {
  copy_tables();
  model_->fail_call(cmd::size_toolbar, 0);
  EXPECT_EQ(wdAutoOpen(7), 1);
}

struct BindingFailure {
  int nth;  // which 0x01B0 call fails
  std::vector<std::string> messages;
};

void PrintTo(const BindingFailure& c, std::ostream* os) {
  *os << "0x01B0 call " << c.nth << " fails";
}

class KeyBindingFailure : public AddinTest, public ::testing::WithParamInterface<BindingFailure> {};

TEST_P(KeyBindingFailure, shows_the_binding_message_then_the_reassign_message) {
  copy_tables();
  model_->fail_call(cmd::assign_key, GetParam().nth);
  EXPECT_EQ(wdAutoOpen(7), 0);
  std::vector<std::string> expected;
  for (const auto& text : GetParam().messages) expected.push_back("Tsendrel Error: " + text);
  expected.push_back("Tsendrel Error: Could not reassign keyboard.  Please contact Velmoran International.");
  EXPECT_EQ(message_lines(), expected);
  EXPECT_EQ(model_->bindings().size(), static_cast<std::size_t>(GetParam().nth - 1));
}

INSTANTIATE_TEST_SUITE_P(
    assign_keys, KeyBindingFailure,
    ::testing::Values(BindingFailure{1, {}}, BindingFailure{52, {}}, BindingFailure{53, {"error ;"}},
                      BindingFailure{54, {}}, BindingFailure{65, {"error `"}},
                      BindingFailure{71, {"error backslash"}}, BindingFailure{72, {"error forward slash"}},
                      BindingFailure{94, {"error \""}}, BindingFailure{95, {"error backspace"}},
                      BindingFailure{96, {"error backspace"}}, BindingFailure{97, {"error ctrlx"}},
                      BindingFailure{98, {"error ctrlx"}}, BindingFailure{99, {"error spacebar"}}),
    [](const auto& info) { return "call_" + std::to_string(info.param.nth) + "_fails"; });

TEST_F(StartupTest, unloading_releases_the_keys_and_leaves_the_options_plain) {
  start();
  wdAutoRemove();
  EXPECT_EQ(new_calls(), (std::vector<std::string>{"0x01B0 2 328=1/1 4=1/1 3=7/1"}));
  EXPECT_TRUE(model_->bindings().empty());
  EXPECT_EQ(model_->option(cmd::autoformat_options, 863), 0);
}

}  // namespace
}  // namespace tibet::testing
