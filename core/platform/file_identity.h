// File identity of the platform layer: whether two paths name one existing file, whatever their spelling
// (letter case on a case-insensitive disk, "./a" and "a", links), and the identity itself for callers
// that compare one file with many.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <tuple>

namespace tsd {

struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// False when `path` names no existing file.
bool identify_file(const char* path, FileIdentity& identity);

bool same_existing_file(const char* path1, const char* path2);

// Where a path puts its file, whether that file exists yet or not: the identity of its folder and its last
// name, in lower case where names ignore letter case (Windows). False when the folder does not exist.
struct FilePlace {
  FileIdentity folder;
  std::string name;
  // Spelled out: the browser build's standard library has no three-way comparison of strings.
  bool operator==(const FilePlace&) const = default;
  bool operator<(const FilePlace& other) const {
    return std::tie(folder, name) < std::tie(other.folder, other.name);
  }
};
bool identify_place(const char* path, FilePlace& place);

}  // namespace tsd
