#include "rtf_writer.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kFontNames[kRtfFontCount] = {
    "Courier",      "Korlam-a",     "Korlam-b",     "Korlam-c",    "Korlam-d",     "Korlam-e",
    "Korlam-f",     "Korlam-g",     "Korlam-big",   "Korlam-a1",   "Korlam-b1",    "Korlam-c1",
    "Korlam-d1",    "Korlam-e1",    "Korlam-f1",    "Korlam-g1",   "Korlam-big1",  "Korlam-a2",
    "Korlam-b2",    "Korlam-c2",    "Korlam-d2",    "Korlam-e2",   "Korlam-f2",    "Korlam-g2",
    "Korlam-big2",  "Korlam-a3",    "Korlam-b3",    "Korlam-c3",   "Korlam-d3",    "Korlam-e3",
    "Korlam-f3",    "Korlam-g3",    "Korlam-big3",  "Korlam-vowa", "Korlam-syma",  "Ekorlam-a",
    "Ekorlam-b",    "Ekorlam-c",    "Ekorlam-d",    "Ekorlam-e",   "Ekorlam-f",    "Ekorlam-g",
    "Ekorlam-big",  "Ekorlam-a1",   "Ekorlam-b1",   "Ekorlam-c1",  "Ekorlam-d1",   "Ekorlam-e1",
    "Ekorlam-f1",   "Ekorlam-g1",   "Ekorlam-big1", "Ekorlam-a2",  "Ekorlam-b2",   "Ekorlam-c2",
    "Ekorlam-d2",   "Ekorlam-e2",   "Ekorlam-f2",   "Ekorlam-g2",  "Ekorlam-big2", "Ekorlam-a3",
    "Ekorlam-b3",   "Ekorlam-c3",   "Ekorlam-d3",   "Ekorlam-e3",  "Ekorlam-f3",   "Ekorlam-g3",
    "Ekorlam-big3", "Ekorlam-vowa", "Ekorlam-syma",
};

constexpr int kFirstFontNumber = 40;
constexpr int kPreparedSize = 64;  // a prepared control string holds at most 63 characters

struct Prepared {
  char text[kPreparedSize];
  int length;
};

Prepared prepare(const char* format, int a, int b = 0) {
  Prepared p;
  const int n = std::snprintf(p.text, sizeof p.text, format, a, b);
  p.length = n < 0 ? 0 : (n < kPreparedSize ? n : kPreparedSize - 1);
  return p;
}

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int build_font_table(FontEntry* fonts) {
  for (int i = 0; i < kRtfFontCount; ++i) fonts[i] = FontEntry{kFirstFontNumber + i, kFontNames[i]};
  return kRtfFontCount;
}

int write_rtf(tsd::Stream& glyphs, tsd::Stream& out, const FontEntry* fonts, int font_count, int font_base,
              int roman_size, int tib_size, int small_tib_size) {
  if (font_count < 1 || font_count > kMaxRtfFonts) return -1;

  const Prepared small_size = prepare("\\fs%d ", small_tib_size);
  const Prepared normal_size = prepare("\\fs%d ", tib_size);
  std::array<Prepared, kMaxRtfFonts> switches;
  switches[0] = prepare("\\f%d\\fs%d ", fonts[0].number, roman_size);
  for (int i = 1; i < font_count; ++i) switches[i] = prepare("\\f%d\\fs%d ", fonts[i].number, tib_size);

  // A switch to an entry outside the table writes nothing.
  const auto write_switch = [&](int entry) {
    if (entry >= 0 && entry < font_count) out.write(switches[entry].text, switches[entry].length);
  };
  const auto write_prepared = [&](const Prepared& p) { out.write(p.text, p.length); };

  out.write("{\\rtf1\\ansi \\deff69\\deflang1033 {\\fonttbl");
  for (int i = 0; i < font_count; ++i) {
    char declaration[kPreparedSize * 2];
    const int n = std::snprintf(declaration, sizeof declaration, "{\\f%d\\fnil\\fcharset0\\fprq2 %s;}",
                                fonts[i].number, fonts[i].name);
    if (n > 0)
      out.write(declaration, static_cast<std::size_t>(n) < sizeof declaration ? n : sizeof declaration - 1);
  }
  out.put('}');

  int c = glyphs.get();
  while (c != tsd::Stream::end && is_space(c)) {
    out.put(c);
    c = glyphs.get();
  }
  glyphs.unget(c);
  write_switch(font_base);

  // Passages hold the input's own text, where a byte of 128 or more is a character, not a font switch.
  bool in_passage = false;
  while ((c = glyphs.get()) != tsd::Stream::end) {
    if (c >= 128) {
      if (in_passage) {
        char escaped[8];
        out.write(escaped, static_cast<std::size_t>(std::snprintf(escaped, sizeof escaped, "\\'%02x", c)));
      } else {
        write_switch(font_base + c - 129);
      }
      continue;
    }
    if (c >= 19 && c <= 22) in_passage = c == 19 || c == 21;
    switch (c) {
      case 10:
        out.write("\\par \n");
        break;
      case 19:
        write_switch(0);
        out.put('[');
        break;
      case 20:
        out.put(']');
        write_switch(font_base);
        break;
      case 21:
        write_switch(0);
        out.write("\\{");
        break;
      case 22:
        out.write("\\}");
        write_switch(font_base);
        break;
      case 23:
        write_prepared(small_size);
        break;
      case 24:
        write_prepared(normal_size);
        break;
      case '\\':
        out.write("\\\\");
        break;
      case '{':
        out.write("\\{");
        break;
      case '}':
        out.write("\\}");
        break;
      default:
        out.put(c);
        break;
    }
  }

  out.put('}');
  if (out.flush() != 0 || out.error() || glyphs.error()) return -1;
  return 0;
}
