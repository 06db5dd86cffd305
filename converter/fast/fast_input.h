// The fast path's input window: reads the input (text mode) a block at a time into a buffer that keeps the
// byte before its text, with slack after it, and tells where each byte of the buffer lies in the input's
// own bytes (a CR LF counts two). Reads the input stream; writes nothing but its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/crlf_offsets.h"
#include "platform/stream.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

class InputWindow {
 public:
  static constexpr std::size_t kChunk = 1 << 20;
  static constexpr std::size_t kSlack = 32;

  // With `places`, it notes the CR LFs read, for input_offset().
  InputWindow(tsd::Stream& in, bool places)
      : in_(in),
        places_(places),
        // The byte before the text, the text and its slack, and what marking word ends reads past them.
        buf_(new unsigned char[1 + kChunk + kSlack + 16]) {
    buf_[0] = '\n';  // the start of the input is a syllable start, after no "g"
  }

  // The text read, after the byte before it.
  unsigned char* text() const { return text_; }
  bool error() const { return in_.error(); }
  // The input's offset where the scan starts (after a byte-order mark the driver stepped over).
  void start() { offsets_.start(in_.read_offset()); }

  // Reads up to `room` bytes of the input, handing each run to `take`; `at` counts the first as the
  // buffer's bytes are counted. False when the input ended first.
  template <typename Take>
  bool read(std::size_t room, std::uint64_t at, Take take) {
    if (room == 0) return true;
    std::size_t got = 0;
    return !tsd::run_windows(
        in_,
        [&](const unsigned char* p, std::size_t size) {
          const std::size_t n = std::min(size, room - got);
          take(p, n);
          got += n;
          return tsd::WindowUse{n, got < room ? tsd::WindowUse::Next::again : tsd::WindowUse::Next::stop};
        },
        [&](int c, std::uint64_t before) {
          // Text mode reads a CR LF as one line feed: the input's offsets after it are one more.
          if (places_ && c == '\n' && in_.read_offset() - before == 2) offsets_.crlf_at(at + got);
          const auto byte = static_cast<unsigned char>(c);
          take(&byte, 1);
          return ++got < room;
        });
  }

  // The first `used` of the `have` bytes of the text are done with: the rest moves to the front, after
  // the last byte done with.
  void drop(std::size_t used, std::size_t have) {
    if (used > 0) text_[-1] = text_[used - 1];
    std::memmove(text_, text_ + used, have - used);
    offsets_.drop(used);
  }

  // The byte at p counted as the buffer's bytes are: from the scan's start on.
  std::uint64_t index_of(const unsigned char* p) const {
    return offsets_.consumed() + static_cast<std::uint64_t>(p - text_);
  }
  // Where an index lies in the buffer.
  const unsigned char* at_index(std::uint64_t at) const { return text_ + (at - offsets_.consumed()); }
  std::uint64_t consumed() const { return offsets_.consumed(); }
  // The input's own offset of the byte at p, asked in ascending order within a buffer.
  std::uint64_t input_offset(const unsigned char* p) { return offsets_.raw_ascending(index_of(p)); }
  // The same of the byte at index `at`, in any order.
  std::uint64_t input_offset_at(std::uint64_t at) const { return offsets_.raw(at); }

 private:
  tsd::Stream& in_;
  const bool places_;
  std::unique_ptr<unsigned char[]> buf_;
  unsigned char* const text_ = buf_.get() + 1;
  // Where the buffer's bytes lie in the input; those read before its text were consumed.
  tsd::WindowOffsets offsets_;
};

}  // namespace
}  // namespace tarvex::fast
