#include "lent_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <thread>

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
