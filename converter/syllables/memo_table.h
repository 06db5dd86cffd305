// A memo of recent results by their key, for passes, readers and writers that meet the same syllables and
// words again and again: 2^key_bits sets of `ways` places each, in a table lent by the thread
// (lent_table.h), so that one made for each short text allocates nothing. The caller hashes its key (the
// hash's highest key_bits bits choose the set) and says which entry holds it; the table finds the entry
// and says where a new one goes. An entry as default-constructed is an empty place, and must hold no key.
// Reads and writes nothing but the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "lent_table.h"

namespace tarvex {

// Which entry of a full set a new one replaces, and whether entries move.
enum class MemoOrder : unsigned char {
  // A new entry goes first in its set, the others move down one and the last falls out; an entry found
  // stays where it is (the set in the order of learning).
  newest_first,
  // The same, and an entry found moves to the front (the set in the order of use): for sets of many ways
  // where a few of their words are most of the text.
  found_first,
  // Entries never move, so that a place can stand for its entry (a handle); a new entry replaces the one
  // of its pair used less recently. Two ways.
  fixed_places,
  // A new entry takes the first empty place of its set, or the last place of a full one; nothing moves.
  // The words met first, in most texts the commonest, are then found at the first place tried, and a
  // look-up does not turn on which way holds them. The entry tells an empty place (`empty()`); a key is
  // placed only once it was not found (placed again, it would stand behind itself).
  first_free,
};

struct MemoShape {
  int key_bits;  // 2^key_bits sets
  int ways = 1;
  MemoOrder order = MemoOrder::newest_first;
  // A byte of the hash beside each place, compared before its entry is read: for large entries, most of
  // which a look-up need not load.
  bool tags = false;
};

template <class Entry, MemoShape Shape>
class MemoTable {
  static_assert(Shape.key_bits > 0 && Shape.key_bits < 32);
  static_assert(Shape.ways >= 1 && Shape.ways <= 64 && (Shape.ways & (Shape.ways - 1)) == 0,
                "whole sets in a lent table's blocks");
  static_assert(Shape.order != MemoOrder::fixed_places || Shape.ways == 2, "fixed places come in pairs");

 public:
  static constexpr std::size_t kSets = std::size_t{1} << Shape.key_bits;
  static constexpr std::size_t kWays = static_cast<std::size_t>(Shape.ways);
  static constexpr std::size_t kPlaces = kSets * kWays;

  static constexpr std::size_t set_of(std::uint64_t hash) {
    return static_cast<std::size_t>(hash >> (64 - Shape.key_bits));
  }

  // The entry of the set of `hash` for which holds(entry) is true, or null. An entry found may be
  // changed in place.
  template <class Holds>
  [[gnu::always_inline]] Entry* find(std::uint64_t hash, Holds&& holds) {
    return find(hash, holds, [](Entry& e) { return &e; });
  }
  // What take(entry) gives of that entry, or a value-initialised result when there is none: a look-up
  // that wants one field of its entry reads it where it finds it.
  template <class Holds, class Take>
  [[gnu::always_inline]] auto find(std::uint64_t hash, Holds&& holds, Take&& take) {
    const std::size_t first = set_of(hash) * kWays;
    Entry* set = &entries_.written(first);
    if (tag_fits(first, hash) && holds(set[0])) {
      used(first);
      return take(set[0]);
    }
    for (std::size_t i = 1; i < kWays; ++i)
      if (tag_fits(first + i, hash) && holds(set[i])) {
        if constexpr (Shape.order == MemoOrder::found_first) {
          to_front(first, i);
          return take(set[0]);
        }
        used(first + i);
        return take(set[i]);
      }
    return decltype(take(set[0])){};
  }
  // The same without a change to the order of the set.
  template <class Holds>
  [[gnu::always_inline]] const Entry* find(std::uint64_t hash, Holds&& holds) const
      requires(Shape.order != MemoOrder::found_first) {
    const std::size_t first = set_of(hash) * kWays;
    const Entry* set = &entries_[first];
    for (std::size_t i = 0; i < kWays; ++i)
      if (tag_fits(first + i, hash) && holds(set[i])) return set + i;
    return nullptr;
  }

  // The entry that place(hash) would replace.
  const Entry& leaving(std::uint64_t hash) const {
    const std::size_t first = first_of(set_of(hash));
    if constexpr (Shape.order == MemoOrder::fixed_places)
      return entries_[first + victim(hash)];
    else if constexpr (Shape.order == MemoOrder::first_free)
      return entries_[first + free_way(first)];
    else
      return entries_[first + kWays - 1];
  }
  // The place for a new entry of `hash`, holding what it held before (the caller fills it whole, or
  // leaves it holding no key).
  Entry& place(std::uint64_t hash) {
    const std::size_t first = first_of(set_of(hash));
    std::size_t way = victim(hash);
    if constexpr (Shape.order == MemoOrder::fixed_places) {
      recent_[set_of(hash)] = static_cast<std::uint8_t>(way);
    } else if constexpr (Shape.order == MemoOrder::first_free) {
      way = free_way(first);
    } else {
      for (std::size_t i = kWays - 1; i > 0; --i) {
        entries_[first + i] = entries_.written(first + i - 1);
        if constexpr (Shape.tags) tags_[first + i] = tags_.written(first + i - 1);
      }
    }
    if constexpr (Shape.tags) tags_[first + way] = tag_of(hash);
    return entries_[first + way];
  }

  // An entry's place in the table, and the entry at a place (0 to kPlaces - 1); `use` tells the order of
  // fixed places that the entry was used.
  std::size_t index_of(const Entry& e) const { return static_cast<std::size_t>(&e - entries_.data()); }
  Entry& at(std::size_t index) { return entries_.written(index); }
  void use(std::size_t index) { used(index); }

 private:
  static constexpr std::size_t first_of(std::size_t set) { return set * kWays; }
  static constexpr std::uint8_t tag_of(std::uint64_t hash) {
    return static_cast<std::uint8_t>((hash >> 32) | 1);  // never 0, the tag of an empty place
  }
  [[gnu::always_inline]] bool tag_fits(std::size_t index, std::uint64_t hash) const {
    if constexpr (Shape.tags)
      return tags_[index] == tag_of(hash);
    else
      return true;
  }
  [[gnu::always_inline]] void used(std::size_t index) {
    if constexpr (Shape.order == MemoOrder::fixed_places)
      recent_.written(index / kWays) = static_cast<std::uint8_t>(index & 1);
  }
  // The way that a new entry of `hash` takes.
  std::size_t victim(std::uint64_t hash) const {
    if constexpr (Shape.order == MemoOrder::fixed_places)
      return recent_[set_of(hash)] ^ 1u;
    else
      return 0;  // the others moved down to make room
  }
  // The first empty way of the set at `first`, or its last way.
  std::size_t free_way(std::size_t first) const {
    for (std::size_t i = 0; i + 1 < kWays; ++i)
      if (entries_[first + i].empty()) return i;
    return kWays - 1;
  }
  // Moves the entry found at way i of the set at `first` to its front.
  void to_front(std::size_t first, std::size_t i) {
    Entry* set = &entries_.written(first);
    const Entry found = set[i];
    for (std::size_t k = i; k > 0; --k) set[k] = set[k - 1];
    set[0] = found;
    if constexpr (Shape.tags) {
      std::uint8_t* tags = &tags_.written(first);
      const std::uint8_t tag = tags[i];
      for (std::size_t k = i; k > 0; --k) tags[k] = tags[k - 1];
      tags[0] = tag;
    }
  }

  LentTable<Entry, kPlaces> entries_;
  struct None {};
  template <bool Wanted, std::size_t Size>
  using Bytes = std::conditional_t<Wanted, LentTable<std::uint8_t, Size>, None>;
  [[no_unique_address]] Bytes<Shape.tags, kPlaces> tags_;  // 0: nothing kept
  // Of each pair of fixed places, the one used last.
  [[no_unique_address]] Bytes<Shape.order == MemoOrder::fixed_places, kSets> recent_;
};

}  // namespace tarvex
