// Unicode Tibetan for the Writer host, through the converter's own readings: text in the Tsendrel fonts
// read as `tsendrel-unicode` reads a document (DocumentText), and the Unicode typing of one stretch of
// keys (the glyphs the add-in typed since the cursor last moved, kept so that each key, take-backs
// included, rewrites only the Unicode that changed). Also the Unicode font's file in the add-in's folder.
// Reads glyphs and characters with their font and size; writes UTF-8 and the edits that bring the
// document's Unicode up to date. No UNO here: the tests link it alone.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document.h"
#include "hub.h"

namespace tarvex {
class GlyphTable;
}  // namespace tarvex

namespace tibet::writer {

// A character of a document with its font (0..67: tsd::kFontNames; or tarvex::kOtherFont) and its size
// in half-points.
struct StyledChar {
  int font;
  int size;
  char32_t c;
};

// The Unicode (UTF-8, the hub) that tsendrel-unicode reads from these characters: Tibetan in canonical
// order, other fonts' text copied, "\t" and "\n" as tabs and line breaks. `report` counts what could not
// be read (written as U+FFFD). `glyphs`, the glyph table built once with the tables, spares building it for
// each call.
std::string tsendrel_to_unicode(const tarvex::ConverterKeyTables& tables, std::span<const StyledChar> text,
                                tarvex::ReaderReport* report = nullptr, const tarvex::GlyphTable* glyphs = nullptr);

// The characters (code points) of UTF-8 text: what Writer's cursors count.
int character_count(std::string_view utf8);

// What brings the document's Unicode up to date after a key: delete `take_back` characters before the
// cursor, then type `insert` (UTF-8).
struct UnicodeEdit {
  int take_back = 0;
  std::string insert;
};

// The glyphs typed since the cursor last moved, and the Unicode written for them.
class UnicodeTyping {
 public:
  explicit UnicodeTyping(const tarvex::ConverterKeyTables& tables, const tarvex::GlyphTable* glyphs = nullptr)
      : tables_(tables), glyph_table_(glyphs) {}

  // What the add-in plays: a font (its name, as the add-in selects it) and size in points, glyph codes,
  // and a take-back of glyphs. take_back returns how many it could not take back here (typed before the
  // cursor moved): those are characters of the document.
  void set_font(std::string_view name, int points);
  void insert(std::string_view glyphs);
  int take_back(int count);
  // The edit for what was played since the last one.
  UnicodeEdit settle();
  // The cursor moved: what comes next starts a new stretch.
  void reset();

  std::size_t glyphs_held() const { return glyphs_.size(); }

 private:
  // Beyond this many glyphs the oldest half is let go, where it reads the same alone.
  static constexpr std::size_t kHeld = 256;
  void let_go_of_oldest();

  const tarvex::ConverterKeyTables& tables_;
  const tarvex::GlyphTable* glyph_table_;
  int font_ = 0;
  int size_ = 48;
  std::vector<StyledChar> glyphs_;
  std::string written_;  // the Unicode of glyphs_ in the document
};

// The Unicode font for typing and converting: the first line of `unifont.def` in `folder`, or
// tarvex::kDefaultUnicodeFont when the file is missing or its name is not 1 to 63 bytes.
inline constexpr char kUnicodeFontFile[] = "unifont.def";
std::string read_unicode_font(const std::string& folder);
// Writes `name` (1 to 63 bytes) as the folder's Unicode font in one step. 0, or -1 with `why` set.
int save_unicode_font(const std::string& folder, std::string_view name, std::string& why);

}  // namespace tibet::writer
