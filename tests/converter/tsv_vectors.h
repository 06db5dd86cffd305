// Behaviour examples kept as tab-separated lines (the readers' and the hub writer's vectors): every .tsv
// file of a folder of tests/vectors, in name order; "#" lines are comments, "@keep_cr 0" and
// "@keep_cr 1" set how the lines after it are read.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace h2test {

struct TsvLine {
  std::string file;  // its name, for the messages
  int line;
  std::vector<std::string> fields;
  bool keep_cr;
};

inline std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

inline std::vector<TsvLine> read_tsv_vectors(std::string_view folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(std::string(TSENDREL_SOURCE_DIR "/tests/vectors/") + std::string(folder)))
    if (entry.path().extension() == ".tsv") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<TsvLine> lines;
  for (const fs::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    bool keep_cr = true;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
      ++number;
      if (line.empty() || line[0] == '#') continue;
      if (line.rfind("@keep_cr ", 0) == 0) {
        keep_cr = line.substr(9) != "0";
        continue;
      }
      lines.push_back({path.filename().string(), number, split_tabs(line), keep_cr});
    }
  }
  return lines;
}

}  // namespace h2test
