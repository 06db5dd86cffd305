// Key tables of the input's own, then keys typed with them: whatever table the loaders accept, the
// composer's glyph strings keep their rules. The input is a keyfont, a line "%%", a keymap, a line "%%"
// and the keys.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "glyph_check.h"
#include "quiet.h"

namespace {

template <int Forms>
void load_and_type(const std::string& keyfont, const std::string& keymap, std::string_view keys) {
  auto tables = std::make_unique<tsd::KeyTables<Forms>>();
  int loaded;
  {
    tsd::fuzz::QuietStderr quiet;
    loaded = tsd::load_key_tables(keyfont.c_str(), keymap.c_str(), *tables, nullptr);
  }
  if (loaded != 0) return;
  tsd::fuzz::compose_all(keys, *tables);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  const std::string_view input = fuzz::text_of(data, size);
  constexpr std::string_view kSeparator = "\n%%\n";
  const std::size_t first = input.find(kSeparator);
  if (first == std::string_view::npos) return 0;
  const std::size_t second = input.find(kSeparator, first + kSeparator.size());
  if (second == std::string_view::npos) return 0;
  const std::string keyfont = fuzz::folder().write("keyfont", input.substr(0, first + 1));
  const std::string keymap = fuzz::folder().write(
      "keymap", input.substr(first + kSeparator.size(), second + 1 - first - kSeparator.size()));
  const std::string_view keys = input.substr(second + kSeparator.size());
  load_and_type<kConverterForms>(keyfont, keymap, keys);
  load_and_type<kAddinForms>(keyfont, keymap, keys);
  return 0;
}
