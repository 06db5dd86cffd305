#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin_fixture.h"
#include "key_commands.h"

namespace tibet::testing {
namespace {

using ModesTest = AddinTest;

const std::vector<std::string> kReleaseAndRestore = {
    "0x01B0 2 328=1/1 4=1/1 3=7/1",
    "0x017A 2 734=1/1 735=1/1 736=1/1",
    "0x016D 2 863=1/1 864=1/1 865=1/1 866=1/1 1031=1/1 1032=1/1 1026=1/1 1026=1/1",
    "0x00E0 2 761=1/1 657=1/1 927=1/1",
    "0x807C 0 \"Times\" 12",
};

TEST_F(ModesTest, tibetan_right_after_start_only_sets_the_font) {
  start();
  tibetan();
  EXPECT_EQ(new_calls(), (std::vector<std::string>{"0x807C 0 \"Korlam-a\" 24"}));
  EXPECT_EQ(saved_options[edit_options], (OptionRecord{1, 1, 1}));
}

TEST_F(ModesTest, alternate_releases_the_keys_and_restores_the_options_once) {
  start();
  alternate();
  EXPECT_EQ(new_calls(), kReleaseAndRestore);
  EXPECT_EQ(syllable_state.mode, 0);
  EXPECT_TRUE(model_->bindings().empty());
  EXPECT_EQ(model_->option(cmd::autoformat_options, 1026), 1);
  alternate();
  EXPECT_EQ(new_calls(), (std::vector<std::string>{"0x807C 0 \"Times\" 12"}));
}

TEST_F(ModesTest, tibetan_from_alternate_binds_saves_clears_and_sets_the_font) {
  start();
  alternate();
  new_calls();
  tibetan();
  const auto calls = new_calls();
  ASSERT_EQ(calls.size(), 99u + 6u + 1u);
  EXPECT_EQ(calls[0], "0x01B0 2 2=65/1 328=1/1 1=\"a\"/1 152=1/1 3=7/1");
  EXPECT_EQ(calls[99], "0x017A 2 734=1/2 735=1/2 736=1/2");
  EXPECT_EQ(calls[100], "0x016D 2 863=1/2 864=1/2 865=1/2 866=1/2 1031=1/2 1032=1/2 1026=1/2 1026=0/2");
  EXPECT_EQ(calls[101], "0x00E0 2 761=1/2 657=1/2 927=1/2");
  EXPECT_EQ(calls[104], "0x00E0 2 761=0/1 657=0/1 927=0/1");
  EXPECT_EQ(calls[105], "0x807C 0 \"Korlam-a\" 24");
  EXPECT_EQ(syllable_state.mode, 1);
  EXPECT_EQ(model_->bindings().size(), 99u);
}

TEST_F(ModesTest, options_changed_in_alternate_mode_are_what_the_next_alternate_restores) {
  start();
  alternate();
  model_->set_option(cmd::edit_options, 657, 5);
  tibetan();
  EXPECT_EQ(model_->option(cmd::edit_options, 657), 0);
  new_calls();
  alternate();
  EXPECT_EQ(new_calls()[3], "0x00E0 2 761=1/1 657=5/1 927=1/1");
}

TEST_F(ModesTest, key_binding_failures_in_tibetan_show_but_do_not_stop_the_switch) {
  start();
  alternate();
  model_->fail_call(cmd::assign_key, 99 + 1 + 99);  // start-up's bindings, the release, then space
  tibetan();
  EXPECT_EQ(message_lines(), (std::vector<std::string>{"Tsendrel Error: error spacebar"}));
  EXPECT_EQ(syllable_state.mode, 1);
  EXPECT_EQ(model_->font(), "Korlam-a");
}

TEST_F(ModesTest, a_failed_tibetan_font_shows_the_error_code) {
  start();
  model_->fail_call(cmd::set_font, 0);
  tibetan();
  EXPECT_EQ(message_lines(), (std::vector<std::string>{"Tsendrel Error: Error 1 occured.\n"}));
  alternate();
  EXPECT_EQ(model_->messages().size(), 1u) << "the alternate font's result is not tested";
}

std::int32_t TIBET_CALL leave_unfilled(std::uint16_t, std::uint16_t, std::uint16_t, command_arg*,
                                       command_arg*) {
  return 0;
}

TEST(exchange_options, the_eighth_format_value_is_zeroed_before_each_read) {
  set_dispatcher(leave_unfilled);
  saved_options[autoformat_options] = {2, 2, 2, 2, 2, 2, 2, 2};
  word_host().save_typing_aids();
  word_host().clear_typing_aids();
  EXPECT_EQ(saved_options[autoformat_options], (OptionRecord{2, 2, 2, 2, 2, 2, 2, 0}));
  set_dispatcher(nullptr);
}

TEST(exchange_options, a_failed_read_leaves_the_record) {
  wordhost::WordModel model;
  g_model = &model;
  set_dispatcher(model_dispatch);
  model.fail_call(cmd::edit_options, 0);
  OptionRecord record{4, 5, 6};
  EXPECT_EQ(exchange_options(edit_options, record, mode_read), 1);
  EXPECT_EQ(record, (OptionRecord{4, 5, 6}));
  set_dispatcher(nullptr);
  g_model = nullptr;
}

}  // namespace
}  // namespace tibet::testing
