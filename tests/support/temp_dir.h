// A temporary folder for a test's files, removed with everything in it when the test ends. Names inside
// it are joined with the platform's separator, as the programs join them.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "platform/path.h"

namespace tsd::testing {

class TempDir {
 public:
  TempDir() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && !error && path_.empty(); ++attempt) {
      const std::filesystem::path candidate = base / ("tsendrel-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return tsd::join_path(path_, name); }

  // Writes `bytes` exactly as given and returns the file's path.
  std::string write(std::string_view name, std::string_view bytes) const {
    const std::string p = file(name);
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
  }

 private:
  std::string path_;
};

// `text` with each "/" written as this platform's separator, for expected paths and messages.
inline std::string native(std::string text) {
  for (char& c : text)
    if (c == '/') c = tsd::path_separator;
  return text;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tsd::testing
