// A keyfont file as both deliverables load it: whatever is accepted holds only fonts of the family and
// codes that glyph strings may carry, the stack index finds every loaded entry from its own string, and
// the glyph index names, for every form's glyph, an entry and form that draw it, no later than this one.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "fuzz_support.h"
#include "keyfont.h"

namespace {

using namespace tsd;

bool code_allowed(int code, bool converter) {
  if (code == 0 || code >= 128 || code == 20) return false;
  return !converter || (code != 10 && (code < 19 || code > 24));
}

template <int Forms>
void load(std::string_view bytes) {
  auto table = std::make_unique<std::array<TibChar<Forms>, kTibCharsCapacity>>();
  const int count = load_keyfont(TextBytes(bytes), table->data(), kTibCharsCapacity, [](const char* message) {
    fuzz::require(std::strlen(message) > 0, "a report says something");
  });
  if (count < 0) return;
  fuzz::require(count < kTibCharsCapacity, "the last entry is never filled from a record");
  for (int i = 0; i < count; ++i) {
    const TibChar<Forms>& entry = (*table)[i];
    fuzz::require(strnlen(entry.string, sizeof entry.string) < sizeof entry.string,
                  "entry names end in a NUL");
    for (int form = 0; form < kFormCount; ++form) {
      fuzz::require(entry.font_table[form] < kFamilySize, "fonts are 0..33");
      fuzz::require(code_allowed(entry.font_slot[form], Forms == kConverterForms), "codes are allowed ones");
    }
  }
  auto index = std::make_unique<StackIndex>();
  build_stack_index(table->data(), *index);
  for (int i = 0; i < count; ++i) {
    const char* text = (*table)[i].string;
    const int length = static_cast<int>(std::strlen(text));
    if (length > 0)
      fuzz::require(find_stack(*index, text, length, i) == i, "an entry is found from its own string");
  }
  auto glyphs = std::make_unique<GlyphIndex>();
  build_glyph_index(table->data(), count, *glyphs);
  for (int i = 0; i < count; ++i)
    for (int form = 0; form < kFormCount; ++form) {
      const int font = (*table)[i].font_table[form], code = (*table)[i].font_slot[form];
      const GlyphName& name = glyphs->glyphs[font][code];
      fuzz::require(name.entry >= 0 && name.entry <= i && name.names >= 1, "every glyph has its first name");
      const TibChar<Forms>& named = (*table)[name.entry];
      fuzz::require(named.font_table[name.form] == font && named.font_slot[name.form] == code,
                    "the name draws the glyph");
      fuzz::require(is_sign_glyph(font, form) == is_sign_glyph(font, name.form) || name.names > 1,
                    "a glyph of one name is a sign or not as its form is");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  load<kConverterForms>(fuzz::text_of(data, size));
  load<kAddinForms>(fuzz::text_of(data, size));
  return 0;
}
