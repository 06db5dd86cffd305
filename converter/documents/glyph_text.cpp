#include "glyph_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "tibetan.h"
#include "unicode_keys.h"
#include "unicode_reader.h"

namespace tarvex {

namespace {

constexpr std::string_view kTshegUtf8 = "\xE0\xBC\x8B";
constexpr std::size_t kBufferSize = 1 << 14;

// Windows-1252 at 0x80..0x9F, where it differs from Latin-1 (0: unassigned, read as Latin-1).
constexpr char16_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string name_of(int font) {
  return tsd::kFontNames[static_cast<std::size_t>(font)].data();
}

}  // namespace

GlyphTable::GlyphTable(const ConverterKeyTables& tables) : source_(&tables) {
  const auto& chars = tables.tib_chars;
  char full[64], base[64];
  for (int font = 0; font < tsd::kFamilySize; ++font)
    for (int code = 0; code < tsd::kGlyphCodes; ++code) {
      Cell& cell = cells_[static_cast<std::size_t>(font * tsd::kGlyphCodes + code)];
      const tsd::GlyphName& name =
          tables.glyph_index.glyphs[static_cast<std::size_t>(font)][static_cast<std::size_t>(code)];
      cell.kind = name.entry < 0 ? none : nothing;
      if (name.entry < 0) continue;
      std::string_view text;
      if (tsd::is_sign_glyph(font, name.form)) {
        // The sign is what the form adds to its letter or stack, from the first entry on where both
        // mean something in Unicode.
        for (int e = name.entry; e < tables.table_size && text.empty(); ++e) {
          const auto& entry = chars[static_cast<std::size_t>(e)];
          const int n = entry_form_unicode(entry.string, name.form, full, sizeof full);
          const int b = entry_form_unicode(entry.string, tsd::kFormBase, base, sizeof base);
          if (b > 0 && n > b && std::memcmp(full, base, static_cast<std::size_t>(b)) == 0)
            text = std::string_view(full + b, static_cast<std::size_t>(n - b));
        }
        if (!text.empty()) cell.kind = sign;
      } else {
        const auto& entry = chars[static_cast<std::size_t>(name.entry)];
        const int n = entry_form_unicode(entry.string, name.form, full, sizeof full);
        if (n > 0) text = std::string_view(full, static_cast<std::size_t>(n));
        if (n > 0) cell.kind = text == kTshegUtf8 ? separator : whole;
      }
      if (text.size() > sizeof cell.utf8) cell.kind = nothing;
      if (cell.kind == nothing) continue;
      std::memcpy(cell.utf8, text.data(), text.size());
      cell.length = static_cast<std::uint8_t>(text.size());
      cell.plain = cell.kind != sign && name.names == 1;
    }
}

int tsendrel_font_of(std::string_view name) {
  const std::size_t end = name.find_first_of(" ,");
  const std::string_view font = name.substr(0, end);
  for (int i = 0; i < tsd::kTibetanFontCount; ++i) {
    const std::string_view known = tsd::kFontNames[static_cast<std::size_t>(i)].data();
    if (known.size() == font.size() &&
        std::equal(known.begin(), known.end(), font.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return i;
  }
  return kOtherFont;
}

struct DocumentText::Parts {
  Parts(HubOut& out, const ConverterKeyTables& tables, const GlyphTable* glyphs)
      : own(glyphs && glyphs->reads(tables) ? nullptr : std::make_unique<GlyphTable>(tables)),
        table(own ? *own : *glyphs),
        feed(out, true, &found) {
    found.keep = 0;
  }
  std::unique_ptr<GlyphTable> own;
  const GlyphTable& table;
  ReaderReport found;  // the Unicode reader's count of syllables; its places mean nothing here
  UnicodeFeed feed;
  char buffer[kBufferSize];
  std::size_t used = 0;
};

DocumentText::DocumentText(const ConverterKeyTables& tables, const GlyphTable* glyphs, HubOut& out,
                           ReaderReport* report)
    : tables_(tables), report_(report) {
  parts_ = std::make_unique<Parts>(out, tables, glyphs);
}

DocumentText::~DocumentText() = default;

void DocumentText::put(const char* p, std::size_t n) {
  for (; held_breaks_ > 0; --held_breaks_) write("\n", 1);
  write(p, n);
}

void DocumentText::write(const char* p, std::size_t n) {
  Parts& parts = *parts_;
  if (n > kBufferSize - parts.used) [[unlikely]] {
    parts.feed.take(reinterpret_cast<const unsigned char*>(parts.buffer), parts.used);
    parts.used = 0;
  }
  std::memcpy(parts.buffer + parts.used, p, n);
  parts.used += n;
}

void DocumentText::warn(std::string_view text) {
  if (report_) report_->warn_in(paragraph_, position_ ? position_ : 1, text);
}

void DocumentText::close_small() {
  if (!small_) return;
  write(")", 1);
  small_ = false;
}

void DocumentText::bytes(const unsigned char* p, std::size_t n) {
  if (font_ == kOtherFont) {
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned char b = p[i];
      const char16_t w = b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : 0;
      other(w ? w : b);
    }
    return;
  }
  for (std::size_t i = 0; i < n; ++i) glyph(p[i]);
}

void DocumentText::character(char32_t c) {
  if (font_ == kOtherFont) {
    other(c);
  } else if (c < 0x100) {
    glyph(static_cast<unsigned char>(c));
  } else if (c >= 0xF000 && c <= 0xF0FF) {
    glyph(static_cast<unsigned char>(c - 0xF000));
  } else {
    // A character no code of the fonts stands for: kept, as text typed in the font would be.
    other(c);
  }
}

void DocumentText::glyph(unsigned char code) {
  if (code < tsd::kGlyphCodes) {
    // Most glyphs: a letter, stack or tsheg in the normal size, nothing held back.
    const GlyphTable::Cell& cell = parts_->table.at(font_, code);
    if (cell.plain && size_ == normal_size_ && !small_ && held_breaks_ == 0) {
      ++position_;
      write(cell.utf8, cell.length);
      after_letter_ = cell.kind == GlyphTable::whole;
      after_tsheg_ = cell.kind == GlyphTable::separator;
      return;
    }
  }
  unusual_glyph(code);
}

void DocumentText::unusual_glyph(unsigned char code) {
  ++position_;
  if (code == ' ' || code == '\t') {
    const bool typed_space = code == ' ' && after_tsheg_;
    after_tsheg_ = after_letter_ = false;
    // The add-in types a blank after each tsheg, where Word may break the line; the text has none.
    if (typed_space) return;
    if (size_ >= normal_size_) close_small();
    put(code == ' ' ? " " : "\t", 1);
    return;
  }
  const GlyphTable::Cell* cell = code < tsd::kGlyphCodes ? &parts_->table.at(font_, code) : nullptr;
  if (!cell || cell->kind == GlyphTable::none || cell->kind == GlyphTable::nothing) {
    // Put together in place: a document of stray codes has thousands of them.
    if (report_) {
      char why[128];
      std::snprintf(why, sizeof why, "code %d of %s %s: written as U+FFFD", code,
                    tsd::kFontNames[static_cast<std::size_t>(font_name_)].data(),
                    cell && cell->kind == GlyphTable::nothing ? "means nothing in Unicode"
                                                              : "is no glyph of the key-font table");
      warn(why);
    }
    if (report_) ++report_->not_converted;
    put("\xEF\xBF\xBD", 3);
    after_letter_ = after_tsheg_ = false;
    return;
  }
  const std::size_t place = static_cast<std::size_t>(font_ * tsd::kGlyphCodes + code);
  const tsd::GlyphName& name = tables_.glyph_index.glyphs[static_cast<std::size_t>(font_)][code];
  if (name.names > 1 && !told_[place]) {
    told_[place] = true;
    warn("code " + std::to_string(code) + " of " + name_of(font_name_) + " is drawn by " +
         std::to_string(name.names) + " entries or forms of the key-font table: read as \"" +
         tables_.tib_chars[static_cast<std::size_t>(name.entry)].string + "\" form " +
         std::to_string(name.form));
  }
  if (cell->kind == GlyphTable::sign) {
    if (!after_letter_) warn("vowel sign with no letter or stack before it");
    put(cell->utf8, cell->length);
    return;
  }
  if (size_ > normal_size_) normal_size_ = size_;
  if (size_ < normal_size_ && !small_) {
    put("(", 1);
    small_ = true;
  } else if (size_ >= normal_size_) {
    close_small();
  }
  put(cell->utf8, cell->length);
  after_letter_ = cell->kind == GlyphTable::whole;
  after_tsheg_ = cell->kind == GlyphTable::separator;
}

void DocumentText::other(char32_t c) {
  ++position_;
  after_letter_ = after_tsheg_ = false;
  char utf8[4];
  put(utf8, static_cast<std::size_t>(put_utf8(c, utf8)));
}

void DocumentText::tab() {
  ++position_;
  after_letter_ = after_tsheg_ = false;
  put("\t", 1);
}

void DocumentText::line_break() {
  after_letter_ = after_tsheg_ = false;
  // Within a small passage the break waits: where the passage ends with its line, ")" goes before it.
  if (small_)
    ++held_breaks_;
  else
    put("\n", 1);
  ++paragraph_;
  position_ = 0;
}

void DocumentText::paragraph() {
  line_break();
}

int DocumentText::finish() {
  close_small();
  put("", 0);
  Parts& parts = *parts_;
  parts.feed.take(reinterpret_cast<const unsigned char*>(parts.buffer), parts.used);
  parts.used = 0;
  const int result = parts.feed.finish();
  if (report_) report_->syllables += parts.found.syllables;
  return result;
}

}  // namespace tarvex
