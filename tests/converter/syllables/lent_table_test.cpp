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

}  // namespace
