// The byte stream that every pass reads and writes: a file opened in text or binary mode, with its own
// buffering, one character of push-back, rewind and a sticky error state; passes may also read and write
// runs of bytes in place through its windows.
// Text mode is the same on every platform: reading turns CR LF into LF, writing turns LF into CR LF, so
// outputs are byte-identical everywhere. Binary mode (temporary files) translates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace tsd {

class Stream {
 public:
  enum class Mode { text, binary };
  static constexpr int end = -1;

  Stream() = default;
  Stream(Stream&& other) noexcept;
  Stream& operator=(Stream&& other) noexcept;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  ~Stream();

  // Each returns a closed stream (is_open() false) when the file cannot be opened.
  static Stream open_read(const char* path, Mode mode);
  static Stream open_write(const char* path, Mode mode);
  // An anonymous binary read/write file that is gone when closed. Its bytes stay in memory while they
  // are few enough (kSpoolLimit), so that a pass's intermediate file costs no disk traffic; the limit
  // keeps the three temporary files of a conversion under 50 MB of memory together.
  static Stream temporary();
  static constexpr std::size_t kSpoolLimit = std::size_t{16} << 20;
  // A temporary file that holds `bytes`, read from its start in `mode`: the bytes of a stream that cannot
  // be read twice (kept while it was read), read again as the stream read them, offsets included.
  static Stream holding(std::string_view bytes, Mode mode);
  // A read/write stream whose bytes live in memory only, however many, with no file behind it: for
  // running a pass on bytes held in memory, or an output wanted in memory. Written (in `mode`), rewound
  // and read as a temporary file is, and emptied to be written again, its memory kept; writing after
  // reading (without empty()) fails it. held() gives its bytes as written.
  static Stream memory(Mode mode = Mode::binary);
  // Takes ownership of an already open stdio file (standard input or output, a test's special file),
  // switching it to untranslated bytes where the C library has a text mode of its own.
  static Stream adopt(std::FILE* file, Mode mode, bool close_on_destroy);

  bool is_open() const { return file_ != nullptr || memory_; }
  // A stream made by memory().
  bool in_memory_only() const { return memory_; }
  // Where the next get() reads, in bytes of the file from its start (a CR LF counts two), while the
  // stream is being read from its start; for placing what a pass found, not for seeking.
  std::uint64_t read_offset() const {
    const std::uint64_t in_block = block_start_ ? static_cast<std::uint64_t>(read_ - block_start_) : 0;
    return block_offset_ + in_block - (pushed_ >= 0 ? 1 : 0);
  }
  bool error() const { return error_; }
  bool at_end() const { return at_end_; }

  // The next byte (0..255), or `end` at the end of the file or on a read error.
  // The fast path needs no other test: a push-back or a stream that is not reading empties the window.
  int get() {
    if (read_ < read_end_) {
      const int c = *read_;
      if (c != cr_) {
        ++read_;
        return c;
      }
    }
    return get_slow();
  }
  // Pushes one byte back: the next get() returns it. Pushing `end` does nothing.
  void unget(int c) {
    if (c == end || !is_open()) return;
    if (pushed_ < 0) {
      held_end_ = read_end_;
      read_end_ = read_;  // sends the next get() to the slow path, which hands out the pushed byte
    }
    pushed_ = c & 0xFF;
  }
  // The next bytes that get() would return, read in place: as many as lie in the buffer untranslated
  // (in text mode, up to the next CR), possibly none. advance(n) consumes n of them. Passes scan runs of
  // bytes this way and fall back to get() when the window is empty or a run reaches its end. The
  // kWindowSlack bytes after a window may be read too, with values of no meaning, so that a run can be
  // loaded a machine word at a time.
  static constexpr std::size_t kWindowSlack = 64;
  std::span<const unsigned char> window() {
    if (read_ >= read_end_) return {};
    if (cr_ >= 0 && (window_end_ < read_ || window_end_ > read_end_)) find_window_end();
    return {read_, cr_ >= 0 ? window_end_ : read_end_};
  }
  void advance(std::size_t n) { read_ += n; }
  // Copies up to n of the next bytes that get() would return into `into` without consuming them, reading
  // the first block when nothing is buffered yet; fewer only at the end of the file or of the buffered
  // block. For looking at how a stream that cannot be rewound (standard input) starts.
  std::size_t peek(unsigned char* into, std::size_t n);
  // From now on every block read is also appended, untranslated, to `copy` (null stops it): the bytes of
  // a stream that cannot be read twice, kept for what must look at them again.
  void keep_bytes_read(std::string* copy) { kept_ = copy; }

  // Writes one byte; returns it (0..255), or `end` once the stream has failed.
  int put(int c) {
    if (write_ < write_end_ && c != lf_) {
      *write_++ = static_cast<unsigned char>(c);
      return c & 0xFF;
    }
    return put_slow(c);
  }
  // Writes n bytes; returns n, or `end` once the stream has failed.
  int write(const void* data, std::size_t n) {
    if (lf_ < 0 && n - 1 < static_cast<std::size_t>(write_end_ - write_)) {
      std::memcpy(write_, data, n);
      write_ += n;
      return static_cast<int>(n);
    }
    return write_slow(data, n);
  }
  int write(std::string_view text) { return write(text.data(), text.size()); }
  // Room to write in place: what the buffer takes before it must be flushed (none in text mode, before
  // the first write, or once the stream has failed); commit(n) keeps the first n bytes written there.
  std::span<unsigned char> write_window() {
    if (lf_ >= 0 || !write_) return {};
    return {write_, write_end_};
  }
  void commit(std::size_t n) { write_ += n; }

  // Flushes pending output, then starts reading or writing again at the first byte.
  int rewind();
  // Empties a temporary file whose bytes are all still in memory, to be written again from its start:
  // 0, or -1 when it is no such file (its bytes went to the disk, or it failed).
  int empty();
  // Flushes pending output to the operating system; 0, or -1 when a write failed.
  int flush();
  // The bytes of a memory stream, pending output included (valid until it is written or emptied again);
  // empty for any other stream.
  std::string_view held();
  // Flushes and closes; 0, or -1 when any write failed or the close itself failed.
  int close();

 private:
  static constexpr std::size_t kBufferSize = 1 << 16;

  // `cleared`: the buffer and its slack zeroed, for windows read from it (a memory stream reads its spool).
  Stream(std::FILE* file, Mode mode, bool owned, bool cleared = true);
  int get_slow();
  int put_slow(int c);
  int write_slow(const void* data, std::size_t n);
  bool refill();
  bool start_writing();
  bool writing() const { return write_end_ != nullptr; }
  void stop_reading();
  void reset_window();
  void forget_position();
  void find_window_end();
  bool spool(const unsigned char* bytes, std::size_t n);
  // Hands n bytes past the buffer to the file, or to the spool of a temporary file in memory.
  void deliver(const unsigned char* bytes, std::size_t n);
  bool grow_spool(std::size_t needed);
  bool open_spool_room();
  bool unspool();

  std::FILE* file_ = nullptr;
  bool owned_ = true;
  int cr_ = -1;  // '\r' in text mode: the byte that reading must look past
  int lf_ = -1;  // '\n' in text mode: the byte that writing expands
  std::unique_ptr<unsigned char[]> buf_;
  // Reading: bytes [read_, read_end_) are next; after a push-back read_end_ is parked in held_end_.
  const unsigned char* read_ = nullptr;
  const unsigned char* read_end_ = nullptr;
  const unsigned char* held_end_ = nullptr;
  int pushed_ = -1;
  // The block being read (the buffer or the spool) and the file offset of its first byte.
  const unsigned char* block_start_ = nullptr;
  std::uint64_t block_offset_ = 0;
  std::size_t block_size_ = 0;
  // Text mode: the first CR at or after the window's start, or the buffer's end; found again once passed.
  const unsigned char* window_end_ = nullptr;
  bool reading_ = false;  // the file position is past buffered bytes not yet read
  // Writing: pending output is [buf_, write_); write_end_ is null while not writing.
  unsigned char* write_ = nullptr;
  unsigned char* write_end_ = nullptr;
  bool error_ = false;
  bool at_end_ = false;
  std::string* kept_ = nullptr;
  // A temporary file whose bytes are all in spool_ (the file itself still empty); a window slack past
  // its capacity.
  bool spooled_ = false;
  bool memory_ = false;  // spooled with no file: the spool never goes to one
  struct Free {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<unsigned char, Free> spool_;
  std::size_t spool_size_ = 0;
  std::size_t spool_capacity_ = 0;
};

// Makes standard input, output and error carry bytes unchanged. Windows' C library opens them in a text
// mode of its own (LF written as CR LF, Ctrl-Z read as the end), which would make the bytes that a
// program prints or reads differ by platform.
void binary_stdio();

// What a pass did with a read window (run_windows): it took the first `taken` bytes, and then wants the
// next byte through get() (`byte`), the rest of the window again (`again`: it stopped at a point of its
// own inside it), or to stop reading (`stop`).
struct WindowUse {
  enum class Next : unsigned char { byte, again, stop };
  std::size_t taken;
  Next next = Next::byte;
};

// Runs a pass over the rest of `from`, the one loop of every pass that reads in place: `in_place(p, n)`
// takes what it can of each read window, the kWindowSlack bytes after it readable, and returns how many
// bytes it took (a WindowUse, or a count: the whole window goes on to the next one, less to get()); where
// it wants a byte, or none is open, `one(c)` takes the next byte that get() reads (with `one(c, at)`, also
// the offset at which get() read it, a CR LF's CR), and may read on with get() and unget(). Returns true
// at the end of the input, false when either stopped. Inlined whole, so that a pass pays nothing for it.
template <typename InPlace, typename One>
[[gnu::always_inline]] inline bool run_windows(Stream& from, InPlace in_place, One one) {
  for (;;) {
    if (const auto window = from.window(); !window.empty()) {
      const auto use = in_place(window.data(), window.size());
      if constexpr (std::is_same_v<decltype(use), const WindowUse>) {
        from.advance(use.taken);
        if (use.next == WindowUse::Next::stop) return false;
        if (use.next == WindowUse::Next::again || use.taken == window.size()) continue;
      } else {
        from.advance(use);
        if (use == window.size()) continue;
      }
    }
    if constexpr (std::is_invocable_v<One, int, std::uint64_t>) {
      const std::uint64_t at = from.read_offset();
      const int c = from.get();
      if (c == Stream::end) return true;
      if (!one(c, at)) return false;
    } else {
      const int c = from.get();
      if (c == Stream::end) return true;
      if (!one(c)) return false;
    }
  }
}

// Two memory streams for running a pass on bytes held in memory again and again: the bytes go in, the
// pass reads them and writes, and what it wrote comes back in memory.
class MemoryPass {
 public:
  // Runs `pass(in, out)` on `bytes`: 0 with `output` viewing what it wrote (valid until the next run), or
  // -1 when the pass failed or memory ran out.
  template <typename Pass>
  int run(std::string_view bytes, std::string_view& output, Pass pass) {
    output = {};
    if (clear() != 0 || append(bytes, pass) != 0) return -1;
    output = out_.held();
    return out_.error() ? -1 : 0;
  }
  // Piece by piece: clear(), then `pass` on each piece's bytes, what it writes after what it wrote
  // before, and output() all of it. 0, or -1 as run() fails.
  int clear() { return out_.empty(); }
  template <typename Pass>
  int append(std::string_view bytes, Pass pass) {
    if (in_.empty() != 0) return -1;
    in_.write(bytes);
    return in_.rewind() != 0 || pass(in_, out_) != 0 || out_.error() ? -1 : 0;
  }
  std::string_view output() { return out_.held(); }
  // The bytes of the last run, to be read again from their start.
  Stream& input() {
    in_.rewind();
    return in_;
  }

 private:
  Stream in_ = Stream::memory();
  Stream out_ = Stream::memory();
};

// Reads the rest of `from` a window at a time (a byte at a time where no window is open), handing each run
// of bytes to `take`, which returns false to stop; false when it stopped, with the run it refused still to
// be read.
template <typename Take>
bool read_rest(Stream& from, Take take) {
  return run_windows(
      from,
      [&take](const unsigned char* p, std::size_t n) {
        return take(p, n) ? WindowUse{n, WindowUse::Next::again} : WindowUse{0, WindowUse::Next::stop};
      },
      [&](int c) {
        const auto byte = static_cast<unsigned char>(c);
        if (take(&byte, 1)) return true;
        from.unget(c);
        return false;
      });
}

}  // namespace tsd
