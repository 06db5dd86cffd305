// Any bytes made a hub by the Unicode reader and written as Extended Wylie: the EWTS reads back through the
// EWTS reader to the same hub, with no warning but that a text without Tibetan has none (a tsheg alone is
// none: the writer writes it as the space after other text); every warning of the writer lies inside the
// hub.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ewts_writer.h"
#include "fuzz_support.h"
#include "hub_of.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string hub = tsd::fuzz::unicode_hub_of(tsd::fuzz::text_of(data, size), size % 2 == 0);
  ReaderReport written, read;
  const std::string ewts = hub_to_ewts(hub, &written);
  for (const ReaderWarning& w : written.warnings)
    tsd::fuzz::require(w.length >= 1 && w.offset + w.length <= hub.size(),
                       "every warning lies inside the hub");
  tsd::fuzz::require(tsd::fuzz::ewts_hub_of(ewts, &read) == hub, "the EWTS reads back to the hub");
  bool tibetan = false;
  for (std::size_t i = 0; i + 2 < hub.size() && !tibetan; ++i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(hub[i + k]); };
    tibetan = b(0) == 0xE0 && (b(1) & 0xFC) == 0xBC && !(b(1) == 0xBC && b(2) == 0x8B);
  }
  for (const ReaderWarning& w : read.warnings)
    tsd::fuzz::require(!tibetan && w.text == "no Tibetan in the text", "reading it back gives no warning");
  return 0;
}
