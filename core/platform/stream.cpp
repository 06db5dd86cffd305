#include "platform/stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace tsd {

namespace {

#ifdef _WIN32

void untranslated(std::FILE* file) {
  _setmode(_fileno(file), _O_BINARY);
}

// A file in the user's temporary folder that the system deletes when its last handle closes, even when
// the program ends abruptly (the C library's tmpfile would create it in the root of the current drive).
std::FILE* anonymous_file() {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  char path[MAX_PATH + 1];
  if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "tsd", 0, path) == 0) return nullptr;
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileA(path);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (file == nullptr) _close(fd);
  return file;
}

#else

void untranslated(std::FILE*) {}

std::FILE* anonymous_file() {
  return std::tmpfile();
}

#endif

}  // namespace

void binary_stdio() {
  untranslated(stdin);
  untranslated(stdout);
  untranslated(stderr);
}

Stream::Stream(std::FILE* file, Mode mode, bool owned, bool cleared)
    : file_(file),
      owned_(owned),
      cr_(mode == Mode::text ? '\r' : -1),
      lf_(mode == Mode::text ? '\n' : -1),
      buf_(cleared ? new unsigned char[kBufferSize + kWindowSlack]()
                   : new unsigned char[kBufferSize + kWindowSlack]) {}

Stream::Stream(Stream&& other) noexcept {
  *this = std::move(other);
}

Stream& Stream::operator=(Stream&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
    owned_ = other.owned_;
    cr_ = other.cr_;
    lf_ = other.lf_;
    buf_ = std::move(other.buf_);
    read_ = std::exchange(other.read_, nullptr);
    read_end_ = std::exchange(other.read_end_, nullptr);
    held_end_ = std::exchange(other.held_end_, nullptr);
    pushed_ = std::exchange(other.pushed_, -1);
    block_start_ = std::exchange(other.block_start_, nullptr);
    block_offset_ = std::exchange(other.block_offset_, 0);
    block_size_ = std::exchange(other.block_size_, 0);
    window_end_ = std::exchange(other.window_end_, nullptr);
    reading_ = std::exchange(other.reading_, false);
    write_ = std::exchange(other.write_, nullptr);
    write_end_ = std::exchange(other.write_end_, nullptr);
    error_ = std::exchange(other.error_, false);
    at_end_ = std::exchange(other.at_end_, false);
    kept_ = std::exchange(other.kept_, nullptr);
    spooled_ = std::exchange(other.spooled_, false);
    memory_ = std::exchange(other.memory_, false);
    spool_ = std::move(other.spool_);
    spool_size_ = std::exchange(other.spool_size_, 0);
    spool_capacity_ = std::exchange(other.spool_capacity_, 0);
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
  std::FILE* f = anonymous_file();
  if (!f) return Stream();
  Stream s(f, Mode::binary, true);
  s.spooled_ = true;
  return s;
}

Stream Stream::holding(std::string_view bytes, Mode mode) {
  Stream s = temporary();
  if (!s.is_open()) return s;
  // Written untranslated, then read in the mode asked.
  s.write(bytes.data(), bytes.size());
  s.cr_ = mode == Mode::text ? '\r' : -1;
  s.lf_ = mode == Mode::text ? '\n' : -1;
  s.rewind();
  return s;
}

Stream Stream::memory(Mode mode) {
  Stream s(nullptr, mode, true, false);
  s.spooled_ = s.memory_ = true;
  return s;
}

std::string_view Stream::held() {
  if (!memory_ || flush() != 0 || !spool_) return {};
  return {reinterpret_cast<const char*>(spool_.get()), spool_size_};
}

// Keeps written bytes in memory, or moves everything to the file once memory would hold too many.
bool Stream::spool(const unsigned char* bytes, std::size_t n) {
  if (spool_size_ + n > spool_capacity_ && !grow_spool(spool_size_ + n)) {
    if (!unspool()) return false;
    if (std::fwrite(bytes, 1, n, file_) != n) error_ = true;
    return !error_;
  }
  std::memcpy(spool_.get() + spool_size_, bytes, n);
  spool_size_ += n;
  return true;
}

bool Stream::grow_spool(std::size_t needed) {
  if (needed > kSpoolLimit && !memory_) return false;
  // realloc moves large blocks by remapping their pages, not by copying them.
  const std::size_t capacity = std::max({spool_capacity_ * 2, needed, kBufferSize});
  void* grown = std::realloc(spool_.get(), capacity + kWindowSlack);
  if (!grown) return false;
  (void)spool_.release();
  spool_.reset(static_cast<unsigned char*>(grown));
  spool_capacity_ = capacity;
  return true;
}

// Writes the spooled bytes to the file, which from then on is an ordinary one; the file position ends
// after them.
bool Stream::unspool() {
  if (!spooled_) return true;
  if (memory_) {
    error_ = true;
    return false;
  }
  spooled_ = false;
  if (!error_ && spool_size_ > 0 && std::fwrite(spool_.get(), 1, spool_size_, file_) != spool_size_)
    error_ = true;
  spool_.reset();
  spool_size_ = spool_capacity_ = 0;
  return !error_;
}

Stream Stream::adopt(std::FILE* file, Mode mode, bool close_on_destroy) {
  if (!file) return Stream();
  untranslated(file);
  return Stream(file, mode, close_on_destroy);
}

void Stream::reset_window() {
  read_ = read_end_ = held_end_ = window_end_ = nullptr;
  pushed_ = -1;
  write_ = write_end_ = nullptr;
}

void Stream::find_window_end() {
  const void* cr = std::memchr(read_, cr_, static_cast<std::size_t>(read_end_ - read_));
  window_end_ = cr ? static_cast<const unsigned char*>(cr) : read_end_;
}

bool Stream::refill() {
  reading_ = true;
  // Past its spooled bytes a spooled file has nothing to read.
  const std::size_t n = error_ || spooled_ ? 0 : std::fread(buf_.get(), 1, kBufferSize, file_);
  block_offset_ += block_size_;
  block_start_ = buf_.get();
  block_size_ = n;
  read_ = buf_.get();
  read_end_ = read_ + n;
  window_end_ = nullptr;
  if (kept_) kept_->append(reinterpret_cast<const char*>(buf_.get()), n);
  if (n == 0) {
    if (file_ && std::ferror(file_)) error_ = true;
    at_end_ = true;
    return false;
  }
  return true;
}

std::size_t Stream::peek(unsigned char* into, std::size_t n) {
  if (!is_open() || writing()) return 0;
  std::size_t count = 0;
  if (pushed_ >= 0 && n > 0) into[count++] = static_cast<unsigned char>(pushed_);
  const unsigned char* at = read_;
  const unsigned char* const stop = pushed_ >= 0 ? held_end_ : read_end_;
  if (at >= stop && pushed_ < 0) {
    if (!refill()) return 0;
    return peek(into, n);
  }
  while (count < n && at < stop) {
    if (*at == cr_ && at + 1 < stop && at[1] == '\n') ++at;
    into[count++] = *at++;
  }
  return count;
}

int Stream::get_slow() {
  if (!is_open()) return end;
  if (pushed_ >= 0) {
    read_end_ = held_end_;
    return std::exchange(pushed_, -1);
  }
  if (writing()) {
    // Reading right after writing: continue at the same place in the file.
    if (flush() != 0) return end;
    write_ = write_end_ = nullptr;
  }
  if (read_ >= read_end_ && !refill()) return end;
  const int c = *read_++;
  if (c != cr_) return c;
  // A CR may be the last byte of the buffer: look at the next block before deciding.
  if (read_ >= read_end_ && !refill()) return c;
  if (*read_ == '\n') {
    ++read_;
    return '\n';
  }
  return c;
}

void Stream::stop_reading() {
  read_ = read_end_ = held_end_ = window_end_ = nullptr;
  pushed_ = -1;
  reading_ = false;
}

bool Stream::start_writing() {
  if (!is_open() || error_) return false;
  if (writing()) return true;
  if (reading_) {
    // Writing after reading: the file position is past the buffered bytes not yet read. Spooled bytes
    // go to the file first, so that the position is the same.
    const unsigned char* buffered_end = pushed_ >= 0 ? held_end_ : read_end_;
    const long unread = static_cast<long>(buffered_end - read_) + (pushed_ >= 0 ? 1 : 0);
    if (!unspool() || std::fseek(file_, -unread, SEEK_CUR) != 0) {
      error_ = true;
      return false;
    }
  }
  stop_reading();
  at_end_ = false;
  if (memory_) return open_spool_room();
  write_ = buf_.get();
  write_end_ = write_ + kBufferSize;
  return true;
}

// A memory stream is written in place at the end of its spool, a buffer's worth of room at least: its
// bytes are then copied once, not through the buffer.
bool Stream::open_spool_room() {
  if (spool_capacity_ - spool_size_ < kBufferSize && !grow_spool(spool_size_ + kBufferSize)) {
    error_ = true;
    write_ = write_end_ = nullptr;
    return false;
  }
  write_ = spool_.get() + spool_size_;
  write_end_ = spool_.get() + spool_capacity_;
  return true;
}

int Stream::put_slow(int c) {
  if (!start_writing()) return end;
  if (c == lf_) {
    if (write_end_ - write_ < 2 && flush() != 0) return end;
    *write_++ = '\r';
  } else if (write_ == write_end_ && flush() != 0) {
    return end;
  }
  *write_++ = static_cast<unsigned char>(c);
  return c & 0xFF;
}

int Stream::write_slow(const void* data, std::size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  // A block as large as the buffer goes past it, saving a copy; text mode must look at every byte, and a
  // memory stream takes it in place below.
  if (lf_ < 0 && n >= kBufferSize && !memory_) {
    if (!start_writing() || flush() != 0) return end;
    deliver(bytes, n);
    return flush() == 0 ? static_cast<int>(n) : end;
  }
  const auto* const stop = bytes + n;
  while (bytes < stop) {
    if (!start_writing()) return end;
    // Copy the run up to the next byte that text mode expands, as much as the buffer takes.
    const auto* run_end =
        lf_ < 0 ? stop : static_cast<const unsigned char*>(std::memchr(bytes, lf_, stop - bytes));
    if (!run_end) run_end = stop;
    while (bytes < run_end) {
      if (write_ == write_end_ && flush() != 0) return end;
      const std::size_t chunk = std::min<std::size_t>(run_end - bytes, write_end_ - write_);
      std::memcpy(write_, bytes, chunk);
      write_ += chunk;
      bytes += chunk;
    }
    if (bytes < stop && put_slow(*bytes++) == end) return end;
  }
  return error_ ? end : static_cast<int>(n);
}

int Stream::flush() {
  if (!is_open()) return -1;
  if (writing() && memory_) {
    spool_size_ = static_cast<std::size_t>(write_ - spool_.get());
    open_spool_room();
  } else if (writing()) {
    deliver(buf_.get(), static_cast<std::size_t>(write_ - buf_.get()));
    if (!error_ && file_ && std::fflush(file_) != 0) error_ = true;
    write_ = buf_.get();
    // A failed stream takes no more bytes: put() then goes the slow way and refuses them.
    if (error_) write_ = write_end_ = nullptr;
  }
  return error_ ? -1 : 0;
}

void Stream::deliver(const unsigned char* bytes, std::size_t n) {
  if (error_ || n == 0) return;
  if (spooled_)
    spool(bytes, n);
  else if (std::fwrite(bytes, 1, n, file_) != n)
    error_ = true;
}

// Neither reading nor writing, nothing buffered, the next block read the file's first.
void Stream::forget_position() {
  reset_window();
  reading_ = false;
  at_end_ = false;
  block_start_ = nullptr;
  block_offset_ = 0;
  block_size_ = 0;
}

int Stream::rewind() {
  if (!is_open()) return -1;
  if (writing()) flush();
  forget_position();
  if (!spooled_) {
    if (std::fseek(file_, 0, SEEK_SET) != 0) error_ = true;
  } else if (!error_) {
    // The spooled bytes are read where they lie, with no seek: the file holds no byte yet and its
    // position is its start. Past them, the file reports the end.
    if (spool_) std::memset(spool_.get() + spool_size_, 0, kWindowSlack);
    read_ = block_start_ = spool_.get();
    read_end_ = read_ + spool_size_;
    block_size_ = spool_size_;
    reading_ = true;
  }
  return error_ ? -1 : 0;
}

int Stream::empty() {
  if (!is_open() || !spooled_ || error_) return -1;
  forget_position();
  spool_size_ = 0;
  return 0;
}

int Stream::close() {
  if (!is_open()) return 0;
  if (writing()) flush();
  if (file_ && owned_ && std::fclose(file_) != 0) error_ = true;
  file_ = nullptr;
  memory_ = false;
  reset_window();
  buf_.reset();
  spool_.reset();
  spooled_ = false;
  spool_size_ = spool_capacity_ = 0;
  return error_ ? -1 : 0;
}

}  // namespace tsd
