// Places of offsets in bytes held whole: the plain reckoning that the place reader, which reads a file
// once without holding it, must agree with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace h2test {

// Lines end at LF (a CR LF is one line end); a UTF-8 byte-order mark at the very start takes no column.
class LineIndex {
 public:
  explicit LineIndex(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.rfind("\xEF\xBB\xBF", 0) == 0) mark_ = 3;
    starts_.push_back(0);
    for (std::size_t at = bytes_.find('\n'); at != std::string::npos; at = bytes_.find('\n', at + 1))
      starts_.push_back(at + 1);
  }

  tarvex::Place place(std::uint64_t offset) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const auto line = static_cast<std::size_t>(after - starts_.begin());
    std::uint64_t start = starts_[line - 1];
    if (line == 1) start = std::min(offset, mark_);
    return tarvex::Place{static_cast<int>(line), static_cast<int>(offset - start + 1)};
  }

  // The bytes from `first` to `last` included, without CRs.
  std::string text(std::uint64_t first, std::uint64_t last) const {
    std::string out;
    for (std::uint64_t at = first; at <= last && at < bytes_.size(); ++at)
      if (bytes_[at] != '\r') out += bytes_[at];
    return out;
  }

 private:
  std::string bytes_;
  std::vector<std::uint64_t> starts_;
  std::uint64_t mark_ = 0;
};

}  // namespace h2test
