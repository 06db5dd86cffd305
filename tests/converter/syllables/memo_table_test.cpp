#include "memo_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using tarvex::MemoOrder;
using tarvex::MemoShape;
using tarvex::MemoTable;

// The key is its own hash: its highest four bits choose one of 16 sets, bits 32 to 39 its tag.
struct Entry {
  std::uint64_t key = 0;  // 0: empty (no key used below is 0)
  int value = 0;
  bool empty() const { return key == 0; }
};
constexpr int kBits = 4;
constexpr std::uint64_t key_in(std::uint64_t set, std::uint64_t low) {
  return set << (64 - kBits) | low;
}

enum class Op {
  learn,         // the key placed with `value`
  find,          // found with `value`, or (value 0) not found
  find_const,    // the same, through the look-up that changes nothing
  find_any,      // an entry of the key's set found whatever it holds, by tags alone: `value` as find
  leaving,       // the entry that learning the key would replace holds `value` (0: an empty place)
  kept_in_place  // the place where the key was learned still holds it (value 1) or not (0)
};
struct Step {
  Op op;
  std::uint64_t key;
  int value;
};

// Plays the steps on a new table; the steps that came out otherwise, one line each.
template <MemoShape Shape>
std::string play(const std::vector<Step>& steps) {
  MemoTable<Entry, Shape> table;
  std::map<std::uint64_t, std::size_t> places;
  std::string wrong;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    const auto holds = [&](const Entry& e) { return e.key == s.key; };
    int got = 0;
    switch (s.op) {
      case Op::learn: {
        Entry& e = table.place(s.key);
        e = {s.key, s.value};
        places[s.key] = table.index_of(e);
        continue;
      }
      case Op::find:
        if (const Entry* e = table.find(s.key, holds)) got = e->value;
        break;
      case Op::find_const:
        // A table that orders its sets by use has only the look-up that may.
        if constexpr (Shape.order != MemoOrder::found_first) {
          if (const Entry* e = std::as_const(table).find(s.key, holds)) got = e->value;
        } else if (const Entry* e = table.find(s.key, holds)) {
          got = e->value;
        }
        break;
      case Op::find_any:
        if (const Entry* e = table.find(s.key, [](const Entry& e) { return e.key != 0; })) got = e->value;
        break;
      case Op::leaving:
        got = table.leaving(s.key).value;
        break;
      case Op::kept_in_place:
        got = table.at(places.at(s.key)).key == s.key ? 1 : 0;
        break;
    }
    if (got != s.value)
      wrong += "step " + std::to_string(i) + ": " + std::to_string(got) + ", not " + std::to_string(s.value) +
               "\n";
  }
  return wrong;
}

constexpr MemoShape kDirect{kBits};
constexpr MemoShape kNewest{kBits, 2, MemoOrder::newest_first};
constexpr MemoShape kFound{kBits, 2, MemoOrder::found_first};
constexpr MemoShape kFound8{kBits, 8, MemoOrder::found_first};
constexpr MemoShape kFixed{kBits, 2, MemoOrder::fixed_places};
constexpr MemoShape kNewestTagged{kBits, 2, MemoOrder::newest_first, true};
constexpr MemoShape kFoundTagged{kBits, 4, MemoOrder::found_first, true};
constexpr MemoShape kFixedTagged{kBits, 2, MemoOrder::fixed_places, true};
constexpr MemoShape kFirstFree{kBits, 4, MemoOrder::first_free};

enum class Shape { direct, newest, found, found8, fixed, newest_tagged, found_tagged, fixed_tagged, first_free };

std::string play_as(Shape shape, const std::vector<Step>& steps) {
  switch (shape) {
    case Shape::direct:
      return play<kDirect>(steps);
    case Shape::newest:
      return play<kNewest>(steps);
    case Shape::found:
      return play<kFound>(steps);
    case Shape::found8:
      return play<kFound8>(steps);
    case Shape::fixed:
      return play<kFixed>(steps);
    case Shape::newest_tagged:
      return play<kNewestTagged>(steps);
    case Shape::found_tagged:
      return play<kFoundTagged>(steps);
    case Shape::fixed_tagged:
      return play<kFixedTagged>(steps);
    case Shape::first_free:
      return play<kFirstFree>(steps);
  }
  return "no such shape";
}

const std::vector<Shape> kEveryShape = {Shape::direct,       Shape::newest,       Shape::found,
                                        Shape::found8,       Shape::fixed,        Shape::newest_tagged,
                                        Shape::found_tagged, Shape::fixed_tagged, Shape::first_free};

constexpr std::uint64_t A = key_in(3, 0x11);
constexpr std::uint64_t B = key_in(3, 0x22);      // A's set
constexpr std::uint64_t C = key_in(3, 0x33);      // A's set
constexpr std::uint64_t D = key_in(3, 0x44);      // A's set
constexpr std::uint64_t E = key_in(3, 0x55);      // A's set
constexpr std::uint64_t Other = key_in(9, 0x11);  // A's low bits in another set
constexpr std::uint64_t Largest = ~std::uint64_t{0};
constexpr std::uint64_t Smallest = 1;
// Keys of A's set that differ in their tag (bits 32 to 39) and nowhere else.
constexpr std::uint64_t Tag1 = key_in(3, std::uint64_t{0x10} << 32);
constexpr std::uint64_t Tag2 = key_in(3, std::uint64_t{0x20} << 32);

// What every shape does alike.
TEST(memo_table, finds_what_it_learned_and_nothing_else) {
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"a miss in an empty table", {{Op::find, A, 0}, {Op::find_const, A, 0}, {Op::leaving, A, 0}}},
      {"a hit", {{Op::learn, A, 7}, {Op::find, A, 7}, {Op::find_const, A, 7}}},
      {"a key of the same set not learned", {{Op::learn, A, 7}, {Op::find, B, 0}}},
      {"keys alike in their low bits, in other sets",
       {{Op::learn, A, 1}, {Op::learn, Other, 2}, {Op::find, A, 1}, {Op::find, Other, 2}}},
      {"the largest and smallest keys, in the last and first sets",
       {{Op::learn, Largest, 5},
        {Op::learn, Smallest, 6},
        {Op::find, Largest, 5},
        {Op::find, Smallest, 6},
        {Op::find, key_in(15, 0), 0}}},
      {"an entry changed in place", {{Op::learn, A, 1}, {Op::learn, A, 2}, {Op::find, A, 2}}},
  };
  for (const auto& c : cases)
    for (const Shape shape : kEveryShape) {
      // First free places a key again beside itself: its users place a key only when it was not found.
      if (shape == Shape::first_free && std::string_view(c.name) == "an entry changed in place") continue;
      EXPECT_EQ(play_as(shape, c.steps), "") << c.name << ", shape " << static_cast<int>(shape);
    }
}

// Which entry of a full set goes, by the shape's order.
TEST(memo_table, a_full_set_replaces_by_its_order) {
  const struct {
    const char* name;
    Shape shape;
    std::vector<Step> steps;
  } cases[] = {
      {"one way: the newest stays",
       Shape::direct,
       {{Op::learn, A, 1}, {Op::leaving, B, 1}, {Op::learn, B, 2}, {Op::find, A, 0}, {Op::find, B, 2}}},
      {"newest first: the oldest goes, though found",
       Shape::newest,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::find, A, 1},
        {Op::leaving, C, 1},
        {Op::learn, C, 3},
        {Op::find, A, 0},
        {Op::find, B, 2},
        {Op::find, C, 3}}},
      {"found first: the one found longest ago goes",
       Shape::found,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::find, A, 1},
        {Op::leaving, C, 2},
        {Op::learn, C, 3},
        {Op::find, B, 0},
        {Op::find, A, 1},
        {Op::find, C, 3}}},
      {"found first, eight ways: the ninth pushes out the one not found",
       Shape::found8,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::learn, C, 3},
        {Op::learn, D, 4},
        {Op::learn, E, 5},
        {Op::learn, key_in(3, 0x66), 6},
        {Op::learn, key_in(3, 0x77), 7},
        {Op::learn, key_in(3, 0x88), 8},
        {Op::find, A, 1},
        {Op::leaving, key_in(3, 0x99), 2},
        {Op::learn, key_in(3, 0x99), 9},
        {Op::find, B, 0},
        {Op::find, A, 1},
        {Op::find, C, 3},
        {Op::find, key_in(3, 0x99), 9}}},
      {"fixed places: the one used less recently goes, and nothing moves",
       Shape::fixed,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::find, A, 1},
        {Op::leaving, C, 2},
        {Op::learn, C, 3},
        {Op::find, B, 0},
        {Op::kept_in_place, A, 1},
        {Op::find, A, 1},
        {Op::find, C, 3},
        {Op::kept_in_place, C, 1},
        {Op::kept_in_place, B, 0}}},
      {"fixed places: a look-up that changes nothing leaves the order",
       Shape::fixed,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::find_const, A, 1},
        {Op::learn, C, 3},
        {Op::find, A, 0},
        {Op::find, B, 2}}},
      {"first free: the first learned keep their places, a full set gives up its last",
       Shape::first_free,
       {{Op::learn, A, 1},
        {Op::learn, B, 2},
        {Op::learn, C, 3},
        {Op::leaving, D, 0},
        {Op::learn, D, 4},
        {Op::kept_in_place, A, 1},
        {Op::kept_in_place, B, 1},
        {Op::leaving, E, 4},
        {Op::learn, E, 5},
        {Op::find, D, 0},
        {Op::find, A, 1},
        {Op::find, B, 2},
        {Op::find, C, 3},
        {Op::find, E, 5},
        {Op::kept_in_place, A, 1}}},
      {"newest first, tagged: tags move with their entries",
       Shape::newest_tagged,
       {{Op::learn, Tag1, 1},
        {Op::learn, Tag2, 2},
        {Op::find, Tag1, 1},
        {Op::find, Tag2, 2},
        {Op::find_any, Tag1, 1},
        {Op::find_any, Tag2, 2}}},
      {"found first, tagged: tags move with their entries",
       Shape::found_tagged,
       {{Op::learn, Tag1, 1},
        {Op::learn, Tag2, 2},
        {Op::learn, A, 3},
        {Op::find, Tag1, 1},
        {Op::find_any, Tag2, 2},
        {Op::find_any, Tag1, 1},
        {Op::find, A, 3}}},
  };
  for (const auto& c : cases) EXPECT_EQ(play_as(c.shape, c.steps), "") << c.name;
}

// A tag tells an entry that cannot hold the key without a look at it: a look-up that would take any
// entry of the set finds only those of the key's tag.
TEST(memo_table, tags_pass_over_entries_of_other_keys) {
  const struct {
    const char* name;
    Shape shape;
    int found;  // what a look-up for Tag2 that takes any entry finds, with only Tag1 learned
  } cases[] = {
      {"untagged: any entry of the set", Shape::newest, 1},
      {"tagged, newest first", Shape::newest_tagged, 0},
      {"tagged, found first", Shape::found_tagged, 0},
      {"tagged, fixed places", Shape::fixed_tagged, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(play_as(c.shape, {{Op::learn, Tag1, 1}, {Op::find_any, Tag2, c.found}}), "") << c.name;
}

// A table given back and lent again holds nothing of what its last user learned.
TEST(memo_table, the_next_user_finds_it_empty) {
  for (int round = 0; round < 3; ++round) {
    MemoTable<Entry, kFixedTagged> table;
    EXPECT_EQ(table.find(A, [](const Entry& e) { return e.key != 0; }), nullptr) << round;
    EXPECT_EQ(table.leaving(A).key, 0u) << round;
    table.place(A) = {A, 1};
    table.place(Largest) = {Largest, 2};
  }
}

}  // namespace
