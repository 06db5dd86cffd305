#include "keyfont.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/stream.h"
#include "trace.h"

namespace tsd {
namespace {

constexpr int kGroupCount = 19;
constexpr int kMaxName = 7;

template <class In>
int skip_space(In& in) {
  int c = in.get();
  while (is_space(c)) c = in.get();
  return c;
}

// Reads one white-space delimited token, as "%s" does. Keeps at most `room` characters in `out` (when given)
// and reports the token's full length; -1 when the input has run out.
template <class In>
int read_token(In& in, char* out, int room) {
  int c = skip_space(in);
  if (c == In::end) return -1;
  int length = 0;
  for (; c != In::end && !is_space(c); c = in.get(), ++length)
    if (out && length < room) out[length] = static_cast<char>(c);
  in.unget(c);
  if (out) out[std::min(length, room)] = '\0';
  return length;
}

// Values far beyond any font or code are held at a bound.
constexpr long kNumberBound = 999999999;

// A font outside the family, or a code that a glyph string reads as something else (0 ends it, 20 takes a
// character back, 128 and above switch fonts), would corrupt every text that uses the form; in the
// converter 10 and 19..24 are moreover markers of the glyph-code file.
constexpr bool font_allowed(long font) {
  return font >= 0 && font < kFamilySize;
}
constexpr bool code_allowed(long code, bool converter) {
  if (code <= 0 || code >= 128 || code == 20) return false;
  return !converter || (code != 10 && (code < 19 || code > 24));
}

constexpr int kMessageSize = 256;

void describe_form(char* message, int record, const char* name, int form, const char* what, long value,
                   const char* allowed) {
  std::snprintf(message, kMessageSize,
                "Record %d of the keyfont file (entry \"%s\"), form %d: %s %ld is not allowed; %s.", record,
                name, form, what, value, allowed);
}

void note_problem(TableProblem* problem, const char* why) {
  if (problem) problem->why = why;
}

enum class Parsed { empty, complete, broken, refused };

// Parses record number `record` (from 1) into `entry`, storing each value as soon as it is read, so a
// record that breaks off leaves what it had. The add-in's "%*s" labels and the converter's scratch labels
// consume the same tokens, so this one parser accepts exactly the files that either format accepts. A
// value that may not stand in a form, even in a record that breaks off later, refuses the table, with the
// reason in `message` (kMessageSize bytes). `empty` when the input held nothing but white space.
template <int Forms, class In>
Parsed parse_record(In& in, TibChar<Forms>& entry, int record, char* message) {
  constexpr bool converter = Forms == kConverterForms;
  for (int group = 0; group < kGroupCount; ++group) {
    const int length = read_token(in, group == 0 ? entry.string : nullptr, kMaxName);
    if (length < 0 && group == 0) return Parsed::empty;
    if (length < 0 || (group == 0 && length > kMaxName)) return Parsed::broken;
    long font = 0, code = 0;
    if (!read_decimal(in, kNumberBound, font)) return Parsed::broken;
    if (group < kFormCount) {
      if (!font_allowed(font)) {
        describe_form(message, record, entry.string, group, "font number", font, "fonts are 0 to 33");
        return Parsed::refused;
      }
      entry.font_table[group] = static_cast<std::uint8_t>(font);
    }
    if (!read_decimal(in, kNumberBound, code)) return Parsed::broken;
    if (group < kFormCount) {
      if (!code_allowed(code, converter)) {
        describe_form(
            message, record, entry.string, group, "character code", code,
            converter ? "codes are 1 to 127 but not 10, 19 to 24" : "codes are 1 to 127 but not 20");
        return Parsed::refused;
      }
      entry.font_slot[group] = static_cast<std::uint8_t>(code);
    }
  }
  return Parsed::complete;
}

// Up to 7 characters from the top byte down, the length in the lowest byte: never 0 for a real prefix.
std::uint64_t pack_prefix(const char* text, int length) {
  std::uint64_t key = static_cast<unsigned>(length);
  for (int i = 0; i < length; ++i) key |= std::uint64_t{static_cast<unsigned char>(text[i])} << (56 - 8 * i);
  return key;
}

std::size_t slot_of(std::uint64_t prefix) {
  return static_cast<std::size_t>((prefix * 0x9E3779B97F4A7C15ull) >> 51) & (StackIndex::kBuckets - 1);
}

template <int Forms, class In>
int load_records(In& in, TibChar<Forms>* tib_chars, int capacity, ReportFn report, TableProblem* problem) {
  int count = 0;
  char message[kMessageSize];
  for (;;) {
    // The capacity test comes before each record, so the last slot is never filled from a complete record.
    if (count == capacity) {
      std::snprintf(message, sizeof message,
                    "Number of entries in keyfont file is larger than available table size = %d", capacity);
      if (report) report(message);
      note_problem(problem, message);
      return -1;
    }
    const Parsed parsed = parse_record(in, tib_chars[count], count + 1, message);
    if (parsed == Parsed::refused) {
      if (report) report(message);
      note_problem(problem, message);
      return -1;
    }
    if (parsed != Parsed::complete) {
      if (count == 0)
        note_problem(problem, parsed == Parsed::empty ? "it holds no record" : "record 1 is malformed");
      return count;
    }
    if (count % 50 == 0) TSD_TRACE(1, "str: %s, ct %d", tib_chars[count].string, count);
    ++count;
  }
}

}  // namespace

template <int Forms>
int load_keyfont(const char* path, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem) {
  Stream in = Stream::open_read(path, Stream::Mode::text);
  int count = -1;
  if (in.is_open())
    count = load_records(in, tib_chars, capacity, report, problem);
  else
    note_problem(problem, std::strerror(errno));
  if (problem && count < 1) problem->path = path;
  return count;
}

template <int Forms>
int load_keyfont(Stream& in, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem) {
  return load_records(in, tib_chars, capacity, report, problem);
}

template <int Forms>
int load_keyfont(TextBytes in, TibChar<Forms>* tib_chars, int capacity, ReportFn report,
                 TableProblem* problem) {
  return load_records(in, tib_chars, capacity, report, problem);
}

template <int Forms>
void build_stack_index(const TibChar<Forms>* tib_chars, StackIndex& index) {
  struct Pair {
    std::uint64_t prefix;
    std::int16_t entry;
  };
  std::vector<Pair> pairs;
  for (int entry = 0; entry < kTibCharsCapacity; ++entry) {
    const char* text = tib_chars[entry].string;
    const int length = static_cast<int>(strnlen(text, sizeof tib_chars[entry].string));
    for (int prefix = 1; prefix <= std::min(length, 7); ++prefix)
      pairs.push_back({pack_prefix(text, prefix), static_cast<std::int16_t>(entry)});
  }
  // Entries were visited in order, so a stable sort by prefix keeps each prefix's entries ascending.
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const Pair& a, const Pair& b) { return a.prefix < b.prefix; });
  index.buckets.fill({0, 0, 0});
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    index.entries[i] = pairs[i].entry;
    if (i > 0 && pairs[i].prefix == pairs[i - 1].prefix) continue;
    std::size_t slot = slot_of(pairs[i].prefix);
    while (index.buckets[slot].prefix != 0) slot = (slot + 1) & (StackIndex::kBuckets - 1);
    index.buckets[slot] = {pairs[i].prefix, static_cast<std::int32_t>(i), 0};
    std::size_t last = i;
    while (last < pairs.size() && pairs[last].prefix == pairs[i].prefix) ++last;
    index.buckets[slot].count = static_cast<std::int32_t>(last - i);
  }
}

int find_stack(const StackIndex& index, const char* text, int length, int from) {
  if (length < 1 || length > 7) return -1;
  const std::uint64_t prefix = pack_prefix(text, length);
  for (std::size_t slot = slot_of(prefix);; slot = (slot + 1) & (StackIndex::kBuckets - 1)) {
    const StackIndex::Slot& s = index.buckets[slot];
    if (s.prefix == 0) return -1;
    if (s.prefix != prefix) continue;
    const auto* first = index.entries.data() + s.first;
    const auto* found = std::lower_bound(first, first + s.count, from);
    return found != first + s.count ? *found : -1;
  }
}

template <int Forms>
void build_glyph_index(const TibChar<Forms>* tib_chars, int table_size, GlyphIndex& index) {
  index.glyphs = {};
  index.shared = 0;
  // A sign's later entries are the same name again: the forms seen on each sign glyph, as bits.
  std::array<std::array<std::uint32_t, kGlyphCodes>, kFamilySize> sign_forms{};
  for (int entry = 0; entry < table_size; ++entry)
    for (int form = 0; form < kFormCount; ++form) {
      const int font = tib_chars[entry].font_table[static_cast<std::size_t>(form)];
      const int code = tib_chars[entry].font_slot[static_cast<std::size_t>(form)];
      if (font >= kFamilySize || code >= kGlyphCodes) continue;
      GlyphName& name = index.glyphs[static_cast<std::size_t>(font)][static_cast<std::size_t>(code)];
      if (is_sign_glyph(font, form)) {
        std::uint32_t& seen = sign_forms[static_cast<std::size_t>(font)][static_cast<std::size_t>(code)];
        if (seen & (1u << form)) continue;
        seen |= 1u << form;
      }
      if (name.entry < 0) name = {static_cast<std::int16_t>(entry), static_cast<std::uint8_t>(form), 0};
      if (++name.names == 2) ++index.shared;
    }
}

template int load_keyfont<kConverterForms>(const char*, TibChar<kConverterForms>*, int, ReportFn,
                                           TableProblem*);
template int load_keyfont<kAddinForms>(const char*, TibChar<kAddinForms>*, int, ReportFn, TableProblem*);
template int load_keyfont<kConverterForms>(Stream&, TibChar<kConverterForms>*, int, ReportFn, TableProblem*);
template int load_keyfont<kAddinForms>(Stream&, TibChar<kAddinForms>*, int, ReportFn, TableProblem*);
template int load_keyfont<kConverterForms>(TextBytes, TibChar<kConverterForms>*, int, ReportFn,
                                           TableProblem*);
template int load_keyfont<kAddinForms>(TextBytes, TibChar<kAddinForms>*, int, ReportFn, TableProblem*);
template void build_stack_index<kConverterForms>(const TibChar<kConverterForms>*, StackIndex&);
template void build_stack_index<kAddinForms>(const TibChar<kAddinForms>*, StackIndex&);
template void build_glyph_index<kConverterForms>(const TibChar<kConverterForms>*, int, GlyphIndex&);
template void build_glyph_index<kAddinForms>(const TibChar<kAddinForms>*, int, GlyphIndex&);

}  // namespace tsd
