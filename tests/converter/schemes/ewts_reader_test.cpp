// The Extended Wylie reader: the vectors of tests/vectors/ewts (one case a line: the EWTS, the hub it
// gives, the warnings it gives), syllable counts, line joining, long and split input, and failures.
//
// A vector line is `input TAB expected [TAB warning]...`. In the input and the expected text `\n`, `\r`,
// `\t`, `\xHH` and `\\` are escapes of the vectors; every other backslash is the input's own (the EWTS
// escapes `\u0F40`). The expected text also takes `\uXXXX` (a code point, as every `\u` there). A warning is
// `OFFSET:LENGTH text`. A line `@keep_cr 0` joins lines in the cases after it; `#` starts a comment line.
#include "ewts_reader.h"
#include "reader_report_support.h"
#include "tibetan.h"
#include "tsv_vectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace tarvex;
using h2test::code_points;
using h2test::joined;
using h2test::warnings_of;

namespace {

struct EwtsCase {
  std::string file;
  int line = 0;
  std::string input;
  std::string expected;
  std::vector<std::string> warnings;
  bool keep_cr = true;
};


// The escapes of a vector field; `code_points` reads `\uXXXX` too.
std::string unescape(std::string_view text, bool code_points) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char e = i + 1 < text.size() && text[i] == '\\' ? text[i + 1] : 0;
    if (e == 'n' || e == 'r' || e == 't' || e == '\\') {
      out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : '\\';
      ++i;
    } else if (e == 'x' && i + 3 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else if (e == 'u' && code_points && i + 5 < text.size()) {
      append_utf8(out, static_cast<char32_t>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16)));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<EwtsCase> read_cases() {
  std::vector<EwtsCase> cases;
  for (const h2test::TsvLine& t : h2test::read_tsv_vectors("ewts")) {
    EwtsCase c;
    c.file = t.file;
    c.line = t.line;
    c.input = unescape(t.fields[0], false);
    c.expected = t.fields.size() > 1 ? unescape(t.fields[1], true) : std::string();
    for (std::size_t k = 2; k < t.fields.size(); ++k) c.warnings.push_back(t.fields[k]);
    c.keep_cr = t.keep_cr;
    cases.push_back(c);
  }
  return cases;
}

// UTF-8 as code points, for the messages: "0F40 0F7A 0F74".
class ewts_vectors : public ::testing::TestWithParam<EwtsCase> {};

TEST_P(ewts_vectors, gives_the_expected_hub_and_warnings) {
  const EwtsCase& c = GetParam();
  ReaderReport report;
  const std::string hub = ewts_to_unicode(c.input, &report, c.keep_cr);
  EXPECT_TRUE(hub == c.expected) << c.file << ":" << c.line << ": " << c.input << "\n  got      " << hub
                                 << "  (" << code_points(hub) << ")\n  expected " << c.expected << "  ("
                                 << code_points(c.expected) << ")";
  EXPECT_TRUE(warnings_of(report) == c.warnings)
      << c.file << ":" << c.line << ": " << c.input << "\n  got" << joined(warnings_of(report))
      << "\n  expected" << joined(c.warnings);
}

std::string case_name(const ::testing::TestParamInfo<EwtsCase>& info) {
  std::string name =
      info.param.file.substr(0, info.param.file.find('.')) + "_" + std::to_string(info.param.line);
  return name;
}

INSTANTIATE_TEST_SUITE_P(cases, ewts_vectors, ::testing::ValuesIn(read_cases()), case_name);

// Syllables read, and those with something written as it stood.
TEST(ewts_reader, counts_syllables_and_those_not_converted) {
  struct Count {
    const char* ewts;
    std::int64_t syllables;
    std::int64_t not_converted;
  };
  const Count counts[] = {
      {"bsgrubs pa'i", 2, 0}, {"aHhU~M`", 2, 0},     {"ka/ kha 12 @#", 2, 0},
      {"Mi la", 2, 1},        {"Sangs rgyas", 2, 1}, {"g....yag", 1, 1},
      {"[ka kha]", 0, 0},     {"ka ka ka", 3, 0},    {"kaQH ga", 2, 1},
      {"kaHQga", 2, 1},       {"~", 0, 0},           {"", 0, 0},
  };
  for (const Count& c : counts) {
    ReaderReport report;
    ewts_to_unicode(c.ewts, &report);
    EXPECT_EQ(report.syllables, c.syllables) << c.ewts;
    EXPECT_EQ(report.not_converted, c.not_converted) << c.ewts;
  }
}

// Asked to, the reader also tells what it takes silently, where it stands; the text is the same.
TEST(ewts_reader, tells_sloppy_input_when_asked_and_reads_it_the_same) {
  struct Case {
    const char* ewts;
    std::vector<std::string> told;
  };
  const Case cases[] = {
      {"la\u2019i", {"2:3 curly apostrophe U+2019 read as sloppy input"}},
      {"\u2018a \u02BCa", {"0:3 curly apostrophe U+2018 read as sloppy input",
                           "5:2 curly apostrophe U+02BC read as sloppy input"}},
      {"\xEF\xBB\xBFka", {"0:3 byte-order mark U+FEFF read as sloppy input"}},
      {"Mi la\u2019i", {"0:1 unexpected character \"M\"", "5:3 curly apostrophe U+2019 read as sloppy input"}},
      {"la'i ka", {}},
  };
  for (const Case& c : cases) {
    ReaderReport quiet, strict;
    strict.tell_sloppy = true;
    const std::string read = ewts_to_unicode(c.ewts, &quiet);
    EXPECT_TRUE(ewts_to_unicode(c.ewts, &strict) == read) << c.ewts;
    EXPECT_EQ(warnings_of(strict), c.told) << c.ewts;
    for (const ReaderWarning& w : quiet.warnings) EXPECT_EQ(w.text.find("sloppy"), std::string::npos) << c.ewts;
  }
}

// The cache of converted syllables: a syllable read again, after one that warned or among others that
// share its bucket, gives the same text and the same warnings at its own offsets.
TEST(ewts_reader, a_syllable_read_again_gives_the_same) {
  std::string text, expected_one;
  for (int i = 0; i < 3000; ++i) text += "bsgrubs kyi gsung Mi ";
  ReaderReport report;
  const std::string hub = ewts_to_unicode(text, &report);
  const std::string one = ewts_to_unicode("bsgrubs kyi gsung Mi ");
  std::string repeated;
  for (int i = 0; i < 3000; ++i) repeated += one;
  EXPECT_TRUE(hub == repeated);
  ASSERT_EQ(report.warnings.size(), 3000u);
  for (std::size_t i = 0; i < report.warnings.size(); ++i)
    ASSERT_EQ(report.warnings[i].offset, i * 21 + 18) << i;
  EXPECT_EQ(report.syllables, 12000);
  EXPECT_EQ(report.not_converted, 3000);
}

// Input far larger than any buffer, with words, escapes, brackets, curly apostrophes and line ends at
// every offset of a block: each line reads as it does alone, and each warning is at its piece's offset.
TEST(ewts_reader, long_input_reads_as_its_lines) {
  const std::vector<std::string> pieces = {"bsgrubs ",  "pa’i ", "\\u0F40 ", "[note \\u0041] ", "Q ", "//_",
                                           "g.yag\r\n", "ku+e ", "\\u01x3 ", "b+h+r+U~M` "};
  std::string text;
  std::vector<std::uint64_t> offsets;
  std::vector<std::vector<std::uint64_t>> piece_offsets;
  for (const std::string& p : pieces) {
    ReaderReport one;
    ewts_to_unicode(p, &one);
    piece_offsets.emplace_back();
    for (const ReaderWarning& w : one.warnings)
      if (w.text != "no Tibetan in the text") piece_offsets.back().push_back(w.offset);
  }
  for (int i = 0; text.size() < 300000; ++i) {
    const std::size_t k = static_cast<std::size_t>(i * 7 + i / 11) % pieces.size();
    for (std::uint64_t o : piece_offsets[k]) offsets.push_back(text.size() + o);
    text += pieces[k];
  }
  ReaderReport report;
  const std::string hub = ewts_to_unicode(text, &report);
  std::string lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines += ewts_to_unicode(std::string_view(text).substr(start, end - start));
    if (end < text.size()) lines += '\n';
    start = end + 2;
  }
  EXPECT_TRUE(hub == lines);
  std::vector<std::uint64_t> got;
  for (const ReaderWarning& w : report.warnings) got.push_back(w.offset);
  EXPECT_TRUE(got == offsets);
  EXPECT_GT(offsets.size(), 1000u);
}

// A run of letters with no break is cut, in bounded memory, and read on.
TEST(ewts_reader, a_run_with_no_break_is_cut) {
  const std::string run(20000, 'k');
  ReaderReport report;
  const std::string hub = ewts_to_unicode(run + " ka", &report);
  ASSERT_GE(report.warnings.size(), 4u);
  EXPECT_EQ(report.warnings[0].offset, 0u);
  EXPECT_EQ(report.warnings[0].text, "syllable longer than 4096 bytes cut");
  EXPECT_EQ(hub.substr(hub.size() - 6), "\xE0\xBC\x8B\xE0\xBD\x80");
}

// Lines joined: a tsheg after a syllable, a space after a shad, nothing after a space; a second line break
// is a paragraph break; no more line breaks than the lines kept.
TEST(ewts_reader, joined_lines_follow_the_line_rule) {
  struct Join {
    const char* ewts;
    const char* joined;
  };
  const Join joins[] = {
      {"ka\nga", "\u0F40\u0F0B\u0F42"},           {"ka/\nga", "\u0F40\u0F0D \u0F42"},
      {"ka \nga", "\u0F40\u0F0B\u0F42"},          {"ka\n\nga", "\u0F40\u0F0B\n\n\u0F42"},
      {"ka\n\n\nga", "\u0F40\u0F0B\n\n\n\u0F42"}, {"[note]\nga", "note \u0F42"},
      {"ka\r\nga", "\u0F40\u0F0B\u0F42"},
  };
  for (const Join& j : joins) {
    EXPECT_EQ(ewts_to_unicode(j.ewts, nullptr, false), j.joined) << j.ewts;
    const std::string kept = ewts_to_unicode(j.ewts, nullptr, true);
    const std::string joined = j.joined;
    EXPECT_GE(std::count(kept.begin(), kept.end(), '\n'), std::count(joined.begin(), joined.end(), '\n'))
        << j.ewts;
  }
}

TEST(ewts_reader, a_failed_write_is_reported) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "ka ";
  tsd::Stream in = tsd::Stream::holding(text, tsd::Stream::Mode::text);
  tsd::Stream full = tsd::Stream::adopt(std::fopen("/dev/full", "w+b"), tsd::Stream::Mode::binary, true);
  ASSERT_TRUE(full.is_open());
  EXPECT_EQ(ewts_to_hub(in, full, true, nullptr), -1);
}

}  // namespace
