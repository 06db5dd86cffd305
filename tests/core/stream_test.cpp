#include "platform/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/path.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using tsd::Stream;
using tsd::testing::read_file;
using tsd::testing::TempDir;

std::string read_all(Stream& s) {
  std::string out;
  for (int c = s.get(); c != Stream::end; c = s.get()) out.push_back(static_cast<char>(c));
  return out;
}

std::string read_back(const std::string& bytes, Stream::Mode mode) {
  TempDir dir;
  Stream s = Stream::open_read(dir.write("in", bytes).c_str(), mode);
  return read_all(s);
}

TEST(stream, text_mode_reading_turns_only_cr_lf_into_lf) {
  struct Case {
    std::string bytes, expected;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"}, {"a\rb", "a\rb"},  // a CR alone stays
      {"a\r", "a\r"},                              // CR at the end of the file
      {"\r\r\n", "\r\n"},                          // only the CR next to the LF goes
      {"a\n\r", "a\n\r"},       {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(read_back(c.bytes, Stream::Mode::text), c.expected) << c.bytes;
}

TEST(stream, binary_mode_reading_translates_nothing) {
  EXPECT_EQ(read_back(std::string("a\r\nb\0\xff", 6), Stream::Mode::binary), std::string("a\r\nb\0\xff", 6));
}

TEST(stream, cr_lf_split_across_buffer_boundary_reads_as_one_lf) {
  for (std::size_t cr_at : {65535u, 65534u, 65536u, 131071u}) {
    std::string bytes(cr_at, 'x');
    bytes += "\r\nend";
    std::string expected(cr_at, 'x');
    expected += "\nend";
    EXPECT_EQ(read_back(bytes, Stream::Mode::text), expected) << "CR at " << cr_at;
  }
}

// Reads everything by taking up to `take` bytes from each window, get() when the window is empty.
std::string read_by_windows(const std::string& bytes, Stream::Mode mode, std::size_t take) {
  TempDir dir;
  Stream s = Stream::open_read(dir.write("in", bytes).c_str(), mode);
  std::string out;
  for (;;) {
    const auto w = s.window();
    if (w.empty()) {
      const int c = s.get();
      if (c == Stream::end) return out;
      out.push_back(static_cast<char>(c));
      // A pushed-back byte comes before the window again.
      if (c == 'p') {
        s.unget(c);
        if (!s.window().empty()) return "window after push-back";
        s.get();
      }
      continue;
    }
    const std::size_t n = std::min(take, w.size());
    out.append(reinterpret_cast<const char*>(w.data()), n);
    s.advance(n);
  }
}

TEST(stream, windows_read_the_same_bytes_as_get) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i)
    bytes += (i % 7 == 0) ? "\r\n" : (i % 11 == 0) ? "\r" : (i % 13 == 0) ? "p" : "ab";
  bytes += "\r";
  for (const auto mode : {Stream::Mode::text, Stream::Mode::binary}) {
    const std::string expected = read_back(bytes, mode);
    for (std::size_t take : {1u, 3u, 4096u, 1u << 20})
      EXPECT_EQ(read_by_windows(bytes, mode, take), expected) << "take " << take;
  }
}

TEST(stream, read_rest_hands_over_the_bytes_get_reads_and_stops_where_asked) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += (i % 7 == 0) ? "\r\n" : (i % 11 == 0) ? "\r" : "ab";
  struct Case {
    Stream::Mode mode;
    std::size_t stop_after;  // bytes taken before take() says stop; npos for none
  };
  for (const Case c : {Case{Stream::Mode::text, std::string::npos}, Case{Stream::Mode::binary, std::string::npos},
                       Case{Stream::Mode::text, 1000}, Case{Stream::Mode::binary, 99999}}) {
    const std::string expected = read_back(bytes, c.mode);
    TempDir dir;
    Stream s = Stream::open_read(dir.write("in", bytes).c_str(), c.mode);
    s.get();  // what was read before stays read
    std::string taken;
    const bool to_end = tsd::read_rest(s, [&](const unsigned char* p, std::size_t n) {
      if (taken.size() >= c.stop_after) return false;
      taken.append(reinterpret_cast<const char*>(p), n);
      return true;
    });
    if (c.stop_after == std::string::npos) {
      EXPECT_TRUE(to_end);
      EXPECT_EQ(taken, expected.substr(1));
    } else {
      // Stopped: the run it refused is still to be read.
      EXPECT_FALSE(to_end);
      EXPECT_EQ(expected.substr(1, taken.size()), taken);
      EXPECT_EQ(s.get(), static_cast<unsigned char>(expected[1 + taken.size()]));
    }
  }
}

// A pass run by run_windows sees every byte once, in order, whatever it takes in place; the bytes it takes
// one at a time may read on; it stops where `one` says.
TEST(stream, run_windows_hands_each_byte_to_one_of_its_takers) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += (i % 7 == 0) ? "\r\n" : (i % 11 == 0) ? "\r" : (i % 13 == 0) ? "[ab]" : "ab";
  const struct {
    const char* name;
    Stream::Mode mode;
    std::size_t in_place_at_most;  // of each window; 0 takes every byte one at a time
    bool bracket_read_on;          // "[" read by `one` with the rest of its passage, by get()
    std::size_t stop_after;        // bytes taken before `one` says stop; npos for none
  } cases[] = {
      {"every window whole, text", Stream::Mode::text, std::string::npos, false, std::string::npos},
      {"every window whole, binary", Stream::Mode::binary, std::string::npos, false, std::string::npos},
      {"a few bytes of each window", Stream::Mode::text, 5, false, std::string::npos},
      {"no window used", Stream::Mode::text, 0, false, std::string::npos},
      {"passages read on", Stream::Mode::text, std::string::npos, true, std::string::npos},
      {"stopped by one", Stream::Mode::binary, 3, false, 5000},
  };
  for (const auto& c : cases) {
    const std::string expected = read_back(bytes, c.mode);
    TempDir dir;
    Stream s = Stream::open_read(dir.write("in", bytes).c_str(), c.mode);
    std::string taken;
    const bool to_end = tsd::run_windows(
        s,
        [&](const unsigned char* p, std::size_t n) {
          std::size_t k = 0;
          while (k < n && k < c.in_place_at_most && !(c.bracket_read_on && p[k] == '[')) ++k;
          taken.append(reinterpret_cast<const char*>(p), k);
          return k;
        },
        [&](int b) {
          taken.push_back(static_cast<char>(b));
          if (b == '[' && c.bracket_read_on)
            for (int next = s.get(); next != Stream::end; next = s.get()) {
              if (next == '[') {
                s.unget(next);
                break;
              }
              taken.push_back(static_cast<char>(next));
            }
          return taken.size() < c.stop_after;
        });
    if (c.stop_after == std::string::npos) {
      EXPECT_TRUE(to_end) << c.name;
      EXPECT_EQ(taken, expected) << c.name;
    } else {
      EXPECT_FALSE(to_end) << c.name;
      EXPECT_EQ(taken, expected.substr(0, taken.size())) << c.name;
      EXPECT_EQ(s.get(), static_cast<unsigned char>(expected[taken.size()])) << c.name;
    }
  }
}

// A pass that takes part of a window and wants the rest of it again reads on in the window, not byte by
// byte; one that stops in a window leaves the rest to be read; and a byte read one at a time comes with the
// offset get() read it at, the CR of a CR LF, so that its place in the input can be told.
TEST(stream, run_windows_takes_windows_again_stops_in_them_and_tells_where_each_byte_was) {
  std::string bytes;
  for (int i = 0; i < 50000; ++i) bytes += (i % 5 == 0) ? "\r\n" : (i % 17 == 0) ? "\r" : "abc";
  using Next = tsd::WindowUse::Next;
  const struct {
    const char* name;
    Stream::Mode mode;
    std::size_t at_a_time;   // taken of a window at each call; 0 takes every byte one at a time
    Next partial;            // what is wanted after taking part of a window
    std::size_t stop_after;  // bytes taken before the pass stops; npos for none
    bool stop_in_window;     // it stops where a window is taken, else where a byte is
  } cases[] = {
      {"pieces of each window, again", Stream::Mode::text, 7, Next::again, std::string::npos, false},
      {"pieces of each window, then a byte", Stream::Mode::binary, 7, Next::byte, std::string::npos, false},
      {"a byte at a time, text", Stream::Mode::text, 0, Next::byte, std::string::npos, false},
      {"a byte at a time, binary", Stream::Mode::binary, 0, Next::byte, std::string::npos, false},
      {"stopped in a window", Stream::Mode::binary, 1000, Next::again, 70001, true},
      {"stopped at a byte", Stream::Mode::text, 0, Next::byte, 999, false},
  };
  for (const auto& c : cases) {
    const std::string expected = read_back(bytes, c.mode);
    TempDir dir;
    Stream s = Stream::open_read(dir.write("in", bytes).c_str(), c.mode);
    std::string taken;
    std::size_t one_at_a_time = 0;
    bool offsets_right = true;
    const bool to_end = tsd::run_windows(
        s,
        [&](const unsigned char* p, std::size_t n) {
          std::size_t k = std::min(n, c.at_a_time);
          if (c.stop_in_window) k = std::min(k, c.stop_after - taken.size());
          taken.append(reinterpret_cast<const char*>(p), k);
          if (c.stop_in_window && taken.size() == c.stop_after) return tsd::WindowUse{k, Next::stop};
          return tsd::WindowUse{k, c.partial};
        },
        [&](int b, std::uint64_t at) {
          taken.push_back(static_cast<char>(b));
          ++one_at_a_time;
          const bool crlf = c.mode == Stream::Mode::text && b == '\n' && bytes[at] == '\r';
          offsets_right = offsets_right && at < bytes.size() &&
                          (crlf ? bytes[at + 1] == '\n' : bytes[at] == static_cast<char>(b));
          return c.stop_in_window || taken.size() < c.stop_after;
        });
    EXPECT_TRUE(offsets_right) << c.name;
    if (c.stop_after == std::string::npos) {
      EXPECT_TRUE(to_end) << c.name;
      EXPECT_EQ(taken, expected) << c.name;
    } else {
      EXPECT_FALSE(to_end) << c.name;
      EXPECT_EQ(taken, expected.substr(0, c.stop_after)) << c.name;
      EXPECT_EQ(s.get(), static_cast<unsigned char>(expected[c.stop_after])) << c.name;
    }
    // Taken again, a window goes on in place: only where text mode cuts it at a CR, or a block ends, does
    // a byte come one at a time.
    if (c.at_a_time > 0 && c.partial == Next::again) {
      EXPECT_LT(one_at_a_time, expected.size() / 8) << c.name;
    } else if (c.at_a_time > 0) {
      EXPECT_GT(one_at_a_time, expected.size() / 8) << c.name;
    }
  }
}

// Applies one pseudo-random operation to a stream and logs what it gave.
void operate(Stream& s, unsigned kind, unsigned arg, std::string& log) {
  switch (kind) {
    case 0: {
      // Now and then a block larger than the buffer, which goes past it.
      std::string bytes(arg % 16 == 0 ? 70000 + arg % 3000 : arg % 3000, '\0');
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + (arg + i) % 26);
      log.append("w").append(std::to_string(s.write(bytes))).append(";");
      break;
    }
    case 1:
      log.append("p").append(std::to_string(s.put(static_cast<int>(arg & 0xFF)))).append(";");
      break;
    case 2:
      for (unsigned i = 0; i < arg % 50; ++i) log.append(std::to_string(s.get())).append(",");
      break;
    case 3:
      s.unget(static_cast<int>(arg & 0xFF));
      break;
    case 4:
      log.append("r").append(std::to_string(s.rewind())).append(";");
      break;
    default: {
      // Up to n bytes through windows, get() where a window is empty.
      std::size_t wanted = arg % 100;
      while (wanted > 0) {
        const auto w = s.window();
        if (w.empty()) {
          const int c = s.get();
          if (c == Stream::end) {
            log += "<end>";
            break;
          }
          log += static_cast<char>(c);
          --wanted;
          continue;
        }
        const std::size_t n = std::min(wanted, w.size());
        log.append(reinterpret_cast<const char*>(w.data()), n);
        s.advance(n);
        wanted -= n;
      }
      break;
    }
  }
}

// A temporary file keeps its bytes in memory while they are few; whatever is done with it, it gives what
// an ordinary read/write file gives.
TEST(stream, temporary_files_behave_as_ordinary_files) {
  for (unsigned seed = 0; seed < 60; ++seed) {
    TempDir dir;
    Stream plain = Stream::adopt(std::fopen(dir.file("plain").c_str(), "w+b"), Stream::Mode::binary, true);
    Stream spooled = Stream::temporary();
    ASSERT_TRUE(plain.is_open() && spooled.is_open());
    std::mt19937 random(seed);
    std::string plain_log, spooled_log;
    for (int op = 0; op < 400; ++op) {
      const unsigned kind = random() % 6, arg = random();
      operate(plain, kind, arg, plain_log);
      operate(spooled, kind, arg, spooled_log);
    }
    ASSERT_EQ(plain_log, spooled_log) << "seed " << seed;
    plain.rewind();
    spooled.rewind();
    EXPECT_EQ(read_all(plain), read_all(spooled)) << "seed " << seed;
  }
}

TEST(stream, temporary_file_past_the_memory_limit_keeps_every_byte) {
  Stream s = Stream::temporary();
  std::string block(1 << 20, '\0');
  const std::size_t blocks = Stream::kSpoolLimit / block.size() + 2;
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::size_t i = 0; i < block.size(); i += 4096) block[i] = static_cast<char>(b + i / 4096);
    ASSERT_EQ(s.write(block), static_cast<int>(block.size()));
  }
  ASSERT_EQ(s.rewind(), 0);
  std::size_t at = 0;
  bool same = true;
  for (int c = s.get(); c != Stream::end; c = s.get(), ++at) {
    const std::size_t b = at / block.size(), i = at % block.size();
    const char expected = i % 4096 == 0 ? static_cast<char>(b + i / 4096) : '\0';
    same = same && static_cast<char>(c) == expected;
  }
  EXPECT_TRUE(same);
  EXPECT_EQ(at, blocks * block.size());
}

// Bytes held to be read again read as their file reads: translated alike and at the same offsets, while
// in memory and once past the memory limit.
TEST(stream, held_bytes_read_as_their_file_reads) {
  std::string big(Stream::kSpoolLimit + 100, 'x');
  for (std::size_t i = 1000; i + 1 < big.size(); i += 70001) big.replace(i, 2, "\r\n");
  const struct {
    std::string bytes;
    Stream::Mode mode;
  } cases[] = {
      {"\xEF\xBB\xBF" "a\r\nb\rc\r\n\r", Stream::Mode::text},
      {"a\r\nb\rc\r\n", Stream::Mode::binary},
      {big, Stream::Mode::text},
  };
  for (const auto& c : cases) {
    TempDir dir;
    Stream file = Stream::open_read(dir.write("f", c.bytes).c_str(), c.mode);
    Stream held = Stream::holding(c.bytes, c.mode);
    std::size_t differ = 0;
    for (int b; (b = file.get()) != Stream::end;)
      if (held.get() != b || held.read_offset() != file.read_offset()) ++differ;
    EXPECT_EQ(differ, 0u) << c.bytes.size() << " bytes";
    EXPECT_EQ(held.get(), Stream::end);
    EXPECT_FALSE(held.error());
  }
}

// A temporary file in memory is emptied to be written again: it reads back only what came after, however
// it was left (written, rewound, read part way or to its end). One whose bytes went to the disk is not
// emptied.
TEST(stream, emptied_temporary_file_reads_back_only_what_came_after) {
  const auto leave = [](Stream& s, int how) {
    s.write("old bytes\nold");
    if (how >= 1) s.rewind();
    if (how == 2) s.get();
    if (how == 3) read_all(s);
  };
  // Written again past the memory limit, its bytes go to the disk after being read to the end.
  const std::string big(Stream::kSpoolLimit + 10, 'y');
  for (int how = 0; how < 4; ++how) {
    for (const std::string& next : {std::string("new"), big}) {
      Stream s = Stream::temporary();
      leave(s, how);
      ASSERT_EQ(s.empty(), 0) << how;
      s.write(next);
      ASSERT_EQ(s.rewind(), 0);
      EXPECT_TRUE(read_all(s) == next) << how << ", " << next.size() << " bytes";
    }
  }
  Stream spilled = Stream::temporary();
  spilled.write(std::string(Stream::kSpoolLimit + 1, 'x'));
  spilled.flush();
  EXPECT_EQ(spilled.empty(), -1);
  Stream file;
  EXPECT_EQ(file.empty(), -1);
}

TEST(stream, text_mode_writing_turns_lf_into_cr_lf) {
  TempDir dir;
  const std::string path = dir.file("out");
  Stream s = Stream::open_write(path.c_str(), Stream::Mode::text);
  ASSERT_TRUE(s.is_open());
  s.write("a\nb");
  s.put('\n');
  s.put('\r');
  ASSERT_EQ(s.close(), 0);
  EXPECT_EQ(read_file(path), "a\r\nb\r\n\r");
}

TEST(stream, long_output_survives_buffer_flushes) {
  TempDir dir;
  const std::string path = dir.file("out");
  std::string expected;
  {
    Stream s = Stream::open_write(path.c_str(), Stream::Mode::text);
    for (int i = 0; i < 200000; ++i) {
      const char c = i % 7 == 0 ? '\n' : static_cast<char>('a' + i % 26);
      s.put(c);
      expected += c == '\n' ? "\r\n" : std::string(1, c);
    }
  }
  EXPECT_EQ(read_file(path), expected);
}

TEST(stream, push_back_returns_the_byte_once) {
  Stream s = Stream::temporary();
  s.write("ab");
  s.rewind();
  EXPECT_EQ(s.get(), 'a');
  s.unget('a');
  EXPECT_EQ(s.get(), 'a');
  EXPECT_EQ(s.get(), 'b');
  EXPECT_EQ(s.get(), Stream::end);
  s.unget(Stream::end);  // pushing back the end does nothing
  EXPECT_EQ(s.get(), Stream::end);
  EXPECT_TRUE(s.at_end());
}

TEST(stream, push_back_after_rewind_comes_before_the_first_byte) {
  Stream s = Stream::temporary();
  s.write("xy");
  s.rewind();
  s.get();
  s.unget('q');
  s.rewind();  // rewinding forgets the earlier push-back
  s.unget('z');
  EXPECT_EQ(read_all(s), "zxy");
}

TEST(stream, temporary_file_reads_back_what_was_written_after_rewind) {
  Stream s = Stream::temporary();
  ASSERT_TRUE(s.is_open());
  std::string text(70000, 'k');
  text += "\r\n";
  s.write(text);
  ASSERT_EQ(s.rewind(), 0);
  EXPECT_EQ(read_all(s), text);  // binary: the CR LF stays
  s.rewind();
  EXPECT_EQ(s.get(), 'k');
}

TEST(stream, writing_after_reading_continues_at_the_read_position) {
  Stream s = Stream::temporary();
  s.write("abcdef");
  s.rewind();
  EXPECT_EQ(s.get(), 'a');
  EXPECT_EQ(s.get(), 'b');
  s.put('X');
  s.rewind();
  EXPECT_EQ(read_all(s), "abXdef");
}

// A block larger than the buffer keeps its place among the bytes written before and after it.
TEST(stream, large_block_lands_between_the_bytes_around_it) {
  std::string block(200000, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 23);
  for (const bool temporary : {false, true}) {
    TempDir dir;
    Stream s = temporary ? Stream::temporary() : Stream::open_write(dir.file("out").c_str(), Stream::Mode::binary);
    ASSERT_TRUE(s.is_open());
    EXPECT_EQ(s.write("head"), 4);
    EXPECT_EQ(s.write(block), static_cast<int>(block.size()));
    EXPECT_EQ(s.write("tail"), 4);
    if (temporary) {
      ASSERT_EQ(s.rewind(), 0);
      EXPECT_EQ(read_all(s), "head" + block + "tail");
    } else {
      ASSERT_EQ(s.close(), 0);
      EXPECT_EQ(read_file(dir.file("out")), "head" + block + "tail");
    }
  }
  Stream full = Stream::adopt(tsd::testing::open_full_device(), Stream::Mode::binary, true);
  EXPECT_EQ(full.write(block), Stream::end);
  EXPECT_TRUE(full.error());
}

TEST(stream, write_errors_are_surfaced_by_flush_and_close) {
  Stream s = Stream::adopt(tsd::testing::open_full_device(), Stream::Mode::text, true);
  ASSERT_TRUE(s.is_open());
  for (int i = 0; i < 100; ++i) s.put('a');
  EXPECT_EQ(s.flush(), -1);
  EXPECT_TRUE(s.error());
  EXPECT_EQ(s.put('b'), Stream::end);
  EXPECT_EQ(s.close(), -1);
}

TEST(stream, a_full_disk_is_noticed_when_the_buffer_spills) {
  Stream s = Stream::adopt(tsd::testing::open_full_device(), Stream::Mode::binary, true);
  int failed_at = -1;
  for (int i = 0; i < 300000 && failed_at < 0; ++i)
    if (s.put('a') == Stream::end) failed_at = i;
  EXPECT_GT(failed_at, 0);
  EXPECT_TRUE(s.error());
}

TEST(stream, missing_or_unwritable_files_do_not_open) {
  TempDir dir;
  EXPECT_FALSE(Stream::open_read(dir.file("absent").c_str(), Stream::Mode::text).is_open());
  EXPECT_FALSE(Stream::open_write(dir.file("no/such/folder").c_str(), Stream::Mode::text).is_open());
  Stream closed;
  EXPECT_EQ(closed.get(), Stream::end);
  EXPECT_EQ(closed.put('a'), Stream::end);
}

TEST(path, join_puts_one_separator_between_folder_and_name) {
  EXPECT_EQ(tsd::join_path("dir", "keyfont"), std::string("dir") + tsd::path_separator + "keyfont");
}

// read_offset places what a pass finds: the file offset of the next byte get() returns.
TEST(stream, read_offset_is_the_file_offset_of_the_next_byte) {
  TempDir dir;
  std::string big(70000, 'x');
  big[65530] = '\r';  // the last byte of the first buffer
  big[65531] = '\n';
  const std::string path = dir.write("f", "ab\r\nc" + big);
  Stream in = Stream::open_read(path.c_str(), Stream::Mode::text);
  EXPECT_EQ(in.read_offset(), 0u);
  EXPECT_EQ(in.get(), 'a');
  EXPECT_EQ(in.read_offset(), 1u);
  in.get();
  EXPECT_EQ(in.get(), '\n');
  EXPECT_EQ(in.read_offset(), 4u);  // past the CR LF
  const int c = in.get();
  in.unget(c);
  EXPECT_EQ(in.read_offset(), 4u);  // the pushed byte is next again
  in.get();
  for (int i = 0; i < 65530; ++i) in.get();
  EXPECT_EQ(in.read_offset(), 65535u);
  EXPECT_EQ(in.get(), '\n');  // a CR LF across the buffer's end
  EXPECT_EQ(in.read_offset(), 65537u);
  in.rewind();
  EXPECT_EQ(in.read_offset(), 0u);

  Stream spooled = Stream::temporary();
  spooled.write("hello");
  spooled.rewind();
  spooled.get();
  spooled.get();
  EXPECT_EQ(spooled.read_offset(), 2u);
  spooled.advance(spooled.window().size());
  EXPECT_EQ(spooled.read_offset(), 5u);
}

}  // namespace

namespace {

// A stream in memory is written, rewound, read and emptied as a temporary file is, and gives its bytes in
// place; it has no limit where they would go to a file, and writing after reading fails it.
TEST(stream, memory_streams_hold_their_bytes_without_a_file) {
  const std::string big(Stream::kSpoolLimit + 10, 'm');
  const std::string rows[] = {"", "a", "a\r\nb\n", big};
  for (const std::string& bytes : rows) {
    Stream s = Stream::memory();
    ASSERT_TRUE(s.is_open());
    s.write(bytes);
    EXPECT_TRUE(s.held() == bytes) << bytes.size();
    ASSERT_EQ(s.rewind(), 0);
    EXPECT_TRUE(read_all(s) == bytes) << bytes.size();
    ASSERT_EQ(s.empty(), 0);
    s.write("again");
    EXPECT_EQ(s.held(), "again");
    EXPECT_EQ(s.close(), 0);
    EXPECT_FALSE(s.is_open());
  }
  Stream read = Stream::memory();
  read.write("ab");
  read.rewind();
  read.get();
  EXPECT_EQ(read.put('c'), Stream::end);
  EXPECT_TRUE(read.error());
  Stream file = Stream::temporary();
  file.write("x");
  EXPECT_EQ(file.held(), "");
}

// A stream in memory is written in place at the end of its bytes, which grow as it is written: pieces of
// every size, one byte at a time, through its write window, and its bytes looked at between them, give
// the bytes written, line feeds as CR LF in text mode.
TEST(stream, memory_streams_written_in_place_keep_every_piece_across_growth) {
  enum class Way { put, write, window, held };
  struct Piece {
    Way way;
    std::size_t size;
  };
  const std::size_t buffer = std::size_t{1} << 16;  // the size of a stream's buffer
  const std::vector<Piece> rows[] = {
      {{Way::write, 10}, {Way::put, 1}, {Way::write, 3 * buffer + 7}, {Way::put, 1}},
      {{Way::window, 100}, {Way::held, 0}, {Way::write, buffer - 100}, {Way::window, 5}, {Way::write, 1}},
      {{Way::put, 1}, {Way::held, 0}, {Way::write, buffer}, {Way::held, 0}, {Way::write, 2 * buffer + 1}},
  };
  for (const Stream::Mode mode : {Stream::Mode::binary, Stream::Mode::text})
    for (std::size_t r = 0; r < std::size(rows); ++r) {
      Stream s = Stream::memory(mode);
      std::string expected;
      char next = 'a';
      for (const Piece& piece : rows[r]) {
        std::string bytes;
        for (std::size_t i = 0; i < piece.size; ++i) bytes += (i % 61 == 60) ? '\n' : next;
        next = next == 'z' ? 'a' : static_cast<char>(next + 1);
        switch (piece.way) {
          case Way::put:
            for (const char c : bytes) s.put(static_cast<unsigned char>(c));
            break;
          case Way::write:
            s.write(bytes);
            break;
          case Way::window: {
            const auto room = s.write_window();
            if (room.size() < bytes.size()) {
              s.write(bytes);  // no window before the first write, nor in text mode
            } else {
              std::memcpy(room.data(), bytes.data(), bytes.size());
              s.commit(bytes.size());
            }
            break;
          }
          case Way::held:
            EXPECT_EQ(s.held().size(), expected.size()) << r;
            break;
        }
        for (const char c : bytes)
          expected += mode == Stream::Mode::text && c == '\n' ? "\r\n" : std::string(1, c);
      }
      EXPECT_TRUE(s.held() == expected) << "row " << r << (mode == Stream::Mode::text ? ", text" : "");
      ASSERT_EQ(s.rewind(), 0);
      const auto returns = mode == Stream::Mode::text ? std::count(expected.begin(), expected.end(), '\r') : 0;
      EXPECT_EQ(read_all(s).size(), expected.size() - static_cast<std::size_t>(returns)) << r;
    }
}

// A pass run in memory again and again gives each time what it gives on those bytes alone.
TEST(stream, memory_passes_give_each_run_its_own_output) {
  const auto upper = [](Stream& in, Stream& out) {
    for (int c; (c = in.get()) != Stream::end;) out.put(c >= 'a' && c <= 'z' ? c - 32 : c);
    return 0;
  };
  tsd::MemoryPass memory;
  const std::pair<std::string, std::string> rows[] = {{"abc", "ABC"}, {"", ""}, {"x\ny", "X\nY"}, {"q", "Q"}};
  for (const auto& [in, out] : rows) {
    std::string_view got;
    ASSERT_EQ(memory.run(in, got, upper), 0);
    EXPECT_EQ(got, out);
    EXPECT_EQ(read_all(memory.input()), in);
  }
  std::string_view got = "left";
  EXPECT_EQ(memory.run("abc", got, [](Stream&, Stream&) { return -1; }), -1);
  EXPECT_TRUE(got.empty());
}

}  // namespace
