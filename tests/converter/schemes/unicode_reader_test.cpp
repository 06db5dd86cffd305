// The Unicode reader: the vectors of tests/vectors/unicode_in (one case a line: the input, the hub it
// gives as code points, the warnings it gives), syllable counts, lines joined as the Extended Wylie reader
// joins them, long input read through a stream's runs, and failures.
//
// A vector line is `input TAB code-points [TAB warning]...`. The input takes the escapes `\n`, `\r`, `\t`,
// `\\`, `\xHH` (a byte), `\uXXXX` and `\UXXXXXXXX` (a code point as UTF-8); the hub is written as hex code
// points separated by spaces. A warning is `OFFSET:LENGTH text`. A line `@keep_cr 0` joins lines in the
// cases after it; `#` starts a comment line.
#include "unicode_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ewts_reader.h"
#include "reader_report_support.h"
#include "tsv_vectors.h"

using namespace tarvex;
using h2test::code_points;
using h2test::joined;
using h2test::warnings_of;

namespace {

struct UnicodeCase {
  std::string file;
  int line = 0;
  std::string source;  // the input field as the vector writes it
  std::string input;
  std::string expected;  // code points
  std::vector<std::string> warnings;
  bool keep_cr = true;
};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char e = i + 1 < text.size() && text[i] == '\\' ? text[i + 1] : 0;
    const std::size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : e == 'U' ? 8 : 0;
    if (e == 'n' || e == 'r' || e == 't' || e == '\\') {
      out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : '\\';
      ++i;
    } else if (digits && i + 1 + digits < text.size()) {
      const unsigned long value = std::stoul(std::string(text.substr(i + 2, digits)), nullptr, 16);
      if (e == 'x')
        out += static_cast<char>(value);
      else
        append_utf8(out, static_cast<char32_t>(value));
      i += 1 + digits;
    } else {
      out += text[i];
    }
  }
  return out;
}

// UTF-8 as code points, "0F40 0F7A 0F74"; a byte that is not UTF-8 as "<FF>".
std::vector<UnicodeCase> read_cases() {
  std::vector<UnicodeCase> cases;
  for (const h2test::TsvLine& t : h2test::read_tsv_vectors("unicode_in")) {
    UnicodeCase c;
    c.file = t.file;
    c.line = t.line;
    c.source = t.fields[0];
    c.input = unescape(t.fields[0]);
    c.expected = t.fields.size() > 1 ? t.fields[1] : std::string();
    for (std::size_t k = 2; k < t.fields.size(); ++k) c.warnings.push_back(t.fields[k]);
    c.keep_cr = t.keep_cr;
    cases.push_back(c);
  }
  return cases;
}

class unicode_in_vectors : public ::testing::TestWithParam<UnicodeCase> {};

TEST_P(unicode_in_vectors, gives_the_expected_hub_and_warnings) {
  const UnicodeCase& c = GetParam();
  ReaderReport report;
  const std::string hub = code_points(unicode_to_hub(c.input, &report, c.keep_cr));
  EXPECT_EQ(hub, c.expected) << c.file << ":" << c.line << ": " << c.source << "\n  got      " << hub
                             << "\n  expected " << c.expected;
  EXPECT_TRUE(warnings_of(report) == c.warnings)
      << c.file << ":" << c.line << ": " << c.source << "\n  got" << joined(warnings_of(report))
      << "\n  expected" << joined(c.warnings);
  // A character at a time, the careful way, gives the same.
  tsd::Stream in = tsd::Stream::holding(c.input, tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  ReaderReport careful;
  {
    HubOut careful_hub(out);
    ASSERT_EQ(unicode_to_hub(in, careful_hub, c.keep_cr, &careful, false), 0);
  }
  std::string bytes;
  out.rewind();
  tsd::read_rest(out, [&bytes](const unsigned char* p, std::size_t n) {
    bytes.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  EXPECT_EQ(code_points(bytes), hub) << c.file << ":" << c.line << ": the careful way";
  EXPECT_TRUE(warnings_of(careful) == c.warnings) << c.file << ":" << c.line << ": the careful way";
}

std::string case_name(const ::testing::TestParamInfo<UnicodeCase>& info) {
  return info.param.file.substr(0, info.param.file.find('.')) + "_" + std::to_string(info.param.line);
}

INSTANTIATE_TEST_SUITE_P(cases, unicode_in_vectors, ::testing::ValuesIn(read_cases()), case_name);

// Syllables read (each run of letters and signs from a letter), and the characters written as U+FFFD.
TEST(unicode_reader, counts_syllables_and_those_not_converted) {
  struct Count {
    const char* text;
    std::int64_t syllables;
    std::int64_t not_converted;
  };
  const Count counts[] = {
      {"", 0, 0},
      {"བསྒྲུབས་པའི", 2, 0},
      {"བསྒྲུབས་པའི།", 2, 0},
      {"ཀ ཀ\nཀ", 3, 0},
      {"ཀཀ", 1, 0},
      {"༄༅། །", 0, 0},
      {"༡༢ ཀ", 1, 0},
      {"Tibet", 0, 0},
      {"ཀ\xFF" "ཀ", 2, 1},
      {"\xE0\x80\x80", 0, 3},
      {"\x01\x7F", 0, 2},
      {"ཀཱུ", 1, 0},
      {"\xE0\xBD\xB2", 0, 0},
      {"ཨཱཿཧཱུྃ", 2, 0},
      {"ཀཿ", 1, 0},
      {"\xE0\xBD\x83", 1, 0},
      {"ཀ\xEF\xBF\xBD", 1, 0},
  };
  for (const Count& c : counts) {
    ReaderReport report;
    unicode_to_hub(c.text, &report);
    EXPECT_EQ(report.syllables, c.syllables) << code_points(c.text);
    EXPECT_EQ(report.not_converted, c.not_converted) << code_points(c.text);
  }
}

// The Unicode that the Extended Wylie reader writes with its lines kept, joined by the Unicode reader,
// is what the Extended Wylie reader writes joining them itself: both follow one line rule. And both
// count the same syllables.
TEST(unicode_reader, joins_lines_and_counts_syllables_as_the_extended_wylie_reader) {
  const char* texts[] = {
      "ka\nga",          "ka/\nga",          "ka \nga",          "ka\n\nga",     "ka\n\n\nga",
      "[note]\nga",      "ka\r\nga",         "1\n2",             "ka 1\n2 ga",   "@#\n/_bod",
      "kA\nkI\nku\n\nke", "oM AHhU~M`\nka",   "bsgrubs/\n\nka",   "ka\t\nga",     "ka_\nga",
      "g.yag\ngyag",     "ka //\n\nga",      "\nka\n",           "ka\n\n\n\n",   "rgya gar\nskad du/",
  };
  for (const char* ewts : texts) {
    ReaderReport kept_report;
    const std::string kept = ewts_to_unicode(ewts, &kept_report, true);
    const std::string joined_by_ewts = ewts_to_unicode(ewts, nullptr, false);
    ReaderReport report;
    const std::string joined_by_unicode = unicode_to_hub(kept, &report, false);
    EXPECT_EQ(code_points(joined_by_unicode), code_points(joined_by_ewts)) << ewts;
    EXPECT_EQ(report.syllables, kept_report.syllables) << ewts;
    EXPECT_TRUE(report.warnings.empty()) << ewts << joined(warnings_of(report));
  }
}

// The hub read again is the same hub: the reader's output is already what it writes (but for a
// byte-order mark at its start, which is stepped over again).
TEST(unicode_reader, the_hub_read_again_is_unchanged) {
  for (const UnicodeCase& c : read_cases()) {
    const std::string hub = unicode_to_hub(c.input, nullptr, true);
    if (hub.starts_with("\xEF\xBB\xBF")) continue;
    ReaderReport report;
    EXPECT_EQ(code_points(unicode_to_hub(hub, &report, true)), code_points(hub)) << c.file << ":" << c.line;
    // Only a sign with nothing under it is told again.
    for (const ReaderWarning& w : report.warnings)
      EXPECT_NE(w.text.find("with no letter before it"), std::string::npos) << c.file << ":" << c.line;
  }
}

// Input far larger than a stream's buffer, from pieces with broken UTF-8, reordered signs, control
// characters and characters of every length at every offset of a run: the hub is the pieces' hubs, each
// warning at its piece's offset.
TEST(unicode_reader, long_input_reads_as_its_pieces) {
  const std::vector<std::string> pieces = {
      "བསྒྲུབས་", "\xE0\xBD\x80\xE0\xBD\xB4\xE0\xBD\xB1 ", "\xE0\xBD ", "é ", "\xF0\x9F\x98\x80", "\x01",
      "ཀ\xFF", "\xE0\xBD\x83\xE0\xBD\xB7 ", "中文 ", "\xE0\xBD\xB2", "༄༅། ", "\xED\xA0\x80"};
  std::vector<std::string> piece_hubs;
  std::vector<std::vector<std::uint64_t>> piece_offsets;
  for (const std::string& p : pieces) {
    ReaderReport one;
    piece_hubs.push_back(unicode_to_hub(p, &one));
    piece_offsets.emplace_back();
    for (const ReaderWarning& w : one.warnings) piece_offsets.back().push_back(w.offset);
  }
  std::string text, expected;
  std::vector<std::uint64_t> offsets;
  for (int i = 0; text.size() < 300000; ++i) {
    // Pieces that end in a sign or a broken sequence are followed by a space: a sign after them would
    // join their run, and a broken sequence would take the next piece's first byte.
    const std::size_t k = static_cast<std::size_t>(i * 7 + i / 13) % pieces.size();
    for (const std::uint64_t o : piece_offsets[k]) offsets.push_back(text.size() + o);
    text += pieces[k];
    expected += piece_hubs[k];
    text += ' ';
    expected += ' ';
  }
  ReaderReport report;
  const std::string hub = unicode_to_hub(text, &report);
  EXPECT_TRUE(hub == expected);
  std::vector<std::uint64_t> got;
  for (const ReaderWarning& w : report.warnings) got.push_back(w.offset);
  EXPECT_TRUE(got == offsets);
  EXPECT_GT(offsets.size(), 10000u);
}

// A run of signs longer than the reader holds at once still comes out in canonical order: past 64 signs,
// a combining grapheme joiner (class 0) is written, which no sign sorts across.
TEST(unicode_reader, a_long_run_of_signs_comes_out_in_canonical_order) {
  const struct {
    int run;  // signs U+0F74 (class 132) before one U+0F71 (class 129)
    const char* hub;
    int joiners;
  } runs[] = {{2, "0F40 0F71 0F74 0F74", 0}, {63, nullptr, 0}, {64, nullptr, 1}, {200, nullptr, 3}};
  for (const auto& r : runs) {
    std::string text = "\u0F40";
    for (int i = 0; i < r.run; ++i) text += "\u0F74";
    text += "\u0F71";
    ReaderReport report;
    const std::string hub = code_points(unicode_to_hub(unescape(text), &report));
    if (r.hub) {
      EXPECT_EQ(hub, r.hub);
    }
    int last_class = 0, u = 0, aa = 0, joiners = 0;
    for (std::size_t i = 0; i < hub.size(); i += 5) {
      const std::string c = hub.substr(i, 4);
      const int klass = c == "0F74" ? 132 : c == "0F71" ? 129 : 0;
      EXPECT_FALSE(klass != 0 && klass < last_class) << r.run << " signs: " << hub;
      last_class = klass;
      u += c == "0F74";
      aa += c == "0F71";
      joiners += c == "034F";
    }
    EXPECT_EQ(u, r.run);
    EXPECT_EQ(aa, 1);
    EXPECT_EQ(joiners, r.joiners) << r.run;
    int told = 0;
    for (const ReaderWarning& w : report.warnings)
      told += w.text == "more than 64 signs on one letter: U+034F written after them";
    EXPECT_EQ(told, r.joiners) << r.run;
  }
}

TEST(unicode_reader, a_failed_write_is_reported) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "ཀ ";
  tsd::Stream in = tsd::Stream::holding(text, tsd::Stream::Mode::text);
  tsd::Stream full = tsd::Stream::adopt(std::fopen("/dev/full", "w+b"), tsd::Stream::Mode::binary, true);
  ASSERT_TRUE(full.is_open());
  EXPECT_EQ(unicode_to_hub(in, full, true, nullptr), -1);
}

}  // namespace
