// UTF-8 text of any bytes, with passage markers, through the Unicode RTF writer at sizes of 8 to 99
// points (the first two bytes choose): the document is written and its groups nest and close.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "rtf_writer.h"
#include "unicode_rtf_writer.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  if (size < 2) return 0;
  const int tib_size = 2 * (8 + data[0] % 92);
  const int small_size = 2 * (8 + data[1] % 92);
  Stream text = fuzz::stream_of(fuzz::text_of(data + 2, size - 2));
  Stream out = fuzz::memory_stream();
  fuzz::require(write_unicode_rtf(text, out, kDefaultUnicodeFont, kRomanSize, tib_size, small_size) == 0,
                "the Unicode RTF writer succeeds");
  const std::string rtf = fuzz::contents(out);
  fuzz::require(rtf.rfind("{\\rtf1", 0) == 0, "the document starts with its header");
  fuzz::require(fuzz::groups_balanced(rtf), "the document's groups nest and close");
  return 0;
}
