#include "platform/stream.h"

#include <utility>

namespace tsd {

Stream::Stream(std::FILE* file, Mode mode, bool owned)
    : file_(file), owned_(owned), mode_(mode), buf_(new char[kBufferSize]) {}

Stream::Stream(Stream&& other) noexcept {
  *this = std::move(other);
}

Stream& Stream::operator=(Stream&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
    owned_ = other.owned_;
    mode_ = other.mode_;
    buf_ = std::move(other.buf_);
    pos_ = std::exchange(other.pos_, 0);
    len_ = std::exchange(other.len_, 0);
    writing_ = std::exchange(other.writing_, false);
    reading_ = std::exchange(other.reading_, false);
    error_ = std::exchange(other.error_, false);
    at_end_ = std::exchange(other.at_end_, false);
    pushed_ = std::exchange(other.pushed_, -1);
  }
  return *this;
}

Stream::~Stream() {
  close();
}

Stream Stream::open_read(const char* path, Mode mode) {
  std::FILE* f = std::fopen(path, "rb");
  return f ? Stream(f, mode, true) : Stream();
}

Stream Stream::open_write(const char* path, Mode mode) {
  std::FILE* f = std::fopen(path, "wb");
  return f ? Stream(f, mode, true) : Stream();
}

Stream Stream::temporary() {
  std::FILE* f = std::tmpfile();
  return f ? Stream(f, Mode::binary, true) : Stream();
}

Stream Stream::adopt(std::FILE* file, Mode mode, bool close_on_destroy) {
  return file ? Stream(file, mode, close_on_destroy) : Stream();
}

bool Stream::refill() {
  reading_ = true;
  pos_ = 0;
  len_ = error_ ? 0 : std::fread(buf_.get(), 1, kBufferSize, file_);
  if (len_ == 0) {
    if (std::ferror(file_)) error_ = true;
    at_end_ = true;
    return false;
  }
  return true;
}

int Stream::get_slow() {
  if (!file_) return end;
  if (pushed_ >= 0) return std::exchange(pushed_, -1);
  if (writing_) {
    // Reading right after writing: continue at the same place in the file.
    if (flush() != 0) return end;
    writing_ = false;
    len_ = pos_ = 0;
  }
  if (pos_ >= len_ && !refill()) return end;
  const int c = static_cast<unsigned char>(buf_[pos_++]);
  if (c != '\r' || mode_ == Mode::binary) return c;
  // A CR may be the last byte of the buffer: look at the next block before deciding.
  if (pos_ >= len_ && !refill()) return c;
  if (buf_[pos_] == '\n') {
    ++pos_;
    return '\n';
  }
  return c;
}

bool Stream::start_writing() {
  if (!file_ || error_) return false;
  if (writing_) return true;
  // Writing after reading: the file position is past the buffered bytes not yet read.
  if (reading_) {
    const long unread = static_cast<long>(len_ - pos_) + (pushed_ >= 0 ? 1 : 0);
    if (std::fseek(file_, -unread, SEEK_CUR) != 0) {
      error_ = true;
      return false;
    }
    reading_ = false;
  }
  pushed_ = -1;
  pos_ = len_ = 0;
  at_end_ = false;
  writing_ = true;
  return true;
}

int Stream::raw_put(char c) {
  if (len_ == kBufferSize && flush() != 0) return end;
  buf_[len_++] = c;
  return static_cast<unsigned char>(c);
}

int Stream::put_slow(int c) {
  if (!start_writing()) return end;
  if (c == '\n' && mode_ == Mode::text && raw_put('\r') == end) return end;
  return raw_put(static_cast<char>(c));
}

int Stream::write(const void* data, std::size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i)
    if (put(bytes[i]) == end) return end;
  return static_cast<int>(n);
}

int Stream::flush() {
  if (!file_) return -1;
  if (writing_ && len_ > 0) {
    if (!error_ && std::fwrite(buf_.get(), 1, len_, file_) != len_) error_ = true;
    len_ = 0;
  }
  if (writing_ && !error_ && std::fflush(file_) != 0) error_ = true;
  // A failed stream takes no more bytes: put() then goes the slow way and refuses them.
  if (error_) writing_ = false;
  return error_ ? -1 : 0;
}

int Stream::rewind() {
  if (!file_) return -1;
  if (writing_) flush();
  writing_ = reading_ = false;
  pos_ = len_ = 0;
  pushed_ = -1;
  at_end_ = false;
  if (std::fseek(file_, 0, SEEK_SET) != 0) error_ = true;
  return error_ ? -1 : 0;
}

int Stream::close() {
  if (!file_) return 0;
  if (writing_) flush();
  if (owned_ && std::fclose(file_) != 0) error_ = true;
  file_ = nullptr;
  const int result = error_ ? -1 : 0;
  buf_.reset();
  pos_ = len_ = 0;
  writing_ = false;
  pushed_ = -1;
  return result;
}

}  // namespace tsd
