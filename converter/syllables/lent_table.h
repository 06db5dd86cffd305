// A fixed table of `Size` entries that each thread lends to one user at a time and gets back empty: readers
// made by the thousand (short files, tests, fuzzing) then cost no fresh allocation, zeroed and faulted in
// page by page, each. A second user while the first holds the table gets one of its own. Only the blocks
// of entries that the user reached are emptied when the table comes back, so that a short text pays for
// the few places it used, not for the whole table.
// Reads and writes nothing but the table.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

namespace tarvex {

template <class Entry, std::size_t Size>
class LentTable {
 public:
  LentTable() : entries_(std::move(spare())) {
    if (!entries_) entries_ = std::make_unique<Entry[]>(Size);
  }
  ~LentTable() {
    if (!entries_ || spare()) return;
    for (std::size_t b = 0; b < kBlocks; ++b)
      if (reached_[b])
        std::fill(entries_.get() + b * kBlock, entries_.get() + std::min(Size, (b + 1) * kBlock), Entry{});
    spare() = std::move(entries_);
  }
  LentTable(const LentTable&) = delete;
  LentTable& operator=(const LentTable&) = delete;

  Entry& operator[](std::size_t i) {
    reached_[i / kBlock] = true;
    return entries_[i];
  }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  Entry* begin() {
    reached_.fill(true);
    return entries_.get();
  }
  Entry* end() { return entries_.get() + Size; }
  // Where the entries start, for telling an entry's place from its address.
  const Entry* data() const { return entries_.get(); }

 private:
  static constexpr std::size_t kBlock = 64;  // entries emptied together
  static constexpr std::size_t kBlocks = (Size + kBlock - 1) / kBlock;

  static std::unique_ptr<Entry[]>& spare() {
    thread_local std::unique_ptr<Entry[]> table;
    return table;
  }
  std::unique_ptr<Entry[]> entries_;
  std::array<bool, kBlocks> reached_{};  // blocks that may hold what the user wrote
};

}  // namespace tarvex
