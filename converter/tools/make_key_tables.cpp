// make-key-tables: writes the sample `keyfont` and `keymap` made from the converter's transliteration
// tables into a folder (data/ in the source tree), with the vowel-sign groups of FOLDER/vowel_classes
// and the stacks of FOLDER/added_stacks when the folder holds those files.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/path.h"
#include "tools/sample_tables.h"

using namespace tarvex;

namespace {

std::string read_file(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

bool write_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs(
        "usage: make-key-tables FOLDER\nWrites FOLDER/keyfont and FOLDER/keymap, with the vowel-sign groups "
        "of "
        "FOLDER/vowel_classes and the stacks of FOLDER/added_stacks if they are there.\n",
        stderr);
    return 2;
  }
  const TranslitTables& tables = built_translit_tables();
  try {
    const auto classes =
        sample_tables::parse_vowel_classes(read_file(tsd::join_path(argv[1], "vowel_classes")));
    const auto added =
        sample_tables::parse_added_stacks(read_file(tsd::join_path(argv[1], "added_stacks")));
    const auto entries = sample_tables::make_entries(tables, classes, added);
    for (const auto& [name, text] : {std::pair{"keyfont", sample_tables::keyfont_text(entries)},
                                     std::pair{"keymap", sample_tables::keymap_text(tables)}}) {
      const std::string path = tsd::join_path(argv[1], name);
      if (!write_file(path, text)) {
        std::fprintf(stderr, "make-key-tables: could not write %s\n", path.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-key-tables: %s\n", e.what());
    return 1;
  }
  return 0;
}
