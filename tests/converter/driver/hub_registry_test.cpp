// The registry of input readers and hub writers: every route finds the rows of its passes (a scheme or
// writer added without its row fails here), each writer row makes a writer that writes, and a route that
// reads a document tells each of its problems at its paragraph and character.
#include "hub_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert_file.h"
#include "diagnostics.h"
#include "driver_support.h"
#include "support/temp_dir.h"

using namespace tarvex;

namespace {

// What each scheme's input must start as.
constexpr struct {
  Scheme scheme;
  InputKind kind;
  tsd::Stream::Mode mode;
} kSchemeInputs[] = {
    {Scheme::wylie, InputKind::ascii, tsd::Stream::Mode::text},
    {Scheme::kvts, InputKind::ascii, tsd::Stream::Mode::text},
    {Scheme::ewts, InputKind::utf8, tsd::Stream::Mode::text},
    {Scheme::unicode, InputKind::utf8, tsd::Stream::Mode::text},
    {Scheme::tsendrel, InputKind::document, tsd::Stream::Mode::binary},
    {Scheme::acip, InputKind::utf8, tsd::Stream::Mode::text},
};

TEST(hub_registry, every_route_finds_the_rows_of_its_passes) {
  for (const Route& route : routes()) {
    SCOPED_TRACE(std::string(route.name));
    const InputRow* input = input_row(route.passes.front());
    ASSERT_NE(input, nullptr) << "the first pass of the route has no input row";
    const auto scheme = std::find_if(std::begin(kSchemeInputs), std::end(kSchemeInputs),
                                     [&](const auto& s) { return s.scheme == route.from; });
    ASSERT_NE(scheme, std::end(kSchemeInputs)) << "a scheme this test does not know";
    EXPECT_EQ(input->kind, scheme->kind);
    EXPECT_EQ(input->mode, scheme->mode);
    for (std::size_t i = 0; i < route.passes.size(); ++i) {
      const Pass pass = route.passes[i];
      if (stage_written(pass) == Stage::hub) {
        const InputRow* reader = input_row(pass);
        ASSERT_NE(reader, nullptr) << "a reader of the hub without its row";
        EXPECT_NE(reader->read, nullptr) << "a reader of the hub without its read function";
      }
      if (i > 0 && stage_written(route.passes[i - 1]) == Stage::hub) {
        const WriterRow* writer = writer_row(pass);
        ASSERT_NE(writer, nullptr) << "a writer of the hub without its row";
        EXPECT_NE(writer->make, nullptr);
      }
    }
  }
}

TEST(hub_registry, rows_are_unique_and_hub_readers_write_the_hub) {
  std::vector<Pass> seen;
  for (const InputRow& row : input_rows()) {
    EXPECT_EQ(std::count(seen.begin(), seen.end(), row.pass), 0);
    seen.push_back(row.pass);
    EXPECT_EQ(row.read != nullptr, stage_written(row.pass) == Stage::hub) << static_cast<int>(row.pass);
    // Only a reader of the hub can be read again to trace a writer's problems.
    EXPECT_TRUE(row.read || !row.traces);
  }
  for (const WriterRow& row : writer_rows()) {
    EXPECT_EQ(std::count(seen.begin(), seen.end(), row.pass), 0);
    seen.push_back(row.pass);
    EXPECT_EQ(stage_written(row.pass), Stage::complete) << static_cast<int>(row.pass);
  }
}

// Each writer row's writer, given a syllable and a shad, writes its format and finishes.
TEST(hub_registry, each_writer_row_makes_a_writer_that_writes) {
  const struct {
    Pass pass;
    const char* starts;
  } cases[] = {
      {Pass::hub_rtf, "{\\rtf1"},
      {Pass::hub_unicode_rtf, "{\\rtf1"},
      {Pass::ewts_write, "ka_/"},
      {Pass::acip_write, "KA ,"},
  };
  ASSERT_EQ(std::size(cases), writer_rows().size());
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.pass));
    const WriterRow* row = writer_row(c.pass);
    ASSERT_NE(row, nullptr);
    ConversionContext context = h2test::test_context();
    const ConversionRequest request = h2test::test_request(kDefaultRouteId);
    tsd::Stream out = tsd::Stream::temporary();
    ReaderReport problems;
    const std::unique_ptr<HubWriter> writer = row->make(context, request, out, &problems);
    const std::string hub = "\xE0\xBD\x80 \xE0\xBC\x8D\n";
    {
      HubOut through(writer->sink());
      through.write(hub.data(), hub.size());
      EXPECT_EQ(through.finish(), 0);
    }
    EXPECT_EQ(writer->finish(), 0);
    EXPECT_FALSE(writer->failed());
    EXPECT_TRUE(problems.warnings.empty());
    EXPECT_TRUE(h2test::contents(out).starts_with(c.starts)) << h2test::contents(out);
  }
}

void collect(void* lines, const Diagnostic& d) {
  static_cast<std::vector<std::string>*>(lines)->push_back(std::to_string(d.line) + ":" +
                                                           std::to_string(d.column) + ": " + d.text);
}

// Every route from a document tells the reader's problems at paragraph:character, as the other readers
// tell theirs at line:column.
TEST(hub_registry, routes_from_documents_tell_each_problem_at_its_place) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Courier;}{\\f5\\fnil Korlam-a;}}\\f5 k\\par k\\'ff}";
  const std::vector<std::string> told = {
      "2:2: code 255 of Korlam-a is no glyph of the key-font table: written as U+FFFD"};
  tsd::testing::TempDir dir;
  const std::string input = dir.write("letter.rtf", rtf);
  for (const Route& route : routes()) {
    if (input_row(route.passes.front())->kind != InputKind::document) continue;
    SCOPED_TRACE(std::string(route.name));
    ConversionContext context = h2test::test_context();
    context.key_tables = &h2test::bundled_key_tables();
    h2test::StatusCapture status(context);
    std::vector<std::string> lines;
    context.diagnostics = DiagnosticSink{collect, &lines};
    ConversionReport report;
    EXPECT_EQ(convert_file_until(context, input.c_str(), dir.file("out").c_str(),
                                 h2test::test_request(route.id), Stage::complete, &report),
              0);
    EXPECT_EQ(lines, told);
    EXPECT_EQ(report.not_converted, 1);
  }
}

}  // namespace
