// The composer's account of the key history it read, on which the converter's word memo relies: a word
// composed from a composer at rest must come out the same from every history that differs from its own
// only in the entries the composer says it did not read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "composer.h"

namespace {

using Tables = tsd::KeyTables<tsd::kConverterForms>;
using History = std::array<int, 3>;  // oldest first, as the composer keeps it

struct TableSet {
  const char* name;
  std::unique_ptr<Tables> tables;
  std::vector<int> keys;     // every key worth pressing: the mapped ones, an unmapped one and controls
  std::vector<int> history;  // every key the history can hold: those a rule remembers, and 0 from the start
};

TableSet load_set(const char* name, const std::string& folder) {
  TableSet set{name, std::make_unique<Tables>(), {}, {0}};
  const int loaded =
      tsd::load_key_tables((folder + "/keyfont").c_str(), (folder + "/keymap").c_str(), *set.tables, nullptr);
  EXPECT_EQ(loaded, 0) << name;
  int unmapped = 0;
  for (int key = 1; key < 128; ++key) {
    const char ch = set.tables->tib_keys[key].ch;
    if (ch == 0) {
      if (unmapped == 0 && key >= 32) unmapped = key;
      continue;
    }
    set.keys.push_back(key);
    if (ch != 'a') set.history.push_back(key);
  }
  for (int key : {unmapped, 8, 13, 24, 25, 200}) set.keys.push_back(key);
  return set;
}

const std::vector<TableSet>& table_sets() {
  static const std::vector<TableSet> sets = [] {
    std::vector<TableSet> s;
    s.push_back(load_set("data", TSENDREL_SOURCE_DIR "/data"));
    s.push_back(load_set("data/sample", TSENDREL_SOURCE_DIR "/data/sample"));
    return s;
  }();
  return sets;
}

// What composing a word did: each key's result and glyph string, the state after it, and how many of
// the history's entries, newest first, the composer says its rules read.
struct Outcome {
  std::array<unsigned char, 8 * (tsd::kGlyphBufferSize + 1)> glyphs{};
  int length = 0;
  tsd::SyllableState after;
  int entries_read = 0;
};

constexpr std::int64_t kKeysBefore = 1000;

Outcome compose_word(const Tables& tables, const std::vector<int>& word, const History& history) {
  tsd::SyllableState st;
  st.key_history = history;
  st.keys_remembered = kKeysBefore;
  st.oldest_key_read = std::numeric_limits<std::int64_t>::max();
  Outcome o;
  for (int key : word) {
    unsigned char* result = &o.glyphs[static_cast<std::size_t>(o.length)];
    int added = 0;
    *result = static_cast<unsigned char>(tsd::compose_key(key, result + 1, tables, st, added));
    o.length += added + 1;
  }
  o.after = st;
  o.entries_read = st.oldest_key_read < kKeysBefore ? static_cast<int>(kKeysBefore - st.oldest_key_read) : 0;
  return o;
}

// The same outcome, the history entries the word did not write aside.
::testing::AssertionResult same_outcome(const Outcome& a, const Outcome& b) {
  const tsd::SyllableState& x = a.after;
  const tsd::SyllableState& y = b.after;
  const auto added = static_cast<int>(x.keys_remembered - kKeysBefore);
  bool same_history = x.keys_remembered == y.keys_remembered;
  for (int i = 0; same_history && i < added && i < 3; ++i)
    same_history = x.key_history[2 - i] == y.key_history[2 - i];
  if (a.glyphs == b.glyphs && a.length == b.length && a.entries_read == b.entries_read && same_history &&
      x.mode == y.mode && x.last_mode == y.last_mode && x.entry == y.entry &&
      x.match_stack == y.match_stack && x.depth == y.depth && std::string(x.stack_text) == y.stack_text &&
      x.stack_length == y.stack_length && x.apostrophe_flag == y.apostrophe_flag &&
      x.current_font == y.current_font && x.symbol1 == y.symbol1 && x.symbol2 == y.symbol2)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "entries read " << a.entries_read << " against " << b.entries_read;
}

std::string describe(const std::vector<int>& word, const History& h, const History& other) {
  std::ostringstream s;
  s << "word";
  for (int k : word) s << ' ' << k;
  s << " after history " << h[0] << ' ' << h[1] << ' ' << h[2] << " and " << other[0] << ' ' << other[1]
    << ' ' << other[2];
  return s.str();
}

// The history with the entries a word did not read set to 0, as at the start of a file.
History kept_entries(const History& h, int entries_read) {
  History kept{};
  for (int i = 3 - entries_read; i < 3; ++i) kept[i] = h[i];
  return kept;
}

// Every key after every two-key history, the oldest entry one of a few keys that rules look for; and
// after every oldest entry, the two newer ones from those few. Whatever entries the key's rules did not
// read, the outcome is the one from the history with 0 there.
TEST(composer, a_key_composes_alike_whatever_history_it_did_not_read) {
  for (const TableSet& set : table_sets()) {
    std::vector<int> few{0};
    for (int key : {'o', '\'', 'i', 'k', 'f'})
      if (std::find(set.history.begin(), set.history.end(), key) != set.history.end()) few.push_back(key);
    std::vector<History> histories;
    for (int oldest : few)
      for (int older : set.history)
        for (int newer : set.history) histories.push_back({oldest, older, newer});
    for (int oldest : set.history)
      for (int older : few)
        for (int newer : few) histories.push_back({oldest, older, newer});
    for (int key : set.keys) {
      const std::vector<int> word{key};
      for (const History& h : histories) {
        const Outcome o = compose_word(*set.tables, word, h);
        const History kept = kept_entries(h, o.entries_read);
        ASSERT_TRUE(same_outcome(compose_word(*set.tables, word, kept), o))
            << set.name << ": " << describe(word, h, kept);
      }
    }
  }
}

// Words through stacks, symbol flags and backspaces: the history entries the word did not read are
// changed at random, and the word must come out the same.
TEST(composer, a_word_composes_alike_whatever_history_it_did_not_read) {
  for (const TableSet& set : table_sets()) {
    std::mt19937 random(7);
    const auto pick = [&](const std::vector<int>& from) { return from[random() % from.size()]; };
    // Vowels, u, the stack key and the apostrophe drawn nine times as often as other keys, so that words
    // open and close stacks and take signs from the history.
    std::vector<int> keys = set.keys;
    for (int key : set.keys) {
      const char ch = key < 128 ? set.tables->tib_keys[key].ch : 0;
      if (ch == '$' || ch == '\'' || ch == 'u' || tsd::vowel_code(static_cast<unsigned char>(ch)) > 0)
        keys.insert(keys.end(), 8, key);
    }
    for (int n = 0; n < 20000; ++n) {
      std::vector<int> word(1 + random() % 6);
      for (int& key : word) key = pick(keys);
      const History h{pick(set.history), pick(set.history), pick(set.history)};
      const Outcome o = compose_word(*set.tables, word, h);
      for (int v = 0; v < 8; ++v) {
        History other = h;
        for (int i = 0; i < 3 - o.entries_read; ++i) other[i] = pick(set.history);
        ASSERT_TRUE(same_outcome(compose_word(*set.tables, word, other), o))
            << set.name << ": " << describe(word, h, other);
      }
    }
  }
}

// The body of the function whose definition starts with `head`, braces and all.
std::string function_body(const std::string& source, const std::string& head) {
  const std::size_t start = source.find(head);
  if (start == std::string::npos) return {};
  std::size_t at = source.find('{', start);
  int depth = 0;
  for (std::size_t i = at; i < source.size(); ++i) {
    if (source[i] == '{') ++depth;
    if (source[i] == '}' && --depth == 0) return source.substr(at, i + 1 - at);
  }
  return {};
}

std::string without_comments(const std::string& source) {
  std::string code;
  std::istringstream lines(source);
  for (std::string line; std::getline(lines, line);) code += line.substr(0, line.find("//")) + '\n';
  return code;
}

int count_of(const std::string& text, const std::string& word) {
  int n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// The tests above catch a read that changes glyphs on the bundled tables; this one, a rule that reads the
// history without key_behind at all.
TEST(composer, only_remember_key_and_key_behind_touch_the_key_history) {
  std::ifstream file(TSENDREL_SOURCE_DIR "/core/composer.cpp");
  ASSERT_TRUE(file.is_open());
  std::stringstream text;
  text << file.rdbuf();
  const std::string source = without_comments(text.str());
  const std::string remember = function_body(source, "void remember_key(SyllableState& st, int key)");
  const std::string behind = function_body(source, "int key_behind(SyllableState& st, int back)");
  // A typist's BackSpace takes the history back through these two; no memo follows that path.
  const std::string history = function_body(source, "std::array<int, 3> history_of(const SyllableState& st)");
  const std::string set =
      function_body(source, "void set_history(SyllableState& st, const std::array<int, 3>& keys)");
  ASSERT_FALSE(remember.empty());
  ASSERT_FALSE(behind.empty());
  ASSERT_FALSE(history.empty());
  ASSERT_FALSE(set.empty());
  EXPECT_EQ(count_of(source, "key_history"),
            count_of(remember, "key_history") + count_of(behind, "key_history") +
                count_of(history, "key_history") + count_of(set, "key_history"))
      << "key_history is named in core/composer.cpp outside remember_key, key_behind, history_of and "
         "set_history";
  // The rules never set the history back: only the typist's path does.
  EXPECT_EQ(count_of(source, "set_history("), 2) << "set_history is called outside type_key";
}

}  // namespace
