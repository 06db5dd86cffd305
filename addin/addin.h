// The add-in's state and operations inside the word processor: start-up and registration, the key
// commands that play composed glyph strings into the document, the two modes, the default fonts and
// their file font.def, and the three option groups of the word processor that Tibetan mode clears.
// Reads keyfont, keymap and font.def from the add-in's folder; writes font.def through font.tmp.
#pragma once

#include <array>
#include <cstdint>

#include "bridge.h"
#include "composer.h"
#include "font_names.h"
#include "text_input.h"

#if defined(_WIN32)
#define TIBET_EXPORT __declspec(dllexport)
#else
#define TIBET_EXPORT __attribute__((visibility("default")))
#endif

namespace tibet {

inline constexpr int fonts_per_family = tsd::kFamilySize;
inline constexpr int kFontNameCount = tsd::kTibetanFontCount;
inline constexpr int kFontNameSize = tsd::kFontNameLength;
inline constexpr int kAltFontSize = 64;  // at most 63 characters and the NUL
inline constexpr int kReplySize = 256;
inline constexpr int kMinPointSize = 1;
inline constexpr int kMaxPointSize = 1638;

// Korlam fonts at 0..33, Ekorlam fonts at 34..67, each family in font-number order.
extern std::array<std::array<char, kFontNameSize>, kFontNameCount> font_names;
extern std::int16_t library_id;
extern tsd::KeyTables<tsd::kAddinForms> key_tables;
// The composer's one state: the host calls the add-in on its one thread, keystroke after keystroke.
extern tsd::SyllableState syllable_state;
extern tsd::TypedHistory typed_history;

struct FontDefaults {
  std::int16_t family_base = 0;  // 0 (Korlam) or 34 (Ekorlam)
  std::int16_t tibetan_size = 24;
  char alt_font[kAltFontSize] = {};
  std::int16_t alt_size = 12;
};
// What a missing or bad font.def gives.
inline constexpr FontDefaults kDefaultFonts{0, 24, "Times", 12};
extern FontDefaults defaults;

void fill_font_names();
// Reads font.def into `defaults`; a missing file or a bad value gives kDefaultFonts.
void load_font_defaults();
// The defaults that the text of a font.def gives over `current` (what a value missing from the text
// keeps): all the text's values, or kDefaultFonts when one of them is bad.
FontDefaults read_font_defaults(tsd::Stream& in, const FontDefaults& current);
FontDefaults read_font_defaults(tsd::TextBytes in, const FontDefaults& current);
// The text of a font.def holding `d`, as save_font_defaults writes it; returns its length.
inline constexpr int kFontDefTextSize = kAltFontSize + 64;
int format_font_defaults(const FontDefaults& d, char* text, int size);
// Writes `defaults` to font.tmp and puts it in place of font.def in one step. 0, or -1 after showing
// the save message (font.def is then untouched).
int save_font_defaults();

// The word processor's option groups, in the order they are read and applied.
enum OptionGroupId { autocorrect_options, autoformat_options, edit_options, kOptionGroupCount };
using OptionRecord = std::array<std::int16_t, 8>;
extern std::array<OptionRecord, kOptionGroupCount> saved_options;

// Mode 2 reads the word processor's values into `record`, mode 1 applies the record's values.
std::int16_t exchange_options(OptionGroupId group, OptionRecord& record, int mode);
void enter_tibetan_options();
void restore_user_options();

std::int32_t register_command(std::int16_t id, const char* name, const char* description);
int create_toolbar(std::int16_t id);
int assign_keys(std::int16_t id);
std::int32_t release_keys(std::int16_t id);

// Sets the font at the insertion point.
std::int32_t set_font(const char* name, int size);
std::int32_t play_glyphs(const unsigned char* glyphs);
std::int32_t on_key(int key);

}  // namespace tibet

extern "C" {
TIBET_EXPORT std::int16_t TIBET_CALL wdAutoOpen(std::int16_t library_id);
TIBET_EXPORT std::int32_t TIBET_CALL wdAutoRemove();
TIBET_EXPORT int TIBET_CALL tibetan();
TIBET_EXPORT int TIBET_CALL alternate();
TIBET_EXPORT int TIBET_CALL tibfont();
TIBET_EXPORT int TIBET_CALL altfont();
}
