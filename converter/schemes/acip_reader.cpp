#include "acip_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "acip_tables.h"
#include "tibetan.h"

namespace tarvex {

namespace {

// The classes that leave a line as it started (nothing but spaces on it) come first.
enum Class : unsigned char {
  kSpace,
  kLineFeed,
  kFolio,     // @
  kWordByte,  // a letter, vowel or sign, "+", "-", "'"
  kMark,      // , ; ` # * ^
  kDigit,
  kTab,
  kOpen,   // [ editorial matter, copied as it stands
  kBrace,  // { the same
  kSmall,  // ( ): copied; the writers of the hub set what is between them small
  kStray,  // ASCII that ACIP gives no meaning: copied with a warning
  kControl,
  kHigh,
};

constexpr std::array<Class, 256> kClasses = [] {
  std::array<Class, 256> c{};
  for (int b = 0; b < 256; ++b) c[b] = b < 0x20 || b == 0x7F ? kControl : b >= 0x80 ? kHigh : kStray;
  for (int b = 'a'; b <= 'z'; ++b) c[b] = kWordByte;
  for (int b = 'A'; b <= 'Z'; ++b) c[b] = kWordByte;
  for (char b : std::string_view("'+-~:\\&%")) c[static_cast<unsigned char>(b)] = kWordByte;
  for (char b : std::string_view(",;`#*^")) c[static_cast<unsigned char>(b)] = kMark;
  for (int b = '0'; b <= '9'; ++b) c[b] = kDigit;
  c[' '] = kSpace;
  c['\n'] = kLineFeed;
  c['\t'] = kTab;
  c['['] = kOpen;
  c['{'] = kBrace;
  c['@'] = kFolio;
  c['('] = kSmall;
  c[')'] = kSmall;
  return c;
}();

// The vowels and signs that may end a word, for the spacing before a shad.
constexpr std::array<bool, 256> kVowelOrSign = [] {
  std::array<bool, 256> v{};
  for (char b : std::string_view("AIUEOi'm:")) v[static_cast<unsigned char>(b)] = true;
  return v;
}();

constexpr StopBits kWordStops =
    stop_bits([](int c) { return kClasses[static_cast<std::size_t>(c)] != kWordByte; });

// Each mark's UTF-8, and the mark of each first byte (",," is found by its second).
struct MarkText {
  char bytes[12];
  std::size_t length;
};

constexpr auto kMarkTexts = [] {
  std::array<MarkText, acip_marks.size()> texts{};
  for (std::size_t i = 0; i < acip_marks.size(); ++i)
    for (const char32_t c : acip_marks[i].code) {
      MarkText& t = texts[i];
      t.bytes[t.length++] = static_cast<char>(0xE0 | (c >> 12));
      t.bytes[t.length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      t.bytes[t.length++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  return texts;
}();

constexpr std::size_t mark_named(std::string_view acip) {
  for (std::size_t i = 0; i < acip_marks.size(); ++i)
    if (acip_marks[i].acip == acip) return i;
  return acip_marks.size();
}
constexpr std::size_t kNyisShad = mark_named(",,");

constexpr std::array<std::size_t, 256> kMarkOf = [] {
  std::array<std::size_t, 256> m{};
  for (std::size_t i = 0; i < acip_marks.size(); ++i)
    if (acip_marks[i].acip.size() == 1) m[static_cast<unsigned char>(acip_marks[i].acip[0])] = i;
  return m;
}();
static_assert(kNyisShad < acip_marks.size());

// ACIP's space is a tsheg only between Tibetan: after a syllable unless a mark or text that is not Tibetan
// follows, after a head mark, after a digit before what is not a digit. Beside `[...]`, `{...}`, `(...)` or
// other text that is not Tibetan it stays a space, as after a shad (the shad's own spacing is mark()'s).
constexpr EwtsSpace acip_space_reading(Before before, Before next) {
  switch (before) {
    case Before::start:
      return EwtsSpace::nothing;
    case Before::syllable:
      return next != Before::space && next != Before::text ? EwtsSpace::tsheg : EwtsSpace::plain;
    case Before::digit:
      return next != Before::digit ? EwtsSpace::tsheg : EwtsSpace::plain;
    case Before::tsheg:
      return EwtsSpace::tsheg;
    case Before::space:
    case Before::text:
      break;
  }
  return EwtsSpace::plain;
}
constexpr SpaceTable kAcipSpacing = space_table(acip_space_reading);

class AcipReader final : public TextReader {
 public:
  AcipReader(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report, AcipOptions options)
      : TextReader(in, out, keep_cr, report, kAcipSpacing), options_(options) {}

 private:
  // The window's bytes before `at` may be gone once it returns: the last word's ending is read first.
  std::size_t parse(std::size_t at) override {
    at = parse_window(at);
    read_word_ending(at);
    return at;
  }
  std::size_t parse_window(std::size_t at);
  WordResult read_syllables(std::string_view word, std::string& out,
                            std::vector<WordWarning>& warnings) override {
    return grammar_.read(word, out, warnings);
  }
  bool starts_word(char32_t) const override { return false; }
  bool take_word(std::size_t& at) override { return word_at(at); }
  [[gnu::noinline]] std::size_t word_run(std::size_t at, bool& cut);
  // The word at `at`, `at` then past it; false when the window may end inside it. Inlined in the loop of
  // words (word_run), where most of the text is read.
  [[gnu::always_inline]] inline bool word_at(std::size_t& at);
  std::size_t mark(std::size_t at);
  std::size_t digit(std::size_t at);
  std::size_t folio(std::size_t at);
  std::size_t brace(std::size_t at);
  void put_tsheg() { put("\xE0\xBC\x8B", 3, 3); }
  // What the spacing before a shad needs of the last word, the word before the spaces before `at`, read
  // from the window only when a shad asks or the window moves on (a word is never cut between windows):
  // most words are followed by another.
  void read_word_ending(std::size_t at);

  AcipOptions options_;
  AcipWords grammar_;
  bool line_start_ = true;  // nothing but spaces read on this line
  char closer_ = 0;         // inside "[...]" or "{...}" (copied as they stand): the bracket that ends it
  bool keeps_space_ =
      false;               // the last word ends in G, or K or G with its vowel: a space before a shad stays
  bool ends_nga_ = false;  // the last word ends in NG
};

std::size_t AcipReader::parse_window(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (closer_) {
    at = brace(at);
    if (closer_) return at;
  }
  while (at < len_) {
    const unsigned char c = b[at];
    const Class k = kClasses[c];
    line_start_ = line_start_ & (k <= kFolio);
    switch (k) {
      case kWordByte: {
        bool cut = false;
        at = word_run(at, cut);
        if (cut) return at;
        break;
      }
      case kSpace:
        pending_space_ = true;
        ++at;
        while (at < len_ && b[at] == ' ') ++at;
        break;
      case kMark: {
        const std::size_t next = mark(at);
        if (next == at) return at;
        at = next;
        break;
      }
      case kDigit: {
        const std::size_t next = digit(at);
        if (next == at) return at;
        at = next;
        break;
      }
      case kLineFeed:
        if (options_.tsheg_at_line_end && before() == Before::syllable) {
          pending_space_ = false;
          put_tsheg();
          written(Before::start, HubTail::nothing);
        }
        line_feed();
        line_start_ = true;
        ++at;
        break;
      case kTab:
        tab();
        ++at;
        break;
      case kOpen:
      case kBrace:
        space_before(Before::space);
        closer_ = c == '[' ? ']' : '}';
        at = brace(at);
        if (closer_) return at;
        break;
      case kFolio: {
        const std::size_t next = folio(at);
        if (next == at) return at;
        at = next;
        break;
      }
      case kSmall:
        other_byte(at, false);
        ++at;
        break;
      case kStray:
        other_byte(at, true);
        ++at;
        break;
      case kControl:
        control(at);
        ++at;
        break;
      case kHigh: {
        const std::size_t next = high(at, false);
        if (next == at) return at;
        at = next;
        break;
      }
    }
  }
  return at;
}

std::size_t AcipReader::word_run(std::size_t at, bool& cut) {
  return TextReader::word_run(at, cut, kWordStops, [this](std::size_t& a) { return word_at(a); });
}

inline bool AcipReader::word_at(std::size_t& at) {
  const unsigned char* b = buf_.data();
  const std::size_t limit = std::min(len_, at + kMaxWord);
  const std::size_t q = run_end(kWordStops, at, limit);
  if (q == len_ && !eof_ && q - at < kMaxWord) return false;
  if (q == at + kMaxWord) warn(offset_at(at), kMaxWord, warning_text(text_warnings::kCut));
  word(b + at, q - at, at, nullptr);
  // After a visarga a space is a plain space, as after a shad.
  if (b[q - 1] == ':' && before() == Before::syllable) written(Before::space, HubTail::tibetan);
  at = q;
  return true;
}

void AcipReader::read_word_ending(std::size_t at) {
  const unsigned char* b = buf_.data();
  std::size_t word_end = std::min(at, len_);
  while (word_end > 0 && b[word_end - 1] == ' ') --word_end;
  // Only the word's last bytes are looked at: its vowels and signs, and the letters before them.
  const auto in_word = [&](std::size_t i) { return i > 0 && kClasses[b[i - 1]] == kWordByte; };
  // No word in the window: the one before the spaces was read when its window moved on.
  if (!in_word(word_end)) return;
  std::size_t end = word_end;
  bool vowels_only = true, a_only = true;
  for (; in_word(end) && kVowelOrSign[b[end - 1]]; --end) {
    vowels_only = vowels_only && b[end - 1] != 'm' && b[end - 1] != ':';
    a_only = a_only && b[end - 1] == 'A';
  }
  const bool letter = in_word(end);
  const bool nga = letter && in_word(end - 1) && b[end - 2] == 'N' && b[end - 1] == 'G';
  const bool g = letter && b[end - 1] == 'G' && !nga;
  const bool k = letter && b[end - 1] == 'K';
  keeps_space_ = end < word_end ? (g || k) && vowels_only : g;
  ends_nga_ = nga && a_only;
}

// A shad, head mark or other mark standing alone, and the space before it.
std::size_t AcipReader::mark(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (at + 1 >= len_ && !eof_) return at;
  const bool shad = b[at] == ',';
  std::size_t n = 1;
  const MarkText* text = nullptr;
  if (b[at] == '*') {
    while (at + n < len_ && b[at + n] == '*') ++n;
    if (at + n == len_ && !eof_) return at;
  } else {
    const std::size_t m = shad && at + 1 < len_ && b[at + 1] == ',' ? kNyisShad : kMarkOf[b[at]];
    text = &kMarkTexts[m];
    n = acip_marks[m].acip.size();
  }
  // The last word's ending is read only where the space before a shad depends on it: most shads follow
  // their word with no space.
  if (shad && pending_space_) {
    pending_space_ = false;
    if (before() == Before::syllable) {
      read_word_ending(at);
      if (keeps_space_)
        put(" ", 1, 1);
      else
        put_tsheg();
    } else if (before() != Before::tsheg && before() != Before::start) {
      put(" ", 1, 1);
    }
  } else if (shad && options_.tsheg_after_nga && before() == Before::syllable) {
    read_word_ending(at);
    if (ends_nga_) put_tsheg();
  }
  const bool head = b[at] == '*' || b[at] == '#';
  const bool che_mgo = b[at] == '^';
  space_before(head || che_mgo ? Before::syllable : Before::space);
  trace(at);
  if (b[at] == '*') {
    write_code(0x0F04);
    for (std::size_t i = 0; i < n; ++i) write_code(0x0F05);
  } else {
    put(text->bytes, sizeof text->bytes, text->length);
  }
  if (head)
    written(Before::tsheg, HubTail::other);
  else if (che_mgo)
    written(Before::start, HubTail::nothing);
  else
    written(Before::space, HubTail::other);
  tibetan_ = true;
  text_ = true;
  return at + n;
}

// A digit; a space before a group of digits stays a space.
std::size_t AcipReader::digit(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (at + 1 >= len_ && !eof_) return at;
  if (pending_space_) {
    pending_space_ = false;
    if (before() != Before::start && before() != Before::digit) {
      put(" ", 1, 1);
      written(Before::start, HubTail::nothing);
    } else if (before() == Before::digit) {
      put(" ", 1, 1);
    }
  }
  if (b[at] == '7' && at + 1 < len_ && b[at + 1] >= 'A' && b[at + 1] <= 'Z' && before() == Before::start)
    warn(offset_at(at), 1, std::string(acip_warnings::kSevenCheMgo));
  trace(at);
  write_code(0x0F20 + (b[at] - '0'));
  written(Before::digit, HubTail::tibetan);
  tibetan_ = true;
  text_ = true;
  return at + 1;
}

// A folio marker (`@001A`, `@@12B`): a line of its own, as written, with the spaces and line break after it.
std::size_t AcipReader::folio(std::size_t at) {
  const unsigned char* b = buf_.data();
  std::size_t q = at;
  while (q < len_ && (b[q] == '@' || (b[q] < 0x80 && std::isalnum(b[q])))) ++q;
  std::size_t after = q;
  while (after < len_ && b[after] == ' ') ++after;
  if (after == len_ && !eof_) return at;
  pending_space_ = false;
  if (!line_start_) write("\n", 1);
  trace(at);
  write(b + at, q - at);
  write("\n", 1);
  written(Before::start, HubTail::nothing);
  text_ = true;
  line_start_ = true;
  if (after < len_ && b[after] == '\n') ++after;
  return after;
}

// Inside "[...]" or "{...}" from its opening bracket: copied as it stands up to the closing one or the
// line's end; where it stopped (a bracket still open when the window ends).
std::size_t AcipReader::brace(std::size_t at) {
  const unsigned char* b = buf_.data();
  text_ = true;
  while (at < len_ && b[at] != '\n') {
    const unsigned char c = b[at];
    if (c >= 0x80) {
      const std::size_t next = high(at, true);
      if (next == at) return at;
      at = next;
      continue;
    }
    if (c < 0x20 && c != '\t') {
      control(at);
      ++at;
      continue;
    }
    write(b + at, 1);
    ++at;
    if (c == static_cast<unsigned char>(closer_)) {
      closer_ = 0;
      break;
    }
  }
  if (at < len_ && b[at] == '\n') closer_ = 0;
  written(Before::space, HubTail::other);
  return at;
}

}  // namespace

int acip_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report, AcipOptions options) {
  AcipReader reader(in, out, keep_cr, report, options);
  return reader.run();
}

std::string acip_to_unicode(std::string_view acip, ReaderReport* report, bool keep_cr, AcipOptions options) {
  tsd::Stream in = tsd::Stream::holding(acip, tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  if (!in.is_open() || !out.is_open()) return {};
  {
    HubOut hub(out);
    acip_to_hub(in, hub, keep_cr, report, options);
  }
  out.rewind();
  std::string text;
  tsd::read_rest(out, [&](const unsigned char* p, std::size_t n) {
    text.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return text;
}

}  // namespace tarvex
