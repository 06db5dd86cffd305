// The RTF writer's texts: what each byte of the glyph-code file becomes in each state of the writer (inside
// a bracketed or braced passage or not, inside a small passage or not), and the start of the document up
// to its font table. Shared by the writer and the fast path; reads and writes no stream.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "char_class.h"
#include "platform/stream.h"
#include "rtf_writer.h"

namespace tarvex {

constexpr int kPreparedSize = 64;  // a prepared control string holds at most 63 characters

struct Prepared {
  char text[kPreparedSize];
  int length;
};

inline Prepared prepare(const char* format, int a, int b = 0) {
  Prepared p;
  const int n = std::snprintf(p.text, sizeof p.text, format, a, b);
  p.length = n < 0 ? 0 : (n < kPreparedSize ? n : kPreparedSize - 1);
  return p;
}

// The text that one glyph-code byte becomes, inside the writer's table of texts.
struct Piece {
  std::uint16_t offset;
  std::uint16_t length;
};

constexpr std::size_t kPieceCopy = 16;  // every piece is copied this wide; longer ones are copied again
// The most a byte's text and the switches around it take beyond a writer's limit.
constexpr std::size_t kWidestRtfPiece = kPieceCopy + kPreparedSize * 2;

// Every byte's text in each state of the writer: inside a bracketed or braced passage or not (where a byte
// of 128 or more is the input's own character, not a font switch), and inside a small passage or not
// (where every switch to a Tibetan font carries the small size, so the whole passage stays small).
class PieceTable {
 public:
  static constexpr int kInPassage = 256;
  static constexpr int kInSmall = 512;

  PieceTable(const FontEntry* fonts, int font_count, int font_base, int roman_size, int tib_size,
             int small_tib_size) {
    std::array<Prepared, kMaxRtfFonts> switches, small_switches;
    switches[0] = small_switches[0] = prepare("\\f%d\\fs%d ", fonts[0].number, roman_size);
    for (int i = 1; i < font_count; ++i) {
      switches[i] = prepare("\\f%d\\fs%d ", fonts[i].number, tib_size);
      small_switches[i] = prepare("\\f%d\\fs%d ", fonts[i].number, small_tib_size);
    }
    const Prepared small_size = prepare("\\fs%d ", small_tib_size);
    const Prepared normal_size = prepare("\\fs%d ", tib_size);

    for (int table = 0; table < kTables * 256; table += 256) {
      const bool passage = (table & kInPassage) != 0;
      // A switch to an entry outside the table writes nothing.
      const auto font_switch = [&](int entry) {
        if (entry < 0 || entry >= font_count) return std::string_view();
        const Prepared& p = (table & kInSmall) != 0 ? small_switches[entry] : switches[entry];
        return std::string_view(p.text, p.length);
      };
      if (table == 0) {
        family_ = font_switch(font_base);
        roman_ = font_switch(0);
      }
      for (int c = 0; c < 256; ++c) {
        Piece& piece = pieces_[table + c];
        piece.offset = static_cast<std::uint16_t>(text_.size());
        int next = table;
        if (c >= 128) {
          if (passage) {
            char escaped[8];
            text_.append(escaped,
                         static_cast<std::size_t>(std::snprintf(escaped, sizeof escaped, "\\'%02x", c)));
          } else {
            text_ += font_switch(font_base + c - 129);
          }
        } else {
          switch (c) {
            case 10:
              text_ += "\\par \n";
              break;
            case 19:
              text_ += font_switch(0);
              text_ += '[';
              next |= kInPassage;
              break;
            case 20:
              text_ += ']';
              text_ += font_switch(font_base);
              next &= ~kInPassage;
              break;
            case 21:
              text_ += font_switch(0);
              text_ += "\\{";
              next |= kInPassage;
              break;
            case 22:
              text_ += "\\}";
              text_ += font_switch(font_base);
              next &= ~kInPassage;
              break;
            case 23:
              text_.append(small_size.text, small_size.length);
              next |= kInSmall;
              break;
            case 24:
              text_.append(normal_size.text, normal_size.length);
              next &= ~kInSmall;
              break;
            case '\\':
              text_ += "\\\\";
              break;
            case '{':
              text_ += "\\{";
              break;
            case '}':
              text_ += "\\}";
              break;
            default:
              text_ += static_cast<char>(c);
              break;
          }
        }
        piece.length = static_cast<std::uint16_t>(text_.size() - piece.offset);
        next_[table + c] = static_cast<std::uint16_t>(next);
      }
    }
    text_.append(kPieceCopy, '\0');  // the wide copy of the last piece stays inside the text
  }

  // The texts of `c` in the table starting at `table`, and the table for the byte after it (another
  // only after the markers 19..24).
  const Piece& piece(int table, int c) const { return pieces_[table + c]; }
  int next(int table, int c) const { return next_[table + c]; }
  static bool changes_table(unsigned c) { return c - 19u <= 5u; }
  const char* text(const Piece& piece) const { return text_.data() + piece.offset; }
  // Writes the text of `c` in the table starting at `table` at `to`, where kPieceCopy bytes beyond it may
  // be written too; returns the end of the text.
  template <typename Byte>
  Byte* put(int table, int c, Byte* to) const {
    const Piece& p = piece(table, c);
    std::memcpy(to, text(p), kPieceCopy);
    if (p.length > kPieceCopy) std::memcpy(to, text(p), p.length);
    return to + p.length;
  }
  // Glyph codes as they are written outside passages and small text (table 0), into `to`: their length,
  // or -1 when they would change the table or need more than `room` bytes.
  template <typename Byte>
  int render_plain(const unsigned char* glyphs, int n, Byte* to, int room) const {
    int length = 0;
    for (int i = 0; i < n; ++i) {
      if (changes_table(glyphs[i])) return -1;
      const Piece& p = piece(0, glyphs[i]);
      if (length + p.length > room) return -1;
      std::memcpy(to + length, text(p), p.length);
      length += p.length;
    }
    return length;
  }
  // The switch to font 0 of the family, and to the roman font.
  std::string_view family() const { return family_; }
  std::string_view roman() const { return roman_; }

 private:
  static constexpr int kTables = 4;
  std::array<Piece, kTables * 256> pieces_;
  std::array<std::uint16_t, kTables * 256> next_;
  std::string text_;
  std::string family_;
  std::string roman_;
};

// "{\\rtf1" and the font table of the document, up to its closing brace.
std::string rtf_document_start(const FontEntry* fonts, int font_count);

// The Tsendrel RTF document's rules over glyph-code bytes handed in pieces of any size: its start up to
// the font table, the white space before the first glyph kept before the family's font, each byte's text
// in the writer's state, and the closing brace. The writer runs them from a stream, the fast path on bytes
// in memory. `Out` writes text with write(p, n) and in place through a cursor: cursor() with room up to
// limit() and kWidestPiece bytes beyond, spill(to) (empties its block, returns the new cursor), settle(to).
template <typename Out>
class TsendrelRtf {
 public:
  static constexpr std::size_t kWidestPiece = kWidestRtfPiece;

  TsendrelRtf(Out& out, const PieceTable& table, const FontEntry* fonts, int font_count)
      : out_(out), table_(table) {
    const std::string start = rtf_document_start(fonts, font_count);
    out_.write(start.data(), start.size());
  }

  void glyphs(const unsigned char* p, std::size_t n) {
    if (roman_) {
      roman_ = false;
      begin();
    }
    const unsigned char* const end = p + n;
    for (; !started_ && p < end; ++p) {
      if (!tsd::is_space(*p)) {
        begin();
        break;
      }
      out_.write(p, 1);
    }
    if (p == end) return;
    auto* to = out_.cursor();
    const auto* const limit = out_.limit();
    int current = state_;
    for (; p < end; ++p) {
      if (to > limit) to = out_.spill(to);
      to = table_.put(current, *p, to);
      if (PieceTable::changes_table(*p)) [[unlikely]]
        current = table_.next(current, *p);
    }
    state_ = current;
    out_.settle(to);
  }

  void finish() {
    if (!started_) begin();
    out_.write("}", 1);
  }

  // Text that is not Tibetan (already written as RTF text) in the roman font, outside every passage; the
  // next glyphs go back to the family's font.
  void roman(std::string_view rtf_text) {
    if (!roman_) {
      if (!started_) begin();
      roman_ = true;
      out_.write(table_.roman().data(), table_.roman().size());
    }
    out_.write(rtf_text.data(), rtf_text.size());
  }

  // The first n of the `size` bytes of text at `text` that glyphs render to where plain() (render_plain),
  // written as they stand; all `size` are copied where the output has room.
  void plain_text(const char* text, std::size_t size, std::size_t n) {
    if (size > kWidestPiece) {
      out_.write(text, n);
      return;
    }
    auto* to = out_.cursor();
    if (to > out_.limit()) to = out_.spill(to);
    std::memcpy(to, text, size);
    out_.settle(to + n);
  }

  // Outside passages and small text, after the first glyph and in the family's font: where a byte's text
  // is always the same.
  bool plain() const { return started_ && state_ == 0 && !roman_; }
  bool small() const { return (state_ & PieceTable::kInSmall) != 0; }

 private:
  void begin() {
    const std::string_view family = table_.family();
    out_.write(family.data(), family.size());
    started_ = true;
  }

  Out& out_;
  const PieceTable& table_;
  int state_ = 0;
  bool started_ = false;
  bool roman_ = false;
};

// Collects a document and hands it to the output stream in large blocks; the cursor interface of
// TsendrelRtf's `Out`.
class BlockOutput {
 public:
  explicit BlockOutput(tsd::Stream& out) : out_(out) {}
  ~BlockOutput() { flush(); }
  BlockOutput(const BlockOutput&) = delete;
  BlockOutput& operator=(const BlockOutput&) = delete;

  void write(const void* text, std::size_t n) {
    if (n > kBlock - length_) flush();
    if (n > kBlock) {
      out_.write(text, n);
      return;
    }
    std::memcpy(buf_.data() + length_, text, n);
    length_ += n;
  }
  char* cursor() { return buf_.data() + length_; }
  const char* limit() const { return buf_.data() + kBlock - kWidestRtfPiece; }
  char* spill(char* to) {
    settle(to);
    flush();
    return buf_.data();
  }
  void settle(const char* to) { length_ = static_cast<std::size_t>(to - buf_.data()); }
  void flush() {
    if (length_ > 0) out_.write(buf_.data(), length_);
    length_ = 0;
  }

 private:
  static constexpr std::size_t kBlock = 1 << 15;

  tsd::Stream& out_;
  std::array<char, kBlock> buf_;
  std::size_t length_ = 0;
};

}  // namespace tarvex
