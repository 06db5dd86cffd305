#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Bsearch.h"
#include "Find_mat.h"
#include "extract.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "translit_support.h"
#include "translit_tables.h"

using namespace tarvex;

namespace {

const TranslitTables& tables() {
  return shared_translit_tables();
}

tsd::Stream stream_of(const std::string& text) {
  tsd::Stream s = tsd::Stream::temporary();
  s.write(text);
  s.rewind();
  return s;
}

int compare_ints(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a);
  const int y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

TEST(binary_search, one_element_table) {
  const int table[] = {5};
  const int five = 5, four = 4, six = 6;
  EXPECT_EQ(binary_search(&five, table, 1, sizeof(int), compare_ints), 0);
  EXPECT_LT(binary_search(&four, table, 1, sizeof(int), compare_ints), 0);
  EXPECT_LT(binary_search(&six, table, 1, sizeof(int), compare_ints), 0);
}

TEST(binary_search, finds_every_element_and_nothing_between) {
  const int table[] = {1, 3, 5, 7, 9, 11, 13};
  for (int n = 1; n <= 7; ++n)
    for (int key = 0; key <= 14; ++key) {
      const int found = binary_search(&key, table, n, sizeof(int), compare_ints);
      if (key % 2 == 1 && key <= 2 * n - 1) {
        EXPECT_EQ(found, key / 2) << n << " " << key;
      } else {
        EXPECT_LT(found, 0) << n << " " << key;
      }
    }
}

TEST(find_exact, equal_rows_give_the_same_keys) {
  const StringTable& stacks = tables().stacks;
  const int i = find_exact("DDV", stacks.strings, stacks.num_strings);
  ASSERT_GE(i, 0);
  EXPECT_STREQ(stacks.keys[i], "fddv");
  EXPECT_LT(find_exact("K", stacks.strings, stacks.num_strings), 0);
  EXPECT_LT(find_exact("", stacks.strings, stacks.num_strings), 0);
}

TEST(find_longest_prefix, takes_the_longest_vowel) {
  const StringTable& vowels = tables().vowels;
  const std::pair<const char*, std::pair<int, const char*>> rows[] = {
      {"A'I", {3, "a'i"}}, {"ANGS", {1, "a"}}, {"Um", {2, "u&"}}, {"EEm", {2, "E"}}, {"imX", {2, "U"}}};
  for (const auto& [text, expected] : rows) {
    int length = -1, index = -1;
    find_longest_prefix(text, vowels.strings, vowels.num_strings, &length, &index);
    EXPECT_EQ(length, expected.first) << text;
    EXPECT_STREQ(vowels.keys[index], expected.second) << text;
  }
  int length = -1, index = -1;
  find_longest_prefix("OM", tables().initial_vowels.strings, tables().initial_vowels.num_strings, &length,
                      &index);
  EXPECT_EQ(length, 0);
}

TEST(prefix_compare, signs_and_matched_length) {
  int matched = -1;
  EXPECT_EQ(prefix_compare("AE", "AEE", &matched), 0);
  EXPECT_EQ(matched, 2);
  EXPECT_GT(prefix_compare("AEE", "AE", &matched), 0);
  EXPECT_EQ(matched, 2);
  EXPECT_LT(prefix_compare("A'E", "AN", &matched), 0);
  EXPECT_EQ(matched, 1);
}

std::string convert(const std::string& kvts) {
  char word[kWordBufferSize] = {};
  std::strncpy(word, kvts.c_str(), kWordLimit);
  char keys[kKeyBufferSize];
  if (convert_syllable(word, static_cast<int>(kvts.size()), keys, tables()) < 0) return "(fails)";
  return keys;
}

TEST(convert_syllable, spells_key_strings) {
  const std::pair<const char*, const char*> rows[] = {
      {"BSGRUBS", "bfsgrubs"}, {"SANGS", "saGs"},    {"KHA", "Ka"},      {"BDE", "bde"},
      {"KABDE", "kafbde"},     {"K'A", "fk'a"},      {"GR'A", "fgr'a"},  {"AI", "Ai"},
      {"'GRO", "'fgro"},       {"PADMA", "pafdma"},  {"OM", "(fails)"},  {"AOm", "<"},
      {"H'Um", ">"},           {"A'A:", "="},        {"KH'U", "fK'u"},   {"YANg", "yaG"},
      {"KAnG", "kaG"},         {"DZDZNYA", "fDDNa"}, {"K&A", "(fails)"}, {"XA", "(fails)"},
  };
  for (const auto& [kvts, keys] : rows) EXPECT_EQ(convert(kvts), keys) << kvts;
}

TEST(check_syllable_length, counts_keys_before_each_vowel) {
  EXPECT_EQ(check_syllable_length("bfsgrubs"), 0);
  EXPECT_EQ(check_syllable_length("gbda"), -1);
  EXPECT_EQ(check_syllable_length("kasgba"), -2);
  EXPECT_EQ(check_syllable_length("fA'a"), 0);
  EXPECT_EQ(check_syllable_length("ka&fbde"), 0);
  EXPECT_EQ(check_syllable_length("bg'a"), 0);
}

TEST(extract_syllables, without_the_check_writes_long_syllables) {
  tsd::Stream src = stream_of("GBDA");
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(extract_syllables(src, dst, tables(), 0), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  EXPECT_EQ(out, "gbda");
}

std::string extract(const std::string& input) {
  tsd::Stream src = stream_of(input);
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(extract_syllables(src, dst, tables(), 1), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  return out;
}

TEST(extract_syllables, a_long_input_gives_what_its_lines_give) {
  // Thousands of lines carry every kind of item across the boundaries of the output blocks.
  const std::string line = "BSGRUBS KA, [note KA] {KA} @abc (G-YA) OM " + std::string(40, 'K') + " AOm\n";
  const std::string once = extract(line);
  std::string lines;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    lines += line;
    expected += once;
  }
  EXPECT_EQ(extract(lines), expected);
}

TEST(extract_syllables, a_text_file_with_cr_lf_lines_gives_what_lf_lines_give) {
  // Reading in place stops at every CR of a text file: syllables end there and at buffer boundaries.
  std::string lf;
  std::string cr_lf;
  for (int i = 0; i < 4000; ++i) {
    const std::string line =
        "BSGRUBS KA " + std::string(i % 40, 'K') + " DGE'I " + std::to_string(i) + " LEGS";
    lf += line + "\n";
    cr_lf += line + "\r\n";
  }
  tsd::testing::TempDir dir;
  tsd::Stream src = tsd::Stream::open_read(dir.write("in.kvt", cr_lf).c_str(), tsd::Stream::Mode::text);
  tsd::Stream dst = tsd::Stream::temporary();
  ASSERT_EQ(extract_syllables(src, dst, tables(), 1), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  EXPECT_EQ(out, extract(lf));
}

TEST(extract_syllables, every_syllable_as_when_converted_alone) {
  // Many distinct syllables, twice over, so that recent syllables are both found again and pushed out,
  // and syllables too long for the cache.
  std::mt19937 random(5);
  const std::string letters = "KGNTDPBMSRLYZH'";
  const std::string vowels = "AEIOUi";
  std::vector<std::string> syllables;
  for (int i = 0; i < 6000; ++i) {
    std::string word;
    const int parts = 1 + static_cast<int>(random() % 5);  // up to 20 characters: some too long to keep
    for (int p = 0; p < parts; ++p) {
      for (int k = static_cast<int>(random() % 3); k >= 0; --k) word += letters[random() % letters.size()];
      word += vowels[random() % vowels.size()];
    }
    syllables.push_back(word);
  }
  std::string input;
  std::string expected;
  for (int round = 0; round < 2; ++round) {
    for (const std::string& syllable : syllables) {
      char word[kWordBufferSize];
      char keys[kKeyBufferSize];
      std::strcpy(word, syllable.c_str());
      const bool converted = convert_syllable(word, static_cast<int>(syllable.size()), keys, tables()) == 0 &&
                             check_syllable_length(keys) == 0;
      input += syllable + " ";
      expected += (converted ? std::string(keys) : "[~" + syllable + "]") + " ";
    }
  }
  EXPECT_EQ(extract(input), expected);
}

TEST(extract_syllables, a_failed_write_is_reported) {
  tsd::Stream src = stream_of(std::string(100000, 'K') + " KA");
  tsd::Stream dst = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
  ASSERT_TRUE(dst.is_open());
  EXPECT_EQ(extract_syllables(src, dst, tables(), 1), -1);
  EXPECT_TRUE(dst.error());
}

TEST(extract_syllables, any_bytes_pass_without_a_failed_check) {
  // Word characters weigh heavily so that long runs, stacks and vowels all occur.
  const std::string alphabet = "KGNTDPBMSHRLYZAEIOU'+&aeioumntdsh AEIOU  \n\t()-@[]{},:;#%*=`\\|0123456789";
  std::mt19937 random(7);
  std::string input;
  for (int i = 0; i < 200000; ++i) {
    const auto r = random();
    input += r % 16 == 0 ? static_cast<char>(r >> 8) : alphabet[(r >> 8) % alphabet.size()];
  }
  tsd::Stream src = stream_of(input);
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(extract_syllables(src, dst, tables(), 1), 0);
}

using extract_checks_death_test = ::testing::Test;

TEST(extract_checks_death_test, name_the_condition_and_module) {
  const char* strings[] = {"A"};
  EXPECT_DEATH(find_exact("A", strings, 0),
               "Assertion failed: num_strings > 0, file Find_mat, line " TSD_DIGITS);
  EXPECT_DEATH(binary_search(nullptr, strings, 1, sizeof(char*), compare_strings),
               "Assertion failed: name != NULL, file Bsearch, line " TSD_DIGITS);
}

}  // namespace

namespace {

// The roles that readers cut KVTS text by are the extraction's own: a mark becomes its one marker byte, a
// blank stays itself between words, and a word's run is written apart from the words around it only at them.
TEST(kvts_byte_roles, agree_with_what_the_extraction_writes) {
  constexpr KvtsByteRoles roles = kvts_byte_roles();
  for (int c = 1; c < 128; ++c) {
    const std::string byte(1, static_cast<char>(c));
    switch (roles.role[c]) {
      case KvtsByte::mark:
        EXPECT_EQ(extract("KA" + byte + "KA"), "ka" + std::string(1, static_cast<char>(roles.marker[c])) + "ka")
            << "byte " << c;
        break;
      case KvtsByte::blank:
        EXPECT_EQ(extract("KA" + byte + "KA"), "ka" + byte + "ka") << "byte " << c;
        break;
      case KvtsByte::bracket:
      case KvtsByte::brace:
        EXPECT_EQ(extract("KA " + byte + "x y" + (c == '[' ? "]" : "}") + " KA").substr(0, 4),
                  "ka " + byte)
            << "byte " << c;
        break;
      case KvtsByte::name:
        EXPECT_EQ(extract("KA " + byte + "x KA"), "ka {@x}ka") << "byte " << c;
        break;
      case KvtsByte::other_space:
        EXPECT_EQ(extract("KA" + byte + "KA"), "ka" + byte + "ka") << "byte " << c;
        break;
      case KvtsByte::word:
        break;
    }
  }
}

}  // namespace
