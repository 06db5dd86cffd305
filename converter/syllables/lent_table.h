// A fixed table of `Size` entries that each thread lends to one user at a time and gets back empty: readers
// made by the thousand (short files, tests, fuzzing) then cost no fresh allocation, zeroed and faulted in
// page by page, each. A second user while the first holds the table gets one of its own.
// Reads and writes nothing but the table.
#pragma once

#include <algorithm>
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
    std::fill(begin(), end(), Entry{});
    spare() = std::move(entries_);
  }
  LentTable(const LentTable&) = delete;
  LentTable& operator=(const LentTable&) = delete;

  Entry& operator[](std::size_t i) { return entries_[i]; }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  Entry* begin() { return entries_.get(); }
  Entry* end() { return entries_.get() + Size; }

 private:
  static std::unique_ptr<Entry[]>& spare() {
    thread_local std::unique_ptr<Entry[]> table;
    return table;
  }
  std::unique_ptr<Entry[]> entries_;
};

}  // namespace tarvex
