#include "acip_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "acip_tables.h"
#include "ewts_syllables.h"
#include "packed_keys.h"
#include "tibetan.h"

namespace tarvex {

namespace {

// ---------------------------------------------------------------------------------------------------------
// A word's grammar: ACIP tokens, grouped into syllables, each spelt in Extended Wylie for the shared grammar.

struct Token {
  enum Kind : unsigned char { letter, carrier, vowel, sign, plus, hyphen } kind;
  std::string_view ewts;
  std::uint16_t pos;
  std::uint16_t len;
};

// A syllable of a word: the tokens of its onset, its vowel (or none), its signs and the letters after them.
struct Syllable {
  int onset_begin = 0, onset_end = 0;
  int vowel = -1;
  bool carrier = false;   // it starts with the carrier `A`
  bool implicit = false;  // a carrier with no vowel written: its own a
  int signs_begin = 0, signs_end = 0;
  int coda_begin = 0, coda_end = 0;
  bool first = false;         // the word's first: its onset is read the Tibetan way where it can be
  bool after_prefix = false;  // `GA-Y`: the g before it stands as a prefix
  bool dropped = false;       // merged into the next
};

// The rows of a table by their spelling's first byte, longest first (in table order among the same
// length), so that a word's bytes are compared only with the rows that can match them.
inline constexpr std::size_t kMaxRowsPerByte = 4;

template <const auto& table>
constexpr auto rows_by_first_byte() {
  std::array<std::array<signed char, kMaxRowsPerByte + 1>, 128> rows{};
  for (auto& r : rows) r.fill(-1);
  for (std::size_t length = 3; length >= 1; --length)
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].acip.size() != length) continue;
      auto& r = rows[static_cast<unsigned char>(table[i].acip[0])];
      std::size_t n = 0;
      while (r[n] >= 0) ++n;
      if (n == kMaxRowsPerByte) throw "more rows start with one byte than the index holds";
      r[n] = static_cast<signed char>(i);
    }
  for (const auto& row : table)
    if (row.acip.empty() || row.acip.size() > 3) throw "a spelling the index does not hold";
  return rows;
}

// The longest row of `table` that `text` starts with, or -1.
template <const auto& table>
int longest_at(std::string_view text) {
  static constexpr auto kRows = rows_by_first_byte<table>();
  if (text.empty() || static_cast<unsigned char>(text[0]) >= 128) return -1;
  for (const signed char i : kRows[static_cast<unsigned char>(text[0])]) {
    if (i < 0) break;
    const std::string_view a = table[static_cast<std::size_t>(i)].acip;
    if (a.size() <= text.size() && text.compare(0, a.size(), a) == 0) return i;
  }
  return -1;
}

bool is_prefix(std::string_view ewts) {
  return std::find(std::begin(acip_prefixes), std::end(acip_prefixes), ewts) != std::end(acip_prefixes);
}

class AcipWordReader {
 public:
  WordResult read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings);

 private:
  bool tokenize(std::vector<WordWarning>& warnings);
  void group();
  std::string onset(const Syllable& s);
  std::string spelled(const Syllable& s);
  // Whether the letters read as the start of a Tibetan syllable: the grammar reads them with `a` and no
  // warning. Kept by the letters, the few a text has.
  bool tibetan_start(const std::string& letters) {
    const auto found = starts_.find(letters);
    if (found != starts_.end()) return found->second;
    probe_.clear();
    const bool start = check_.read(letters + "a", probe_) == 0;
    if (starts_.size() < 4096) starts_.emplace(letters, start);
    return start;
  }

  std::string_view word_;
  std::vector<Token> tokens_;
  std::vector<Syllable> syllables_;
  EwtsWordReader grammar_;
  EwtsWordReader check_;
  std::string probe_;
  std::unordered_map<std::string, bool> starts_;
  std::vector<WordWarning> chunk_warnings_;
};

bool AcipWordReader::tokenize(std::vector<WordWarning>& warnings) {
  tokens_.clear();
  const std::string_view w = word_;
  const auto after_letter = [&] {
    return !tokens_.empty() &&
           (tokens_.back().kind == Token::letter || tokens_.back().kind == Token::carrier);
  };
  for (std::size_t i = 0; i < w.size();) {
    const std::string_view rest = w.substr(i);
    const auto push = [&](Token::Kind kind, std::string_view ewts, std::size_t len) {
      tokens_.push_back({kind, ewts, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(len)});
      i += len;
    };
    const char c = w[i];
    if (c == '+') {
      push(Token::plus, "+", 1);
      continue;
    }
    if (c == '-') {
      push(Token::hyphen, ".", 1);
      continue;
    }
    // The apostrophe: between a letter and a vowel the long vowel, anywhere else the letter a-chung.
    if (c == '\'' && after_letter()) {
      const int v = longest_at<acip_vowels>(rest);
      if (v >= 0 && acip_vowels[static_cast<std::size_t>(v)].acip[0] == '\'') {
        push(Token::vowel, acip_vowels[static_cast<std::size_t>(v)].ewts,
             acip_vowels[static_cast<std::size_t>(v)].acip.size());
        continue;
      }
      if (rest.size() > 1 && (rest[1] == 'E' || rest[1] == 'O'))
        warnings.push_back({i, 2, warning_text(acip_warnings::kLongBeforeE, rest.substr(1, 1))});
    }
    if (c == 'A' && !after_letter()) {
      // Heading a "+" stack the carrier is a letter like any other (`A+YA` ཨྱ).
      push(rest.size() > 1 && rest[1] == '+' ? Token::letter : Token::carrier, "a", 1);
      continue;
    }
    const int s = longest_at<acip_signs>(rest);
    const int v = longest_at<acip_vowels>(rest);
    const int l = longest_at<acip_letters>(rest);
    if (v >= 0 && acip_vowels[static_cast<std::size_t>(v)].acip[0] != '\'' &&
        (l < 0 || acip_vowels[static_cast<std::size_t>(v)].acip.size() >=
                      acip_letters[static_cast<std::size_t>(l)].acip.size())) {
      push(Token::vowel, acip_vowels[static_cast<std::size_t>(v)].ewts,
           acip_vowels[static_cast<std::size_t>(v)].acip.size());
    } else if (l >= 0) {
      const AcipLetter& letter = acip_letters[static_cast<std::size_t>(l)];
      if (letter.acip == "H" && !tokens_.empty() && tokens_.back().kind == Token::letter &&
          tokens_.back().ewts == "tsh")
        warnings.push_back({tokens_.back().pos, 3, std::string(acip_warnings::kTsh)});
      push(Token::letter, letter.ewts, letter.acip.size());
    } else if (s >= 0) {
      push(Token::sign, acip_signs[static_cast<std::size_t>(s)].ewts,
           acip_signs[static_cast<std::size_t>(s)].acip.size());
    } else {
      return false;
    }
  }
  return true;
}

// Tokens to syllables. A run of letters between two vowels of one word starts the second syllable and is
// stacked whole (`PADMA`); a "-" in it ends the first syllable's letters there (`KAR-KHA`).
void AcipWordReader::group() {
  syllables_.clear();
  const int n = static_cast<int>(tokens_.size());
  Syllable cur;
  cur.first = true;
  int i = 0;
  while (i < n) {
    // The onset: letters, "+" and "-" up to a vowel or sign; a carrier stands alone.
    cur.onset_begin = i;
    if (i < n && tokens_[static_cast<std::size_t>(i)].kind == Token::carrier) {
      cur.carrier = true;
      ++i;
    } else {
      while (i < n && (tokens_[static_cast<std::size_t>(i)].kind == Token::letter ||
                       tokens_[static_cast<std::size_t>(i)].kind == Token::plus ||
                       tokens_[static_cast<std::size_t>(i)].kind == Token::hyphen))
        ++i;
    }
    cur.onset_end = i;
    if (i < n && tokens_[static_cast<std::size_t>(i)].kind == Token::vowel)
      cur.vowel = i++;
    else if (cur.carrier)
      cur.implicit = true;
    cur.signs_begin = i;
    while (i < n && tokens_[static_cast<std::size_t>(i)].kind == Token::sign) ++i;
    cur.signs_end = i;
    // The run after it, up to the next vowel or carrier.
    const int run_begin = i;
    while (i < n && tokens_[static_cast<std::size_t>(i)].kind != Token::vowel &&
           tokens_[static_cast<std::size_t>(i)].kind != Token::carrier &&
           tokens_[static_cast<std::size_t>(i)].kind != Token::sign)
      ++i;
    const int run_end = i;
    const bool more = i < n;
    if (!more || run_begin == run_end) {
      cur.coda_begin = run_begin;
      cur.coda_end = run_end;
      syllables_.push_back(cur);
      cur = Syllable{};
      continue;
    }
    int hyphen = run_begin;
    while (hyphen < run_end && tokens_[static_cast<std::size_t>(hyphen)].kind != Token::hyphen) ++hyphen;
    Syllable next;
    if (hyphen < run_end) {
      cur.coda_begin = run_begin;
      cur.coda_end = hyphen;
      // `GA-Y`: a lone g with its a before a hyphen and y is the prefix of the syllable after it.
      const Token& y = tokens_[static_cast<std::size_t>(std::min(hyphen + 1, n - 1))];
      if (cur.first && cur.onset_end - cur.onset_begin == 1 && !cur.carrier && hyphen == run_begin &&
          tokens_[static_cast<std::size_t>(cur.onset_begin)].ewts == "g" && cur.vowel >= 0 &&
          tokens_[static_cast<std::size_t>(cur.vowel)].ewts == "a" && cur.signs_begin == cur.signs_end &&
          y.kind == Token::letter && y.ewts == "y") {
        cur.dropped = true;
        next.after_prefix = true;
      }
      i = hyphen + 1;
    } else {
      cur.coda_begin = cur.coda_end = run_begin;
      i = run_begin;
    }
    syllables_.push_back(cur);
    cur = next;
  }
}

// The Extended Wylie of a syllable's onset: the word's first read the Tibetan way when its letters make a
// Tibetan syllable's start, else (and every later one) stacked whole; "+" stacks and "-" separates.
std::string AcipWordReader::onset(const Syllable& s) {
  if (s.carrier) return {};
  std::string plain, stacked;
  bool marked = false;
  int letters = 0;
  std::string_view first, second;
  for (int i = s.onset_begin; i < s.onset_end; ++i) {
    const Token& t = tokens_[static_cast<std::size_t>(i)];
    if (t.kind == Token::hyphen && i == s.onset_begin) continue;
    if (t.kind != Token::letter) {
      marked = true;
      plain += t.ewts;
      stacked += t.ewts;
      continue;
    }
    if (letters == 0) first = t.ewts;
    if (letters == 1) second = t.ewts;
    const Token::Kind before =
        i > s.onset_begin ? tokens_[static_cast<std::size_t>(i - 1)].kind : Token::hyphen;
    if (letters > 0 && before == Token::letter) stacked += '+';
    plain += t.ewts;
    stacked += t.ewts;
    ++letters;
  }
  std::string prefix = s.after_prefix ? "g." : "";
  if (marked || letters <= 1) return prefix + plain;
  if (!s.first || s.after_prefix) return prefix + stacked;
  if (tibetan_start(plain)) return plain;
  // `DNGGUL`: a prefix that goes with the letter after it stays a prefix; the rest is stacked.
  if (letters >= 3 && is_prefix(first) && tibetan_start(std::string(first) + std::string(second)))
    return std::string(first) + "." + stacked.substr(first.size() + 1);
  return stacked;
}

std::string AcipWordReader::spelled(const Syllable& s) {
  std::string text = onset(s);
  if (s.vowel >= 0)
    text += tokens_[static_cast<std::size_t>(s.vowel)].ewts;
  else if (s.implicit)
    text += "a";
  for (int i = s.signs_begin; i < s.signs_end; ++i) text += tokens_[static_cast<std::size_t>(i)].ewts;
  for (int i = s.coda_begin; i < s.coda_end; ++i) text += tokens_[static_cast<std::size_t>(i)].ewts;
  return text;
}

WordResult AcipWordReader::read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings) {
  word_ = word;
  WordResult result;
  const std::size_t first_warning = warnings.size();
  if (!tokenize(warnings)) {
    // Lowercase or a sign where ACIP gives it no meaning: the word is copied as it stands.
    warnings.resize(first_warning);
    out.append(word);
    warnings.push_back({0, word.size(), warning_text(acip_warnings::kLowercase, word)});
    return result;
  }
  group();
  for (const Syllable& s : syllables_) {
    if (s.dropped) continue;
    const std::string text = spelled(s);
    if (text.empty()) continue;
    chunk_warnings_.clear();
    const WordResult r = grammar_.read(text, out, chunk_warnings_);
    // The grammar's warnings are placed on the syllable they are about.
    const std::size_t from = s.onset_begin < static_cast<int>(tokens_.size())
                                 ? tokens_[static_cast<std::size_t>(s.onset_begin)].pos
                                 : word.size();
    const int last = std::max({s.onset_end, s.vowel + 1, s.signs_end, s.coda_end}) - 1;
    const std::size_t to =
        last >= 0 && last < static_cast<int>(tokens_.size())
            ? tokens_[static_cast<std::size_t>(last)].pos + tokens_[static_cast<std::size_t>(last)].len
            : word.size();
    for (WordWarning& w : chunk_warnings_)
      warnings.push_back({std::min(from, word.size()), std::max<std::size_t>(to > from ? to - from : 1, 1),
                          std::move(w.text)});
    result.syllables += r.syllables;
    result.not_converted += r.not_converted;
    result.tibetan = result.tibetan || r.tibetan;
    result.ends_tibetan = r.ends_tibetan;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------------------
// The reader: input bytes to the hub.

enum Class : unsigned char {
  kWordByte,  // a letter, vowel or sign, "+", "-", "'"
  kSpace,
  kMark,  // , ; ` # * ^
  kDigit,
  kLineFeed,
  kTab,
  kOpen,   // [ editorial matter, copied as it stands
  kBrace,  // { the same
  kFolio,  // @
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
    read_word_ending();
    return at;
  }
  std::size_t parse_window(std::size_t at);
  WordResult read_syllables(std::string_view word, std::string& out,
                            std::vector<WordWarning>& warnings) override {
    return grammar_.read(word, out, warnings);
  }
  bool starts_word(char32_t) const override { return false; }
  bool take_word(std::size_t& at) override;
  std::size_t mark(std::size_t at);
  std::size_t digit(std::size_t at);
  std::size_t folio(std::size_t at);
  std::size_t brace(std::size_t at);
  void put_tsheg() { put("\xE0\xBC\x8B", 3, 3); }
  // What the spacing before a shad needs of the last word, read from the window only when a shad asks or
  // the window moves on: most words are followed by another.
  void read_word_ending();

  AcipOptions options_;
  AcipWordReader grammar_;
  bool line_start_ = true;  // nothing but spaces read on this line
  std::size_t word_begin_ = 0, word_end_ = 0;  // the last word in the window, while its ending is unread
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
    if (k != kSpace && k != kLineFeed && k != kFolio) line_start_ = false;
    switch (k) {
      case kWordByte:
        if (!take_word(at)) return at;
        // Most words are followed by one space and the next word: those are read here, without a turn of
        // the loop for the space.
        while (at + 1 < len_ && b[at] == ' ' && kClasses[b[at + 1]] == kWordByte) {
          pending_space_ = true;
          ++at;
          if (!take_word(at)) return at;
        }
        break;
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

bool AcipReader::take_word(std::size_t& at) {
  const unsigned char* b = buf_.data();
  const std::size_t limit = std::min(len_, at + kMaxWord);
  const std::size_t q = run_end(kWordStops, at, limit);
  if (q == len_ && !eof_ && q - at < kMaxWord) return false;
  if (q == at + kMaxWord) warn(offset_at(at), kMaxWord, warning_text(text_warnings::kCut));
  word(b + at, q - at, at, nullptr);
  word_begin_ = at;
  word_end_ = q;
  // After a visarga a space is a plain space, as after a shad.
  if (b[q - 1] == ':' && before() == Before::syllable) written(Before::space, HubTail::tibetan);
  at = q;
  return true;
}

void AcipReader::read_word_ending() {
  if (word_end_ == word_begin_) return;
  const char* t = reinterpret_cast<const char*>(buf_.data()) + word_begin_;
  const std::size_t size = word_end_ - word_begin_;
  word_begin_ = word_end_ = 0;
  std::size_t end = size;
  bool vowels_only = true, a_only = true;
  for (; end > 0 && kVowelOrSign[static_cast<unsigned char>(t[end - 1])]; --end) {
    vowels_only = vowels_only && t[end - 1] != 'm' && t[end - 1] != ':';
    a_only = a_only && t[end - 1] == 'A';
  }
  const bool nga = end >= 2 && t[end - 2] == 'N' && t[end - 1] == 'G';
  const bool g = end >= 1 && t[end - 1] == 'G' && !nga;
  const bool k = end >= 1 && t[end - 1] == 'K';
  keeps_space_ = end < size ? (g || k) && vowels_only : g;
  ends_nga_ = nga && a_only;
}

// A shad, head mark or other mark standing alone, and the space before it.
std::size_t AcipReader::mark(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (at + 1 >= len_ && !eof_) return at;
  const bool shad = b[at] == ',';
  if (shad) read_word_ending();
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
  if (shad && pending_space_) {
    pending_space_ = false;
    if (before() == Before::syllable) {
      if (keeps_space_)
        put(" ", 1, 1);
      else
        put_tsheg();
    } else if (before() != Before::tsheg && before() != Before::start) {
      put(" ", 1, 1);
    }
  } else if (shad && options_.tsheg_after_nga && ends_nga_ && before() == Before::syllable) {
    put_tsheg();
  }
  const bool head = b[at] == '*' || b[at] == '#';
  const bool che_mgo = b[at] == '^';
  space_before(head || che_mgo ? Before::syllable : Before::space);
  trace(at);
  if (b[at] == '*') {
    write_code(0x0F04);
    for (std::size_t i = 0; i < n; ++i) write_code(0x0F05);
  } else {
    write(text->bytes, std::min(text->length, sizeof text->bytes));  // bounded, so the optimiser sees it fits
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

struct AcipWords::Grammar {
  AcipWordReader reader;
};

AcipWords::AcipWords() : grammar_(std::make_unique<Grammar>()) {}
AcipWords::~AcipWords() = default;

WordResult AcipWords::read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings) {
  return grammar_->reader.read(word, out, warnings);
}

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
