// Runs the behaviour vectors of the scheme passes and the extraction pass. A vector file holds examples:
//
//   ### name of the example
//   input
//   ---
//   expected output
//   ###
//
// The line break before "---" and before the closing "###" belongs to neither text; other line breaks do.
// Escapes: \\ a backslash, \n \t \r, \xHH any byte. Lines outside examples are comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "extract.h"
#include "scheme_passes.h"
#include "support/escapes.h"
#include "translit_support.h"
#include "translit_tables.h"

namespace {

struct Example {
  std::string where;  // file:line and name, for the failure report
  std::string input;
  std::string expected;
};

using tsd::testing::unescape;

std::vector<Example> read_examples(const std::filesystem::path& file) {
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

std::vector<Example> vectors_of(const std::string& pass) {
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

template <typename Pass>
std::string run(const std::string& input, Pass pass) {
  tsd::Stream src = tsd::Stream::temporary();
  tsd::Stream dst = tsd::Stream::temporary();
  src.write(input);
  src.rewind();
  EXPECT_EQ(pass(src, dst), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  return out;
}

void run_vectors(const std::string& pass_name, int (*pass)(tsd::Stream&, tsd::Stream&)) {
  for (const auto& example : vectors_of(pass_name))
    EXPECT_EQ(run(example.input, pass), example.expected) << example.where;
}

const TranslitTables& tables() {
  return shared_translit_tables();
}

TEST(translit_vectors, wylie_to_kvts) {
  run_vectors("wylie_to_kvts", wylie_to_kvts);
}

TEST(translit_vectors, kvts_to_wylie) {
  run_vectors("kvts_to_wylie", kvts_to_wylie);
}

TEST(translit_vectors, extract) {
  run_vectors("extract",
              [](tsd::Stream& src, tsd::Stream& dst) { return extract_syllables(src, dst, tables(), 1); });
}

}  // namespace
