// File identity of the platform layer: whether two paths name one existing file, whatever their spelling
// (letter case on a case-insensitive disk, "./a" and "a", links).
#pragma once

namespace tsd {

bool same_existing_file(const char* path1, const char* path2);

}  // namespace tsd
