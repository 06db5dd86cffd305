// The Extended Wylie writer: the vectors of tests/vectors/ewts_out (Unicode made a hub by the Unicode
// reader, the EWTS it gives, the warnings at hub offsets), each also read back by the EWTS reader to its
// hub; generated syllables (every stack of the tables with every vowel, prefix and suffix; Sanskrit stacks
// of two to four letters) read back; and the Kangyur volume of the shared corpus both ways (skipped where
// the corpus is not there).
#include "ewts_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "driver_support.h"
#include "ewts_reader.h"
#include "ewts_tables.h"
#include "reader_report_support.h"
#include "tibetan.h"
#include "tsv_vectors.h"
#include "unicode_reader.h"

using namespace tarvex;
using h2test::warnings_of;

namespace {

// The hub column: the vectors' escapes and \uXXXX for a code point.
std::string hub_of(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field.compare(i, 2, "\\u") == 0 && i + 5 < field.size()) {
      append_utf8(out, static_cast<char32_t>(std::stoul(field.substr(i + 2, 4), nullptr, 16)));
      i += 5;
    } else if (field[i] == '\\' && i + 1 < field.size()) {
      out += tsd::testing::unescape(field.substr(i, 2));
      ++i;
    } else {
      out += field[i];
    }
  }
  return out;
}

// The EWTS column as it stands, but \n and \t.
std::string ewts_of(std::string field) {
  for (const auto& [from, to] : {std::pair{"\\n", "\n"}, std::pair{"\\t", "\t"}})
    for (std::size_t at; (at = field.find(from)) != std::string::npos;) field.replace(at, 2, to);
  return field;
}

// What the EWTS reads back as, with every line break kept; its warnings in `report`.
std::string read_back(const std::string& ewts, ReaderReport& report) {
  return ewts_to_unicode(ewts, &report);
}

TEST(ewts_writer, vectors_give_their_ewts_and_warnings_and_read_back) {
  const std::vector<h2test::TsvLine> lines = h2test::read_tsv_vectors("ewts_out");
  ASSERT_GT(lines.size(), 100u);
  for (const h2test::TsvLine& t : lines) {
    const std::string where = t.file + ":" + std::to_string(t.line);
    // Through the Unicode reader, as the routes give the writer the hub: the same text unless it holds
    // what the reader decomposes or puts in order.
    const std::string hub = unicode_to_hub(hub_of(t.fields[0]));
    ReaderReport written, read;
    const std::string ewts = hub_to_ewts(hub, &written);
    EXPECT_EQ(ewts, ewts_of(t.fields.at(1))) << where;
    EXPECT_EQ(warnings_of(written), std::vector<std::string>(t.fields.begin() + 2, t.fields.end())) << where;
    EXPECT_EQ(h2test::escape(read_back(ewts, read)), h2test::escape(hub)) << where << " " << ewts;
    EXPECT_TRUE(warnings_of(read).empty() ||
                warnings_of(read).front().find("no Tibetan") != std::string::npos)
        << where << " " << ewts << ": " << warnings_of(read).front();
  }
}

// Each generated syllable on a line of its own, all written at once and read back line by line: no escape,
// no warning either way.
void expect_round_trips(const std::vector<std::string>& syllables) {
  std::string hub;
  for (const std::string& s : syllables) hub += s + "\n";
  ReaderReport written, read;
  const std::string ewts = hub_to_ewts(hub, &written);
  const std::string back = read_back(ewts, read);
  EXPECT_TRUE(written.warnings.empty()) << written.warnings.front().text;
  EXPECT_TRUE(read.warnings.empty()) << read.warnings.front().text;
  EXPECT_EQ(ewts.find('\\'), std::string::npos)
      << "escaped: " << ewts.substr(ewts.rfind('\n', ewts.find('\\')) + 1, 40);
  std::size_t at = 0, ewts_at = 0;
  for (const std::string& s : syllables) {
    const std::string line = back.substr(at, s.size());
    const std::size_t ewts_end = ewts.find('\n', ewts_at);
    EXPECT_EQ(line, s) << "written " << ewts.substr(ewts_at, ewts_end - ewts_at);
    if (line != s) return;
    at += s.size() + 1;
    ewts_at = ewts_end + 1;
  }
}

std::string utf8(std::initializer_list<char32_t> cps) {
  std::string out;
  for (const char32_t c : cps)
    if (c) append_utf8(out, c);
  return out;
}

TEST(ewts_writer, every_stack_with_every_vowel_prefix_and_suffix_reads_back) {
  // The stacks: every letter, and every standard stack as its letters read.
  std::vector<std::string> stacks;
  for (const EwtsLetter& l : ewts_letters)
    if (l.spelling == EwtsSpelling::standard && !l.tsa_phru) stacks.push_back(utf8({l.whole}));
  for (const std::string_view name : ewts_standard_stacks)
    stacks.push_back(ewts_to_unicode(std::string(name) + "a"));
  std::vector<std::string> vowels{""};
  for (const EwtsVowel& v : ewts_vowels)
    if (v.subjoined == 0) vowels.push_back(utf8({v.signs[0], v.signs[1]}));
  std::vector<std::string> suffixes{""};
  for (const EwtsSuffixRule& r : ewts_suffix_rules) {
    suffixes.push_back(ewts_to_unicode(std::string(r.suffix) + "a"));
    for (std::string_view second = r.second; !second.empty();) {
      const std::size_t space = second.find(' ');
      suffixes.push_back(
          ewts_to_unicode(std::string(r.suffix) + "a" + std::string(second.substr(0, space)) + "a"));
      second.remove_prefix(space == std::string_view::npos ? second.size() : space + 1);
    }
  }
  const std::vector<std::string> prefixes{"", "\u0F42", "\u0F51", "\u0F56", "\u0F58", "\u0F60"};
  std::vector<std::string> syllables;
  std::size_t k = 0;
  for (const std::string& stack : stacks)
    for (const std::string& vowel : vowels)
      for (const std::string& prefix : prefixes)
        syllables.push_back(prefix + stack + vowel + suffixes[k++ % suffixes.size()]);
  expect_round_trips(syllables);
}

TEST(ewts_writer, sanskrit_stacks_of_two_to_four_letters_read_back) {
  std::vector<char32_t> whole, under;
  for (const EwtsLetter& l : ewts_letters)
    if (l.spelling == EwtsSpelling::standard && !l.tsa_phru) {
      whole.push_back(l.whole);
      under.push_back(l.subjoined);
    }
  under.push_back(kEwtsAchenSubjoined);
  const std::vector<char32_t> vowels{0, 0x0F72, 0x0F74, 0x0F71, 0x0F7C, 0x0F80};
  std::vector<std::string> syllables;
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::size_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (const char32_t a : whole)
    for (const char32_t b : under) syllables.push_back(utf8({a, b, vowels[next(vowels.size())]}));
  const auto some = [](int i, int n, char32_t c) { return i % n ? c : char32_t{0}; };
  for (int i = 0; i < 20000; ++i)
    // Three or four letters, perhaps after a stack and before a suffix: as in pad+ma, tsan+dan.
    syllables.push_back(utf8({some(i, 3, 0x0F54), whole[next(whole.size())], under[next(under.size())],
                              under[next(under.size())], some(i, 2, under[next(under.size())]),
                              vowels[next(vowels.size())], i % 5 ? char32_t{0} : char32_t{0x0F53}}));
  expect_round_trips(syllables);
}

// Letters and signs with no break, longer than the reader takes as one word: cut, and read back whole.
TEST(ewts_writer, a_run_longer_than_a_word_reads_back) {
  std::string hub;
  for (int i = 0; i < 1500; ++i) hub += "\u0F40\u0F90";
  for (int i = 0; i < 1500; ++i) hub += "\u0F72";
  ReaderReport read;
  EXPECT_EQ(read_back(hub_to_ewts(hub), read), hub);
  EXPECT_TRUE(read.warnings.empty()) << read.warnings.front().text;
}

const std::string kCorpus = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// The volume's Unicode written as EWTS reads back to itself, and is the volume's own EWTS line for line but
// where the volume writes two shads ། ། as `//`, which reads as the nyis shad ༎ (the standard EWTS of two
// shads is `/` and an escape). Its EWTS read and written again is its EWTS on every line.
TEST(ewts_writer, the_volume_round_trips_both_ways) {
  if (!std::filesystem::exists(kCorpus + ".bo.txt"))
    GTEST_SKIP() << "the shared corpus is not beside the checkout";
  const std::string unicode = tsd::testing::read_file(kCorpus + ".bo.txt");
  const std::string volume_ewts = tsd::testing::read_file(kCorpus + ".wylie.txt");
  ReaderReport written, read;
  const std::string ewts = hub_to_ewts(unicode, &written);
  EXPECT_TRUE(written.warnings.empty());
  EXPECT_EQ(read_back(ewts, read), unicode);
  EXPECT_TRUE(read.warnings.empty());

  const std::vector<std::string> ours = lines_of(ewts), theirs = lines_of(volume_ewts);
  ASSERT_EQ(ours.size(), theirs.size());
  std::map<std::string, int> differing;  // by reason
  int equal = 0;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    if (ours[i] == theirs[i]) {
      ++equal;
      continue;
    }
    std::string standard = theirs[i];
    for (std::size_t at = 0; (at = standard.find("//", at)) != std::string::npos;)
      standard.replace(at, 2, "/\\u0F0D");
    ++differing[standard == ours[i] ? "two shads written //"
                                    : "line " + std::to_string(i + 1) + ": " + ours[i]];
  }
  EXPECT_EQ(equal, 5485 - 47);
  EXPECT_EQ(differing, (std::map<std::string, int>{{"two shads written //", 47}}));

  ReaderReport again;
  EXPECT_EQ(hub_to_ewts(ewts_to_unicode(volume_ewts), &again), volume_ewts);
  EXPECT_TRUE(again.warnings.empty());
}

}  // namespace
