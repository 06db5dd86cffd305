#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "scheme_passes.h"

namespace {

using Pass = int (*)(tsd::Stream&, tsd::Stream&);

TEST(scheme_passes, a_failed_write_is_reported) {
  for (const Pass pass : {wylie_to_kvts, kvts_to_wylie}) {
    tsd::Stream src = tsd::Stream::temporary();
    src.write(std::string(200000, 'k'));
    src.rewind();
    tsd::Stream dst = tsd::Stream::adopt(std::fopen("/dev/full", "wb"), tsd::Stream::Mode::binary, true);
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
    tsd::Stream dst = tsd::Stream::adopt(std::fopen("/dev/full", "wb"), tsd::Stream::Mode::binary, true);
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

}  // namespace
