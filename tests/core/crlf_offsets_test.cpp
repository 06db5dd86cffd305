#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/crlf_offsets.h"
#include "platform/stream.h"

namespace {

using tsd::CrLfOffsets;
using tsd::Stream;

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

}  // namespace
