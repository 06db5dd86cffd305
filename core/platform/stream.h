// The byte stream that every pass reads and writes: a file opened in text or binary mode, with its own
// buffering, one character of push-back, rewind and a sticky error state.
// Text mode is the same on every platform: reading turns CR LF into LF, writing turns LF into CR LF, so
// outputs are byte-identical everywhere. Binary mode (temporary files) translates nothing.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

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
  // An anonymous binary read/write file that is gone when closed.
  static Stream temporary();
  // Takes ownership of an already open stdio file (standard input or output, a test's special file).
  static Stream adopt(std::FILE* file, Mode mode, bool close_on_destroy);

  bool is_open() const { return file_ != nullptr; }
  bool error() const { return error_; }
  bool at_end() const { return at_end_; }

  // The next byte (0..255), or `end` at the end of the file or on a read error.
  int get() {
    if (pushed_ < 0 && pos_ < len_) {
      const int c = static_cast<unsigned char>(buf_[pos_]);
      if (c != '\r' || mode_ == Mode::binary) {
        ++pos_;
        return c;
      }
    }
    return get_slow();
  }
  // Pushes one byte back: the next get() returns it. Pushing `end` does nothing.
  void unget(int c) {
    if (c != end) pushed_ = c & 0xFF;
  }
  // Writes one byte; returns it, or `end` once the stream has failed.
  int put(int c) {
    if (writing_ && len_ < kBufferSize - 1 && c != '\n') {
      buf_[len_++] = static_cast<char>(c);
      return c & 0xFF;
    }
    return put_slow(c);
  }
  // Writes n bytes; returns n, or `end` once the stream has failed.
  int write(const void* data, std::size_t n);
  int write(std::string_view text) { return write(text.data(), text.size()); }

  // Flushes pending output, then starts reading or writing again at the first byte.
  int rewind();
  // Flushes pending output to the operating system; 0, or -1 when a write failed.
  int flush();
  // Flushes and closes; 0, or -1 when any write failed or the close itself failed.
  int close();

 private:
  static constexpr std::size_t kBufferSize = 1 << 16;

  Stream(std::FILE* file, Mode mode, bool owned);
  int get_slow();
  int put_slow(int c);
  bool refill();
  bool start_writing();
  int raw_put(char c);

  std::FILE* file_ = nullptr;
  bool owned_ = true;
  Mode mode_ = Mode::text;
  std::unique_ptr<char[]> buf_;
  std::size_t pos_ = 0;  // next byte to read
  std::size_t len_ = 0;  // bytes in the buffer (read data, or pending output while writing_)
  bool writing_ = false;
  bool reading_ = false;  // the file position is past buffered bytes not yet read
  bool error_ = false;
  bool at_end_ = false;
  int pushed_ = -1;
};

}  // namespace tsd
