// The RTF reader: reads an RTF document a run of bytes at a time and hands its text to `DocumentText`
// with the font and size in force. The font table is read by font name, whatever numbers the document
// gives its fonts (`\fN`, `\deffN`, `\plain`); text comes as bytes, `\'hh`, `\uN` (its fallback skipped as
// `\ucN` says) and the escaped `\\ \{ \}`; groups keep their font and size; `\*` destinations, the other
// destinations that hold no text of the document, and `\bin` data are skipped. `\par` (and `\line`,
// `\sect`, `\page`, `\row`) end a paragraph, `\tab` and `\cell` are tabs. Writes nothing itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "glyph_text.h"

namespace tarvex {

class RtfReader {
 public:
  explicit RtfReader(DocumentText& text) : text_(text) {}
  void feed(const unsigned char* p, std::size_t n);
  // The end of the document: tells what was left open and whether any Tsendrel font was named.
  void finish();

 private:
  enum class Dest : std::uint8_t { text, font_table, skip };
  enum class State : std::uint8_t { text, escape, word, number, hex, binary };
  struct Group {
    std::int32_t font = -1;  // the RTF font number in force, -1 for the default font
    std::int32_t size = 24;
    std::int32_t uc = 1;
    Dest dest = Dest::text;
  };
  static constexpr int kDepth = 256;

  void open_group();
  void close_group();
  void control_word();
  void control_symbol(unsigned char c);
  void text_byte(unsigned char b);
  void text_run(const unsigned char* p, std::size_t n);
  void unicode(std::int32_t n);
  void styled();
  int font_kind(std::int32_t number) const;
  void name_font();

  DocumentText& text_;
  std::array<Group, kDepth> groups_{};
  int depth_ = 0;           // groups_[depth_] is in force
  int beyond_ = 0;          // groups opened past kDepth, sharing the deepest one's state
  bool ignorable_ = false;  // `\*` read: the group's destination is skipped
  State state_ = State::text;
  char word_[32] = {};
  int word_length_ = 0;
  std::int64_t number_ = 0;
  bool negative_ = false;
  int digits_ = 0;
  int hex_ = 0;
  int hex_digits_ = 0;
  std::int64_t binary_left_ = 0;
  std::int32_t skip_ = 0;  // fallback characters of a \uN still to skip
  char16_t high_surrogate_ = 0;
  std::int32_t default_font_ = -1;
  // The font table: RTF font number → Tsendrel font (0..33) or kOtherFont; small numbers in place.
  std::array<std::int8_t, 1024> fonts_low_{};
  std::vector<std::pair<std::int32_t, std::int8_t>> fonts_high_;
  bool any_tsendrel_ = false;
  std::int32_t entry_ = -1;  // the font table's entry being read
  std::string name_;
  std::int32_t styled_font_ = -2, styled_size_ = -1;  // what DocumentText was told last
  bool stray_brace_told_ = false;
};

}  // namespace tarvex
