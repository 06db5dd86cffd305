// Runs the behaviour vectors of the font-code pass, the RTF writer and the driver
// (tests/vectors/{font_code_pass,rtf_writer,driver}/*.txt).
#include "convert_file.h"
#include "driver_support.h"
#include "font_code_pass.h"

using namespace tarvex;

namespace {

using h2test::VectorCase;

void expect_status(const VectorCase& c, const std::vector<std::string>& lines) {
  std::vector<std::string> shown, wanted;
  for (const auto& l : lines) shown.push_back(h2test::escape(l));
  for (const auto& l : c.status) wanted.push_back(h2test::escape(l));
  EXPECT_EQ(shown, wanted) << c.file << ":" << c.line;
}

int expected_result(const VectorCase& c) {
  return c.option("result", c.status.empty() ? 0 : -1);
}

class font_code_pass_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(font_code_pass_vectors, writes_the_expected_glyph_codes) {
  const VectorCase& c = GetParam();
  tsd::SyllableState state;
  tsd::Stream in = h2test::stream_with(c.input);
  tsd::Stream out = tsd::Stream::temporary();
  h2test::StatusCapture status;
  const int result =
      font_code_pass(in, out, c.option("keep_cr", 0), h2test::test_key_tables(), state, status.sink());
  EXPECT_EQ(result, expected_result(c)) << c.file << ":" << c.line;
  EXPECT_EQ(h2test::escape(h2test::contents(out)), h2test::escape(c.output)) << c.file << ":" << c.line;
  expect_status(c, status.captured);
}

INSTANTIATE_TEST_SUITE_P(cases, font_code_pass_vectors,
                         ::testing::ValuesIn(h2test::read_vectors("font_code_pass")), h2test::case_name);

class rtf_writer_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(rtf_writer_vectors, writes_the_expected_document) {
  const VectorCase& c = GetParam();
  tsd::testing::TempDir dir;
  tsd::Stream in = h2test::stream_with(c.input);
  tsd::Stream out = tsd::Stream::open_write(dir.file("out.rtf").c_str(), tsd::Stream::Mode::text);
  const int result =
      write_rtf(in, out, h2test::test_fonts(), kRtfFontCount, c.option("font_base", kEkorlamBase), kRomanSize,
                c.option("tib_size", 56), c.option("small_tib_size", 48));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out.close(), 0);
  EXPECT_EQ(h2test::escape(tsd::testing::read_file(dir.file("out.rtf"))), h2test::escape(c.output))
      << c.file << ":" << c.line;
}

INSTANTIATE_TEST_SUITE_P(cases, rtf_writer_vectors, ::testing::ValuesIn(h2test::read_vectors("rtf_writer")),
                         h2test::case_name);

class driver_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(driver_vectors, converts_the_input_file) {
  const VectorCase& c = GetParam();
  tsd::testing::TempDir dir;
  const std::string input = dir.write("in.txt", c.input);
  const std::string output = dir.file("out.rtf");
  ConversionRequest request = h2test::test_request(c.option("type", route_id("kvts-rtf")));
  request.keep_cr = c.option("keep_cr", 0);
  if (c.options.count("font_base")) request.font_base = c.option("font_base", kEkorlamBase);
  ConversionContext context = h2test::test_context();
  h2test::StatusCapture status(context);
  EXPECT_EQ(convert_file(context, input.c_str(), output.c_str(), request), expected_result(c))
      << c.file << ":" << c.line;
  expect_status(c, status.captured);
  if (c.option("no_output_file", 0)) {
    EXPECT_FALSE(std::filesystem::exists(output)) << c.file << ":" << c.line;
  } else {
    EXPECT_EQ(h2test::escape(tsd::testing::read_file(output)), h2test::escape(c.output))
        << c.file << ":" << c.line;
  }
}

INSTANTIATE_TEST_SUITE_P(cases, driver_vectors, ::testing::ValuesIn(h2test::read_vectors("driver")),
                         h2test::case_name);

}  // namespace
