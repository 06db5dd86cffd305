// The fast path's words: what each byte of the input is to the scan (per scheme), the record of a word
// met before (its key, what the passes made of it, its problems) and the table that finds it by its key.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "font_code_pass.h"
#include "layout.h"
#include "memo_table.h"
#include "packed_keys.h"
#include "rtf_pieces.h"
#include "scheme_passes.h"
#include "unicode_pass.h"
#include "unicode_rtf_writer.h"
#include "word_composer.h"
#include "word_memo.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

// What a byte of the input is to the scan: part of a word, white space, the Wylie tsheg ".", a mark that
// stands for one byte of the syllable file, the start of a bracketed passage or of a "@" name, or
// something that goes through the passes with the word before it and what follows up to white space.
enum class Source : unsigned char { word, white, dot, mark, bracket, name, odd };

struct Scheme {
  std::array<Source, 256> kinds{};
  std::array<unsigned char, 256> marks{};  // the syllable-file byte of each mark
};

// The extraction's roles of KVTS bytes, and for Wylie the punctuation that the pre-pass turns into KVTS.
// Braces read on past white space, and the other white space goes with the word before it: both go
// through the passes.
constexpr Scheme make_scheme(bool wylie) {
  constexpr KvtsByteRoles kvts = kvts_byte_roles();
  Scheme s{};
  for (int c = 0; c < 256; ++c) {
    switch (kvts.role[c]) {
      case KvtsByte::word:
        s.kinds[c] = Source::word;
        break;
      case KvtsByte::blank:
        s.kinds[c] = Source::white;
        break;
      case KvtsByte::mark:
        s.kinds[c] = Source::mark;
        s.marks[c] = kvts.marker[c];
        break;
      case KvtsByte::bracket:
        s.kinds[c] = Source::bracket;
        break;
      case KvtsByte::name:
        s.kinds[c] = Source::name;
        break;
      case KvtsByte::brace:
      case KvtsByte::other_space:
        s.kinds[c] = Source::odd;
        break;
    }
  }
  if (wylie) {
    s.kinds[kWylieShad] = Source::mark;
    s.marks[kWylieShad] = kvts.marker[static_cast<unsigned char>(kShadInKvts[0])];
    s.kinds[kWylieTsheg] = Source::dot;
  }
  return s;
}

constexpr Scheme kWylieScheme = make_scheme(true);
constexpr Scheme kKvtsScheme = make_scheme(false);

// The bytes that end a word, as a few compares find them 16 at a time: white space (tab to CR and the
// blank), "(" and ")", "," and "-" (and for Wylie "." and "/"), "@", "[" and "{". The scheme's table says
// the same of every byte.
constexpr bool ends_word(int c, bool wylie) {
  const unsigned u = static_cast<unsigned>(c);
  return u - 0x09 <= 4 || u == 0x20 || (u & 0xFE) == 0x28 || (u & (wylie ? 0xFC : 0xFE)) == 0x2C ||
         u == '@' || u == '[' || u == '{';
}
constexpr bool ends_agree(const Scheme& s, bool wylie) {
  for (int c = 0; c < 256; ++c)
    if ((s.kinds[c] != Source::word) != ends_word(c, wylie)) return false;
  return true;
}
static_assert(ends_agree(kWylieScheme, true) && ends_agree(kKvtsScheme, false));

constexpr int kSyllableRoom = 40;  // syllable-file bytes of a word remembered
constexpr int kOutputRoom = 128;   // output bytes of a word remembered whole
constexpr int kOutputCopy = 64;    // a word's output is copied this wide, and again when longer
constexpr std::uint8_t kNotWhole = 0xFF;
constexpr std::uint16_t kUnplaced = 0xFFFF;
// A Wylie word after white space starts a syllable; one after punctuation does not.
constexpr std::uint64_t kStartsSyllable = std::uint64_t{1} << 62;

// A word of the input as the passes convert it: its syllable-file bytes and what the extraction counted,
// and, where the output can hold it, the output bytes it gives: always (Unicode), or when composed from a
// composer at rest whose key history holds what the word's rules read there (`history`), which the word
// then moves on as a remembered word does.
struct alignas(64) Word {
  PackedRun key;  // for a word too long for one, empty
  std::uint8_t length = 0;
  std::uint8_t output_length = kNotWhole;
  // With the blank after it, where the output holds that too: the commonest pair in running text.
  std::uint8_t blank_length = kNotWhole;
  bool learned = false;     // converted through the passes, not only met
  bool composable = false;  // one run of keys that the word memo can hold
  bool spilled = false;     // syllable-file bytes beyond kSyllableRoom, kept by the back (length 0)
  std::uint16_t syllables = 0;
  std::uint16_t marked = 0;
  int last_key = 0;  // the layout's last key after the whole output
  HistoryEffect history;
  // The problems the extraction found in the word, in the scan's list of them; kUnplaced when one lies
  // outside the word's own bytes.
  std::uint32_t problems_at = 0;
  std::uint16_t problem_count = 0;
  // The output right after what every word reads, so that a short one shares their cache line.
  std::array<unsigned char, kOutputRoom> output{};
  std::array<unsigned char, kSyllableRoom> bytes{};
};

// What the layout writes for a blank after a word whose last key is `last_key`, at `to` (room for a
// mark): its length, or 0 when the layout must look past the blank (after a "g").
int blank_after(const LayoutMarks& marks, int last_key, unsigned char* to) {
  Layout layout(marks, false);
  layout.key();
  layout.last_key = last_key;
  WindowOut out{to};
  return layout.blank(out, [] { return kUnseen; }) ? static_cast<int>(out.at - to) : 0;
}

// The length of the word's own bytes in the input; 0 for a word too long for a key.
int input_length(const Word& w) {
  return static_cast<int>((w.key.high & ~kStartsSyllable) >> 56);
}

// The first n bytes of a word's output.
[[gnu::always_inline]] inline void copy_output(const Word& w, int n, unsigned char* to) {
  std::memcpy(to, w.output.data(), kOutputCopy);
  if (n > kOutputCopy) std::memcpy(to, w.output.data(), static_cast<std::size_t>(n));
}

// The words met so far, found by their packed text in sets of eight places, the one found last first. A
// word pushed out of its set keeps its record until retire() says that nothing points to it any more, so
// records are made only as words are learned, and the words forgotten are those of their set met longest
// ago.
class WordTable {
 public:
  // Forced inline, as the other steps that every word takes: the compiler weighs the whole scan as one.
  [[gnu::always_inline]] Word* find(const PackedRun& key) {
    return places_->find(
        hash_of(key), [&](const Place& p) { return p.key == key; }, [](const Place& p) { return p.word; });
  }
  // A new record, not yet learned, for the word in the first place of its set; the others move down.
  Word& add(const PackedRun& key) {
    const std::uint64_t hash = hash_of(key);
    if (Word* leaving = places_->leaving(hash).word) pushed_out_.push_back(leaving);
    Word* record = new_record();
    places_->place(hash) = {key, record};
    *record = Word{};
    record->key = key;
    return *record;
  }
  // The records of words pushed out of the table may be used again.
  void retire() {
    spare_.insert(spare_.end(), pushed_out_.begin(), pushed_out_.end());
    pushed_out_.clear();
  }

 private:
  struct Place {
    PackedRun key;  // a word's key never has the length 0 of an empty place
    Word* word = nullptr;
  };
  static constexpr std::size_t kRecordsAtOnce = 256;

  Word* new_record() {
    if (!spare_.empty()) {
      Word* record = spare_.back();
      spare_.pop_back();
      return record;
    }
    if (records_.empty() || used_ == kRecordsAtOnce) {
      records_.emplace_back(new Word[kRecordsAtOnce]);
      used_ = 0;
    }
    return &records_.back()[used_++];
  }

  using Places = MemoTable<Place, MemoShape{12, 8, MemoOrder::found_first}>;
  std::unique_ptr<Places> places_ = std::make_unique<Places>();
  std::vector<std::unique_ptr<Word[]>> records_;
  std::size_t used_ = 0;
  std::vector<Word*> pushed_out_;
  std::vector<Word*> spare_;
};

// A problem of a word, placed in the input's bytes of the word.
struct WordProblem {
  SourceProblem::Kind kind;
  std::uint8_t value;
  std::uint32_t offset;
  std::uint32_t length;
};

// A word met for the first time, where it lies in the scan's buffer.
struct NewWord {
  PackedRun key;
  const unsigned char* text;
  int length;
  bool starts_syllable;
  bool name;  // a "@" name, which the extraction ends at the line break after it
  Word* record;
};

// The rest of a batch file.
inline std::string read_all(tsd::Stream& stream) {
  std::string bytes;
  tsd::read_rest(stream, [&bytes](const unsigned char* p, std::size_t n) {
    bytes.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return bytes;
}

inline std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.emplace_back(text.data() + from, at - from);
  return lines;
}

}  // namespace
}  // namespace tarvex::fast
