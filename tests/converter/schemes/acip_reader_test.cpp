// The ACIP reader: the vectors of tests/vectors/acip (one file per part of the scheme: letters, vowels,
// stacking, signs, spacing, digits, markers, traps; a line is `input TAB expected [TAB warning]...` with
// the escapes `\n`, `\t`, `\\` and, in the expected text, `\uXXXX`), the readings a library's import adds
// (options, off by default), word grammar on its own, and input cut at every place.
#include "acip_reader.h"
#include "ewts_reader.h"
#include "reader_report_support.h"
#include "tibetan.h"
#include "tsv_vectors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace tarvex;
using h2test::code_points;
using h2test::joined;
using h2test::warnings_of;

namespace {

struct AcipCase {
  std::string file;
  int line = 0;
  std::string input;
  std::string expected;
  std::vector<std::string> warnings;
};

std::string unescape(std::string_view text, bool code_points) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char e = i + 1 < text.size() && text[i] == '\\' ? text[i + 1] : 0;
    if (e == 'n' || e == 't' || e == '\\') {
      out += e == 'n' ? '\n' : e == 't' ? '\t' : '\\';
      ++i;
    } else if (e == 'u' && code_points && i + 5 < text.size()) {
      append_utf8(out, static_cast<char32_t>(std::stoul(std::string(text.substr(i + 2, 4)), nullptr, 16)));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<AcipCase> read_cases() {
  std::vector<AcipCase> cases;
  for (const h2test::TsvLine& t : h2test::read_tsv_vectors("acip")) {
    AcipCase c;
    c.file = t.file;
    c.line = t.line;
    c.input = unescape(t.fields[0], false);
    c.expected = t.fields.size() > 1 ? unescape(t.fields[1], true) : std::string();
    for (std::size_t k = 2; k < t.fields.size(); ++k) c.warnings.push_back(t.fields[k]);
    cases.push_back(c);
  }
  return cases;
}

class acip_vectors : public ::testing::TestWithParam<AcipCase> {};

TEST_P(acip_vectors, gives_the_expected_hub_and_warnings) {
  const AcipCase& c = GetParam();
  ReaderReport report;
  const std::string hub = acip_to_unicode(c.input, &report);
  EXPECT_TRUE(hub == c.expected) << c.file << ":" << c.line << ": " << c.input << "\n  got      " << hub
                                 << "  (" << code_points(hub) << ")\n  expected " << c.expected << "  ("
                                 << code_points(c.expected) << ")";
  EXPECT_TRUE(warnings_of(report) == c.warnings)
      << c.file << ":" << c.line << ": " << c.input << "\n  got" << joined(warnings_of(report))
      << "\n  expected" << joined(c.warnings);
}

std::string case_name(const ::testing::TestParamInfo<AcipCase>& info) {
  return "acip_" + info.param.file.substr(0, info.param.file.find('.')) + "_" +
         std::to_string(info.param.line);
}

INSTANTIATE_TEST_SUITE_P(cases, acip_vectors, ::testing::ValuesIn(read_cases()), case_name);

// The readings a library's import adds, each off unless asked for.
struct OptionCase {
  const char* input;
  AcipOptions options;
  const char* expected;
};

TEST(acip_reader, library_readings_are_options_that_default_off) {
  const OptionCase cases[] = {
      {"KA KHA\nGA", {}, "ཀ་ཁ\nག"},
      {"KA KHA\nGA", {.tsheg_at_line_end = true}, "ཀ་ཁ་\nག"},
      {"KA,\nGA", {.tsheg_at_line_end = true}, "ཀ།\nག"},
      {"NGA,", {}, "ང།"},
      {"NGA,", {.tsheg_after_nga = true}, "ང་།"},
      {"SANG,", {.tsheg_after_nga = true}, "སང་།"},
      {"KA,", {.tsheg_after_nga = true}, "ཀ།"},
  };
  for (const OptionCase& c : cases)
    EXPECT_EQ(acip_to_unicode(c.input, nullptr, true, c.options), c.expected) << c.input;
}

TEST(acip_reader, a_word_read_again_from_the_cache_gives_the_same) {
  EXPECT_EQ(acip_to_unicode("PADMA PADMA BA'I BA'I KA: KA:"), "པདྨ་པདྨ་བའི་བའི་ཀཿ ཀཿ");
}

// A syllable is counted once, as its Extended Wylie is: an a-chung after a vowel and what it carries
// belong to the syllable before (read as a syllable of their own, they were counted twice).
TEST(acip_reader, counts_the_syllables_its_extended_wylie_counts) {
  struct Case {
    const char* acip;
    const char* ewts;
    int syllables;
  };
  const Case cases[] = {
      {"PA'I", "pa'i", 1},
      {"DGA'O", "dga'o", 1},
      {"PA'AM PA'ANG", "pa'am pa'ang", 2},
      {"PHYI'I'M", "phyi'i'am", 1},
      {"BA'I 'OD", "ba'i 'od", 2},
      {"'I A'I", "'i A'i", 2},
      {"SANGS RGYAS", "sangs rgyas", 2},
      {"BKA'", "bka'", 1},
  };
  for (const Case& c : cases) {
    ReaderReport acip, ewts;
    acip_to_unicode(c.acip, &acip);
    ewts_to_unicode(c.ewts, &ewts);
    EXPECT_EQ(acip.syllables, c.syllables) << c.acip;
    EXPECT_EQ(ewts.syllables, c.syllables) << c.ewts;
  }
}

// A long input crosses the reader's window at every kind of place and reads as its lines read one by one.
TEST(acip_reader, long_input_reads_as_its_lines) {
  const std::string lines[] = {"BSGRUBS PA'I PADMA ,", "@001A", "[note] {DD} (KA KHA) 12", "A'A: KEEm ,,"};
  std::string ones[4];
  for (int k = 0; k < 4; ++k) {
    ones[k] = acip_to_unicode(lines[k]);
    if (!ones[k].ends_with("\n")) ones[k] += "\n";
  }
  std::string input, expected;
  for (int i = 0; i < 12000; ++i) {
    input += lines[i % 4] + "\n";
    expected += ones[i % 4];
  }
  EXPECT_TRUE(acip_to_unicode(input) == expected);
}

// The spacing before a shad looks at the word before it, which may end just where the reader's window
// (64 KiB) does and be gone from it when the shad is read: read at each place around that end, with a
// full window after it, the word and its shad read as they do alone.
TEST(acip_reader, a_word_before_a_shad_at_the_windows_end_keeps_its_spacing) {
  struct Case {
    std::string_view tail;
    AcipOptions options;
  };
  const Case cases[] = {{"DAG ,", {}}, {"LUNG ,", {false, true}}, {"BKA' ,", {}}, {"KA: ,", {}}};
  std::string after = "\n";
  while (after.size() < (std::size_t{1} << 17)) after += "KA ";
  for (const Case& c : cases) {
    const std::string alone = acip_to_unicode(c.tail, nullptr, true, c.options);
    for (std::size_t end = (std::size_t{1} << 16) - 8; end < (std::size_t{1} << 16) + 8; ++end) {
      std::string input;
      while (input.size() + 3 + c.tail.size() < end) input += "KA ";
      input.resize(end - c.tail.size(), ' ');
      input.append(c.tail).append(after);
      const std::string read = acip_to_unicode(input, nullptr, true, c.options);
      EXPECT_NE(read.find(alone), std::string::npos) << c.tail << " ending at " << end;
    }
  }
}

}  // namespace
