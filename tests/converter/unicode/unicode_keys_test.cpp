// The Unicode key table: every key that a conversion can type means something, every letter, stack and
// vowel of the transliteration tables becomes well-formed Tibetan, and the words of
// tests/vectors/unicode/ come out as Tibetan spelling requires.
#include "unicode_keys.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "composer.h"
#include "keyfont.h"
#include "support/examples.h"
#include "tools/sample_tables.h"
#include "translit_support.h"
#include "translit_tables.h"

using namespace tarvex;

namespace {

// UTF-8 to code points; an empty result for malformed UTF-8 of a non-empty text.
std::u32string decode(std::string_view utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 9;
    if (extra == 9 || i + extra >= utf8.size()) return {};
    char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1Fu : b & 0x0Fu;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(utf8[i + k]);
      if ((t & 0xC0) != 0x80) return {};
      c = (c << 6) | (t & 0x3Fu);
    }
    out += c;
    i += extra + 1;
  }
  return out;
}

// Canonical combining classes of the Tibetan block (every other Tibetan character has class 0).
int combining_class(char32_t c) {
  switch (c) {
    case 0x0F18:
    case 0x0F19:
    case 0x0F35:
    case 0x0F37:
    case 0x0FC6:
      return 220;
    case 0x0F39:
      return 216;
    case 0x0F71:
      return 129;
    case 0x0F72:
    case 0x0F7A:
    case 0x0F7B:
    case 0x0F7C:
    case 0x0F7D:
    case 0x0F80:
      return 130;
    case 0x0F74:
      return 132;
    case 0x0F82:
    case 0x0F83:
    case 0x0F86:
    case 0x0F87:
      return 230;
    case 0x0F84:
      return 9;
    default:
      return 0;
  }
}

// The Tibetan characters that have a canonical decomposition; Unicode discourages them all. Text without
// them is unchanged by NFD when its signs are in canonical order, and unchanged by NFC as well, since every
// one of them is excluded from composition.
bool discouraged(char32_t c) {
  static constexpr std::array<char32_t, 19> kList = {0x0F43, 0x0F4D, 0x0F52, 0x0F57, 0x0F5C, 0x0F69, 0x0F73,
                                                     0x0F75, 0x0F76, 0x0F77, 0x0F78, 0x0F79, 0x0F81, 0x0F93,
                                                     0x0F9D, 0x0FA2, 0x0FA7, 0x0FAC, 0x0FB9};
  for (const char32_t d : kList)
    if (c == d) return true;
  return false;
}

bool is_head_letter(char32_t c) {
  return c >= 0x0F40 && c <= 0x0F6C;
}
bool is_subjoined(char32_t c) {
  return c >= 0x0F90 && c <= 0x0FBC;
}
// The a-chung under a stack, the vowel signs and the anusvara: they follow a letter, a subjoined letter
// or another of them.
bool is_sign(char32_t c) {
  return (c >= 0x0F71 && c <= 0x0F7E) || c == 0x0F80 || c == 0x0F82 || c == 0x0F83;
}

// Empty when `utf8` is well-formed Tibetan; otherwise what is wrong with it.
std::string fault_of(std::string_view utf8) {
  const std::u32string text = decode(utf8);
  if (text.empty()) return utf8.empty() ? "" : "malformed UTF-8";
  int last_class = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    const char32_t before = i == 0 ? 0 : text[i - 1];
    if (c < 0x0F00 || c > 0x0FFF) return "not Tibetan";
    if (discouraged(c)) return "a discouraged precomposed letter";
    const int cls = combining_class(c);
    if (cls != 0 && cls < last_class) return "signs out of canonical order";
    last_class = cls;
    if (is_subjoined(c) && !is_head_letter(before) && !is_subjoined(before)) return "subjoined letter alone";
    if (is_sign(c) && !is_head_letter(before) && !is_subjoined(before) && !is_sign(before))
      return "vowel sign without a letter";
  }
  return "";
}

std::string to_unicode(std::string_view keys) {
  char out[256];
  const int n = syllable_to_unicode(keys, out, sizeof out);
  return n < 0 ? "(no meaning)" : std::string(out, static_cast<std::size_t>(n));
}

std::string entry_form(std::string_view entry, int form) {
  char out[64];
  const int n = entry_form_unicode(entry, form, out, sizeof out);
  return n < 0 ? "(too small)" : std::string(out, static_cast<std::size_t>(n));
}

const TranslitTables& translit() {
  return shared_translit_tables();
}

std::vector<const StringTable*> all_tables() {
  return {&translit().stacks, &translit().initial_vowels, &translit().vowels, &translit().later_stacks};
}

TEST(unicode_keys, every_key_a_conversion_types_has_a_meaning) {
  std::string keys = ".,:?-<=>0123456789";  // punctuation glyphs, symbols, digits
  for (int c = 1; c < 256; ++c)
    if (letter_keys[c] != 0) keys += static_cast<char>(letter_keys[c]);
  for (const StringTable* table : all_tables())
    for (int i = 0; i < table->num_strings; ++i) keys += table->keys[i];
  for (const char k : keys) {
    const UnicodeKey* u = unicode_key(static_cast<unsigned char>(k));
    ASSERT_NE(u, nullptr) << "key " << k;
    EXPECT_NE(u->role, KeyRole::none) << "key " << k;
  }
}

TEST(unicode_keys, table_holds_each_key_once_and_fits_its_role) {
  std::array<int, 256> seen{};
  for (const UnicodeKey& k : unicode_keys) {
    EXPECT_EQ(++seen[static_cast<unsigned char>(k.key)], 1) << "key " << k.key;
    EXPECT_EQ(unicode_key(static_cast<unsigned char>(k.key)), &k);
    const bool letter = k.role == KeyRole::letter || k.role == KeyRole::apostrophe;
    EXPECT_EQ(k.subjoined != 0, letter) << "key " << k.key;
    if (letter) {
      EXPECT_TRUE(is_head_letter(k.text[0]) && k.text[1] == 0) << "key " << k.key;
    }
    if (k.role == KeyRole::vowel) {
      EXPECT_TRUE(is_sign(k.text[0])) << "key " << k.key;
    }
    const bool writes_nothing = k.role == KeyRole::stack || k.role == KeyRole::inherent;
    EXPECT_EQ(k.text[0] == 0, writes_nothing) << "key " << k.key;
  }
}

TEST(unicode_keys, keys_without_meaning_are_refused) {
  for (const std::string_view keys : {"%", "ka%", "k]", "\x17", "ka\xC8"})
    EXPECT_EQ(to_unicode(keys), "(no meaning)") << keys;
  EXPECT_EQ(unicode_key('%'), nullptr);
  EXPECT_EQ(unicode_key(200), nullptr);
}

TEST(unicode_keys, every_stack_and_vowel_of_the_tables_is_well_formed) {
  // A vowel of a later part follows a letter; a stack or an initial vowel stands at the start.
  const std::vector<std::pair<const StringTable*, std::string>> cases = {
      {&translit().stacks, "a"}, {&translit().later_stacks, "a"}, {&translit().initial_vowels, ""}};
  int checked = 0;
  for (const auto& [table, after] : cases)
    for (int i = 0; i < table->num_strings; ++i) {
      const std::string keys = std::string(table->keys[i]) + after;
      const std::string text = to_unicode(keys);
      EXPECT_EQ(fault_of(text), "") << keys;
      EXPECT_NE(text, "(no meaning)") << keys;
      ++checked;
    }
  for (int i = 0; i < translit().vowels.num_strings; ++i)
    for (const std::string_view before : {"k", "fsgr", "fk'"}) {
      const std::string keys = std::string(before) + translit().vowels.keys[i];
      EXPECT_EQ(fault_of(to_unicode(keys)), "") << keys;
      ++checked;
    }
  EXPECT_EQ(checked, kStackCount + kLaterStackCount + kInitialVowelCount + 3 * kVowelCount);
}

TEST(unicode_keys, stack_letters_are_whole_then_subjoined) {
  // Each stack of the tables gives one head letter and then only subjoined letters (or the a-chung).
  for (const StringTable* table : {&translit().stacks, &translit().later_stacks}) {
    for (int i = 0; i < table->num_strings; ++i) {
      const std::string_view keys = table->keys[i];
      const std::u32string text = decode(to_unicode(keys));
      const std::size_t letters = keys.size() - (keys[0] == kStackKey ? 1 : 0);
      ASSERT_EQ(text.size(), letters) << keys;
      EXPECT_TRUE(is_head_letter(text[0])) << keys;
      for (std::size_t k = 1; k < text.size(); ++k) EXPECT_TRUE(is_subjoined(text[k])) << keys;
    }
  }
}

TEST(unicode_keys, faults_in_a_key_string_are_refused) {
  for (const std::string_view keys : {
           "i",     // a vowel with no letter
           "fe",    // a vowel after an empty stack
           ".e",    // a vowel after the tsheg
           "1i",    // a vowel on a digit
           "fk,a",  // a mark inside a stack
           "kui",   // the i sign after the u sign: out of canonical order
       })
    EXPECT_EQ(to_unicode(keys), "(no meaning)") << keys;
}

TEST(unicode_keys, a_stack_open_at_the_end_is_closed_there) {
  EXPECT_EQ(to_unicode("fsgr"), "སྒྲ");
  EXPECT_EQ(to_unicode("fk'"), "ཀཱ");
  EXPECT_EQ(to_unicode("f"), "");
  EXPECT_EQ(to_unicode("kaf"), "ཀ");
}

TEST(unicode_keys, a_too_small_buffer_is_refused_without_writing_past_it) {
  for (const std::string_view keys : {"bfsgrubs", "fA'u&", "=", ">", "fk'i", "ka."}) {
    const int needed = static_cast<int>(to_unicode(keys).size());
    for (int capacity = 0; capacity < needed; ++capacity) {
      std::array<char, 64> out;
      out.fill('#');
      EXPECT_EQ(syllable_to_unicode(keys, out.data(), capacity), -1) << keys << " in " << capacity;
      for (std::size_t k = static_cast<std::size_t>(capacity); k < out.size(); ++k)
        ASSERT_EQ(out[k], '#') << keys << " written past " << capacity;
    }
    std::array<char, 64> out;
    EXPECT_EQ(syllable_to_unicode(keys, out.data(), needed), needed) << keys;
  }
}

TEST(unicode_keys, entry_forms) {
  struct Case {
    std::string_view entry;
    int form;
    std::string_view unicode;
  };
  const Case cases[] = {
      {"k", tsd::kFormBase, "ཀ"},
      {"sgr", tsd::kFormBase, "སྒྲ"},
      {"sgr", tsd::kFormJoinedU, "སྒྲུ"},
      {"sgr", 1, "སྒྲི"},
      {"k", 12, "ཀྀ"},
      {"k", 14, "ཀཾ"},
      {"k", tsd::kFormApostropheBase, "ཀཱ"},
      {"k", tsd::kFormApostropheJoinedU, "ཀཱུ"},
      {"A", 3, "ཨེ"},
      {"'", tsd::kFormBase, "འ"},
      {"'", tsd::kFormApostropheBase, "འཱ"},
      {"Rp", tsd::kFormBase, "ཪྤ"},
      {"gh", tsd::kFormBase, "གྷ"},
      {".", tsd::kFormBase, "་"},
      {"<", tsd::kFormBase, "ༀ"},
      {"5", tsd::kFormBase, "༥"},
      // The signs and marks that only Unicode and Extended Wylie text bring.
      {"k", 10, "ཀྃ"},
      {"k", 11, "ཀྂ"},
      {"rVV", tsd::kFormBase, "རྞྞ"},
      {"ry", tsd::kFormBase, "རྱ"},
      {"Rdh", tsd::kFormBase, "ཪྡྷ"},
      {"v+", tsd::kFormJoinedU, "ཌྰུ"},
      {"H", tsd::kFormBase, "ཿ"},
      {"_", tsd::kFormBase, "྅"},
      {"#", tsd::kFormBase, "༄"},
      {"^", tsd::kFormBase, "༆"},
      {"R", tsd::kFormBase, "ཪ"},
      // Forms that mean nothing in Unicode.
      {"k", 15, ""},
      {".", 1, ""},
      {"<", tsd::kFormJoinedU, ""},
      {"$", tsd::kFormBase, ""},
      {"i", tsd::kFormBase, ""},
      {"a", tsd::kFormBase, ""},
      {"k,", tsd::kFormBase, ""},
      {"k", 18, ""},
      {"k", -1, ""},
      {"", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(entry_form(c.entry, c.form), c.unicode) << c.entry << " " << c.form;
  char out[4];
  EXPECT_EQ(entry_form_unicode("sgr", tsd::kFormJoinedU, out, sizeof out), -1);
}

TEST(unicode_keys, every_form_of_the_sample_keyfont_is_well_formed) {
  const auto entries = sample_tables::make_entries(translit());
  int with_meaning = 0;
  for (const auto& e : entries)
    for (int form = 0; form < tsd::kFormCount; ++form) {
      const std::string text = entry_form(e.string, form);
      EXPECT_EQ(fault_of(text), "") << e.string << " form " << form;
      with_meaning += text.empty() ? 0 : 1;
    }
  EXPECT_GT(with_meaning, static_cast<int>(entries.size()));
}

TEST(unicode_keys, word_vectors) {
  const auto examples = tsd::testing::vectors_of("unicode");
  for (const auto& example : examples) {
    EXPECT_EQ(to_unicode(example.input), example.expected) << example.where;
    EXPECT_EQ(fault_of(example.expected), "") << example.where;
  }
}

}  // namespace
