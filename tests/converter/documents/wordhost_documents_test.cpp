// The add-in's documents read back: wordhost plays each script of tests/vectors/wordhost and
// examples/wordhost with the add-in, writes the document as RTF, and the document reader gives the
// Unicode that the keys spell (tests/vectors/documents/wordhost.tsv).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "convert_file.h"
#include "driver_support.h"
#include "routes.h"
#include "support/process.h"
#include "tsv_vectors.h"

using namespace tarvex;

namespace {

TEST(wordhost_documents, every_script_gives_the_unicode_its_keys_spell) {
#ifndef WORDHOST_PATH
  GTEST_SKIP() << "this build has no wordhost";
#else
  std::map<std::string, std::string> expected;
  for (const h2test::TsvLine& line : h2test::read_tsv_vectors("documents"))
    if (line.file == "wordhost.tsv") expected[line.fields[0]] = line.fields.size() > 1 ? line.fields[1] : "";
  int played = 0;
  for (const char* folder : {"/tests/vectors/wordhost", "/examples/wordhost"})
    for (const auto& entry : std::filesystem::directory_iterator(TSENDREL_SOURCE_DIR + std::string(folder))) {
      if (entry.path().extension() != ".script") continue;
      const std::string name = entry.path().stem().string();
      SCOPED_TRACE(name);
      ASSERT_TRUE(expected.count(name)) << "no line of wordhost.tsv for the script";
      tsd::testing::TempDir home;
      for (const char* table : {"keyfont", "keymap"})
        std::filesystem::copy_file(TSENDREL_SOURCE_DIR "/data/" + std::string(table), home.file(table));
      const std::string rtf = home.file("document.rtf");
      const int status = tsd::testing::run_status(
          tsd::testing::quoted(WORDHOST_PATH) + " --home " + tsd::testing::quoted(home.path()) + " --rtf " +
          tsd::testing::quoted(rtf) + " " + tsd::testing::quoted(entry.path().string()) + " >" +
          tsd::testing::kNullDevice);
      if (expected[name] == "-") {
        EXPECT_NE(status, 0);
        continue;
      }
      ASSERT_EQ(status, 0);
      ConversionContext context = h2test::test_context();
      context.key_tables = &h2test::bundled_key_tables();
      h2test::StatusCapture lines(context);
      const ConversionRequest request = h2test::test_request(route_id("tsendrel-unicode"));
      ASSERT_EQ(convert_file(context, rtf.c_str(), home.file("document.bo.txt").c_str(), request), 0);
      std::string text = tsd::testing::read_file(home.file("document.bo.txt"));
      std::erase(text, '\r');
      EXPECT_EQ(text, tsd::testing::unescape(expected[name]));
      ++played;
    }
  EXPECT_GE(played, 8);
#endif
}

#ifdef WORDHOST_PATH
// A script of `keys` random key presses in Tibetan mode, the same for a seed on every platform (the
// generator's raw output, no distribution): letters, vowels, the stack key, marks and digits, with
// BackSpace often enough to erase inside stacks, across syllables and past the start.
std::string random_take_back_script(std::uint32_t seed, int keys) {
  static constexpr std::string_view kKeys = "kgncjtdpbmshlrwyzx'AKGTDNSBRfffiueoIEO.,.1/:uuu";
  std::mt19937 random(seed);
  std::string script = "button Tibetan On\n";
  std::string typed;
  for (int i = 0; i < keys; ++i) {
    if (random() % 4 == 0) {
      if (!typed.empty()) script += "type " + typed + "\n";
      typed.clear();
      for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) script += "key 8\n";
    } else {
      typed += kKeys[random() % kKeys.size()];
    }
  }
  if (!typed.empty()) script += "type " + typed + "\n";
  return script;
}

struct TakeBackCase {
  std::uint32_t seed;
  int keys;
};

class wordhost_take_back : public ::testing::TestWithParam<TakeBackCase> {};

// Whatever the keys and BackSpaces, every glyph the add-in typed is one the document reader knows.
TEST_P(wordhost_take_back, random_keys_with_backspace_read_back_without_replacement) {
  const std::string script = random_take_back_script(GetParam().seed, GetParam().keys);
  SCOPED_TRACE(script);
  tsd::testing::TempDir home;
  for (const char* table : {"keyfont", "keymap"})
    std::filesystem::copy_file(TSENDREL_SOURCE_DIR "/data/" + std::string(table), home.file(table));
  const std::string rtf = home.file("document.rtf");
  ASSERT_EQ(tsd::testing::run_status(
                tsd::testing::quoted(WORDHOST_PATH) + " --home " + tsd::testing::quoted(home.path()) +
                " --rtf " + tsd::testing::quoted(rtf) + " " +
                tsd::testing::quoted(home.write("keys.script", script)) + " >" + tsd::testing::kNullDevice),
            0);
  ConversionContext context = h2test::test_context();
  context.key_tables = &h2test::bundled_key_tables();
  h2test::StatusCapture lines(context);
  const ConversionRequest request = h2test::test_request(route_id("tsendrel-unicode"));
  ASSERT_EQ(convert_file(context, rtf.c_str(), home.file("document.bo.txt").c_str(), request), 0);
  const std::string text = tsd::testing::read_file(home.file("document.bo.txt"));
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(seeds, wordhost_take_back,
                         ::testing::Values(TakeBackCase{1, 40}, TakeBackCase{2, 40}, TakeBackCase{3, 80},
                                           TakeBackCase{7, 80}, TakeBackCase{42, 120}, TakeBackCase{99, 120},
                                           TakeBackCase{1234, 200}, TakeBackCase{2026, 200},
                                           TakeBackCase{65535, 300}, TakeBackCase{424242, 300}),
                         [](const ::testing::TestParamInfo<TakeBackCase>& info) {
                           return "seed_" + std::to_string(info.param.seed);
                         });
#endif

}  // namespace
