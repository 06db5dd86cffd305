// The add-in's documents read back: wordhost plays each script of tests/vectors/wordhost and
// examples/wordhost with the add-in, writes the document as RTF, and the document reader gives the
// Unicode that the keys spell (tests/vectors/documents/wordhost.tsv).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

}  // namespace
