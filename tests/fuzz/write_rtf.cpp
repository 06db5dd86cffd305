// A glyph-code file of any bytes through the RTF writer, in either family and at sizes of 8 to 99
// points (the first three bytes choose): the document is written and its groups nest and close.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "rtf_writer.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  if (size < 3) return 0;
  static const auto fonts = [] {
    std::array<FontEntry, kRtfFontCount> f{};
    build_font_table(f.data());
    return f;
  }();
  const int font_base = (data[0] & 1) != 0 ? kEkorlamBase : kKorlamBase;
  const int tib_size = 2 * (8 + data[1] % 92);
  const int small_size = 2 * (8 + data[2] % 92);
  Stream glyphs = fuzz::stream_of(fuzz::text_of(data + 3, size - 3));
  Stream out = fuzz::memory_stream();
  fuzz::require(
      write_rtf(glyphs, out, fonts.data(), kRtfFontCount, font_base, kRomanSize, tib_size, small_size) == 0,
      "the RTF writer succeeds");
  const std::string rtf = fuzz::contents(out);
  fuzz::require(rtf.rfind("{\\rtf1", 0) == 0, "the document starts with its header");
  fuzz::require(fuzz::groups_balanced(rtf), "the document's groups nest and close");
  return 0;
}
