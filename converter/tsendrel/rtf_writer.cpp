#include "rtf_writer.h"

#include "rtf_pieces.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "char_class.h"
#include "font_names.h"

namespace tarvex {

namespace {

constexpr const char* kRomanFontName = "Courier";

constexpr int kFirstFontNumber = 40;

}  // namespace

std::string rtf_document_start(const FontEntry* fonts, int font_count) {
  std::string start = "{\\rtf1\\ansi \\deff69\\deflang1033 {\\fonttbl";
  for (int i = 0; i < font_count; ++i) {
    char declaration[kPreparedSize * 2];
    const int n = std::snprintf(declaration, sizeof declaration, "{\\f%d\\fnil\\fcharset0\\fprq2 %s;}",
                                fonts[i].number, fonts[i].name);
    if (n > 0)
      start.append(declaration, static_cast<std::size_t>(n) < sizeof declaration ? n : sizeof declaration - 1);
  }
  start += '}';
  return start;
}

int build_font_table(FontEntry* fonts) {
  fonts[0] = FontEntry{kFirstFontNumber, kRomanFontName};
  for (int i = 1; i < kRtfFontCount; ++i)
    fonts[i] = FontEntry{kFirstFontNumber + i, tsd::kFontNames[i - 1].data()};
  return kRtfFontCount;
}

namespace {

// Collects the document and hands it to the output stream in large blocks.
class Output {
 public:
  explicit Output(tsd::Stream& out) : out_(out) {}
  ~Output() { flush(); }

  char* reserve(std::size_t n) {
    if (length_ + n > kBlock) flush();
    return buf_.data() + length_;
  }
  void commit(std::size_t n) { length_ += n; }
  void write(const char* text, std::size_t n) {
    if (n > kBlock) {
      flush();
      out_.write(text, n);
      return;
    }
    std::memcpy(reserve(n), text, n);
    commit(n);
  }
  void write(std::string_view text) { write(text.data(), text.size()); }
  void put(char c) { write(&c, 1); }
  // For writing in place through a local cursor, which no store can change behind the compiler's back:
  // the cursor starts at cursor(), may go up to limit(), and is handed back by spill() (which empties
  // the block and returns the new cursor) or settle().
  char* cursor() { return buf_.data() + length_; }
  const char* limit() const { return buf_.data() + kBlock - kWidestWrite; }
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
  static constexpr std::size_t kWidestWrite = kPieceCopy + kPreparedSize * 2;

  tsd::Stream& out_;
  std::array<char, kBlock> buf_;
  std::size_t length_ = 0;
};

}  // namespace

int write_rtf(tsd::Stream& glyphs, tsd::Stream& out, const FontEntry* fonts, int font_count, int font_base,
              int roman_size, int tib_size, int small_tib_size) {
  if (font_count < 1 || font_count > kMaxRtfFonts) return -1;
  const PieceTable table(fonts, font_count, font_base, roman_size, tib_size, small_tib_size);

  {
    Output doc(out);
    doc.write(rtf_document_start(fonts, font_count));

    int c = glyphs.get();
    while (c != tsd::Stream::end && tsd::is_space(c)) {
      doc.put(static_cast<char>(c));
      c = glyphs.get();
    }
    glyphs.unget(c);
    doc.write(table.family());

    int current = 0;
    char* to = doc.cursor();
    const char* const limit = doc.limit();
    const auto write_piece = [&](unsigned char byte) {
      if (to > limit) to = doc.spill(to);
      to = table.put(current, byte, to);
      if (PieceTable::changes_table(byte)) [[unlikely]]
        current = table.next(current, byte);
    };
    for (;;) {
      const auto window = glyphs.window();
      if (window.empty()) {
        if ((c = glyphs.get()) == tsd::Stream::end) break;
        write_piece(static_cast<unsigned char>(c));
        continue;
      }
      for (const unsigned char byte : window) write_piece(byte);
      glyphs.advance(window.size());
    }
    doc.settle(to);
    doc.put('}');
  }
  if (out.flush() != 0 || out.error() || glyphs.error()) return -1;
  return 0;
}

}  // namespace tarvex
