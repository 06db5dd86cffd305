// tsendrel-unicode-forms run as a subprocess on the bundled keyfont: one line per entry and form, in the
// format that the font kit reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "tools/sample_tables.h"
#include "translit_support.h"

using namespace tarvex;

namespace {

const std::string kTool =
    TSENDREL_BINARY_DIR "/converter/tools/tsendrel-unicode-forms" + std::string(tsd::testing::kExeSuffix);
const std::string kData = TSENDREL_SOURCE_DIR "/data";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(unicode_forms, prints_every_form_of_every_entry_with_its_place_kind_and_code_points) {
  ASSERT_TRUE(std::filesystem::exists(kTool)) << kTool << " is not built";
  const auto run =
      tsd::testing::run_captured(tsd::testing::quoted(kTool) + " --data-dir " + tsd::testing::quoted(kData));
  ASSERT_EQ(run.status, 0);
  const std::vector<std::string> lines = lines_of(run.output);
  std::ifstream classes_file(kData + "/vowel_classes", std::ios::binary);
  std::ostringstream classes;
  classes << classes_file.rdbuf();
  std::ifstream stacks_file(kData + "/added_stacks", std::ios::binary);
  std::ostringstream stacks;
  stacks << stacks_file.rdbuf();
  const auto entries = sample_tables::make_entries(shared_translit_tables(),
                                                   sample_tables::parse_vowel_classes(classes.str()),
                                                   sample_tables::parse_added_stacks(stacks.str()));
  ASSERT_EQ(lines.size(), entries.size() * tsd::kFormCount);

  auto line_of = [&](const std::string& entry, int form) {
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].string == entry) {
        const auto& f = entries[i].forms[static_cast<std::size_t>(form)];
        const std::string place = std::to_string(i) + " " + entry + " " + std::to_string(form) + " " +
                                  std::to_string(f.font) + " " + std::to_string(f.code) + " ";
        const std::string& line = lines[i * tsd::kFormCount + static_cast<std::size_t>(form)];
        return line.rfind(place, 0) == 0 ? line.substr(place.size()) : "misplaced: " + line;
      }
    return std::string("no entry ") + entry;
  };
  struct Case {
    const char* entry;
    int form;
    const char* rest;
  } cases[] = {
      {"k", 0, "base U+0F40"},
      {"k", 1, "mark U+0F40 U+0F72"},
      {"k", 2, "base U+0F40 U+0F74"},
      {"k", 10, "mark U+0F40 U+0F83"},
      {"k", 16, "base U+0F40 U+0F71"},
      {"k", 17, "base U+0F40 U+0F71 U+0F74"},
      {"sgr", 0, "base U+0F66 U+0F92 U+0FB2"},
      {"gh", 3, "mark U+0F42 U+0FB7 U+0F7A"},
      {"=", 0, "base U+0F68 U+0F71 U+0F7F"},
      {".", 0, "base U+0F0B"},
      {".", 2, "base -"},
      {"$", 0, "base -"},
  };
  for (const Case& c : cases) EXPECT_EQ(line_of(c.entry, c.form), c.rest) << c.entry << " " << c.form;
}

TEST(unicode_forms, a_folder_without_keyfont_fails_with_status_2) {
  const auto run = tsd::testing::run_captured(tsd::testing::quoted(kTool) + " --data-dir " +
                                              tsd::testing::quoted(TSENDREL_SOURCE_DIR "/tests") + " 2>" +
                                              tsd::testing::kNullDevice);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output, "");
}

}  // namespace
