// Offsets in text read in text mode, where a CR LF is read as one line feed, made offsets in the text's
// own bytes, where it is two: whoever reads the text notes where each such line feed was read, and each
// adds one to the offsets after it. Every place found in what was read is told in the input's own bytes
// through this, by the driver, the text readers and the fast path alike; WindowOffsets does it for a
// window that slides over the text. Reads and writes nothing but itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tsd {

class CrLfOffsets {
 public:
  // The line feeds of the CR LFs of `bytes`, as text mode reads them.
  static CrLfOffsets of(std::string_view bytes) {
    CrLfOffsets offsets;
    for (std::size_t at = bytes.find("\r\n"); at != std::string_view::npos; at = bytes.find("\r\n", at + 2))
      offsets.note(at - offsets.line_feeds_.size());
    return offsets;
  }

  // The line feed read at `at` (each after the one noted before) stood for a CR LF.
  void note(std::uint64_t at) { line_feeds_.push_back(at); }

  // The offset in the text's own bytes of the byte read at `at`, asked in any order.
  std::uint64_t raw(std::uint64_t at) const {
    const auto before = std::lower_bound(line_feeds_.begin(), line_feeds_.end(), at) - line_feeds_.begin();
    return at + before_ + static_cast<std::uint64_t>(before);
  }
  // The same, asked in ascending order since the last forget_before(): counted on from the last one asked.
  std::uint64_t raw_ascending(std::uint64_t at) {
    while (counted_ < line_feeds_.size() && line_feeds_[counted_] < at) ++counted_;
    return at + before_ + counted_;
  }
  // No offset before `at` is asked any more: the line feeds before it are kept only as their number.
  void forget_before(std::uint64_t at) {
    const auto before = std::lower_bound(line_feeds_.begin(), line_feeds_.end(), at);
    before_ += static_cast<std::uint64_t>(before - line_feeds_.begin());
    line_feeds_.erase(line_feeds_.begin(), before);
    counted_ = 0;
  }

 private:
  std::vector<std::uint64_t> line_feeds_;
  std::uint64_t before_ = 0;  // the line feeds forgotten
  std::size_t counted_ = 0;   // of those kept, before the last offset asked in ascending order
};

// The input offsets of the bytes of a read window that slides over a text read in text mode: the fast
// path's input window and the text readers' window. Bytes are counted by their index from where reading
// started; those before consumed() have left the window.
class WindowOffsets {
 public:
  // Reading starts at the input's offset `raw`.
  void start(std::uint64_t raw) { raw_start_ = raw; }
  // The line feed read at index `at` stood for a CR LF.
  void crlf_at(std::uint64_t at) { crlf_.note(at); }
  // The next n bytes leave the window: no offset before them is asked any more.
  void drop(std::uint64_t n) {
    consumed_ += n;
    crlf_.forget_before(consumed_);
  }
  std::uint64_t consumed() const { return consumed_; }
  // The input's offset of the byte at index `at`, asked in any order; a CR LF's line feed is at its CR.
  std::uint64_t raw(std::uint64_t at) const { return raw_start_ + crlf_.raw(at); }
  // The same, asked in ascending order since the last drop().
  std::uint64_t raw_ascending(std::uint64_t at) { return raw_start_ + crlf_.raw_ascending(at); }

 private:
  CrLfOffsets crlf_;
  std::uint64_t consumed_ = 0;
  std::uint64_t raw_start_ = 0;
};

}  // namespace tsd
