// Key sequences typed into the composer with the bundled tables, as the add-in and the converter load
// them; byte 255 switches the keyboard off and on.
#include <cstddef>
#include <cstdint>

#include "glyph_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  const std::string_view keys = fuzz::text_of(data, size);
  fuzz::compose_all(keys, fuzz::bundled_tables<kConverterForms>());
  fuzz::compose_all(keys, fuzz::bundled_tables<kAddinForms>());
  return 0;
}
