// Documents written by the converter read back: the Tsendrel RTF of a text, in either family and with its
// lines joined or kept, read as Unicode (or as Extended Wylie, read again) gives what the text's own route
// to Unicode gives. The Kangyur
// volume of the shared corpus (skipped where it is not beside the checkout) differs only where the
// Tsendrel fonts have no glyph (the writer's "[~...]" markers) and where a blank follows a tsheg, which
// the reader takes for the blank the add-in types after each tsheg; both are counted.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "convert_file.h"
#include "driver_support.h"
#include "routes.h"

using namespace tarvex;

namespace {

struct Family {
  const char* name;
  int font_base;
};
constexpr Family kFamilies[] = {{"Korlam", kKorlamBase}, {"Ekorlam", kEkorlamBase}};

// `input` converted by the route `name` into `output`.
void convert(const std::string& name, const std::string& input, const std::string& output, int font_base,
             int keep_cr) {
  ConversionContext context = h2test::test_context();
  context.key_tables = &h2test::bundled_key_tables();
  h2test::StatusCapture status(context);
  ConversionRequest request = h2test::test_request(route_id(name));
  request.font_base = font_base;
  request.keep_cr = keep_cr;
  ASSERT_EQ(convert_file(context, input.c_str(), output.c_str(), request), 0) << name << " " << input;
}

// The Unicode of `input` by its own route, and by its Tsendrel RTF read back.
std::pair<std::string, std::string> both_ways(const std::string& input, const std::string& scheme,
                                              int font_base, int keep_cr, tsd::testing::TempDir& dir) {
  convert(scheme + "-unicode", input, dir.file("direct.bo.txt"), font_base, keep_cr);
  convert(scheme + "-rtf", input, dir.file("document.rtf"), font_base, keep_cr);
  convert("tsendrel-unicode", dir.file("document.rtf"), dir.file("document.bo.txt"), font_base, keep_cr);
  return {tsd::testing::read_file(dir.file("direct.bo.txt")),
          tsd::testing::read_file(dir.file("document.bo.txt"))};
}

TEST(documents_round_trip, the_examples_come_back_as_their_unicode) {
  const std::pair<const char*, const char*> examples[] = {{"aspiration.txt", "wylie"},
                                                          {"colophon.txt", "wylie"},
                                                          {"glossary.txt", "wylie"},
                                                          {"greeting.kvt", "kvts"}};
  tsd::testing::TempDir dir;
  for (const auto& [file, scheme] : examples)
    for (const Family& family : kFamilies)
      for (const int keep_cr : {0, 1}) {
        SCOPED_TRACE(std::string(file) + " " + family.name + (keep_cr ? " kept" : " joined"));
        const auto [direct, read_back] = both_ways(TSENDREL_SOURCE_DIR "/examples/" + std::string(file),
                                                   scheme, family.font_base, keep_cr, dir);
        EXPECT_FALSE(direct.empty());
        EXPECT_EQ(read_back, direct);
        // Its Extended Wylie reads back to the same Unicode (every line kept, as the writer laid them out).
        convert("tsendrel-ewts", dir.file("document.rtf"), dir.file("document.ewts.txt"), family.font_base,
                keep_cr);
        convert("ewts-unicode", dir.file("document.ewts.txt"), dir.file("ewts.bo.txt"), family.font_base, 1);
        EXPECT_EQ(tsd::testing::read_file(dir.file("ewts.bo.txt")), direct);
      }
}

// The colophon's "(dge'o)" is written small in the Tsendrel RTF, read back as a parenthesised passage, and
// set small again in the Unicode RTF: its first letter ད (U+0F51) follows the small size.
TEST(documents_round_trip, a_small_passage_is_small_again_in_the_unicode_rtf) {
  tsd::testing::TempDir dir;
  convert("wylie-rtf", TSENDREL_SOURCE_DIR "/examples/colophon.txt", dir.file("colophon.rtf"), kEkorlamBase,
          0);
  convert("tsendrel-unicode-rtf", dir.file("colophon.rtf"), dir.file("colophon.bo.rtf"), kEkorlamBase, 0);
  const std::string rtf = tsd::testing::read_file(dir.file("colophon.bo.rtf"));
  EXPECT_NE(rtf.find("(\\fs48\\rtlch\\af1\\afs48\\ltrch \\f1\\fs48\\rtlch\\af1\\afs48\\ltrch \\u3921?"),
            std::string::npos);
  EXPECT_NE(rtf.find("\\fs56\\rtlch\\af1\\afs56\\ltrch \\f0\\fs24 )"), std::string::npos);
}

// The head marks, signs and Sanskrit stacks that only Unicode and Extended Wylie text bring: set in the
// Tsendrel fonts with no marker, and read back to the same Unicode, from Unicode and from the Extended Wylie
// the converter writes for it.
TEST(documents_round_trip, signs_marks_and_sanskrit_stacks_come_back) {
  const char* const lines[] = {
      "༄༅། །༆ ༉ ༊ ༈ ༑",                   // head marks
      "ཨོྃ་ཧཱུྃ་ཀྂ་བྷྲཱུྃ",                     // the candrabindus
      "ཀཿ་ཧྲཱིཿ་ཨོཾཿ",                          // the visarga
      "ཏེ྅་ཀ྅",                               // the avagraha
      "བཻ་ཌྰུཪྻ་བཻ་ཌཱུརྱ",                       // the a-chung under a letter, fixed-form ra and ya
      "རྵ་ཪྡྷ་རྞྞ་ཊྭ་ཪ་རྱོ་རྵིཿ་རྞྞཱུ",              // Sanskrit stacks with their signs
  };
  tsd::testing::TempDir dir;
  for (const char* text : lines) {
    const std::string line = std::string(text) + "\n";
    SCOPED_TRACE(line);
    dir.write("line.bo.txt", line);
    convert("unicode-ewts", dir.file("line.bo.txt"), dir.file("line.ewts.txt"), kEkorlamBase, 1);
    for (const auto& [input, scheme] : {std::pair{"line.bo.txt", "unicode"}, {"line.ewts.txt", "ewts"}})
      for (const Family& family : kFamilies) {
        SCOPED_TRACE(std::string(scheme) + " " + family.name);
        const auto [direct, read_back] = both_ways(dir.file(input), scheme, family.font_base, 1, dir);
        EXPECT_EQ(direct, std::string(text) + "\r\n");
        EXPECT_EQ(read_back, direct);
        EXPECT_EQ(tsd::testing::read_file(dir.file("document.rtf")).find("[~"), std::string::npos);
      }
  }
}

TEST(documents_round_trip, the_kangyur_volume_comes_back_whole) {
  const std::string corpus = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035.wylie.txt";
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "the shared corpus is not beside the checkout";
  tsd::testing::TempDir dir;
  const std::regex marker("\\[~([^\\]]*)\\]");
  for (const Family& family : kFamilies)
    for (const int keep_cr : {0, 1}) {
      SCOPED_TRACE(std::string(family.name) + (keep_cr ? " kept" : " joined"));
      auto [direct, read_back] = both_ways(corpus, "ewts", family.font_base, keep_cr, dir);
      const auto markers = std::distance(std::sregex_iterator(read_back.begin(), read_back.end(), marker),
                                         std::sregex_iterator());
      read_back = std::regex_replace(read_back, marker, "$1");
      int blanks_after_tsheg = 0;
      for (std::size_t at = 0; (at = direct.find("\xE0\xBC\x8B ", at)) != std::string::npos;
           ++blanks_after_tsheg)
        direct.erase(at + 3, 1);
      // Every character and stack of the volume has its glyph.
      EXPECT_EQ(markers, 0);
      EXPECT_EQ(blanks_after_tsheg, 1);
      EXPECT_TRUE(read_back == direct) << "the volume differs beyond the counted places";
    }
}

}  // namespace
