#include "keyfont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "support/keyfont_text.h"
#include "support/temp_dir.h"
#include "trace.h"

namespace {

using tsd::testing::Record;
using tsd::testing::TempDir;

template <int Forms>
struct Loaded {
  std::unique_ptr<tsd::TibChar<Forms>[]> table { new tsd::TibChar<Forms>[ tsd::kTibCharsCapacity ]() };
  int count = 0;
};

std::vector<std::string> reports;
void record_report(const char* message) {
  reports.emplace_back(message);
}

template <int Forms = tsd::kConverterForms>
Loaded<Forms> load(const std::string& text) {
  Loaded<Forms> loaded;
  reports.clear();
  loaded.count =
      tsd::load_keyfont(tsd::TextBytes(text), loaded.table.get(), tsd::kTibCharsCapacity, record_report);
  return loaded;
}

std::string records(int n) {
  std::string text;
  for (int i = 0; i < n; ++i)
    text += Record(std::string("k").append(std::to_string(i % 100000)), 33 + i % 90).text();
  return text;
}

TEST(load_keyfont, reads_every_form_of_each_record) {
  const auto t = load(Record("k", 75).with(1, 32, 99).with(17, 4, 120).text() + Record("kh", 76).text());
  ASSERT_EQ(t.count, 2);
  EXPECT_STREQ(t.table[0].string, "k");
  EXPECT_EQ(t.table[0].font_slot[0], 75);
  EXPECT_EQ(t.table[0].font_table[1], 32);
  EXPECT_EQ(t.table[0].font_slot[1], 99);
  EXPECT_EQ(t.table[0].font_table[17], 4);
  EXPECT_EQ(t.table[0].font_slot[17], 120);
  EXPECT_STREQ(t.table[1].string, "kh");
  EXPECT_STREQ(t.table[2].string, "");  // entries not loaded stay empty
}

TEST(load_keyfont, holds_at_most_699_records) {
  EXPECT_EQ(load(records(699)).count, 699);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(load(records(700)).count, -1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "Number of entries in keyfont file is larger than available table size = 700");
}

TEST(load_keyfont, missing_file_fails_silently) {
  TempDir dir;
  reports.clear();
  tsd::TibChar<tsd::kAddinForms> table[4] = {};
  EXPECT_EQ(tsd::load_keyfont(dir.file("absent").c_str(), table, 4, record_report), -1);
  EXPECT_TRUE(reports.empty());
}

TEST(load_keyfont, numbers_out_of_range_are_refused_not_cut_to_their_low_8_bits) {
  EXPECT_EQ(load(Record("k", 75).with(0, 300, 44).text()).count, -1);
  EXPECT_EQ(reports,
            std::vector<std::string>{"Record 1 of the keyfont file (entry \"k\"), form 0: font number "
                                     "300 is not allowed; fonts are 0 to 33."});
  EXPECT_EQ(load(Record("k", 75).with(1, 32, 256).text()).count, -1);
  EXPECT_EQ(reports,
            std::vector<std::string>{"Record 1 of the keyfont file (entry \"k\"), form 1: character "
                                     "code 256 is not allowed; codes are 1 to 127 but not 10, 19 to 24."});
}

// Font numbers 0..33 and codes 1..127 stand in a glyph string as themselves; any other value would be read
// as the string's end, a take-back, a font switch outside the family or (in the converter) a marker of the
// glyph-code file.
TEST(load_keyfont, refuses_a_value_that_would_corrupt_a_glyph_string_in_either_deliverable) {
  struct Case {
    int font;
    int code;
    bool converter_refuses;
    bool addin_refuses;
    const char* message;  // after "Record 2 of the keyfont file (entry "kh"), form 5: "
  } cases[] = {
      {-1, 75, true, true, "font number -1 is not allowed; fonts are 0 to 33."},
      {34, 75, true, true, "font number 34 is not allowed; fonts are 0 to 33."},
      {127, 75, true, true, "font number 127 is not allowed; fonts are 0 to 33."},
      {255, 75, true, true, "font number 255 is not allowed; fonts are 0 to 33."},
      {0, 0, true, true, "character code 0 is not allowed; codes are "},
      {0, 20, true, true, "character code 20 is not allowed; codes are "},
      {0, 128, true, true, "character code 128 is not allowed; codes are "},
      {0, 255, true, true, "character code 255 is not allowed; codes are "},
      {0, 10, true, false, "character code 10 is not allowed; codes are "},
      {0, 19, true, false, "character code 19 is not allowed; codes are "},
      {0, 24, true, false, "character code 24 is not allowed; codes are "},
  };
  const std::string prefix = "Record 2 of the keyfont file (entry \"kh\"), form 5: ";
  for (const Case& c : cases) {
    const std::string text = Record("k", 75).text() + Record("kh", 76).with(5, c.font, c.code).text();
    const int converter = load<tsd::kConverterForms>(text).count;
    const std::vector<std::string> converter_reports = reports;
    const int addin = load<tsd::kAddinForms>(text).count;
    EXPECT_EQ(converter, c.converter_refuses ? -1 : 2) << c.font << " " << c.code;
    EXPECT_EQ(addin, c.addin_refuses ? -1 : 2) << c.font << " " << c.code;
    ASSERT_EQ(converter_reports.size(), 1u) << c.font << " " << c.code;
    EXPECT_EQ(converter_reports[0].rfind(prefix + c.message, 0), 0u) << converter_reports[0];
    ASSERT_EQ(reports.size(), c.addin_refuses ? 1u : 0u) << c.font << " " << c.code;
    if (c.addin_refuses) {
      EXPECT_EQ(reports[0].rfind(prefix + c.message, 0), 0u) << reports[0];
    }
  }
  // A value in a record that breaks off later still refuses the table: the composer can reach that entry.
  std::string broken = Record("kr", 80).with(3, 40, 80).text();
  broken.replace(broken.find("form5"), 5, "form5 x");
  EXPECT_EQ(load(Record("k", 75).text() + broken).count, -1);
}

TEST(load_keyfont, accepts_every_font_and_code_in_range) {
  std::string text;
  int records = 0;
  for (int font = 0; font <= 33; ++font, ++records)
    text += Record(std::string("f").append(std::to_string(font)), 75).with(7, font, 75).text();
  for (int code = 1; code <= 127; ++code) {
    if (code == 20) continue;
    text += Record(std::string("a").append(std::to_string(code)), 75).with(7, 0, code).text();
    ++records;
  }
  EXPECT_EQ(load<tsd::kAddinForms>(text).count, records);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(load<tsd::kConverterForms>(text).count, -1);  // its first code 10
  const int converter_codes_left_out = 6;                 // 10, 19, 21..24
  std::string converter_text;
  int converter_records = 0;
  for (int code = 1; code <= 127; ++code) {
    if (code == 10 || (code >= 19 && code <= 24)) continue;
    converter_text += Record(std::string("a").append(std::to_string(code)), 75).with(7, 0, code).text();
    ++converter_records;
  }
  EXPECT_EQ(converter_records, 127 - 1 - converter_codes_left_out);
  EXPECT_EQ(load<tsd::kConverterForms>(converter_text).count, converter_records);
  EXPECT_TRUE(reports.empty());
}

TEST(load_keyfont, records_are_tokens_not_lines) {
  std::string one_per_token;
  for (char c : Record("k", 75).text()) one_per_token += c == ' ' ? '\n' : c;
  const auto t = load("\r\n\t" + one_per_token + "\v\f" + Record("g", 71).text());
  ASSERT_EQ(t.count, 2);
  EXPECT_STREQ(t.table[1].string, "g");
}

TEST(load_keyfont, a_short_record_puts_every_later_record_out_of_step) {
  std::string first = Record("k", 75).text();
  first.erase(first.rfind(" last 0 0"));  // the 19th group is missing: it is taken from the next line
  // The out-of-step record stores the 19th group of "g" as a form: a code of 1 keeps it in range.
  std::string later = Record("g", 71).text() + Record("n", 78).text();
  for (std::size_t at; (at = later.find(" last 0 0")) != std::string::npos;)
    later.replace(at, 9, " last 0 1");
  const auto t = load(first + "\n" + later);
  // The next record starts one group late: its name is a label, and it ends with the first group of the
  // record after it; the last one runs out of tokens.
  ASSERT_EQ(t.count, 2);
  EXPECT_STREQ(t.table[0].string, "k");
  EXPECT_STREQ(t.table[1].string, "form1");
  EXPECT_EQ(t.table[1].font_table[0], 32);
  EXPECT_EQ(t.table[1].font_slot[0], 101);
  EXPECT_STREQ(t.table[2].string, "form1");
}

TEST(load_keyfont, a_malformed_record_ends_the_load_and_keeps_its_partial_entry) {
  std::string broken = Record("kr", 80).text();
  broken.replace(broken.find("form5 32 105"), 12, "form5 32 x");
  const auto t = load(Record("k", 75).text() + broken + Record("n", 78).text());
  EXPECT_EQ(t.count, 1);
  EXPECT_STREQ(t.table[1].string, "kr");
  EXPECT_EQ(t.table[1].font_table[5], 32);  // stored before the code failed
  EXPECT_EQ(t.table[1].font_slot[5], 0);
  EXPECT_STREQ(t.table[2].string, "");
}

TEST(load_keyfont, empty_or_malformed_first_record_loads_nothing) {
  for (const char* text : {"", "   \n\n", "k 0", "k zero 33", "k 0 33 label"})
    EXPECT_EQ(load(text).count, 0) << text;
}

// The add-in skips its labels with "%*s" and the converter reads them into a scratch text: both consume
// the same characters, so a number glued to a label, or a label made of digits, reads the same either way.
TEST(load_keyfont, numbers_end_where_digits_end_as_in_scanf) {
  std::string text = Record("k", 75).text();
  text.replace(text.find(" form1 32 101"), 13, " form1 32 101form2");
  text.replace(text.find(" form2 2 75"), 11, " 2 75");
  const auto t = load<tsd::kAddinForms>(text);
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.table[0].font_slot[1], 101);
  EXPECT_EQ(t.table[0].font_slot[2], 75);
  std::string digits = Record("g", 71).text();
  digits.replace(digits.find("form1"), 5, "12");
  digits.replace(digits.find("form2"), 5, "-3");
  const auto labels_of_digits = load(Record("k", 75).text() + digits);
  EXPECT_EQ(labels_of_digits.count, 2);
  EXPECT_EQ(labels_of_digits.table[1].font_slot[2], 71);
}

TEST(load_keyfont, a_name_longer_than_seven_characters_ends_the_load) {
  const auto t = load(Record("k", 75).text() + Record("abcdefgh", 80).text() + Record("n", 78).text());
  EXPECT_EQ(t.count, 1);
  EXPECT_LE(std::strlen(t.table[1].string), 7u);
  EXPECT_EQ(load(Record("abcdefg", 80).text()).count, 1);
}

TEST(load_keyfont, traces_every_fiftieth_record_only_when_shown) {
  static std::vector<std::string> lines;
  lines.clear();
  tsd::set_trace_sink([](int, const char* text) { lines.emplace_back(text); }, 2);
  load(records(101));
  tsd::set_trace_sink(nullptr, 0);
  EXPECT_EQ(lines, (std::vector<std::string>{"str: k0, ct 0", "str: k50, ct 50", "str: k100, ct 100"}));
}

// The stack index must answer exactly as a scan from `from` to the end of the table would.
TEST(stack_index, agrees_with_a_scan_of_the_table) {
  std::mt19937 random(7);
  const char letters[] = "kgr'y";
  for (int round = 0; round < 20; ++round) {
    std::vector<tsd::TibChar<tsd::kAddinForms>> table(tsd::kTibCharsCapacity);
    for (int i = 0; i < 300; ++i) {
      const int length = static_cast<int>(random() % 8);  // 0 leaves an empty entry
      for (int j = 0; j < length; ++j) table[i].string[j] = letters[random() % 5];
    }
    auto index = std::make_unique<tsd::StackIndex>();
    tsd::build_stack_index(table.data(), *index);
    for (int probe = 0; probe < 300; ++probe) {
      char text[9] = {};
      const int length = 1 + static_cast<int>(random() % 8);
      for (int j = 0; j < length; ++j) text[j] = letters[random() % 5];
      const int from = static_cast<int>(random() % 310);
      int expected = -1;
      for (int i = from; i < tsd::kTibCharsCapacity && expected < 0; ++i)
        if (table[i].string[0] != '\0' && std::strncmp(table[i].string, text, length) == 0 &&
            std::strlen(table[i].string) >= static_cast<std::size_t>(length))
          expected = i;
      ASSERT_EQ(tsd::find_stack(*index, text, length, from), expected) << text << " from " << from;
    }
  }
}

}  // namespace

namespace {

// Counts the records that the C library's scanf accepts with the add-in's and the converter's formats.
int scanf_count(const std::string& text, bool converter_format) {
  const tsd::testing::TempDir dir;
  std::FILE* in = std::fopen(dir.write("records", text).c_str(), "rb");
  if (!in) return -1;
  int count = 0;
  char name[256], scratch[256];
  int v[38];
  for (;;) {
    int converted;
    if (converter_format) {
      converted = std::fscanf(
          in,
          "%255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d "
          "%255s%d%d "
          "%255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d %255s%d%d",
          name, &v[0], &v[1], scratch, &v[2], &v[3], scratch, &v[4], &v[5], scratch, &v[6], &v[7], scratch,
          &v[8], &v[9], scratch, &v[10], &v[11], scratch, &v[12], &v[13], scratch, &v[14], &v[15], scratch,
          &v[16], &v[17], scratch, &v[18], &v[19], scratch, &v[20], &v[21], scratch, &v[22], &v[23], scratch,
          &v[24], &v[25], scratch, &v[26], &v[27], scratch, &v[28], &v[29], scratch, &v[30], &v[31], scratch,
          &v[32], &v[33], scratch, &v[34], &v[35], scratch, &v[36], &v[37]);
      if (converted != 57) break;
    } else {
      converted =
          std::fscanf(in,
                      "%255s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d "
                      "%*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d %*s%d%d",
                      name, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10],
                      &v[11], &v[12], &v[13], &v[14], &v[15], &v[16], &v[17], &v[18], &v[19], &v[20], &v[21],
                      &v[22], &v[23], &v[24], &v[25], &v[26], &v[27], &v[28], &v[29], &v[30], &v[31], &v[32],
                      &v[33], &v[34], &v[35], &v[36], &v[37]);
      if (converted != 39) break;
    }
    ++count;
  }
  std::fclose(in);
  return count;
}

TEST(load_keyfont, accepts_exactly_what_both_record_formats_accept) {
  const std::string good = Record("k", 75).text();
  std::vector<std::string> inputs = {
      good + good,
      good + "g 0 71 form1 32",              // runs out inside a record
      good + "g 0 71 form1 32 1x2 " + good,  // a number running into a label
      good + "g +0 +71 " + good.substr(6),   // signs
      good + "g 0 71 form1 - 1" + good,      // a sign alone
      good + "g 0 71 form1 32 101form2 2 71" + good.substr(good.find(" form3")),
      good + "g 0 70x1F " + good,            // hex is not a number
      good + "g\t0\v71\f" + good.substr(6),  // every kind of white space
      good.substr(0, good.size() - 2),       // the last number cut short still reads
      "k 0 75" + std::string(3000, ' ') + good.substr(6),
  };
  for (const auto& text : inputs) {
    const int addin = scanf_count(text, false);
    ASSERT_EQ(addin, scanf_count(text, true)) << text;
    EXPECT_EQ(load<tsd::kAddinForms>(text).count, addin) << text;
    EXPECT_EQ(load<tsd::kConverterForms>(text).count, addin) << text;
  }
}

// What one load gave: its result, the table, the reports and the problem.
struct Outcome {
  int count;
  std::vector<tsd::TibChar<tsd::kAddinForms>> table;
  std::vector<std::string> reports;
  tsd::TableProblem problem;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.count == b.count && a.reports == b.reports && a.problem.path == b.problem.path &&
         a.problem.why == b.problem.why &&
         std::equal(a.table.begin(), a.table.end(), b.table.begin(),
                    [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; });
}

// The path, the stream and the bytes forms read one file alike: CR LF as LF, lone CRs as white space.
TEST(load_keyfont, reads_a_file_its_stream_and_its_bytes_alike) {
  const std::string good = Record("k", 75).text() + Record("kh", 76).text();
  std::string crlf;
  for (const char c : good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string inputs[] = {
      good,        crlf, "\r" + good + "\r", good + "k\r\n0", "", Record("k", 75).with(3, 99, 75).text(),
      records(700)};
  for (const std::string& text : inputs) {
    TempDir dir;
    const std::string path = dir.write("keyfont", text);
    const auto run = [&](auto load_form) {
      Outcome o{0, std::vector<tsd::TibChar<tsd::kAddinForms>>(tsd::kTibCharsCapacity), {}, {}};
      reports.clear();
      o.count = load_form(o.table.data(), &o.problem);
      o.reports = reports;
      return o;
    };
    const Outcome from_path = run([&](auto* table, auto* problem) {
      return tsd::load_keyfont(path.c_str(), table, tsd::kTibCharsCapacity, record_report, problem);
    });
    const Outcome from_stream = run([&](auto* table, auto* problem) {
      tsd::Stream in = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
      return tsd::load_keyfont(in, table, tsd::kTibCharsCapacity, record_report, problem);
    });
    Outcome from_bytes = run([&](auto* table, auto* problem) {
      return tsd::load_keyfont(tsd::TextBytes(text), table, tsd::kTibCharsCapacity, record_report, problem);
    });
    EXPECT_EQ(from_stream.problem.path, "") << "only the path form names a path";
    EXPECT_TRUE(from_path.count < 1 ? from_path.problem.path == path : from_path.problem.path.empty());
    Outcome named_stream = from_stream;
    named_stream.problem.path = from_path.problem.path;
    from_bytes.problem.path = from_path.problem.path;
    EXPECT_TRUE(named_stream == from_path) << text.substr(0, 40);
    EXPECT_TRUE(from_bytes == from_path) << text.substr(0, 40);
  }
}

TEST(load_keyfont, names_why_a_table_does_not_load) {
  TempDir dir;
  struct Case {
    std::string text;  // empty with no file
    bool file;
    const char* why;
  } cases[] = {
      {"", false, "No such file or directory"},
      {"", true, "it holds no record"},
      {" \n\t", true, "it holds no record"},
      {"k 0 x", true, "record 1 is malformed"},
      {records(700), true, "Number of entries in keyfont file is larger than available table size = 700"},
      {Record("k", 75).with(9, 40, 75).text(), true,
       "Record 1 of the keyfont file (entry \"k\"), form 9: font number 40 is not allowed; fonts are 0 to "
       "33."},
  };
  for (const Case& c : cases) {
    const std::string path = c.file ? dir.write("keyfont", c.text) : dir.file("absent");
    auto table = std::make_unique<tsd::TibChar<tsd::kAddinForms>[]>(tsd::kTibCharsCapacity);
    tsd::TableProblem problem;
    EXPECT_LT(tsd::load_keyfont(path.c_str(), table.get(), tsd::kTibCharsCapacity, nullptr, &problem), 1)
        << c.why;
    EXPECT_EQ(problem.path, path);
    EXPECT_EQ(problem.why, c.why);
  }
}

}  // namespace
