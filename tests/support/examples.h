// The behaviour vectors of tests/vectors/<pass>/*.txt. A vector file holds examples:
//
//   ### name of the example
//   input
//   ---
//   expected output
//   ###
//
// The line break before "---" and before the closing "###" belongs to neither text; other line breaks do.
// Escapes: \\ a backslash, \n \t \r, \xHH any byte. Lines outside examples are comments.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/escapes.h"

namespace tsd::testing {

struct Example {
  std::string where;  // file:line and name, for the failure report
  std::string input;
  std::string expected;
};

inline std::vector<Example> read_examples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<Example> examples;
  std::string line;
  int number = 0;
  enum { outside, input, expected } part = outside;
  std::string text;
  bool first_line = true;
  auto append = [&](const std::string& l) {
    if (!first_line) text += '\n';
    text += l;
    first_line = false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (part == outside && line.rfind("### ", 0) == 0) {
      examples.push_back(
          {file.filename().string() + ":" + std::to_string(number) + " " + line.substr(4), "", ""});
      part = input;
    } else if (part == input && line == "---") {
      examples.back().input = unescape(text);
      part = expected;
    } else if (part == expected && line == "###") {
      examples.back().expected = unescape(text);
      part = outside;
    } else if (part != outside) {
      append(line);
      continue;
    } else {
      continue;
    }
    text.clear();
    first_line = true;
  }
  EXPECT_EQ(part, outside) << file << " ends inside an example";
  return examples;
}

inline std::vector<Example> vectors_of(const std::string& pass) {
  const std::filesystem::path dir = std::filesystem::path(TSENDREL_SOURCE_DIR) / "tests" / "vectors" / pass;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<Example> all;
  for (const auto& file : files) {
    auto examples = read_examples(file);
    all.insert(all.end(), examples.begin(), examples.end());
  }
  EXPECT_FALSE(all.empty()) << "no vectors in " << dir;
  return all;
}

}  // namespace tsd::testing
