#include "lent_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <thread>
#include <vector>

namespace {

struct Entry {
  int key = 0;
  int value = 0;
};
using Table = tarvex::LentTable<Entry, 64>;

bool empty(Table& t) {
  for (const Entry& e : t)
    if (e.key != 0 || e.value != 0) return false;
  return true;
}

void fill(Table& t, int with) {
  for (std::size_t i = 0; i < 64; ++i) t[i] = {with, static_cast<int>(i)};
}

// Each borrower finds the table as a new one would be, whatever the one before it left there.
TEST(lent_table, every_borrower_finds_it_empty) {
  const struct {
    const char* name;
    int fills;  // borrowers in turn, each filling the table before it gives it back
  } cases[] = {{"first", 0}, {"after one", 1}, {"after many", 5}};
  for (const auto& c : cases) {
    for (int i = 0; i < c.fills; ++i) {
      Table t;
      fill(t, i + 1);
    }
    Table t;
    EXPECT_TRUE(empty(t)) << c.name;
  }
}

// A table of many blocks (the last one short), of which a borrower writes a few places: the next finds every
// place empty, however the places it wrote lie among the blocks.
using LargeTable = tarvex::LentTable<Entry, 1000>;

TEST(lent_table, the_places_a_borrower_wrote_are_empty_for_the_next) {
  const struct {
    const char* name;
    std::vector<std::size_t> places;
    bool through_iteration;  // written by walking the table rather than by place
  } cases[] = {
      {"the first place", {0}, false},
      {"the last place, in the short block", {999}, false},
      {"the ends of two neighbouring blocks", {63, 64}, false},
      {"places far apart", {5, 130, 517, 960}, false},
      {"every place, walking the table", {}, true},
  };
  for (const auto& c : cases) {
    {
      LargeTable t;
      for (const std::size_t i : c.places) t[i] = {7, static_cast<int>(i) + 1};
      if (c.through_iteration)
        for (Entry& e : t) e = {8, 9};
    }
    LargeTable t;
    bool all_empty = true;
    for (const Entry& e : t) all_empty = all_empty && e.key == 0 && e.value == 0;
    EXPECT_TRUE(all_empty) << c.name;
  }
}

TEST(lent_table, borrowers_at_once_have_tables_of_their_own) {
  Table first;
  Table second;
  fill(first, 7);
  EXPECT_NE(&first[0], &second[0]);
  EXPECT_TRUE(empty(second));
  first[3].value = 99;
  EXPECT_EQ(second[3].value, 0);
}

TEST(lent_table, threads_have_tables_of_their_own) {
  Table here;
  fill(here, 5);
  bool other_empty = false;
  const Entry* other_place = nullptr;
  std::thread([&] {
    Table there;
    other_empty = empty(there);
    other_place = &there[0];
  }).join();
  EXPECT_TRUE(other_empty);
  EXPECT_NE(other_place, &here[0]);
}

// Threads that borrow, fill and give back tables at once, then end: each borrower has a table to itself,
// finds it empty, and the tables given back outlive the threads that gave them (one spare a thread, freed
// as the thread ended, crashed there on MinGW). Entries aligned beyond the allocator's default, as the
// readers' cache entries are, take the aligned allocation's path.
struct alignas(64) WideEntry {
  int key = 0;
  int value = 0;
};
using WideTable = tarvex::LentTable<WideEntry, 256>;

TEST(lent_table, tables_given_back_by_ended_threads_serve_the_next_ones) {
  for (const int threads : {1, 4, 8}) {
    for (int round = 0; round < 3; ++round) {
      std::vector<std::thread> running;
      std::vector<int> faults(static_cast<std::size_t>(threads), 0);
      for (int k = 0; k < threads; ++k)
        running.emplace_back([&faults, k] {
          for (int turn = 0; turn < 20; ++turn) {
            WideTable t;
            for (const WideEntry& e : t)
              if (e.key != 0 || e.value != 0) ++faults[static_cast<std::size_t>(k)];
            for (std::size_t i = 0; i < 256; ++i) t[i] = {k + 1, turn + 1};
            for (std::size_t i = 0; i < 256; ++i)
              if (t[i].key != k + 1 || t[i].value != turn + 1) ++faults[static_cast<std::size_t>(k)];
          }
        });
      for (std::thread& t : running) t.join();
      for (int k = 0; k < threads; ++k) EXPECT_EQ(faults[static_cast<std::size_t>(k)], 0) << threads << " threads";
    }
  }
  WideTable after;
  bool empty_after = true;
  for (const WideEntry& e : after) empty_after = empty_after && e.key == 0 && e.value == 0;
  EXPECT_TRUE(empty_after);
}

}  // namespace
