// The key-font table: reads the `keyfont` file (records of 19 groups "name font code") into `tib_chars`,
// one entry per letter or stack with the font and code of each of its forms.
// Also the stack index, which answers the composer's "first entry at or after i whose string begins
// with T" without a scan of the table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "text_input.h"

namespace tsd {

inline constexpr int kTibCharsCapacity = 700;
inline constexpr int kFormCount = 18;  // forms 0..17 are filled from the file
inline constexpr int kConverterForms = 32;
inline constexpr int kAddinForms = 20;
inline constexpr int kFamilySize = 34;

// Form indices with a fixed meaning; 1..15 are the vowel signs by vowel code.
inline constexpr int kFormBase = 0;
inline constexpr int kFormJoinedU = 2;
inline constexpr int kFormApostropheBase = 16;
inline constexpr int kFormApostropheJoinedU = 17;

template <int Forms>
struct TibChar {
  static_assert(Forms >= kFormCount);
  char string[8];
  std::array<std::uint8_t, Forms> font_slot;
  std::array<std::uint8_t, Forms> font_table;
};

// Shows a load failure to the user (the add-in's "Tsendrel Error" box, the converter's "Error" box).
using ReportFn = void (*)(const char* message);

// Why a table did not load, for front ends that name it after their own message: the path tried, and what
// was wrong ("No such file or directory", "it holds no record", "record 1 is malformed", ...).
struct TableProblem {
  std::string path;
  std::string why;
};

// Fills tib_chars[0..] from the file at `path`, an open text stream or the bytes of such a file. Returns
// the number of records loaded, or -1 when the file cannot be opened (silently), holds more than
// capacity - 1 records, or gives a form a font outside 0..33 or a code that glyph strings reserve: 0, 20,
// 128 and above, in the converter's table also 10 and 19..24 (reported, naming the record, its entry, the
// form and the value). `problem`, when given, is filled whenever the load fails or loads no record; its
// path only by the form that opens the file.
template <int Forms>
int load_keyfont(const char* path, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem = nullptr);
template <int Forms>
int load_keyfont(Stream& in, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem = nullptr);
template <int Forms>
int load_keyfont(TextBytes in, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem = nullptr);

// Every prefix (1..7 characters) of every non-empty entry string, hashed, each with the ascending list of
// the entries whose string begins with it.
struct StackIndex {
  static constexpr int kBuckets = 8192;  // a power of two, over twice the most prefixes a table can have
  struct Slot {
    std::uint64_t prefix;  // packed text and length; 0 marks a free slot
    std::int32_t first;    // the prefix's entries are entries[first .. first + count)
    std::int32_t count;
  };
  std::array<Slot, kBuckets> buckets;
  std::array<std::int16_t, kTibCharsCapacity * 7> entries;
};

template <int Forms>
void build_stack_index(const TibChar<Forms>* tib_chars, StackIndex& index);

// The first entry at or after `from` whose string begins with text[0..length), or -1. Entries past the
// loaded count are searched too; empty entries never match.
int find_stack(const StackIndex& index, const char* text, int length, int from);

// The table read backwards, for readers of documents set in the fonts: which entry and form each font's
// character code draws. A form other than 0 drawn in the vowa or syma font is a sign standing beside its
// letter or stack, the same glyph for every entry, so such a glyph is named by its form alone; any other
// glyph by its entry and form. Where several names share a glyph, the first is kept (the lowest entry in
// table order, then the lowest form) and `names` counts them all, so that a reader can say which it took.
inline constexpr int kVowaFont = 32;
inline constexpr int kSymaFont = 33;
inline constexpr int kGlyphCodes = 128;  // the codes a form may have

constexpr bool is_sign_glyph(int font, int form) {
  return form != kFormBase && (font == kVowaFont || font == kSymaFont);
}

struct GlyphName {
  std::int16_t entry = -1;  // -1: no form draws this code
  std::uint8_t form = 0;
  std::uint16_t names = 0;  // how many entries and forms draw it (signs counted once per form)
};

struct GlyphIndex {
  std::array<std::array<GlyphName, kGlyphCodes>, kFamilySize> glyphs;
  int shared = 0;  // glyphs with more than one name
};

template <int Forms>
void build_glyph_index(const TibChar<Forms>* tib_chars, int table_size, GlyphIndex& index);

}  // namespace tsd
