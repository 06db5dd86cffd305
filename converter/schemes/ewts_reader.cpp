#include "ewts_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ewts_letters.h"
#include "ewts_syllables.h"
#include "ewts_tables.h"
#include "packed_keys.h"
#include "text_reader.h"
#include "tibetan.h"

namespace tarvex {

namespace {

using ewts::kNone;

// The curly apostrophes that stand for `'`: ’ ‘ ʼ.
bool is_curly_apostrophe(char32_t c) {
  return c == 0x2019 || c == 0x2018 || c == 0x02BC;
}

// ---------------------------------------------------------------------------------------------------------
// The reader: input bytes to the hub.

// The byte classes of the main loop.
enum Class : unsigned char {
  kWordByte,  // a letter, vowel or sign character, "+" or "."
  kSpace,
  kMarkByte,  // a mark standing alone, `_`, a digit
  kLineFeed,
  kTab,
  kOpen,  // [
  kBackslash,
  kPassThrough,  // { }
  kStray,        // ASCII that means nothing outside a syllable: copied with a warning
  kControl,
  kHigh,  // 0x80..0xFF
};

constexpr std::array<Class, 256> kClasses = [] {
  std::array<Class, 256> c{};
  for (int b = 0; b < 256; ++b) c[b] = b < 0x20 || b == 0x7F ? kControl : b >= 0x80 ? kHigh : kStray;
  for (int b = 'a'; b <= 'z'; ++b) c[b] = kWordByte;
  for (int b = 'A'; b <= 'Z'; ++b) c[b] = kWordByte;
  for (char b : std::string_view("'+.-~`^?&")) c[static_cast<unsigned char>(b)] = kWordByte;
  for (const EwtsMark& m : ewts_marks) c[static_cast<unsigned char>(m.ewts[0])] = kMarkByte;
  c[' '] = kSpace;
  c['\n'] = kLineFeed;
  c['\t'] = kTab;
  c['['] = kOpen;
  c['\\'] = kBackslash;
  c['{'] = kPassThrough;
  c['}'] = kPassThrough;
  return c;
}();

// Where a run of word bytes ends, eight bytes at a time.
constexpr StopBits kWordStops =
    stop_bits([](int c) { return kClasses[static_cast<std::size_t>(c)] != kWordByte; });

// The mark of each first byte, and the one of two bytes (`//`).
constexpr std::array<unsigned char, 256> kMarkOf = [] {
  std::array<unsigned char, 256> m{};
  m.fill(kNone);
  for (std::size_t i = 0; i < ewts_marks.size(); ++i)
    if (ewts_marks[i].ewts.size() == 1)
      m[static_cast<unsigned char>(ewts_marks[i].ewts[0])] = static_cast<unsigned char>(i);
  return m;
}();
// Each mark's UTF-8, padded to be copied whole.
struct MarkText {
  char bytes[4];
  std::size_t length;
};
constexpr auto kMarkTexts = [] {
  std::array<MarkText, ewts_marks.size()> texts{};
  for (std::size_t i = 0; i < ewts_marks.size(); ++i) {
    const char32_t c = ewts_marks[i].code;
    MarkText& t = texts[i];
    if (c < 0x80) {
      t.bytes[0] = static_cast<char>(c);
      t.length = 1;
    } else {
      t.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
      t.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      t.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
      t.length = 3;
    }
  }
  return texts;
}();

constexpr unsigned char kDoubleShad = [] {
  for (std::size_t i = 0; i < ewts_marks.size(); ++i)
    if (ewts_marks[i].ewts == "//") return static_cast<unsigned char>(i);
  return kNone;
}();

// Extended Wylie's lexing: syllable characters to the grammar, marks, spaces, brackets, escapes; the rest is
// the reader every text scheme shares.
class EwtsReader final : public TextReader {
 public:
  using TextReader::TextReader;

 private:
  std::size_t parse(std::size_t at) override;
  WordResult read_syllables(std::string_view word, std::string& out,
                            std::vector<WordWarning>& warnings) override {
    return syllables_.read(word, out, warnings);
  }
  bool starts_word(char32_t c) const override { return is_curly_apostrophe(c); }
  bool take_word(std::size_t& at) override { return word_at(at); }
  [[gnu::noinline]] std::size_t word_run(std::size_t at, bool& cut);
  [[gnu::always_inline]] inline bool word_at(std::size_t& at);
  bool curly_word(std::size_t& at, std::size_t limit);

  EwtsWordReader syllables_;
  std::string word_text_;
  Adjust adjust_;
};

// Parses the buffer from `at` as far as it can without more input; returns where it stopped.
std::size_t EwtsReader::parse(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (!brackets(at)) return at;
  while (at < len_) {
    const unsigned char c = b[at];
    switch (kClasses[c]) {
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
      case kMarkByte: {
        unsigned char mark = kMarkOf[c];
        std::size_t n = 1;
        if (c == '/') {
          if (at + 1 >= len_ && !eof_) return at;
          if (at + 1 < len_ && b[at + 1] == '/') mark = kDoubleShad, n = 2;
        }
        const EwtsMark& m = ewts_marks[mark];
        const Before kind = ewts_before_after_mark(m.kind);
        const HubTail tail = m.kind == EwtsMarkKind::digit || m.kind == EwtsMarkKind::sign ? HubTail::tibetan
                             : kind == Before::start                                       ? HubTail::nothing
                                                                                           : HubTail::other;
        space_before(kind == Before::digit ? Before::digit : Before::syllable);
        trace(at);
        const MarkText& text = kMarkTexts[mark];
        put(text.bytes, sizeof text.bytes, text.length);
        written(kind, tail);
        tibetan_ = tibetan_ || m.code != 0x20;
        text_ = true;
        at += n;
        break;
      }
      case kLineFeed:
        line_feed();
        ++at;
        break;
      case kTab:
        tab();
        ++at;
        break;
      case kOpen:
        open_bracket(at);
        ++at;
        if (!brackets(at)) return at;
        break;
      case kBackslash: {
        const std::size_t next = escape(at);
        if (next == at) return at;
        at = next;
        break;
      }
      case kPassThrough:
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

std::size_t EwtsReader::word_run(std::size_t at, bool& cut) {
  return TextReader::word_run(at, cut, kWordStops, [this](std::size_t& a) { return word_at(a); });
}

// A run of syllable characters from `at`, the curly apostrophes in it read as `'` (out of line); false
// when the buffer may end inside it.
inline bool EwtsReader::word_at(std::size_t& at) {
  const unsigned char* b = buf_.data();
  const std::size_t limit = std::min(len_, at + kMaxWord);
  std::size_t q = run_end(kWordStops, at, limit);
  bool curly = false;
  if (q < limit && kClasses[b[q]] == kHigh) {
    char32_t c;
    const int n = decode_utf8(b + q, len_ - q, c);
    if (n < 0 && !eof_) return false;
    curly = n > 0 && is_curly_apostrophe(c);
  }
  if (!curly) {
    if (q == len_ && !eof_ && q - at < kMaxWord) return false;
    if (q == at + kMaxWord) {
      // A run this long is cut; the rest is read as another.
      warn(offset_at(at), kMaxWord, warning_text(text_warnings::kCut));
    }
    word(b + at, q - at, at, nullptr);
    at = q;
    return true;
  }
  return curly_word(at, limit);
}

bool EwtsReader::curly_word(std::size_t& at, std::size_t limit) {
  const unsigned char* b = buf_.data();
  std::size_t q;
  // With curly apostrophes: copied, each written as one byte.
  word_text_.clear();
  adjust_.clear();
  q = at;
  while (q < limit) {
    if (kClasses[b[q]] == kWordByte) {
      word_text_ += static_cast<char>(b[q++]);
      continue;
    }
    char32_t c;
    const int n = decode_utf8(b + q, len_ - q, c);
    if (n < 0 && !eof_) return false;
    if (n <= 0 || !is_curly_apostrophe(c) || q + static_cast<std::size_t>(n) > limit) break;
    if (tells_sloppy()) {
      char name[32];
      std::snprintf(name, sizeof name, "curly apostrophe U+%04X", static_cast<unsigned>(c));
      warn(offset_at(q), static_cast<std::size_t>(n), warning_text(text_warnings::kSloppy, name));
    }
    adjust_.push_back({word_text_.size() + 1, static_cast<std::size_t>(n - 1)});
    word_text_ += '\'';
    q += static_cast<std::size_t>(n);
  }
  if (q == len_ && !eof_ && q - at < kMaxWord) return false;
  if (q - at >= kMaxWord) warn(offset_at(at), q - at, warning_text(text_warnings::kCut));
  word(reinterpret_cast<const unsigned char*>(word_text_.data()), word_text_.size(), at, &adjust_);
  at = q;
  return true;
}

}  // namespace

int ewts_to_hub(tsd::Stream& in, tsd::Stream& out, bool keep_cr, ReaderReport* report) {
  HubOut hub(out);
  return ewts_to_hub(in, hub, keep_cr, report);
}

int ewts_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report) {
  EwtsReader reader(in, out, keep_cr, report);
  return reader.run();
}

std::string ewts_to_unicode(std::string_view ewts, ReaderReport* report, bool keep_cr) {
  tsd::Stream in = tsd::Stream::holding(ewts, tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  if (!in.is_open() || !out.is_open()) return {};
  ewts_to_hub(in, out, keep_cr, report);
  out.rewind();
  std::string text;
  tsd::read_rest(out, [&](const unsigned char* p, std::size_t n) {
    text.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return text;
}

}  // namespace tarvex
