#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bridge.h"

namespace tibet {
namespace {

struct Captured {
  std::uint16_t id = 0;
  std::uint16_t options = 0;
  std::uint16_t count = 0;
  std::vector<command_arg> args;
  const command_arg* ret = nullptr;
  std::vector<std::string> texts;  // copies of the string arguments, which may not outlive the call
};

std::vector<Captured> g_captured;
std::int32_t g_result = 0;

std::int32_t TIBET_CALL capture(std::uint16_t id, std::uint16_t options, std::uint16_t count,
                                command_arg* args, command_arg* ret) {
  Captured call{id, options, count, std::vector<command_arg>(args, args + count), ret, {}};
  for (const command_arg& arg : call.args)
    call.texts.push_back(arg.kind() == kind_string ? arg.value.text : "");
  g_captured.push_back(call);
  return g_result;
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_captured.clear();
    g_result = 0;
    set_dispatcher(capture);
  }
  void TearDown() override { set_dispatcher(nullptr); }
};

std::array<unsigned char, 16> bytes_of(const command_arg& arg) {
  std::array<unsigned char, 16> out;
  std::memcpy(out.data(), &arg, 16);
  return out;
}

TEST_F(BridgeTest, font_and_size_make_a_string_and_a_short_record) {
  command_block block;
  const char* name = "Korlam-c";
  EXPECT_EQ(run_command(block, cmd::set_font, 0, nullptr, 0, "si", name, 24), 0);
  ASSERT_EQ(g_captured.size(), 1u);
  const Captured& call = g_captured[0];
  EXPECT_EQ(call.id, cmd::set_font);
  EXPECT_EQ(call.options, 0);
  EXPECT_EQ(call.count, 2);
  EXPECT_EQ(block.count, 2);
  EXPECT_EQ(call.ret, nullptr);
  EXPECT_EQ(call.args[0].flags, kind_string);
  EXPECT_EQ(call.args[0].value.text, name);
  EXPECT_EQ(call.args[0].buffer_size, 0) << "a positional string carries no buffer size";
  EXPECT_EQ(call.args[1].flags, kind_short);
  EXPECT_EQ(bytes_of(call.args[1]), (std::array<unsigned char, 16>{24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(BridgeTest, each_format_letter_fills_its_kind) {
  command_block block;
  run_command(block, 0x1234, 0, nullptr, 0, "ildsi", -2, 70000, 2.5, "x", 40000);
  ASSERT_EQ(g_captured.size(), 1u);
  const auto& args = g_captured[0].args;
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(args[0].kind(), kind_short);
  EXPECT_EQ(args[0].value.s, -2);
  EXPECT_EQ(args[1].kind(), kind_long);
  EXPECT_EQ(args[1].value.l, 70000);
  EXPECT_EQ(args[2].kind(), kind_double);
  EXPECT_EQ(args[2].value.d, 2.5);
  EXPECT_EQ(args[3].kind(), kind_string);
  EXPECT_STREQ(args[3].value.text, "x");
  EXPECT_EQ(args[4].value.s, static_cast<std::int16_t>(40000)) << "a short keeps the low 16 bits";
  for (const command_arg& arg : args) {
    EXPECT_EQ(arg.field, 0);
    EXPECT_EQ(arg.zero, 0);
    EXPECT_EQ(arg.mode(), 0);
  }
}

TEST_F(BridgeTest, a_bad_format_is_refused_without_a_call) {
  command_block block;
  EXPECT_EQ(run_command(block, cmd::insert, 0, nullptr, 0, "x", 1), 0xFFFF);
  EXPECT_EQ(run_command(block, cmd::insert, 0, nullptr, 0, "is", 1, 2), 0xFFFF) << "a number for a string";
  EXPECT_EQ(run_command(block, cmd::insert, 0, nullptr, 0, "ii", 1), 0xFFFF) << "fewer values than letters";
  EXPECT_TRUE(g_captured.empty());
}

TEST_F(BridgeTest, a_string_return_passes_its_buffer_in_the_return_record) {
  command_block block;
  char reply[256];
  run_command(block, cmd::prompt, kind_string, reply, 256, "s", "p");
  ASSERT_EQ(g_captured.size(), 1u);
  ASSERT_EQ(g_captured[0].ret, &block.ret);
  EXPECT_EQ(block.ret.flags, kind_string);
  EXPECT_EQ(block.ret.value.buffer, reply);
  EXPECT_EQ(block.ret.buffer_size, 256);
}

TEST_F(BridgeTest, a_string_dialog_field_carries_its_buffer_size) {
  command_block block;
  init_block(block, 0, nullptr, 0);
  add_string_field(block, "Tsendrel", 1, mode_apply, 9);
  add_short_field(block, 7, 3, mode_read);
  const auto first = bytes_of(block.args[0]);
  EXPECT_EQ(first[8], 9);
  EXPECT_EQ(first[9], 0);
  EXPECT_EQ(first[10], kind_string | 1 << 5);
  EXPECT_EQ(first[12], 1);
  EXPECT_EQ(bytes_of(block.args[1]),
            (std::array<unsigned char, 16>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 | 2 << 5, 0, 3}));
}

TEST_F(BridgeTest, init_block_zeroes_the_whole_block) {
  command_block block;
  std::memset(&block, 0xAB, sizeof block);
  init_block(block, kind_short, nullptr, 0);
  const auto* raw = reinterpret_cast<const unsigned char*>(&block);
  for (std::size_t i = 0; i < sizeof block; ++i) {
    if (i == 18) continue;  // the return record's kind
    ASSERT_EQ(raw[i], 0) << "byte " << i;
  }
  EXPECT_EQ(raw[18], kind_short);
}

TEST_F(BridgeTest, arguments_past_the_block_are_dropped) {
  command_block block;
  init_block(block, 0, nullptr, 0);
  for (int i = 0; i < 40; ++i) add_short(block, static_cast<std::int16_t>(i));
  EXPECT_EQ(block.count, kMaxArgs);
  EXPECT_EQ(block.args[kMaxArgs - 1].value.s, kMaxArgs - 1);
}

TEST_F(BridgeTest, trace_shows_only_negative_levels) {
  trace("quiet", 0);
  trace("also quiet", 5);
  EXPECT_TRUE(g_captured.empty());
  trace("A character appeared twice in the left column", -1);
  ASSERT_EQ(g_captured.size(), 1u);
  EXPECT_EQ(g_captured[0].id, cmd::message_box);
  EXPECT_EQ(g_captured[0].texts[0], "A character appeared twice in the left column");
  EXPECT_EQ(g_captured[0].texts[1], "Tsendrel Debug");
}

TEST_F(BridgeTest, error_code_is_shown_as_a_signed_short) {
  show_error_code(-3);
  ASSERT_EQ(g_captured.size(), 1u);
  EXPECT_EQ(g_captured[0].texts[0], "Error -3 occured.\n");
  EXPECT_EQ(g_captured[0].texts[1], "Tsendrel Error");
  EXPECT_EQ(g_captured[0].ret, nullptr);
}

TEST(call_host, without_a_host_every_command_fails) {
  set_dispatcher(nullptr);
  EXPECT_TRUE(failed(call_host(cmd::insert, 0, 0, nullptr, nullptr)));
}

}  // namespace
}  // namespace tibet
