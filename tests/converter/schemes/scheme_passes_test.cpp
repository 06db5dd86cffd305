#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "scheme_passes.h"
#include "support/process.h"

using namespace tarvex;

namespace {

using Pass = int (*)(tsd::Stream&, tsd::Stream&);

TEST(scheme_passes, a_failed_write_is_reported) {
  for (const Pass pass : {wylie_to_kvts, kvts_to_wylie}) {
    tsd::Stream src = tsd::Stream::temporary();
    src.write(std::string(200000, 'k'));
    src.rewind();
    tsd::Stream dst = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
    ASSERT_TRUE(dst.is_open());
    EXPECT_EQ(pass(src, dst), -1);
    EXPECT_TRUE(dst.error());
  }
}

TEST(scheme_passes, a_short_output_is_reported_too) {
  // Even a few bytes that stay in the buffer must reach the disk before the pass reports success.
  for (const Pass pass : {wylie_to_kvts, kvts_to_wylie}) {
    tsd::Stream src = tsd::Stream::temporary();
    src.write("ka");
    src.rewind();
    tsd::Stream dst = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
    ASSERT_TRUE(dst.is_open());
    EXPECT_EQ(pass(src, dst), -1);
  }
}

TEST(scheme_passes, any_bytes_pass) {
  std::mt19937 random(11);
  std::string input;
  for (int i = 0; i < 100000; ++i)
    input += static_cast<char>(random() % 4 == 0 ? random() : "AEOgts.-[]Y "[random() % 12]);
  for (const Pass pass : {wylie_to_kvts, kvts_to_wylie}) {
    tsd::Stream src = tsd::Stream::temporary();
    src.write(input);
    src.rewind();
    tsd::Stream dst = tsd::Stream::temporary();
    EXPECT_EQ(pass(src, dst), 0);
  }
}

std::string run_binary(Pass pass, const std::string& input) {
  tsd::Stream src = tsd::Stream::temporary();
  src.write(input);
  src.rewind();
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(pass(src, dst), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  return out;
}

TEST(scheme_passes, high_bytes_pass_unchanged_into_a_binary_file) {
  // Byte 255 is the stream's end value when it is taken for a signed char.
  const struct {
    Pass pass;
    const char* input;
    const char* expected;
  } cases[] = {
      {wylie_to_kvts, " \xff\x80ka\xff", " \xff\x80KA\xff"},
      {wylie_to_kvts, " ts\xff g.\xff", " TZ\xff G \xff"},
      {kvts_to_wylie, " \xffKA\xfe", " \xffka\xfe"},
      {kvts_to_wylie, " A\xff E\xff G-\xff", " a\xff e\xff g-\xff"},
  };
  for (const auto& c : cases) EXPECT_EQ(run_binary(c.pass, c.input), c.expected) << c.input;
}

TEST(scheme_passes, a_long_bracketed_passage_is_copied_whole) {
  std::string passage = "[";
  for (int i = 0; i < 20000; ++i) passage += "tsEO-A"[i % 6];
  passage += "]";
  EXPECT_EQ(run_binary(wylie_to_kvts, " " + passage + "a"), " " + passage + "A");
  EXPECT_EQ(run_binary(kvts_to_wylie, " A" + passage + "A"), " a" + passage + "a");
}

TEST(scheme_passes, round_trip_of_a_prayer) {
  const std::string wylie = "oM ma Ni pad+me hU~M/ bsgrubs g.yang tsha tsa\nkha E O I\n";
  tsd::Stream src = tsd::Stream::temporary();
  src.write(wylie);
  src.rewind();
  tsd::Stream kvts = tsd::Stream::temporary();
  ASSERT_EQ(wylie_to_kvts(src, kvts), 0);
  kvts.rewind();
  tsd::Stream back = tsd::Stream::temporary();
  ASSERT_EQ(kvts_to_wylie(kvts, back), 0);
  back.rewind();
  std::string out;
  for (int c = back.get(); c != tsd::Stream::end; c = back.get()) out += static_cast<char>(c);
  EXPECT_EQ(out, wylie);
}

// The punctuation facts that readers cutting Wylie text rely on hold for the pre-pass itself.
TEST(scheme_passes, wylie_punctuation_is_what_the_pre_pass_writes) {
  const std::string shad(1, static_cast<char>(kWylieShad));
  const std::string tsheg(1, static_cast<char>(kWylieTsheg));
  const struct {
    std::string wylie;
    std::string kvts;
  } rows[] = {
      {"ka" + shad + "ka", "KA" + std::string(kShadInKvts) + "KA"},
      {"g" + tsheg + "ya", tsheg_breaks_within('g', 'y') ? "G-YA" : "G YA"},
      {"k" + tsheg + "ya", tsheg_breaks_within('k', 'y') ? "K-YA" : "K YA"},
      {"g" + tsheg + "la", tsheg_breaks_within('g', 'l') ? "G-LA" : "G LA"},
  };
  for (const auto& row : rows) EXPECT_EQ(run_binary(wylie_to_kvts, row.wylie), row.kvts) << row.wylie;
  EXPECT_EQ(run_binary(wylie_to_kvts, "g.ya"), "G-YA");
}

}  // namespace
