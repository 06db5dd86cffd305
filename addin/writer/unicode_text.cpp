#include "unicode_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "glyph_text.h"
#include "option_rules.h"
#include "platform/new_file.h"
#include "platform/path.h"
#include "platform/stream.h"

namespace tibet::writer {

std::string tsendrel_to_unicode(const tarvex::ConverterKeyTables& tables, std::span<const StyledChar> text,
                                tarvex::ReaderReport* report, const tarvex::GlyphTable* glyphs) {
  std::string out;
  tarvex::HubSink sink{[](void* user, const unsigned char* bytes, std::size_t n) {
                         static_cast<std::string*>(user)->append(reinterpret_cast<const char*>(bytes), n);
                         return true;
                       },
                       &out};
  tarvex::HubOut hub(sink);
  {
    tarvex::DocumentText reader(tables, glyphs, hub, report);
    int font = tarvex::kOtherFont - 1, size = -1;
    for (const StyledChar& ch : text) {
      if (ch.font != font || ch.size != size) {
        font = ch.font;
        size = ch.size;
        reader.style(font, size);
      }
      if (ch.c == U'\t') {
        reader.tab();
      } else if (ch.c == U'\n') {
        reader.line_break();
      } else {
        reader.character(ch.c);
      }
    }
    reader.finish();
  }
  hub.finish();
  return out;
}

int character_count(std::string_view utf8) {
  int characters = 0;
  for (const char byte : utf8)
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++characters;  // a character's first byte
  return characters;
}

void UnicodeTyping::set_font(std::string_view name, int points) {
  const int font = tarvex::tsendrel_font_of(name);
  if (font != tarvex::kOtherFont) font_ = font;
  size_ = points * 2;
}

void UnicodeTyping::insert(std::string_view glyphs) {
  for (const char glyph : glyphs)
    glyphs_.push_back({font_, size_, static_cast<char32_t>(static_cast<unsigned char>(glyph))});
}

int UnicodeTyping::take_back(int count) {
  const int here = std::min<int>(count, static_cast<int>(glyphs_.size()));
  glyphs_.resize(glyphs_.size() - static_cast<std::size_t>(here));
  return count - here;
}

UnicodeEdit UnicodeTyping::settle() {
  std::string now = tsendrel_to_unicode(tables_, glyphs_, nullptr, glyph_table_);
  std::size_t same = 0;
  while (same < now.size() && same < written_.size() && now[same] == written_[same]) ++same;
  // The edit starts at a character's first byte.
  while (same > 0 && same < written_.size() && (static_cast<unsigned char>(written_[same]) & 0xC0) == 0x80)
    --same;
  UnicodeEdit edit{character_count(std::string_view(written_).substr(same)), now.substr(same)};
  written_ = std::move(now);
  if (glyphs_.size() > kHeld) let_go_of_oldest();
  return edit;
}

void UnicodeTyping::let_go_of_oldest() {
  // The newest glyphs are kept as they are, and read alone from now on: only where the oldest half
  // reads as the start of what is written and the rest as the rest, which a take-back never reaches.
  const std::size_t cut = glyphs_.size() / 2;
  const std::span<const StyledChar> all(glyphs_);
  const std::string head = tsendrel_to_unicode(tables_, all.first(cut), nullptr, glyph_table_);
  const std::string tail = tsendrel_to_unicode(tables_, all.subspan(cut), nullptr, glyph_table_);
  if (head + tail != written_) return;
  glyphs_.erase(glyphs_.begin(), glyphs_.begin() + static_cast<std::ptrdiff_t>(cut));
  written_ = tail;
}

void UnicodeTyping::reset() {
  glyphs_.clear();
  written_.clear();
}

std::string read_unicode_font(const std::string& folder) {
  const std::string path = tsd::join_path(folder, kUnicodeFontFile);
  tsd::Stream in = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
  std::string name;
  if (in.is_open()) {
    for (int c = in.get(); c != tsd::Stream::end && c != '\n'; c = in.get()) name += static_cast<char>(c);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  }
  std::string why;
  return tarvex::unicode_font_named(name, why) == 0 ? name : std::string(tarvex::kDefaultUnicodeFont);
}

int save_unicode_font(const std::string& folder, std::string_view name, std::string& why) {
  if (tarvex::unicode_font_named(name, why) < 0) return -1;
  const std::string path = tsd::join_path(folder, kUnicodeFontFile);
  tsd::NewFile file;
  if (file.open(path.c_str(), tsd::Stream::Mode::text) < 0) {
    why = "cannot write " + path + ": " + std::strerror(errno);
    return -1;
  }
  file.stream().write(name);
  file.stream().write("\n");
  if (file.commit() < 0) {
    why = "cannot write " + path + ": " + std::strerror(errno);
    return -1;
  }
  return 0;
}

}  // namespace tibet::writer
