// The Tsendrel RTF of the hub, with the bundled tables: the vectors of tests/vectors/hub_rtf (a hub, the
// document's body, the counts and the warnings at hub offsets), whether the stack keys are built for the
// document or handed over built once; the examples' Unicode written as the Wylie
// route writes the examples; repeated syllables, written from the writer's memory, told at each offset;
// the writer fed by the EWTS reader, tokens and all, as it writes the reader's hub read as bytes.
#include "hub_rtf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert_file.h"
#include "driver_support.h"
#include "ewts_reader.h"
#include "reader_report_support.h"
#include "routes.h"
#include "stack_keys.h"
#include "tsv_vectors.h"

using namespace tarvex;
using h2test::joined;
using h2test::warnings_of;

namespace {

const ConverterKeyTables& tables() { return h2test::bundled_key_tables(); }

struct Written {
  std::string body;  // after the font table
  ReaderReport report;
};

Written written(const std::string& hub, const StackKeys* keys = nullptr) {
  tsd::Stream in = h2test::stream_with(hub);
  tsd::Stream out = tsd::Stream::temporary();
  tsd::SyllableState state;
  Written w;
  const HubRtfRequest request{h2test::test_fonts(), kRtfFontCount, kEkorlamBase, kRomanSize, 56, 48, keys};
  EXPECT_EQ(write_hub_rtf(in, out, tables(), state, request, &w.report), 0);
  const std::string rtf = h2test::contents(out);
  const std::size_t table_end = rtf.find("}}");
  EXPECT_NE(table_end, std::string::npos);
  w.body = rtf.substr(table_end + 2);
  return w;
}

struct HubCase {
  std::string where;
  std::string hub;
  std::string body;
  std::string counts;
  std::vector<std::string> warnings;
};

std::vector<HubCase> read_cases() {
  std::vector<HubCase> cases;
  for (h2test::TsvLine t : h2test::read_tsv_vectors("hub_rtf")) {
    t.fields.resize(std::max<std::size_t>(t.fields.size(), 3));
    HubCase c{t.file + ":" + std::to_string(t.line), h2test::unescape(t.fields[0]), h2test::unescape(t.fields[1]),
              t.fields[2], {}};
    c.warnings.assign(t.fields.begin() + 3, t.fields.end());
    cases.push_back(c);
  }
  return cases;
}

// The stack keys a writer may be handed: none, keys built once from the same tables, keys built from other
// tables (which the writer must not use).
struct KeysSource {
  const char* name;
  const StackKeys* keys;
};

TEST(hub_rtf, vectors_give_the_expected_body_counts_and_warnings) {
  const std::vector<HubCase> cases = read_cases();
  ASSERT_GT(cases.size(), 10u);
  static const StackKeys bundled(tables());
  static const StackKeys other(h2test::test_key_tables());
  const KeysSource sources[] = {
      {"built for the document", nullptr}, {"built once", &bundled}, {"built from other tables", &other}};
  for (const KeysSource& source : sources) {
    for (const HubCase& c : cases) {
      const Written w = written(c.hub, source.keys);
      const std::string where = std::string(source.name).append(": ").append(c.where);
      EXPECT_EQ(h2test::escape(w.body), h2test::escape(c.body)) << where;
      EXPECT_EQ(std::to_string(w.report.syllables) + "/" + std::to_string(w.report.not_converted), c.counts)
          << where;
      EXPECT_TRUE(warnings_of(w.report) == c.warnings)
          << where << "\n  got" << joined(warnings_of(w.report)) << "\n  expected" << joined(c.warnings);
    }
  }
}

// A conversion of `path` by `route`, lines kept, into `output`.
std::string converted(const std::string& path, const char* route, const std::string& output) {
  ConversionContext context = h2test::test_context();
  context.key_tables = &tables();
  h2test::StatusCapture status(context);
  ConversionRequest request = h2test::test_request(route_id(route));
  request.keep_cr = 1;
  EXPECT_EQ(convert_file(context, path.c_str(), output.c_str(), request), 0) << route << " " << path;
  return tsd::testing::read_file(output);
}

std::vector<std::string> paragraphs(const std::string& rtf) {
  std::vector<std::string> out;
  for (std::size_t start = 0;;) {
    const std::size_t end = rtf.find("\\par ", start);
    out.push_back(rtf.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 5;
  }
}

// The examples in Wylie, made Unicode by the Wylie route and written as Tsendrel RTF from the hub, give the
// bytes that the Wylie route writes, line by line. A line holding a parenthesised passage differs: the
// Wylie route writes the passage in the small Tibetan size, while its Unicode holds the parentheses as text.
TEST(hub_rtf, the_examples_unicode_gives_the_wylie_routes_rtf) {
  tsd::testing::TempDir dir;
  int compared = 0;
  for (const char* example : {"aspiration.txt", "colophon.txt", "glossary.txt"}) {
    const std::string wylie = std::string(TSENDREL_SOURCE_DIR "/examples/") + example;
    const std::string from_wylie = converted(wylie, "wylie-rtf", dir.file("w.rtf"));
    converted(wylie, "wylie-unicode", dir.file("u.bo.txt"));
    const std::string from_hub = converted(dir.file("u.bo.txt"), "unicode-rtf", dir.file("u.rtf"));
    const std::vector<std::string> lines = paragraphs(from_wylie), hub_lines = paragraphs(from_hub);
    ASSERT_EQ(lines.size(), hub_lines.size()) << example;
    const std::string text = tsd::testing::read_file(wylie);
    std::vector<bool> small;
    for (std::size_t start = 0; start <= text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      small.push_back(text.substr(start, end - start).find('(') != std::string::npos);
      start = end + 1;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i < small.size() && small[i]) {
        EXPECT_NE(lines[i], hub_lines[i]) << example << " line " << i + 1 << " has no small passage";
        continue;
      }
      EXPECT_EQ(h2test::escape(hub_lines[i]), h2test::escape(lines[i])) << example << " line " << i + 1;
      ++compared;
    }
  }
  EXPECT_GT(compared, 15);
}

// Syllables written many times, among others that share their place in the writer's memory, give the same
// glyphs each time, and a refused one is told at each of its offsets.
TEST(hub_rtf, repeated_syllables_write_the_same_and_are_told_at_each_offset) {
  const std::string piece = "\xE0\xBD\x96\xE0\xBD\xA6\xE0\xBE\x92\xE0\xBE\xB2\xE0\xBD\xB4\xE0\xBD\x96\xE0\xBD\xA6"
                            "\xE0\xBC\x8B\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\xE0\xBC\x8B";  // བསྒྲུབས་ཀྐྐ་
  const std::string one = written(piece).body;
  std::string hub, many;
  const int times = 5000;
  for (int i = 0; i < times; ++i) hub += piece;
  const Written w = written(hub);
  const std::string glyphs = one.substr(0, one.size() - 1);
  const std::size_t head = std::string("\\f75\\fs56 ").size();
  for (int i = 0; i < times; ++i) many += glyphs.substr(i == 0 ? 0 : head);
  EXPECT_TRUE(w.body == many + "}");
  ASSERT_EQ(w.report.warnings.size(), static_cast<std::size_t>(times));
  for (std::size_t i = 0; i < w.report.warnings.size(); ++i)
    ASSERT_EQ(w.report.warnings[i].offset, i * piece.size() + 24) << i;
  EXPECT_EQ(w.report.syllables, 2 * times);
  EXPECT_EQ(w.report.not_converted, times);
}

// The writer fed straight by the EWTS reader (which hands it syllables it knows as tokens) writes what it
// writes from the reader's hub as bytes, with the same counts and warnings: tokens beside escapes, marks,
// brackets, visargas, refused stacks and line breaks, and across the reader's runs.
TEST(hub_rtf, tokens_from_the_ewts_reader_write_as_their_bytes) {
  const struct {
    const char* name;
    std::string ewts;
  } cases[] = {
      {"words and shads", "bkra shis bde legs/_/ sangs rgyas kyi chos/_"},
      {"an escape joined to a known word", "ka kha ka\\u0F71 kha\\u0F7C ka"},
      {"an escape before a known word", "ka \\u0F40ka ka"},
      {"brackets beside words", "ka[abc]ka ka [x] kha[y]"},
      {"visargas", "kaH kaH ka:ka aHhUM aHhUM"},
      {"refused stacks", "k+k+k ka k+k+k ka"},
      {"mantras and marks", "oM ma Ni pad+me hUM/_@#/_/ 0123 ka"},
      {"small text", "(bkra shis) bkra shis (ka)"},
      {"line breaks", "ka\nka\n\nka kha\n\n\nkha"},
      {"sanskrit", "bud+d+ha a ba tang sa ka nA ma ma hA bai pu l+yaM sU tra"},
  };
  const HubRtfRequest request{h2test::test_fonts(), kRtfFontCount, kEkorlamBase, kRomanSize, 56, 48};
  for (const auto& c : cases) {
    std::string ewts;
    for (int i = 0; i < 2000; ++i) ewts += c.ewts + (i % 7 == 6 ? "\n" : " ");
    for (const bool keep_cr : {false, true}) {
      tsd::Stream in = h2test::stream_with(ewts);
      tsd::Stream direct = tsd::Stream::temporary();
      tsd::SyllableState direct_state;
      ReaderReport direct_read, direct_written;
      {
        HubRtfWriter writer(direct, tables(), direct_state, request, &direct_written);
        HubOut hub(writer.sink());
        ASSERT_EQ(ewts_to_hub(in, hub, keep_cr, &direct_read), 0);
        ASSERT_EQ(writer.finish(), 0);
      }
      ReaderReport read;
      tsd::Stream again = h2test::stream_with(ewts);
      tsd::Stream hub = tsd::Stream::temporary();
      ASSERT_EQ(ewts_to_hub(again, hub, keep_cr, &read), 0);
      hub.rewind();
      tsd::Stream out = tsd::Stream::temporary();
      tsd::SyllableState state;
      ReaderReport report;
      ASSERT_EQ(write_hub_rtf(hub, out, tables(), state, request, &report), 0);
      const std::string where = std::string(c.name) + (keep_cr ? ", lines kept" : "");
      EXPECT_TRUE(h2test::contents(direct) == h2test::contents(out)) << where;
      EXPECT_EQ(warnings_of(direct_written), warnings_of(report)) << where;
      EXPECT_EQ(warnings_of(direct_read), warnings_of(read)) << where;
      EXPECT_EQ(direct_written.syllables, report.syllables) << where;
      EXPECT_EQ(direct_written.not_converted, report.not_converted) << where;
    }
  }
}

}  // namespace
