// The keyboard add-in, whatever word processor hosts it: the key tables and the composer's state, the two
// modes, the default fonts and their file font.def, and the commands the user runs. Everything it does
// in the document goes through its Host (host.h).
// Reads keyfont, keymap and font.def from the add-in's folder; writes font.def through font.tmp.
#pragma once

#include <array>
#include <cstdint>

#include "composer.h"
#include "font_names.h"
#include "host.h"
#include "text_input.h"

namespace tibet {

inline constexpr int fonts_per_family = tsd::kFamilySize;
inline constexpr int kFontNameCount = tsd::kTibetanFontCount;
inline constexpr int kFontNameSize = tsd::kFontNameLength;
inline constexpr int kAltFontSize = 64;  // at most 63 characters and the NUL
inline constexpr int kReplySize = 256;
inline constexpr int kMinPointSize = 1;
inline constexpr int kMaxPointSize = 1638;

struct FontDefaults {
  std::int16_t family_base = 0;  // 0 (Korlam) or 34 (Ekorlam)
  std::int16_t tibetan_size = 24;
  char alt_font[kAltFontSize] = {};
  std::int16_t alt_size = 12;
};
// What a missing or bad font.def gives.
inline constexpr FontDefaults kDefaultFonts{0, 24, "Times", 12};

// The defaults that the text of a font.def gives over `current` (what a value missing from the text
// keeps): all the text's values, or kDefaultFonts when one of them is bad.
FontDefaults read_font_defaults(tsd::Stream& in, const FontDefaults& current);
FontDefaults read_font_defaults(tsd::TextBytes in, const FontDefaults& current);
// The text of a font.def holding `d`, as save_font_defaults writes it; returns its length.
inline constexpr int kFontDefTextSize = kAltFontSize + 64;
int format_font_defaults(const FontDefaults& d, char* text, int size);

// The add-in's four commands: name, description, toolbar button.
struct ModeCommand {
  const char* name;
  const char* description;
  const char* button;
};
inline constexpr ModeCommand kModeCommands[] = {
    {"tibetan", "Turns on Tibetan keyboard.", "Tibetan On"},
    {"alternate", "Turns off Tibetan keyboard.", "Tibetan Off"},
    {"tibfont", "Select default Tibetan font.", "Tibetan Font"},
    {"altfont", "Select default Alternate font.", "Alternate Font"},
};
inline constexpr const char* kToolbarName = "Tsendrel";

// How start() ended.
enum class StartResult { started, no_keyfont, no_keymap, refused };

class Addin {
 public:
  explicit Addin(Host& host);
  Addin(const Addin&) = delete;
  Addin& operator=(const Addin&) = delete;

  // Reads font.def, saves and clears the typing aids, loads the tables (a failure is shown), installs the
  // toolbar and captures the keys: the add-in starts in Tibetan mode.
  StartResult start();

  // One key of Tibetan mode through the composer into the document; the last host result.
  HostResult on_key(int key);
  // Plays a glyph string: font switches, take-backs and characters; the last host result.
  HostResult play_glyphs(const unsigned char* glyphs);

  // The four commands.
  void tibetan();
  void alternate();
  void tibfont();
  void altfont();

  // Reads font.def into `defaults`; a missing file or a bad value gives kDefaultFonts.
  void load_font_defaults();
  // Writes `defaults` to font.tmp and puts it in place of font.def in one step. 0, or -1 after showing
  // the save message (font.def is then untouched).
  int save_font_defaults();

  void show_error(const char* text);
  void show_error_code(HostResult code);

  bool tibetan_mode() const { return syllable_state.mode != 0; }
  Host& host() { return host_; }

  // Korlam fonts at 0..33, Ekorlam fonts at 34..67, each family in font-number order.
  std::array<std::array<char, kFontNameSize>, kFontNameCount> font_names{};
  tsd::KeyTables<tsd::kAddinForms> key_tables;
  tsd::SyllableState syllable_state;
  // The key history behind each character typed, so that BackSpace sets the composer back with it.
  tsd::TypedHistory typed_history;
  FontDefaults defaults;

 private:
  HostResult set_tibetan_font(int font);
  bool ask(const char* prompt, const char* title, const char* default_reply, char (&reply)[kReplySize]);
  void report_table_failure(const char* file);

  Host& host_;
};

}  // namespace tibet
