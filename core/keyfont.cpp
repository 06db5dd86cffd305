#include "keyfont.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/stream.h"
#include "trace.h"

namespace tsd {
namespace {

constexpr int kGroupCount = 19;
constexpr int kMaxName = 7;

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int skip_space(Stream& in) {
  int c = in.get();
  while (c != Stream::end && is_space(c)) c = in.get();
  return c;
}

// Reads one white-space delimited token, as "%s" does. Keeps at most `room` characters in `out` (when given)
// and reports the token's full length; -1 when the input has run out.
int read_token(Stream& in, char* out, int room) {
  int c = skip_space(in);
  if (c == Stream::end) return -1;
  int length = 0;
  for (; c != Stream::end && !is_space(c); c = in.get(), ++length)
    if (out && length < room) out[length] = static_cast<char>(c);
  in.unget(c);
  if (out) out[std::min(length, room)] = '\0';
  return length;
}

// Reads a decimal integer as "%d" does (sign, then at least one digit, stopping at the first non-digit) and
// gives its low 8 bits, which is all a form keeps. False when no number stands there.
bool read_number(Stream& in, std::uint8_t& low_bits) {
  int c = skip_space(in);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = in.get();
  }
  if (c < '0' || c > '9') return false;
  unsigned value = 0;
  for (; c >= '0' && c <= '9'; c = in.get()) value = value * 10 + static_cast<unsigned>(c - '0');
  in.unget(c);
  low_bits = static_cast<std::uint8_t>(negative ? 0u - value : value);
  return true;
}

// Parses one record into `entry`, storing each value as soon as it is read, so a record that breaks off
// leaves what it had. The add-in's "%*s" labels and the converter's scratch labels consume the same tokens,
// so this one parser accepts exactly the files that either format accepts.
template <int Forms>
bool parse_record(Stream& in, TibChar<Forms>& entry) {
  for (int group = 0; group < kGroupCount; ++group) {
    const int length = read_token(in, group == 0 ? entry.string : nullptr, kMaxName);
    if (length < 0 || (group == 0 && length > kMaxName)) return false;
    std::uint8_t font = 0, code = 0;
    if (!read_number(in, font)) return false;
    if (group < kFormCount) entry.font_table[group] = font;
    if (!read_number(in, code)) return false;
    if (group < kFormCount) entry.font_slot[group] = code;
  }
  return true;
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

}  // namespace

template <int Forms>
int load_keyfont(const char* path, TibChar<Forms>* tib_chars, int capacity, ReportFn report) {
  Stream in = Stream::open_read(path, Stream::Mode::text);
  if (!in.is_open()) return -1;
  int count = 0;
  for (;;) {
    // The capacity test comes before each record, so the last slot is never filled from a complete record.
    if (count == capacity) {
      char message[128];
      std::snprintf(message, sizeof message,
                    "Number of entries in keyfont file is larger than available table size = %d", capacity);
      if (report) report(message);
      return -1;
    }
    if (!parse_record(in, tib_chars[count])) break;
    if (count % 50 == 0) TSD_TRACE(1, "str: %s, ct %d", tib_chars[count].string, count);
    ++count;
  }
  return count;
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

template int load_keyfont<kConverterForms>(const char*, TibChar<kConverterForms>*, int, ReportFn);
template int load_keyfont<kAddinForms>(const char*, TibChar<kAddinForms>*, int, ReportFn);
template void build_stack_index<kConverterForms>(const TibChar<kConverterForms>*, StackIndex&);
template void build_stack_index<kAddinForms>(const TibChar<kAddinForms>*, StackIndex&);

}  // namespace tsd
