// A keymap file's bytes over the bundled keyfont: when it loads, every mapped key names the first entry that
// begins with its internal character.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz_support.h"
#include "keymap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  const KeyTables<kConverterForms>& bundled = fuzz::bundled_tables<kConverterForms>();
  TibKeys keys{};
  // Reports are checked, not shown: nearly every input would print one.
  const ReportHook said_something{[](void*, const char* text, std::size_t length) {
                                    fuzz::require(length > 0 && text[0] != '\0', "a report says something");
                                  },
                                  nullptr};
  const int result = load_keymap(TextBytes(fuzz::text_of(data, size)), keys, bundled.tib_chars.data(),
                                 bundled.table_size, nullptr, said_something);
  if (result != 0) {
    fuzz::require(result == -1, "load_keymap returns 0 or -1");
    return 0;
  }
  for (const TibKey& key : keys) {
    if (key.ch == 0) continue;
    fuzz::require(key.index >= 0 && key.index < bundled.table_size, "a mapped key names a loaded entry");
    fuzz::require(bundled.tib_chars[key.index].string[0] == key.ch, "the entry begins with the character");
    for (int i = 0; i < key.index; ++i)
      fuzz::require(bundled.tib_chars[i].string[0] != key.ch, "the key names the first such entry");
  }
  return 0;
}
