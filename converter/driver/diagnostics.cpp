#include "diagnostics.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/stream.h"

namespace tarvex {

void DiagnosticSink::report_reason(const char* path, int saved_errno) const {
  if (!tell || saved_errno == 0) return;
  tell(user, Diagnostic{Diagnostic::Kind::reason, path, 0, 0, std::strerror(saved_errno)});
}

PlaceReader::PlaceReader(tsd::Stream bytes) : stream_(std::move(bytes)), from_stream_(true) {}

PlaceReader::PlaceReader(std::string_view bytes) : held_(bytes) {}

// The next bytes of the source, not yet consumed; none at its end or after a read error. Pulled by callers
// that read bytes held in memory the same way, a stretch at a time: no loop of its own for run_windows.
std::span<const unsigned char> PlaceReader::chunk() {
  if (!from_stream_) {
    if (read_ >= held_.size()) return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(held_.data());
    return {bytes + read_, static_cast<std::size_t>(held_.size() - read_)};
  }
  if (single_waiting_) return {&single_, 1};
  if (const auto window = stream_.window(); !window.empty()) return window;
  // An empty window only means that the buffer is used up: get() reads the next block.
  const int c = stream_.get();
  if (c == tsd::Stream::end) return {};
  single_ = static_cast<unsigned char>(c);
  single_waiting_ = true;
  return {&single_, 1};
}

void PlaceReader::consume(std::size_t n) {
  read_ += n;
  if (!from_stream_ || n == 0) return;
  if (single_waiting_)
    single_waiting_ = false;
  else
    stream_.advance(n);
}

int PlaceReader::restart() {
  if (from_stream_ && stream_.rewind() != 0) return -1;
  single_waiting_ = false;
  read_ = base_ = at_ = line_start_ = continuations_ = 0;
  window_.clear();
  line_ = 1;
  return 0;
}

// Counts the lines up to `offset` (or the end): through the kept bytes, then straight from the source,
// keeping none of them.
void PlaceReader::count_to(std::uint64_t offset) {
  for (; at_ < offset && at_ < read_; ++at_) {
    const auto c = static_cast<unsigned char>(window_[at_ - base_]);
    if (c == '\n') {
      ++line_;
      line_start_ = at_ + 1;
      continuations_ = 0;
    } else if (is_continuation(c)) {
      ++continuations_;
    }
  }
  if (at_ == read_) {
    window_.clear();
    base_ = read_;
  } else if (at_ - base_ > window_.size() / 2) {
    // Dropped only once they are half the window, so that a long text is not moved for each problem in it.
    window_.erase(0, at_ - base_);
    base_ = at_;
  }
  while (at_ < offset) {
    const auto bytes = chunk();
    if (bytes.empty()) break;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), offset - at_));
    const unsigned char* const begin = bytes.data();
    std::size_t line_from = 0;
    for (const void* lf = std::memchr(begin, '\n', n); lf;) {
      const auto after = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - begin) + 1;
      ++line_;
      line_start_ = at_ + after;
      line_from = after;
      continuations_ = 0;
      lf = after < n ? std::memchr(begin + after, '\n', n - after) : nullptr;
    }
    continuations_ += static_cast<std::uint64_t>(std::count_if(begin + line_from, begin + n, is_continuation));
    consume(n);
    at_ += n;
    base_ = read_;
  }
}

// Reads on to keep every byte up to `last` (or the end).
void PlaceReader::keep_through(std::uint64_t last) {
  while (read_ <= last) {
    const auto bytes = chunk();
    if (bytes.empty()) break;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), last - read_ + 1));
    window_.append(reinterpret_cast<const char*>(bytes.data()), n);
    consume(n);
  }
}

int PlaceReader::find(std::uint64_t first, std::uint64_t last, Place& place, std::string& text) {
  if (!usable() || (first < at_ && restart() != 0)) return -1;
  if (!mark_known_) {
    keep_through(2);
    mark_ = window_.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    mark_known_ = true;
  }
  count_to(first);
  keep_through(last);
  if (from_stream_ && stream_.error()) return -1;
  const std::uint64_t start = line_ == 1 ? std::min(first, mark_) : line_start_;
  // Counting characters, the bytes that continue a UTF-8 character take no column (nor does the mark).
  std::uint64_t continuations = characters_ ? continuations_ : 0;
  if (line_ == 1 && first >= mark_) continuations -= std::min<std::uint64_t>(continuations, mark_ ? 2 : 0);
  place = Place{line_, static_cast<int>(first - start + 1 - continuations)};
  text.clear();
  for (std::uint64_t at = first; at <= last && at < read_; ++at)
    if (window_[at - base_] != '\r') text += window_[at - base_];
  return 0;
}

std::string grouped(std::int64_t count) {
  const std::string digits = std::to_string(count < 0 ? -count : count);
  std::string out = count < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace tarvex
