// Runs the diagnostics vectors (tests/vectors/diagnostics/*.txt): the warnings a conversion hands to the
// diagnostic sink, with their places in the input, and the counts of the file's summary; also the places
// of the Wylie map alone, and the line index.
#include "diagnostics.h"
#include "convert_file.h"
#include "driver_support.h"
#include "scheme_passes.h"

using namespace tarvex;

namespace {

using h2test::VectorCase;

void collect(void* lines, const Diagnostic& d) {
  if (d.kind == Diagnostic::Kind::warning)
    static_cast<std::vector<std::string>*>(lines)->push_back(std::to_string(d.line) + ":" +
                                                             std::to_string(d.column) + ": " + d.text);
}

// Collects the warnings handed to the context's diagnostic sink while it lives.
class SinkGuard {
 public:
  SinkGuard(ConversionContext& context, std::vector<std::string>& lines) : context_(context) {
    context.diagnostics = DiagnosticSink{collect, &lines};
  }
  ~SinkGuard() { context_.diagnostics = DiagnosticSink{}; }

 private:
  ConversionContext& context_;
};

std::string case_name(const ::testing::TestParamInfo<VectorCase>& info) {
  return info.param.name;
}

class diagnostics_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(diagnostics_vectors, give_each_problem_once_at_its_place) {
  const VectorCase& c = GetParam();
  ConversionContext context = h2test::test_context();
  tsd::testing::TempDir dir;
  const std::string input = dir.write("in.txt", c.input);
  std::vector<std::string> lines;
  ConversionReport report;
  {
    SinkGuard guard(context, lines);
    h2test::StatusCapture status(context);
    convert_file_until(context, input.c_str(), dir.file("out.rtf").c_str(),
                       h2test::test_request(c.option("type", 1)), Stage::complete, &report);
  }
  std::vector<std::string> wanted;
  for (const auto& l : c.status) wanted.push_back(h2test::escape(l));
  for (auto& l : lines) l = h2test::escape(l);
  EXPECT_EQ(lines, wanted) << c.file << ":" << c.line;
  EXPECT_TRUE(report.counted);
  EXPECT_EQ(report.syllables, c.option("syllables", -1)) << c.file << ":" << c.line;
  EXPECT_EQ(report.not_converted, c.option("not_converted", -1)) << c.file << ":" << c.line;
}

INSTANTIATE_TEST_SUITE_P(cases, diagnostics_vectors, ::testing::ValuesIn(h2test::read_vectors("diagnostics")),
                         case_name);

TEST(diagnostics, the_outputs_do_not_change_with_a_sink) {
  tsd::testing::TempDir dir;
  const std::string input = dir.write("in.txt", "ka b+ha (om\n[x] {y\n");
  std::string outputs[2];
  for (int with_sink = 0; with_sink < 2; ++with_sink) {
    ConversionContext context = h2test::test_context();
    std::vector<std::string> lines;
    h2test::StatusCapture status(context);
    const std::string output = dir.file("out" + std::to_string(with_sink));
    if (with_sink) {
      SinkGuard guard(context, lines);
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(kWylieToTsendrel));
    } else {
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(kWylieToTsendrel));
    }
    outputs[with_sink] = tsd::testing::read_file(output);
    if (with_sink) {
      EXPECT_EQ(lines.size(), 4u);
    }
  }
  EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(wylie_places, each_kvts_byte_maps_to_the_wylie_character_that_wrote_it) {
  struct Case {
    const char* wylie;
    std::vector<std::uint64_t> kvts;
    std::vector<std::uint64_t> places;
  } cases[] = {
      // "a" at a syllable start writes "AA": both bytes come from it.
      {"a ka", {0, 1, 2, 3, 4}, {0, 0, 1, 2, 3}},
      // "tsh" writes "TS": the "S" waits for the "h", whose step writes it.
      {"tsha x", {0, 1, 2, 3, 4}, {0, 2, 3, 4, 5}},
      // the "A" of Wylie writes nothing.
      {"kAi", {0, 1, 2}, {0, 2, 2}},
      // a bracketed passage is copied byte for byte.
      {"[ab] e", {0, 3, 4, 5, 6}, {0, 3, 4, 5, 5}},
      // offsets past the end stay at the last character.
      {"ka", {1, 9}, {1, 1}},
  };
  for (Case& c : cases) {
    tsd::Stream src = h2test::stream_with(c.wylie);
    std::vector<std::uint64_t> offsets = c.kvts;
    wylie_places(src, offsets);
    EXPECT_EQ(offsets, c.places) << c.wylie;
  }
}

TEST(line_index, places_offsets_by_lf_with_crlf_and_byte_order_mark) {
  const LineIndex lines(
      "\xEF\xBB\xBF"
      "ab\r\ncd\n\nx");
  struct Case {
    std::uint64_t offset;
    int line;
    int column;
  } cases[] = {{3, 1, 1}, {4, 1, 2}, {7, 2, 1}, {8, 2, 2}, {10, 3, 1}, {11, 4, 1}};
  for (const Case& c : cases) {
    const Place p = lines.place(c.offset);
    EXPECT_EQ(p.line, c.line) << c.offset;
    EXPECT_EQ(p.column, c.column) << c.offset;
  }
  EXPECT_EQ(lines.text(3, 8), "ab\ncd");
}

TEST(grouped, puts_a_comma_between_thousands) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1204, "1,204"}, {11461, "11,461"}, {1234567, "1,234,567"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(grouped(n), text);
}

}  // namespace
