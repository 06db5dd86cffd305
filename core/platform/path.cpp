#include "platform/path.h"

namespace tsd {

std::string join_path(std::string_view dir, std::string_view name) {
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path.append(dir);
  path.push_back(path_separator);
  path.append(name);
  return path;
}

}  // namespace tsd
