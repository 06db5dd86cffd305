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

LineIndex::LineIndex(std::string bytes) : bytes_(std::move(bytes)) {
  if (bytes_.rfind("\xEF\xBB\xBF", 0) == 0) mark_ = 3;
  starts_.push_back(0);
  for (std::size_t at = bytes_.find('\n'); at != std::string::npos; at = bytes_.find('\n', at + 1))
    starts_.push_back(at + 1);
}

Place LineIndex::place(std::uint64_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  const auto line = static_cast<std::size_t>(after - starts_.begin());
  std::uint64_t start = starts_[line - 1];
  if (line == 1) start = std::min(offset, mark_);
  return Place{static_cast<int>(line), static_cast<int>(offset - start + 1)};
}

std::string LineIndex::text(std::uint64_t first, std::uint64_t last) const {
  std::string out;
  for (std::uint64_t at = first; at <= last && at < bytes_.size(); ++at)
    if (bytes_[at] != '\r') out += bytes_[at];
  return out;
}

std::string read_bytes(const char* path) {
  tsd::Stream in = tsd::Stream::open_read(path, tsd::Stream::Mode::binary);
  std::string bytes;
  for (int c; in.is_open() && (c = in.get()) != tsd::Stream::end;) bytes += static_cast<char>(c);
  return bytes;
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
