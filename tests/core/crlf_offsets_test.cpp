#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/crlf_offsets.h"
#include "platform/stream.h"

namespace {

using tsd::CrLfOffsets;
using tsd::Stream;

std::size_t read_back_size(const std::string& bytes) {
  Stream s = Stream::holding(bytes, Stream::Mode::text);
  std::size_t n = 0;
  while (s.get() != Stream::end) ++n;
  return n;
}

// Each byte of a text read in text mode, placed in the text's own bytes: where the stream's read offset
// says it lies, whether asked in any order, in ascending order, or after the bytes before a point were
// forgotten, and whether the line feeds were noted while reading or found in the bytes.
TEST(crlf_offsets, every_byte_read_lies_where_the_stream_read_it) {
  const std::string rows[] = {"", "a", "\r\n", "a\r\nb", "\r\n\r\n\r", "ab\rc\r\n\nd\r\n", "\n\r\n\r\r\nx"};
  for (const std::string& bytes : rows) {
    Stream s = Stream::holding(bytes, Stream::Mode::text);
    CrLfOffsets noted;
    std::vector<std::uint64_t> expected;
    for (std::uint64_t at = 0;; ++at) {
      const std::uint64_t before = s.read_offset();
      const int c = s.get();
      if (c == Stream::end) break;
      // A CR LF read as a line feed lies at its CR.
      expected.push_back(before);
      if (c == '\n' && s.read_offset() - before == 2) noted.note(at);
    }
    const CrLfOffsets found = CrLfOffsets::of(bytes);
    CrLfOffsets ascending = noted;
    for (std::uint64_t at = 0; at < expected.size(); ++at) {
      EXPECT_EQ(noted.raw(at), expected[at]) << bytes.size() << " bytes, " << at;
      EXPECT_EQ(found.raw(at), expected[at]) << bytes.size() << " bytes, " << at;
      EXPECT_EQ(ascending.raw_ascending(at), expected[at]) << bytes.size() << " bytes, " << at;
    }
    for (std::uint64_t from = 0; from <= expected.size(); ++from) {
      CrLfOffsets forgetting = noted;
      forgetting.forget_before(from);
      for (std::uint64_t at = from; at < expected.size(); ++at)
        EXPECT_EQ(forgetting.raw(at), expected[at]) << bytes.size() << " bytes, from " << from << ", " << at;
    }
  }
}

// A window sliding over a text read in text mode, as the fast path and the text readers slide theirs:
// read from a point after the start, a run at a time (a CR LF's line feed noted as read), the first bytes
// dropped after each run; each byte left in the window lies where the stream read it.
TEST(window_offsets, each_byte_in_the_window_lies_where_the_stream_read_it) {
  const struct {
    const char* name;
    std::string bytes;
    std::size_t skipped;  // read before the window starts (a byte-order mark)
    std::size_t run;      // bytes read into the window at a time
    std::size_t keep;     // bytes kept in the window after each run
  } rows[] = {
      {"no CR LF", "abc def\nghi", 0, 4, 2},
      {"CR LFs, a byte at a time, nothing kept", "a\r\nb\r\n\r\nc", 0, 1, 0},
      {"CR LFs after a mark, runs across them", "\xEF\xBB\xBFka\r\nkha\r\n\rga\r\n\nnga", 3, 5, 3},
      {"a lone CR and a CR LF at a run's edge", "ab\rc\r\nd\r\nef", 0, 3, 1},
  };
  for (const auto& row : rows) {
    Stream s = Stream::holding(row.bytes, Stream::Mode::text);
    for (std::size_t i = 0; i < row.skipped; ++i) s.get();
    tsd::WindowOffsets offsets;
    offsets.start(s.read_offset());
    std::vector<std::uint64_t> where;  // by index: where the stream read each byte
    bool more = true;
    while (more) {
      std::size_t got = 0;
      more = !tsd::run_windows(
          s, [](const unsigned char*, std::size_t) { return std::size_t{0}; },
          [&](int c, std::uint64_t at) {
            if (c == '\n' && s.read_offset() - at == 2) offsets.crlf_at(where.size());
            where.push_back(at);
            return ++got < row.run;
          });
      for (std::uint64_t at = offsets.consumed(); at < where.size(); ++at)
        EXPECT_EQ(offsets.raw_ascending(at), where[at]) << row.name << ", " << at;
      for (std::uint64_t at = where.size(); at-- > offsets.consumed();)
        EXPECT_EQ(offsets.raw(at), where[at]) << row.name << ", " << at;
      const std::uint64_t in_window = where.size() - offsets.consumed();
      if (in_window > row.keep) offsets.drop(in_window - row.keep);
    }
    EXPECT_EQ(where.size(), read_back_size(row.bytes) - row.skipped) << row.name;
  }
}

}  // namespace
