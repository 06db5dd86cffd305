// The Unicode routes on a real volume: the Kangyur volume of the shared corpus beside the checkout, held in
// Unicode (NFD, so already in canonical order) and line for line in EWTS. Read as Unicode it must come back
// as it is; written as Tsendrel RTF it must give the bytes that the EWTS route writes from the same text.
// Skipped where the corpus is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "convert_file.h"
#include "driver_support.h"
#include "routes.h"
#include "unicode_reader.h"

using namespace tarvex;

namespace {

const std::string kCorpus = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035";

bool corpus_found() {
  return std::filesystem::exists(kCorpus + ".bo.txt") && std::filesystem::exists(kCorpus + ".wylie.txt");
}

// The volume's syllables, as the Extended Wylie reader counts them in its EWTS.
constexpr std::int64_t kSyllables = 285419;

TEST(unicode_corpus, the_volume_read_as_unicode_comes_back_as_it_is) {
  if (!corpus_found()) GTEST_SKIP() << "the shared corpus is not beside the checkout";
  const std::string volume = tsd::testing::read_file(kCorpus + ".bo.txt");
  ReaderReport report;
  tsd::Stream in = tsd::Stream::open_read((kCorpus + ".bo.txt").c_str(), tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  ASSERT_EQ(unicode_to_hub(in, out, true, &report), 0);
  const std::string hub = h2test::contents(out);
  EXPECT_TRUE(report.warnings.empty())
      << report.warnings.size() << " warnings, the first at " << report.warnings[0].offset << ": "
      << report.warnings[0].text;
  EXPECT_EQ(report.syllables, kSyllables);
  EXPECT_EQ(report.not_converted, 0);
  // Line by line, to show where they part.
  std::size_t line = 1, start = 0;
  for (; start < volume.size() && start < hub.size(); ++line) {
    const std::size_t end = volume.find('\n', start);
    const std::size_t length = end == std::string::npos ? std::string::npos : end - start + 1;
    ASSERT_EQ(hub.substr(start, length), volume.substr(start, length)) << "line " << line;
    start += length == std::string::npos ? volume.size() : length;
  }
  EXPECT_EQ(hub.size(), volume.size());
}

// The volume's EWTS writes two shads ། ། as `//`, which EWTS reads as the nyis shad ༎; the volume has no
// ༎. In those places (the 47 lines that hold `//`) the EWTS is given the two shads it means, `/` and the
// escape of a shad, so that both inputs hold the same Tibetan; then the two routes must write the same
// document, byte for byte, its lines joined or kept.
TEST(unicode_corpus, the_volume_gives_the_tsendrel_rtf_of_its_ewts) {
  if (!corpus_found()) GTEST_SKIP() << "the shared corpus is not beside the checkout";
  const ConverterKeyTables& tables = h2test::bundled_key_tables();
  std::string ewts = tsd::testing::read_file(kCorpus + ".wylie.txt");
  int shads = 0;
  for (std::size_t at = 0; (at = ewts.find("//", at)) != std::string::npos; ++shads)
    ewts.replace(at, 2, "/\\u0F0D");
  EXPECT_GT(shads, 46);
  tsd::testing::TempDir dir;
  const std::string ewts_path = dir.write("volume.txt", ewts);
  for (const int keep_cr : {0, 1}) {
    ConversionContext context = h2test::test_context();
    context.key_tables = &tables;
    h2test::StatusCapture status(context);
    ConversionReport from_ewts{}, from_unicode{};
    ConversionRequest request = h2test::test_request(route_id("ewts-rtf"));
    request.keep_cr = keep_cr;
    ASSERT_EQ(convert_file_until(context, ewts_path.c_str(), dir.file("ewts.rtf").c_str(), request,
                                 Stage::complete, &from_ewts),
              0);
    request.conversion_type = route_id("unicode-rtf");
    ASSERT_EQ(convert_file_until(context, (kCorpus + ".bo.txt").c_str(), dir.file("unicode.rtf").c_str(),
                                 request, Stage::complete, &from_unicode),
              0);
    const std::string a = tsd::testing::read_file(dir.file("ewts.rtf"));
    const std::string b = tsd::testing::read_file(dir.file("unicode.rtf"));
    std::size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first]) ++first;
    EXPECT_TRUE(a == b) << "keep_cr " << keep_cr << ": they part at byte " << first << "\n  EWTS    "
                        << h2test::escape(a.substr(first > 80 ? first - 80 : 0, 200)) << "\n  Unicode "
                        << h2test::escape(b.substr(first > 80 ? first - 80 : 0, 200));
    EXPECT_EQ(from_unicode.syllables, from_ewts.syllables);
    EXPECT_EQ(from_unicode.not_converted, from_ewts.not_converted);
  }
}

}  // namespace
