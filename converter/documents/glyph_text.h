// The text of a document set in the Tsendrel fonts, run by run, into the hub. Reads the runs that a
// document reader hands over (the font and size in force, then character codes or characters, tabs, line
// and paragraph breaks); writes UTF-8 through the Unicode reader, which puts each letter's signs in
// canonical order, into a `HubOut`. A code of a Tsendrel font is read through the key-font table read
// backwards (`tsd::GlyphIndex`) and the Unicode key table (`entry_form_unicode`); text in any other font is
// copied. Problems go to a `ReaderReport`, placed by paragraph and character.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "document.h"
#include "hub.h"

namespace tarvex {

// What one glyph of a family is in Unicode: 34 fonts by 128 codes, filled once from the key tables as
// they are loaded (ConverterTables) and handed to every document's reader.
class GlyphTable {
 public:
  enum Kind : std::uint8_t {
    none,       // no form of the table draws this code
    nothing,    // a form draws it, but it means nothing in Unicode
    whole,      // a letter, stack, mark or symbol, with what forms 2, 16, 17 and vowel ligatures add
    sign,       // a vowel sign or mark that joins the letter or stack before it
    separator,  // the tsheg
  };
  struct Cell {
    char utf8[29];
    std::uint8_t length;
    Kind kind;
    bool plain;  // a whole glyph or the tsheg, drawn by one form only: written as it is
  };
  static_assert(sizeof(Cell) == 32);

  explicit GlyphTable(const ConverterKeyTables& tables);
  const Cell& at(int font, int code) const {
    return cells_[static_cast<std::size_t>(font) * tsd::kGlyphCodes + static_cast<std::size_t>(code)];
  }
  // Whether it was filled from these tables.
  bool reads(const ConverterKeyTables& tables) const { return &tables == source_; }

 private:
  const ConverterKeyTables* source_;
  std::array<Cell, tsd::kFamilySize * tsd::kGlyphCodes> cells_{};
};

// A run's font: one of the 68 Tsendrel fonts (Korlam's 34, then Ekorlam's: tsd::kFontNames), or any other.
inline constexpr int kOtherFont = -1;

// The place (0..67) of a Tsendrel font's name in tsd::kFontNames, or kOtherFont. The family name and
// suffix may be followed by a style, after a blank or comma ("Korlam-b Bold", "Ekorlam-a,Italic").
int tsendrel_font_of(std::string_view name);

class DocumentText {
 public:
  // `glyphs`: the glyph table of `tables` filled once; without it (or when it was filled from other
  // tables) the document fills one of its own.
  DocumentText(const ConverterKeyTables& tables, const GlyphTable* glyphs, HubOut& out, ReaderReport* report);
  ~DocumentText();
  DocumentText(const DocumentText&) = delete;
  DocumentText& operator=(const DocumentText&) = delete;

  // The font (0..67, or kOtherFont) and size in half-points of what follows.
  void style(int font, int size) {
    font_name_ = font;
    font_ = font == kOtherFont ? kOtherFont : font % tsd::kFamilySize;
    size_ = size;
  }
  // Bytes of the document in the style in force: a Tsendrel font's character codes, or Windows-1252 text.
  void bytes(const unsigned char* p, std::size_t n);
  // A character of the document: in a Tsendrel font, its code (also as U+F0xx, where symbol fonts put it).
  void character(char32_t c);
  void tab();
  void line_break();
  void paragraph();
  // Warnings of the document's reader, at the place reached.
  void warn(std::string_view text);
  // The end of the document: 0, or -1 when handing the hub on failed.
  int finish();

 private:
  struct Parts;
  void glyph(unsigned char code);
  void unusual_glyph(unsigned char code);
  void put(const char* p, std::size_t n);
  void write(const char* p, std::size_t n);
  void other(char32_t c);
  void close_small();

  const ConverterKeyTables& tables_;
  std::unique_ptr<Parts> parts_;
  ReaderReport* report_;
  int font_ = kOtherFont;       // the font's number in its family, 0..33
  int font_name_ = kOtherFont;  // and its name, for the warnings
  int size_ = 24;
  int normal_size_ = 0;        // the largest size of Tibetan text so far: smaller is a small passage
  bool small_ = false;         // a "(" written, its ")" not yet
  int held_breaks_ = 0;        // line breaks met in a small passage, not yet written
  bool after_letter_ = false;  // a sign here joins a letter or stack
  bool after_tsheg_ = false;   // a blank here is the space typed after each tsheg
  std::uint32_t paragraph_ = 1;
  std::uint32_t position_ = 0;
  std::array<bool, tsd::kFamilySize * tsd::kGlyphCodes> told_{};  // shared glyphs already named
};

}  // namespace tarvex
