// The routes to Extended Wylie: Wylie and KVTS written as EWTS read back through `ewts-unicode` to the
// Unicode that `wylie-unicode` and `kvts-unicode` give, for the examples and the Wylie of the scheme
// pass's vectors, lines joined or kept; and the problems of a hub read from the passes' own Unicode text
// counted in the summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "convert_file.h"
#include "driver_support.h"
#include "routes.h"
#include "support/examples.h"

using namespace tarvex;

namespace {

struct Converted {
  bool ok;
  std::string output;
  std::vector<std::string> diagnostics;
  std::int64_t not_converted;
};

Converted convert(const std::string& input, const char* route, int keep_cr, tsd::testing::TempDir& dir) {
  ConversionContext context = h2test::test_context();
  context.key_tables = &h2test::bundled_key_tables();
  h2test::StatusCapture status(context);
  Converted c{};
  context.diagnostics = {
      [](void* user, const Diagnostic& d) {
        static_cast<Converted*>(user)->diagnostics.push_back(std::to_string(d.line) + ":" + d.text);
      },
      &c};
  ConversionRequest request = h2test::test_request(route_id(route));
  request.keep_cr = keep_cr;
  std::filesystem::remove(dir.file("out"));
  ConversionReport report{};
  c.ok = convert_file_until(context, input.c_str(), dir.file("out").c_str(), request, Stage::complete,
                            &report) == 0;
  c.not_converted = report.not_converted;
  if (c.ok) c.output = tsd::testing::read_file(dir.file("out"));
  return c;
}

void expect_reads_back(const std::string& path, const char* scheme, tsd::testing::TempDir& dir) {
  for (const int keep_cr : {0, 1}) {
    const Converted unicode = convert(path, (std::string(scheme) + "-unicode").c_str(), keep_cr, dir);
    const Converted written = convert(path, (std::string(scheme) + "-ewts").c_str(), keep_cr, dir);
    // What the Unicode route refuses (not text, a bracket never closed), the EWTS route refuses too.
    EXPECT_EQ(written.ok, unicode.ok) << path;
    if (!unicode.ok) continue;
    const std::string& ewts = written.output;
    const std::string ewts_path = dir.write("written.ewts.txt", ewts);
    // The EWTS holds the lines as the Wylie route laid them out: read back, they are all kept.
    EXPECT_EQ(convert(ewts_path, "ewts-unicode", 1, dir).output, unicode.output)
        << path << " keep_cr " << keep_cr << "\n  EWTS " << h2test::escape(ewts.substr(0, 300));
  }
}

TEST(ewts_routes, wylie_and_kvts_written_as_ewts_read_back_to_their_unicode) {
  tsd::testing::TempDir dir;
  for (const char* example : {"aspiration.txt", "colophon.txt", "glossary.txt"})
    expect_reads_back(std::string(TSENDREL_SOURCE_DIR "/examples/") + example, "wylie", dir);
  expect_reads_back(TSENDREL_SOURCE_DIR "/examples/greeting.kvt", "kvts", dir);
  int examples = 0;
  for (const tsd::testing::Example& e : tsd::testing::vectors_of("wylie_to_kvts")) {
    ++examples;
    expect_reads_back(dir.write("example.txt", e.input), "wylie", dir);
  }
  EXPECT_GT(examples, 20);
}

// Text that is not UTF-8 in a Wylie passage reaches the Unicode reader after the extraction: its warning
// would have no place in the input and is not told, but the summary counts it; the EWTS holds U+FFFD.
TEST(ewts_routes, problems_of_the_passes_own_unicode_are_counted_not_placed) {
  tsd::testing::TempDir dir;
  std::string wylie;
  for (int i = 0; i < 25; ++i) wylie += "ka ";  // past the 64 bytes checked to be ASCII
  const Converted c = convert(dir.write("a.txt", wylie + "[\xFF] kha\n"), "wylie-ewts", 1, dir);
  ASSERT_TRUE(c.ok);
  EXPECT_NE(c.output.find("\xEF\xBF\xBD"), std::string::npos) << h2test::escape(c.output);
  EXPECT_TRUE(c.diagnostics.empty()) << c.diagnostics.front();
  EXPECT_EQ(c.not_converted, 1);
}

}  // namespace
