// A fixed table of `Size` entries lent to one user at a time and given back empty: readers made by the
// thousand (short files, tests, fuzzing) then cost no fresh allocation, zeroed and faulted in page by page,
// each. The tables given back wait in a small pool shared by the threads; a user who finds none there gets
// one of its own. Only the blocks of entries that the user reached are emptied when the table comes back,
// so that a short text pays for the few places it used, not for the whole table.
// Reads and writes nothing but the table.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace tarvex {

template <class Entry, std::size_t Size>
class LentTable {
 public:
  LentTable() {
    Pool& pool = spares();
    {
      const std::lock_guard<std::mutex> lock(pool.mutex);
      if (!pool.tables.empty()) {
        entries_ = std::move(pool.tables.back());
        pool.tables.pop_back();
      }
    }
    if (!entries_) entries_ = std::make_unique<Entry[]>(Size);
  }
  ~LentTable() {
    if (!entries_) return;
    for (std::size_t b = 0; b < kBlocks; ++b)
      if (reached_[b])
        std::fill(entries_.get() + b * kBlock, entries_.get() + std::min(Size, (b + 1) * kBlock), Entry{});
    Pool& pool = spares();
    const std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.tables.size() < kSpares) pool.tables.push_back(std::move(entries_));
  }
  LentTable(const LentTable&) = delete;
  LentTable& operator=(const LentTable&) = delete;

  Entry& operator[](std::size_t i) {
    reached_[i / kBlock] = true;
    return entries_[i];
  }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  // The entry at i, for reading or for changing an entry written before through operator[] (its block is
  // marked already): no mark to store on a path taken for every look-up.
  Entry& written(std::size_t i) { return entries_[i]; }
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

  // As many tables as users at once on a machine with many cores keep waiting; more are freed.
  static constexpr std::size_t kSpares = 16;
  // Shared by the threads rather than one spare a thread: a thread_local with a destructor was freed after
  // its own storage on MinGW's threads (the emulated thread-local storage goes first), a crash at the end
  // of every thread that had used one.
  struct Pool {
    std::mutex mutex;
    std::vector<std::unique_ptr<Entry[]>> tables;
  };
  static Pool& spares() {
    static Pool pool;
    return pool;
  }
  std::unique_ptr<Entry[]> entries_;
  std::array<bool, kBlocks> reached_{};  // blocks that may hold what the user wrote
};

}  // namespace tarvex
