// The writers' memory of syllables spelled before, by their UTF-8 in the hub: each distinct syllable of up
// to kLongest bytes is spelled and checked once, and its spelling (of up to `Spelled` bytes) copied after.
// Two places for each hash, the one learned last in front; a run of up to 16 bytes is compared as the two
// words it hashes. The places are lent by the thread (memo_table.h): a writer made for each short text
// allocates none. Reads and writes nothing but the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "hub.h"
#include "memo_table.h"

namespace tarvex {

template <std::size_t Spelled>
class RunMemo {
 public:
  struct Entry {
    std::uint64_t head = 0, tail = 0;
    std::uint8_t length = 0;  // of the UTF-8; 0: an empty place
    std::uint8_t spelled_length = 0;
    char text[38];
    char spelled[Spelled];

    std::string_view spelling() const { return {spelled, spelled_length}; }
  };
  static constexpr std::size_t kLongest = sizeof(Entry::text);
  static constexpr std::size_t kLongestSpelled = Spelled;
  static_assert(Spelled < 256);

  // The place for `run` (1 to kLongest bytes): its entry when it holds it, else one to fill, empty until
  // filled.
  Entry& place(std::string_view run, bool& found) {
    const std::size_t n = run.size();
    const HubRunKey key = hub_run_key(run);
    Entry* e = entries_.find(key.hash, [&](const Entry& e) {
      return e.length == n && e.head == key.head && e.tail == key.tail &&
             (n <= 16 || std::memcmp(e.text, run.data(), n) == 0);
    });
    found = e != nullptr;
    if (found) return *e;
    Entry& place = entries_.place(key.hash);
    place.head = key.head;
    place.tail = key.tail;
    place.length = 0;
    return place;
  }
  // Fills the place found for `run` with its spelling (at most kLongestSpelled bytes).
  static void fill(Entry& e, std::string_view run, std::string_view spelling) {
    e.length = static_cast<std::uint8_t>(run.size());
    std::memcpy(e.text, run.data(), run.size());
    e.spelled_length = static_cast<std::uint8_t>(spelling.size());
    std::memcpy(e.spelled, spelling.data(), spelling.size());
  }

 private:
  MemoTable<Entry, MemoShape{12, 2}> entries_;
};

}  // namespace tarvex
