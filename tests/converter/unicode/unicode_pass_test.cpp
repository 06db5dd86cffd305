// The Unicode pass and the Unicode RTF writer: their vectors (tests/vectors/unicode_pass,
// tests/vectors/unicode_rtf_writer), the pass in place against the pass through get and put on long
// texts, and write failures.
#include "unicode_pass.h"

#include <random>

#include "driver_support.h"
#include "unicode_rtf_writer.h"

using namespace tarvex;

namespace {

using h2test::VectorCase;

UnicodePassages passages_of(int markers) {
  return markers ? UnicodePassages::markers : UnicodePassages::text;
}

class unicode_pass_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(unicode_pass_vectors, writes_the_expected_utf8) {
  const VectorCase& c = GetParam();
  tsd::Stream in = h2test::stream_with(c.input);
  tsd::Stream out = tsd::Stream::temporary();
  h2test::StatusCapture status;
  const int result =
      unicode_pass(in, out, c.option("keep_cr", 0), passages_of(c.option("markers", 0)), status.sink());
  EXPECT_EQ(result, c.status.empty() ? 0 : -1) << c.file << ":" << c.line;
  EXPECT_EQ(h2test::escape(h2test::contents(out)), h2test::escape(c.output)) << c.file << ":" << c.line;
  EXPECT_EQ(status.captured, c.status) << c.file << ":" << c.line;
}

INSTANTIATE_TEST_SUITE_P(cases, unicode_pass_vectors,
                         ::testing::ValuesIn(h2test::read_vectors("unicode_pass")), h2test::case_name);

class unicode_rtf_writer_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(unicode_rtf_writer_vectors, writes_the_expected_document) {
  const VectorCase& c = GetParam();
  tsd::testing::TempDir dir;
  tsd::Stream in = h2test::stream_with(c.input);
  tsd::Stream out = tsd::Stream::open_write(dir.file("out.rtf").c_str(), tsd::Stream::Mode::text);
  EXPECT_EQ(write_unicode_rtf(in, out, kDefaultUnicodeFont, kRomanSize, c.option("tib_size", 56),
                              c.option("small_tib_size", 48)),
            0);
  EXPECT_EQ(out.close(), 0);
  EXPECT_EQ(h2test::escape(tsd::testing::read_file(dir.file("out.rtf"))), h2test::escape(c.output))
      << c.file << ":" << c.line;
}

INSTANTIATE_TEST_SUITE_P(cases, unicode_rtf_writer_vectors,
                         ::testing::ValuesIn(h2test::read_vectors("unicode_rtf_writer")), h2test::case_name);

// Running text of a few hundred words, over-long and unconvertible ones among them, with every kind of
// separator, passages that may straddle the read window, `g` and nga before blanks and marks.
std::string running_text(unsigned seed, std::size_t size) {
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::vector<std::string> words = {
      "ka",  "dag",  "saG", "bfsgrubs", "pa'i", "fsgra",   "i", "<", "108", "kakakakakakakakakaka",
      "Sog", "fbya", "'i",  "fkYa",     "rgyu", "'fKrugs", "q", "=", ">",   std::string(40, 'k') + "a"};
  const std::vector<std::string> between = {" ",      " ",    " ",    ",",        ", ",  "\n",   "\n\n",
                                            "\n\n\n", "\t",   "-",    "?",        ":",   "\x19", " [a note] ",
                                            "{b}",    "\x17", "\x18", " [~qqq] ", ",\n", " \n"};
  std::string text;
  while (text.size() < size) {
    text += words[pick(words.size())];
    text += between[pick(between.size())];
  }
  return text;
}

TEST(unicode_pass, in_place_writes_what_get_and_put_write) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const std::string text = running_text(seed, 300000);
    for (int keep_cr : {0, 1}) {
      for (int markers : {0, 1}) {
        std::string outputs[2];
        for (int in_place : {0, 1}) {
          tsd::Stream in = h2test::stream_with(text);
          tsd::Stream out = tsd::Stream::temporary();
          ASSERT_EQ(unicode_pass(in, out, keep_cr, passages_of(markers), {}, in_place != 0), 0);
          outputs[in_place] = h2test::contents(out);
        }
        ASSERT_GT(outputs[0].size(), text.size() / 2);
        EXPECT_TRUE(outputs[0] == outputs[1]) << "seed " << seed << " keep_cr " << keep_cr;
      }
    }
  }
}

TEST(unicode_pass, full_disk_is_reported_once) {
  std::string input;
  for (int i = 0; i < 40000; ++i) input += "ka ";
  for (const std::string& text : {input, std::string("ka")}) {
    tsd::Stream in = h2test::stream_with(text);
    tsd::Stream full = tsd::Stream::adopt(std::fopen("/dev/full", "w+b"), tsd::Stream::Mode::binary, true);
    h2test::StatusCapture status;
    EXPECT_EQ(unicode_pass(in, full, 0, UnicodePassages::text, status.sink()), -1);
    EXPECT_EQ(status.captured,
              std::vector<std::string>{
                  "Could not write the output file.\rCheck whether you have enough disk space."});
  }
}

TEST(write_unicode_rtf, full_disk_fails) {
  tsd::Stream in = h2test::stream_with("\xE0\xBD\x80");
  tsd::Stream full = tsd::Stream::adopt(std::fopen("/dev/full", "w+b"), tsd::Stream::Mode::binary, true);
  EXPECT_EQ(write_unicode_rtf(in, full, kDefaultUnicodeFont, kRomanSize, 56, 48), -1);
}

TEST(write_unicode_rtf, font_name_cannot_break_the_font_table) {
  tsd::Stream in = h2test::stream_with("");
  tsd::Stream out = tsd::Stream::temporary();
  ASSERT_EQ(write_unicode_rtf(in, out, "Bad;}{\\font", kRomanSize, 56, 48), 0);
  EXPECT_NE(h2test::contents(out).find("{\\f1\\fnil\\fcharset0\\fprq2 Badfont;}}"), std::string::npos);
}

}  // namespace
