#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "Find_mat.h"
#include "translit_support.h"
#include "translit_tables.h"

using namespace tarvex;

namespace {

const TranslitTables& tables() {
  return shared_translit_tables();
}

std::string stack_keys(const char* kvts) {
  const StringTable& stacks = tables().stacks;
  const int i = find_exact(kvts, stacks.strings, stacks.num_strings);
  return i < 0 ? "(absent)" : stacks.keys[i];
}

TEST(translit_tables, hold_their_counts) {
  EXPECT_EQ(tables().stacks.num_strings, 506);
  EXPECT_EQ(tables().initial_vowels.num_strings, 27);
  EXPECT_EQ(tables().vowels.num_strings, 34);
  EXPECT_EQ(tables().later_stacks.num_strings, 9);
}

TEST(translit_tables, are_sorted_by_unsigned_bytes) {
  for (const StringTable* t :
       {&tables().stacks, &tables().initial_vowels, &tables().vowels, &tables().later_stacks})
    for (int i = 1; i < t->num_strings; ++i)
      EXPECT_LE(std::strcmp(t->strings[i - 1], t->strings[i]), 0)
          << t->strings[i - 1] << " " << t->strings[i];
}

TEST(translit_tables, stack_keys_follow_the_spelling_rule) {
  const std::pair<const char*, const char*> rows[] = {
      {"B+D", "fbd"},        {"BDDZ", "fbdD"}, {"DHN+Y", "fdhny"}, {"DZDZNY", "fDDN"}, {"NGKsh", "fGkB"},
      {"RT+SN+Y", "frtsny"}, {"TSTS", "fXX"},  {"shthY", "fBQy"},  {"tsh", "fqB"},     {"NNNN", "fnnnn"},
      {"WR", "fwr"},         {"VR", "fwr"},    {"CH", "C"},        {"V", "w"},         {"th", "Q"},
  };
  for (const auto& [kvts, keys] : rows) EXPECT_EQ(stack_keys(kvts), keys) << kvts;
}

TEST(translit_tables, stack_keys_of_the_exception_rows) {
  const std::pair<const char*, const char*> rows[] = {
      {"DDV", "fddv"}, {"GN+Y", "fgnY"}, {"NGKshY", "fGKBy"}, {"PSN+Y", "fpsyn"},
      {"RP", "fRp"},   {"RS", "fRs"},    {"RSH", "fRS"},      {"RY", "fRy"},
      {"Rsh", "fRB"},  {"SQ", "fst"},    {"shnY", "fBVY"},
  };
  for (const auto& [kvts, keys] : rows) EXPECT_EQ(stack_keys(kvts), keys) << kvts;
}

TEST(translit_tables, vowels_and_marks_have_no_letter_key) {
  for (const char c : std::string("AEIOUi+&QX"))
    EXPECT_EQ(letter_keys[static_cast<unsigned char>(c)], 0) << c;
  for (int c = 128; c < 256; ++c) EXPECT_EQ(letter_keys[c], 0) << c;
  EXPECT_EQ(letter_keys['#'], '!');
  EXPECT_EQ(letter_keys['V'], 'w');
  EXPECT_EQ(letter_keys['W'], 'w');
}

TEST(translit_tables, every_letter_key_writes_its_character_back) {
  for (int c = 1; c < 256; ++c) {
    if (letter_keys[c] == 0 || c == 'V') continue;  // "V" and "W" share one key, written "W"
    EXPECT_EQ(std::string(key_text[letter_keys[c]]), std::string(1, static_cast<char>(c)))
        << static_cast<char>(c);
  }
}

TEST(translit_tables, vowel_keys_write_one_of_their_vowels_back) {
  std::map<char, std::set<std::string>> texts;
  const StringTable& vowels = tables().vowels;
  for (int i = 0; i < vowels.num_strings; ++i)
    if (std::strlen(vowels.keys[i]) == 1 && vowels.keys[i][0] != 'a')
      texts[vowels.keys[i][0]].insert(vowels.strings[i]);
  for (const auto& [key, spellings] : texts)
    EXPECT_TRUE(spellings.count(key_text[static_cast<unsigned char>(key)]) == 1)
        << key << " " << key_text[key];
}

TEST(translit_tables, stack_key_and_unlisted_codes_have_empty_text) {
  EXPECT_STREQ(key_text['f'], "");
  EXPECT_STREQ(key_text[255], "");
  EXPECT_STREQ(key_text['B'], "sh");
  EXPECT_STREQ(key_text['U'], "im");
}

}  // namespace
