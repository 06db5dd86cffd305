// The keys of a hub syllable, with the bundled tables: the vectors of tests/vectors/stack_keys (typed.tsv:
// Wylie and the keys of its Unicode, checked against what the extraction writes for that Wylie and the
// glyphs both give; refused.tsv: Unicode and the bytes that cannot be typed), every stack of the key-font
// table read back from its Unicode, and the keys of marks.
//
// Fields take the escapes `\xHH` (a byte) and `\uXXXX` (a code point as UTF-8).
#include "stack_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert_file.h"
#include "driver_support.h"
#include "font_code_pass.h"
#include "routes.h"
#include "tibetan.h"
#include "unicode_keys.h"

using namespace tarvex;

namespace {

const ConverterKeyTables& tables() { return h2test::bundled_key_tables(); }

const StackKeys& stack_keys() {
  static const StackKeys keys(tables());
  return keys;
}

std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char e = i + 1 < text.size() && text[i] == '\\' ? text[i + 1] : 0;
    if (e == 'x' && i + 3 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else if (e == 'u' && i + 5 < text.size()) {
      char bytes[4];
      const auto c = static_cast<char32_t>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16));
      out.append(bytes, static_cast<std::size_t>(put_utf8(c, bytes)));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Row {
  std::string where;
  std::string first;
  std::string second;
};

std::vector<Row> rows_of(const std::string& file) {
  std::ifstream in(TSENDREL_SOURCE_DIR "/tests/vectors/stack_keys/" + file, std::ios::binary);
  std::vector<Row> rows;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    rows.push_back({file + ":" + std::to_string(number), line.substr(0, tab),
                    tab == std::string::npos ? std::string() : line.substr(tab + 1)});
  }
  EXPECT_FALSE(rows.empty()) << file;
  return rows;
}

// The keys of `syllable`, or "refused FROM:TO".
std::string keys_of(std::string_view syllable, int capacity = 96) {
  char out[96];
  std::size_t from = 0, to = 0;
  const int n = stack_keys().syllable_keys(syllable, out, capacity, from, to);
  if (n < 0) return "refused " + std::to_string(from) + ":" + std::to_string(to);
  return std::string(out, static_cast<std::size_t>(n));
}

// A conversion of `wylie` by `route` (to its end, or to the syllable file).
std::string converted(const std::string& wylie, const char* route, Stage stage) {
  tsd::testing::TempDir dir;
  ConversionContext context = h2test::test_context();
  context.key_tables = &tables();
  h2test::StatusCapture status(context);
  const ConversionRequest request = h2test::test_request(route_id(route));
  const std::string in = dir.write("in.txt", wylie), out = dir.file("out");
  EXPECT_EQ(convert_file_until(context, in.c_str(), out.c_str(), request, stage), 0) << wylie;
  return tsd::testing::read_file(out);
}

// The extraction's keys less the inherent `a` after a lone letter, which types nothing.
std::string without_lone_inherent(const std::string& keys) {
  std::string out;
  bool in_stack = false;
  for (const char k : keys) {
    const UnicodeKey* key = unicode_key(static_cast<unsigned char>(k));
    const KeyRole role = key ? key->role : KeyRole::none;
    if (role == KeyRole::inherent && !in_stack) continue;
    if (role == KeyRole::stack) in_stack = true;
    if (role == KeyRole::inherent || role == KeyRole::vowel) in_stack = false;
    out += k;
  }
  return out;
}

std::string glyphs_of(const std::string& keys) {
  tsd::SyllableState state;
  tsd::Stream in = h2test::stream_with(keys);
  tsd::Stream out = tsd::Stream::temporary();
  h2test::StatusCapture status;
  EXPECT_EQ(font_code_pass(in, out, 0, tables(), state, status.sink()), 0) << h2test::escape(keys);
  return h2test::contents(out);
}

TEST(stack_keys, a_syllable_is_typed_as_the_extraction_types_its_wylie) {
  for (const Row& row : rows_of("typed.tsv")) {
    const std::string expected = unescape(row.second);
    const std::string unicode = converted(row.first, "wylie-unicode", Stage::complete);
    const std::string extracted = converted(row.first, "wylie-rtf", Stage::syllables);
    const std::string keys = keys_of(unicode);
    EXPECT_EQ(h2test::escape(keys), h2test::escape(expected)) << row.where << ": " << row.first;
    EXPECT_EQ(h2test::escape(without_lone_inherent(extracted)), h2test::escape(expected))
        << row.where << ": the extraction of " << row.first;
    EXPECT_EQ(h2test::escape(glyphs_of(keys)), h2test::escape(glyphs_of(extracted)))
        << row.where << ": the glyphs of " << row.first;
  }
}

TEST(stack_keys, what_cannot_be_typed_is_refused_with_its_bytes) {
  for (const Row& row : rows_of("refused.tsv")) {
    const std::string syllable = unescape(row.first);
    EXPECT_EQ(keys_of(syllable), "refused " + row.second) << row.where << ": " << row.first;
  }
  // Keys that do not fit the room given refuse the whole syllable.
  EXPECT_EQ(keys_of("\u0F56\u0F66\u0F92\u0FB2\u0F74\u0F56\u0F66", 4), "refused 0:21");
  EXPECT_EQ(keys_of("\u0F56\u0F66\u0F92\u0FB2\u0F74\u0F56\u0F66", 8), "bfsgrubs");
}

// The syllables typed with one key of their own.
TEST(stack_keys, symbols_are_typed_with_their_key) {
  EXPECT_EQ(keys_of("\u0F68\u0F71\u0F7F"), "=");
  EXPECT_EQ(keys_of("\u0F67\u0F71\u0F74\u0F83"), ">");
}

// Every stack of the key-font table, with no vowel and with each vowel it takes: its Unicode gives keys,
// and the keys give the Unicode back.
TEST(stack_keys, every_stack_of_the_key_font_table_reads_back) {
  const ConverterKeyTables& t = tables();
  int stacks = 0, forms = 0;
  for (int i = 0; i < t.table_size; ++i) {
    const std::string_view entry = t.tib_chars[static_cast<std::size_t>(i)].string;
    char utf8[64];
    const int n0 = entry_form_unicode(entry, 0, utf8, sizeof utf8);
    if (n0 <= 3) continue;
    const std::string stack(utf8, static_cast<std::size_t>(n0));
    // Only stacks of letters: the first a letter, every other a subjoined one.
    bool letters = true;
    for (std::size_t k = 3; k < stack.size(); k += 3) letters = letters && stack.compare(k, 2, "\xE0\xBE") == 0;
    if (!letters || stack.compare(0, 2, "\xE0\xBD") != 0) continue;
    ++stacks;
    for (int form = 0; form < tsd::kFormCount; ++form) {
      const int n = entry_form_unicode(entry, form, utf8, sizeof utf8);
      if (n <= 0) continue;
      const std::string syllable(utf8, static_cast<std::size_t>(n));
      const std::string keys = keys_of(syllable);
      ASSERT_NE(keys.rfind("refused", 0), 0u) << entry << " form " << form << ": " << keys;
      std::string plain = keys;
      std::erase(plain, '\x19');
      char back[256];
      const int m = syllable_to_unicode(plain, back, sizeof back);
      EXPECT_EQ(std::string(back, static_cast<std::size_t>(std::max(m, 0))), syllable)
          << entry << " form " << form << ": keys " << keys;
      ++forms;
    }
  }
  EXPECT_GT(stacks, 100);
  EXPECT_GT(forms, stacks);
}

TEST(stack_keys, marks_have_their_keys) {
  const struct {
    char32_t c;
    char key;
  } marks[] = {
      {0x0F20, '0'}, {0x0F21, '1'}, {0x0F29, '9'}, {0x0F0D, ','}, {0x0F0E, '?'}, {0x0F14, ':'},
      {0x0F0F, '-'}, {0x0F11, '|'}, {0x0F05, '!'}, {0x0F07, ';'}, {0x0F0C, '"'}, {0x0F34, '/'},
      {0x0F08, '\\'}, {0x0F00, '<'}, {0x0F04, '#'}, {0x0F06, '^'}, {0x0F09, '('}, {0x0F0A, ')'},
      // The tsheg is laid out by the writer; letters, signs and other text have no mark key.
      {0x0F0B, 0}, {0x0F40, 0}, {0x0F72, 0}, {0x0F2A, 0}, {'A', 0}, {0x4E2D, 0},
  };
  for (const auto& m : marks)
    EXPECT_EQ(stack_keys().mark_key(m.c), m.key) << std::hex << static_cast<unsigned>(m.c);
}

}  // namespace
