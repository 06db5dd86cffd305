// The sample keyfont and keymap in data/: up to date with their generator, loadable, and able to compose
// every stack, vowel and mark that the transliteration tables type.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "composer.h"
#include "tools/sample_tables.h"
#include "translit_support.h"
#include "translit_tables.h"

using namespace tarvex;

namespace {

using Tables = tsd::KeyTables<tsd::kConverterForms>;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kDataDir = std::string(TSENDREL_SOURCE_DIR) + "/data/";

const TranslitTables& translit() {
  return shared_translit_tables();
}

const Tables& sample() {
  static Tables* tables = [] {
    auto* t = new Tables;
    const int loaded = tsd::load_key_tables((kDataDir + "keyfont").c_str(), (kDataDir + "keymap").c_str(), *t,
                                            [](const char*) {});
    EXPECT_EQ(loaded, 0);
    return t;
  }();
  return *tables;
}

// Types the keys into a fresh composer and applies every take-back, as the font-code pass does.
std::string compose(std::string_view keys) {
  tsd::SyllableState state;
  std::string out;
  unsigned char glyphs[tsd::kGlyphBufferSize];
  for (const char key : keys) {
    EXPECT_GE(tsd::compose_key(static_cast<unsigned char>(key), glyphs, sample(), state), 0) << keys;
    for (const unsigned char* g = glyphs; *g != 0; ++g) {
      if (*g != tsd::kTakeBack) {
        out += static_cast<char>(*g);
      } else if (!out.empty()) {
        out.pop_back();
      }
    }
  }
  return out;
}

std::string decode(std::string_view glyphs) {
  static const sample_tables::GlyphDecoder decoder(sample());
  return decoder.decode(glyphs);
}

void expect_composes(std::string_view keys) {
  EXPECT_EQ(decode(compose(keys)), sample_tables::decoded_keys(keys)) << "keys \"" << keys << "\"";
}

TEST(sample_tables, data_files_match_their_generator) {
  EXPECT_EQ(read_file(kDataDir + "keyfont"),
            sample_tables::keyfont_text(sample_tables::make_entries(
                translit(), sample_tables::parse_vowel_classes(read_file(kDataDir + "vowel_classes")),
                sample_tables::parse_added_stacks(read_file(kDataDir + "added_stacks")))))
      << "run make-key-tables data";
  EXPECT_EQ(read_file(kDataDir + "keymap"), sample_tables::keymap_text(translit()))
      << "run make-key-tables data";
}

TEST(sample_tables, vowel_classes_refuse_malformed_lines) {
  for (const char* text : {"k 1\n", "k 2 1\n", "k 0 1\n", "k 16 1\n", "k 1 -1\n", "k 1 1 x\n"})
    EXPECT_THROW(sample_tables::parse_vowel_classes(text), std::invalid_argument) << text;
  const auto classes = sample_tables::parse_vowel_classes("# groups\n\nk 1 2\nkr 3 1\n");
  EXPECT_EQ(classes, (sample_tables::VowelClasses{{{"k", 1}, 2}, {{"kr", 3}, 1}}));
}

TEST(sample_tables, vowel_groups_share_a_code_of_their_own_in_the_vowel_font) {
  const auto plain = sample_tables::make_entries(translit());
  const auto grouped = sample_tables::make_entries(
      translit(), sample_tables::parse_vowel_classes("k 1 1\ng 1 1\nn 1 2\nk 3 1\n"));
  auto entry = [](const std::vector<sample_tables::Entry>& entries, const std::string& s) {
    return *std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.string == s; });
  };
  const auto k = entry(grouped, "k").forms;
  const auto g = entry(grouped, "g").forms;
  const auto n = entry(grouped, "n").forms;
  const auto t = entry(grouped, "t").forms;
  EXPECT_EQ(t[1].code, 'i');
  EXPECT_EQ(k[1].font, sample_tables::kVowelFont);
  EXPECT_EQ(k[1].code, g[1].code);
  EXPECT_NE(k[1].code, n[1].code);
  EXPECT_NE(k[3].code, k[1].code);
  for (const int code : {k[1].code, n[1].code, k[3].code}) {
    EXPECT_EQ(sample_tables::kVowelChars.find(static_cast<char>(code)), std::string_view::npos) << code;
    EXPECT_NE(code, sample_tables::kRaisedI);
  }
  // Only the grouped forms move; every whole form keeps its place.
  for (int form : sample_tables::kWholeForms)
    EXPECT_EQ(entry(plain, "k").forms[form].code, k[form].code) << form;
}

TEST(sample_tables, fit_the_table_and_the_codes) {
  const Tables& t = sample();
  EXPECT_LT(t.table_size, tsd::kTibCharsCapacity);
  std::set<std::pair<int, int>> whole_forms;
  for (int i = 0; i < t.table_size; ++i) {
    const auto& e = t.tib_chars[i];
    for (int form = 0; form < tsd::kFormCount; ++form) {
      EXPECT_GE(e.font_slot[form], sample_tables::kFirstCode) << e.string << " form " << form;
      EXPECT_LE(e.font_slot[form], sample_tables::kLastCode) << e.string << " form " << form;
    }
    for (const int form : sample_tables::kWholeForms)
      EXPECT_TRUE(whole_forms.insert({e.font_table[form], e.font_slot[form]}).second)
          << e.string << " form " << form << " shares its glyph";
  }
  // A vowel sign is in "vowa", or, drawn for added entries alone, in "syma", never where a whole form is.
  for (int i = 0; i < t.table_size; ++i) {
    const auto& e = t.tib_chars[i];
    for (int form = 1; form < tsd::kFormApostropheBase; ++form) {
      if (form == tsd::kFormJoinedU) continue;
      EXPECT_TRUE(e.font_table[form] == sample_tables::kVowelFont || e.font_table[form] == sample_tables::kSymbolFont)
          << e.string << " form " << form;
      EXPECT_FALSE(whole_forms.contains({e.font_table[form], e.font_slot[form]})) << e.string << " form " << form;
    }
  }
}

TEST(sample_tables, separator_and_letters_live_in_the_base_font) {
  // The separator is written without a font switch, and a "u" after a letter takes back one byte.
  const Tables& t = sample();
  for (const char key : std::string_view(".kKgGcCjNtTdnpPbmxXDwZz'yrlSshAvVqQB")) {
    const auto& entry = t.tib_chars[t.tib_keys[static_cast<unsigned char>(key)].index];
    EXPECT_EQ(entry.font_table[tsd::kFormBase], 0) << key;
  }
}

TEST(sample_tables, every_key_string_of_the_tables_composes_whole) {
  const TranslitTables& tt = translit();
  for (int i = 0; i < tt.stacks.num_strings; ++i) expect_composes(std::string(tt.stacks.keys[i]) + "a");
  for (int i = 0; i < tt.later_stacks.num_strings; ++i)
    expect_composes(std::string(tt.later_stacks.keys[i]) + "i");
  for (int i = 0; i < tt.initial_vowels.num_strings; ++i) expect_composes(tt.initial_vowels.keys[i]);
  for (int i = 0; i < tt.vowels.num_strings; ++i) expect_composes(std::string("k") + tt.vowels.keys[i]);
}

TEST(sample_tables, stacks_take_every_closing_form) {
  for (const char* keys : {"fkru", "fgr'a", "fgr'u", "fk'e", "fA'u&", "fsgrubs", "'fgro", "kafbde", "fkrO"})
    expect_composes(keys);
}

TEST(sample_tables, single_keys_and_symbols_compose) {
  for (int c = 1; c < 256; ++c)
    if (letter_keys[c] != 0) expect_composes(std::string(1, static_cast<char>(letter_keys[c])));
  for (const char* keys : {",", ":", "?", "-", "<", ">", "="}) expect_composes(keys);
  EXPECT_EQ(decode(compose(".")), ". ");
}

}  // namespace

namespace {

// Records of data/keyfont as documents written before the added entries hold them: they must not change.
TEST(sample_tables, the_codes_documents_hold_stay_where_they_were) {
  const char* const records[] = {
      ". 0 46  i 32 105  u 1 57  e 32 101  o 32 111  E 32 69  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` 32 "
      "96  I 32 73  U 32 85  & 32 38  % 32 37  ' 1 58  'u 1 59  - 0 0",
      "= 33 61  i 32 105  u 33 36  e 32 101  o 32 111  E 32 69  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` "
      "32 96  I 32 73  U 32 85  & 32 38  % 32 37  ' 33 37  'u 33 38  - 0 0",
      "Ry 5 81  i 32 105  u 5 82  e 32 101  o 32 111  E 32 69  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` "
      "32 96  I 32 103  U 32 85  & 32 38  % 32 37  ' 5 83  'u 5 84  - 0 0",
      "k 0 107  i 32 33  u 11 91  e 32 46  o 32 59  E 32 65  O 32 78  J 32 74  F 32 70  L 32 76  ~ 32 126  ` 32 "
      "96  I 32 104  U 32 85  & 32 123  % 32 37  ' 11 92  'u 11 93  - 0 0",
      "qw 17 52  i 32 105  u 17 53  e 32 101  o 32 111  E 32 63  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` "
      "32 96  I 32 73  U 32 85  & 32 38  % 32 37  ' 17 54  'u 17 55  - 0 0",
      "rtsny 18 113  i 32 105  u 18 114  e 32 101  o 32 111  E 32 69  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 "
      "126  ` 32 96  I 32 103  U 32 85  & 32 38  % 32 37  ' 18 115  'u 18 116  - 0 0",
      "sgr 19 102  i 32 34  u 19 103  e 32 46  o 32 59  E 32 63  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` "
      "32 96  I 32 104  U 32 85  & 32 38  % 32 37  ' 19 104  'u 19 105  - 0 0",
      "zw 24 37  i 32 105  u 24 38  e 32 47  o 32 111  E 32 69  O 32 79  J 32 74  F 32 70  L 32 76  ~ 32 126  ` "
      "32 96  I 32 103  U 32 85  & 32 38  % 32 37  ' 24 39  'u 24 40  - 0 0",
  };
  const std::string keyfont = read_file(kDataDir + "keyfont");
  for (const char* record : records)
    EXPECT_NE(keyfont.find(std::string("\n").append(record).append("\n")), std::string::npos) << record;
}

TEST(sample_tables, added_entries_take_only_codes_that_were_free) {
  const auto classes = sample_tables::parse_vowel_classes(read_file(kDataDir + "vowel_classes"));
  const auto stacks = sample_tables::parse_added_stacks(read_file(kDataDir + "added_stacks"));
  const auto without = sample_tables::make_entries(translit(), classes);
  const auto with = sample_tables::make_entries(translit(), classes, stacks);
  ASSERT_EQ(with.size(), static_cast<std::size_t>(sample_tables::kMaxRecords));
  std::map<std::string, const sample_tables::Entry*> before;
  std::set<std::pair<int, int>> held;
  for (const auto& e : without) {
    if (e.added) continue;
    before[e.string] = &e;
    for (const auto& f : e.forms) held.insert({f.font, f.code});
  }
  int added = 0;
  for (const auto& e : with) {
    if (!e.added) {
      ASSERT_TRUE(before.contains(e.string)) << e.string;
      for (int form = 0; form < sample_tables::kGroups; ++form)
        EXPECT_EQ(e.forms[form].code, before[e.string]->forms[form].code) << e.string << " form " << form;
      continue;
    }
    ++added;
    for (const int form : sample_tables::kWholeForms) {
      if (form != tsd::kFormBase || e.string.size() > 1) {
        EXPECT_FALSE(held.contains({e.forms[form].font, e.forms[form].code})) << e.string << " form " << form;
      }
    }
  }
  EXPECT_EQ(added, sample_tables::kMaxRecords - static_cast<int>(before.size()));
}

// Groups drawn for added entries alone take codes of "syma" after every other code, so that the codes of
// the groups before them stay.
TEST(sample_tables, groups_of_added_entries_take_codes_after_every_other) {
  const auto before = sample_tables::make_entries(translit(), sample_tables::parse_vowel_classes("k 1 1\n"));
  const auto after = sample_tables::make_entries(
      translit(), sample_tables::parse_vowel_classes("k 1 1\nkr 1 100\nKr 1 100\ng 3 101\n"));
  ASSERT_EQ(before.size(), after.size());
  std::map<std::string, const sample_tables::Entry*> by_string;
  for (const auto& e : after) by_string[e.string] = &e;
  for (const auto& e : before) {
    const auto& a = *by_string.at(e.string);
    for (int form = 0; form < sample_tables::kGroups; ++form) {
      if ((e.string == "kr" || e.string == "Kr") && form == 1) continue;
      if (e.string == "g" && form == 3) continue;
      EXPECT_EQ(a.forms[form].font, e.forms[form].font) << e.string << " form " << form;
      EXPECT_EQ(a.forms[form].code, e.forms[form].code) << e.string << " form " << form;
    }
  }
  const auto& kr = by_string.at("kr")->forms[1];
  EXPECT_EQ(kr.font, sample_tables::kSymbolFont);
  EXPECT_EQ(by_string.at("Kr")->forms[1].code, kr.code);
  EXPECT_EQ(by_string.at("g")->forms[3].font, sample_tables::kSymbolFont);
  EXPECT_NE(by_string.at("g")->forms[3].code, kr.code);
}

TEST(sample_tables, added_stacks_are_read_as_the_keys_that_type_them) {
  const struct {
    std::string_view text;
    std::vector<std::string> strings;
  } cases[] = {
      {"# a comment\n\nརྱ 12 6 U+0F62 U+0FB1\n", {"ry"}},
      {"ཪྡྷ 0 1\nརྞྞ\n", {"Rdh", "rVV"}},
      {"ཌྰ 2 0\nཀྵ 0 19\n", {"v+", "kB"}},
      // A letter that no key types, or more letters than an entry string holds: left out.
      {"ཫྐ 0 1\nཀྐྐྐྐྐྐྐ 0 1\nསྒྲ 9 9\n", {"sgr"}},
  };
  for (const auto& c : cases) EXPECT_EQ(sample_tables::parse_added_stacks(c.text), c.strings) << c.text;
  for (const std::string_view bad : {"ཀ 1 1\n", "abc 1 1\n", "ཀ\xE0\xBE 1\n"})
    EXPECT_THROW(sample_tables::parse_added_stacks(bad), std::invalid_argument) << bad;
}

}  // namespace
