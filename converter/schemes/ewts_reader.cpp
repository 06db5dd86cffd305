#include "ewts_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "ewts_tables.h"
#include "lent_table.h"
#include "packed_keys.h"
#include "tibetan.h"

namespace tarvex {

namespace {

// ---------------------------------------------------------------------------------------------------------
// Warnings

enum class Warning : unsigned char {
  unexpected,
  unexpected_run,
  bad_prefix,
  bad_suffix,
  bad_second_suffix,
  after_second_suffix,
  lone_plus,
  letter_after_vowel,
  repeated_sign,
  nonstandard_stack,
  stack_without_vowel,
  should_be,
  aspirate,
  unclosed_bracket,
  bad_escape,
  no_tibetan,
  not_utf8,
  control,
  cut,
  count,
};

// The text of each warning; %1 and %2 stand for the EWTS (or the byte) it is about.
constexpr std::array<std::string_view, static_cast<std::size_t>(Warning::count)> kWarningTexts = {
    "unexpected character \"%1\"",
    "unexpected characters \"%1\"",
    "prefix \"%1\" cannot stand before \"%2\"",
    "\"%1\" cannot be a suffix",
    "\"%2\" cannot follow the suffix \"%1\"",
    "letter \"%1\" after the second suffix",
    "\"+\" not followed by a letter or vowel",
    "letter \"%1\" subjoined after a vowel",
    "second \"%1\" on one stack dropped",
    "\"%1\" is not a standard stack: write \"%2\"",
    "stack \"%1\" has no vowel",
    "\"%1\" should probably be \"%2\"",
    "\"%1\" should be written \"%2\"",
    "unclosed \"[\"",
    "bad escape \"%1\"",
    "no Tibetan in the text",
    "byte %1 is not UTF-8",
    "control character %1",
    "syllable longer than 4096 bytes cut",
};

// Letters, signs and the like that run on longer than this are cut into pieces of this size, so that the
// memory a reader needs does not depend on its input.
constexpr std::size_t kMaxWord = 4096;

std::string warning_text(Warning w, std::string_view a = {}, std::string_view b = {}) {
  const std::string_view form = kWarningTexts[static_cast<std::size_t>(w)];
  std::string text;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] == '%' && i + 1 < form.size() && (form[i + 1] == '1' || form[i + 1] == '2')) {
      text += form[i + 1] == '1' ? a : b;
      ++i;
    } else {
      text += form[i];
    }
  }
  return text;
}

std::string hex_byte(unsigned char b) {
  constexpr char digits[] = "0123456789ABCDEF";
  return {'0', 'x', digits[b >> 4], digits[b & 15]};
}

// ---------------------------------------------------------------------------------------------------------
// UTF-8

// The character at p, of the `avail` bytes at hand: its length, 0 when the bytes are not UTF-8 (overlong,
// a surrogate, past U+10FFFF), or -1 when the end of the bytes at hand cuts it.
int decode_utf8(const unsigned char* p, std::size_t avail, char32_t& c) {
  const unsigned char b = p[0];
  int n;
  char32_t min;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  for (int k = 1; k < n; ++k) {
    if (static_cast<std::size_t>(k) >= avail) return -1;
    if ((p[k] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[k] & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

// The curly apostrophes that stand for `'`: ’ ‘ ʼ.
bool is_curly_apostrophe(char32_t c) {
  return c == 0x2019 || c == 0x2018 || c == 0x02BC;
}

bool is_alnum(unsigned char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// What a Tibetan character written as it stands (an escape, Unicode in the input) is for the spacing.
using Before = EwtsBefore;

constexpr Before tibetan_kind(char32_t c) {
  return ewts_before_kind(c);
}

// What a line break joins after a Tibetan character of that kind.
HubTail tail_after(Before kind) {
  switch (kind) {
    case Before::start:
      return HubTail::nothing;
    case Before::syllable:
    case Before::digit:
      return HubTail::tibetan;
    default:
      return HubTail::other;
  }
}

// ---------------------------------------------------------------------------------------------------------
// Syllables: a run of letters, vowels, signs, "+" and "." to Unicode stacks.

constexpr unsigned char kNone = 0xFF;
constexpr unsigned char kAchenLetter = 0xFE;  // the a-chen as a letter, after "+" or heading a "+" stack

// The longest entry of `table` that `text` starts with, or kNone.
template <typename Table>
constexpr unsigned char longest(const Table& table, std::string_view text, std::size_t& length) {
  unsigned char best = kNone;
  length = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string_view e = table[i].ewts;
    if (e.size() > length && text.substr(0, e.size()) == e) {
      best = static_cast<unsigned char>(i);
      length = e.size();
    }
  }
  return best;
}

constexpr unsigned char letter_index(std::string_view ewts) {
  for (std::size_t i = 0; i < ewts_letters.size(); ++i)
    if (ewts_letters[i].ewts == ewts && ewts_letters[i].spelling == EwtsSpelling::standard)
      return static_cast<unsigned char>(i);
  return kNone;
}

// The standard stacks as letters, read as a syllable's letters are: longest first.
struct StackLetters {
  std::array<unsigned char, 4> letters{};
  unsigned char count = 0;
};

constexpr auto kStandardStacks = [] {
  std::array<StackLetters, ewts_standard_stacks.size()> stacks{};
  for (std::size_t s = 0; s < stacks.size(); ++s) {
    std::string_view text = ewts_standard_stacks[s];
    while (!text.empty()) {
      std::size_t length = 0;
      unsigned char best = kNone;
      for (std::size_t i = 0; i < ewts_letters.size(); ++i) {
        const std::string_view e = ewts_letters[i].ewts;
        if (ewts_letters[i].spelling == EwtsSpelling::standard && e.size() > length &&
            text.substr(0, e.size()) == e)
          best = static_cast<unsigned char>(i), length = e.size();
      }
      if (best == kNone || stacks[s].count == 4) throw "a standard stack is not made of letters";
      stacks[s].letters[stacks[s].count++] = best;
      text.remove_prefix(length);
    }
  }
  return stacks;
}();

constexpr unsigned char kApostrophe = letter_index("'");
static_assert(kApostrophe != kNone && letter_index("h") != kNone);

std::string_view letter_ewts(unsigned char letter) {
  return letter == kAchenLetter ? std::string_view("a") : ewts_letters[letter].ewts;
}

enum class Kind : unsigned char { letter, vowel, sign, plus, dot, other, skip };
enum class Join : unsigned char { none, plus, dot };

struct Token {
  Kind kind;
  unsigned char index;  // into the letters, vowels or signs
  std::uint16_t pos;
  std::uint16_t len;
};

struct Letter {
  unsigned char letter;
  Join join;  // what stands between it and the letter before
  std::uint16_t pos;
  std::uint16_t len;
};

// A run of letters and what sits on its last stack.
struct Group {
  int first = 0;  // into the segment's letters
  int count = 0;
  std::array<unsigned char, 4> vowels{};
  int vowel_count = 0;
  std::array<unsigned char, 6> signs{};
  int sign_count = 0;
};

// A stack to write: letters of the segment, and the group whose vowels and signs it carries (or none).
struct Stack {
  int first;
  int count;
  int group;
};

struct WordWarning {
  std::size_t pos;
  std::size_t len;
  std::string text;
};

// What one run of syllable characters gave.
struct WordResult {
  int syllables = 0;
  int not_converted = 0;
  bool tibetan = false;       // it wrote Tibetan
  bool ends_tibetan = false;  // the last thing it wrote is Tibetan
};

class SyllableReader {
 public:
  // Converts word[0..n) (syllable characters, the apostrophes already straight), appending its UTF-8 to
  // `out` and its warnings to `warnings` (positions in the word).
  WordResult read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings);

 private:
  void tokenize();
  void classify();
  void segment(std::size_t begin, std::size_t end);
  void analyse();
  void head(int g);
  void vowelless();
  void validate_prefix(int prefix, int root_stack);
  void validate_suffixes(const std::vector<int>& suffixes);
  void push(int first, int count, int group) { stacks_.push_back({first, count, group}); }
  void push_singles(int first, int count);
  bool standard(int first, int count) const;
  bool valid_stack(int first, int count) const;
  bool is_prefix(int letter) const;
  bool prefix_allows(int prefix_letter, int first, int count) const;
  std::string name(int first, int count, bool plus) const;
  std::string_view spelled(int first, int count) const;
  bool suffixes_ok(int first, int count) const;
  void emit(const Stack& s);
  void warn(std::size_t pos, std::size_t len, Warning w, std::string_view a = {}, std::string_view b = {}) {
    warnings_->push_back({pos, len, warning_text(w, a, b)});
  }

  std::string_view word_;
  std::string* out_ = nullptr;
  std::vector<WordWarning>* warnings_ = nullptr;
  std::vector<Token> tokens_;
  std::vector<Letter> letters_;
  std::vector<Group> groups_;
  std::vector<Stack> stacks_;
  std::vector<std::vector<int>> after_;
  std::vector<char32_t> code_points_;
  WordResult result_;
  bool in_syllable_ = false;
  bool syllable_bad_ = false;
};

WordResult SyllableReader::read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings) {
  word_ = word;
  out_ = &out;
  warnings_ = &warnings;
  result_ = {};
  in_syllable_ = false;
  syllable_bad_ = false;
  tokenize();
  classify();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    const Token& t = tokens_[i];
    if (t.kind == Kind::other) {
      segment(begin, i);
      std::size_t j = i;
      while (j < tokens_.size() && (tokens_[j].kind == Kind::other || tokens_[j].kind == Kind::skip)) ++j;
      std::size_t last = j;
      while (tokens_[last - 1].kind != Kind::other) --last;
      const std::size_t pos = t.pos, end = tokens_[last - 1].pos + tokens_[last - 1].len;
      const std::string_view text = word_.substr(pos, end - pos);
      out_->append(text);
      warn(pos, end - pos, last - i > 1 ? Warning::unexpected_run : Warning::unexpected, text);
      syllable_bad_ = true;
      result_.ends_tibetan = false;
      begin = j;
      i = j - 1;
    } else if (t.kind == Kind::sign && ewts_signs[t.index].ends_syllable) {
      segment(begin, i + 1);
      if (in_syllable_ && syllable_bad_) ++result_.not_converted;
      in_syllable_ = false;
      syllable_bad_ = false;
      begin = i + 1;
    }
  }
  segment(begin, tokens_.size());
  if (in_syllable_ && syllable_bad_) ++result_.not_converted;
  return result_;
}

// Splits the word into letters, vowels, signs, "+", "." and characters that mean nothing.
void SyllableReader::tokenize() {
  tokens_.clear();
  std::size_t i = 0;
  bool after_plus = false;
  while (i < word_.size()) {
    const std::string_view rest = word_.substr(i);
    const auto pos = static_cast<std::uint16_t>(i);
    if (rest[0] == '+' || rest[0] == '.') {
      tokens_.push_back({rest[0] == '+' ? Kind::plus : Kind::dot, 0, pos, 1});
      after_plus = rest[0] == '+';
      ++i;
      continue;
    }
    if (after_plus && rest[0] == 'a') {
      tokens_.push_back({Kind::letter, kAchenLetter, pos, 1});
      after_plus = false;
      ++i;
      continue;
    }
    after_plus = false;
    std::size_t letter_len, vowel_len, sign_len;
    const unsigned char letter = longest(ewts_letters, rest, letter_len);
    const unsigned char vowel = longest(ewts_vowels, rest, vowel_len);
    const unsigned char sign = longest(ewts_signs, rest, sign_len);
    if (letter_len == 0 && vowel_len == 0 && sign_len == 0) {
      tokens_.push_back({Kind::other, 0, pos, 1});
      ++i;
    } else if (letter_len >= vowel_len && letter_len >= sign_len) {
      const EwtsLetter& l = ewts_letters[letter];
      if (l.spelling == EwtsSpelling::warned) {
        // Read as the two letters joined by "+" that it stands for.
        const std::size_t plus = l.plus_spelling.find('+');
        const auto first = static_cast<std::uint16_t>(plus);
        warn(i, letter_len, Warning::aspirate, l.ewts, l.plus_spelling);
        tokens_.push_back({Kind::letter, letter_index(l.plus_spelling.substr(0, plus)), pos, first});
        tokens_.push_back({Kind::plus, 0, static_cast<std::uint16_t>(i + plus), 0});
        tokens_.push_back({Kind::letter, letter_index(l.plus_spelling.substr(plus + 1)),
                           static_cast<std::uint16_t>(i + plus),
                           static_cast<std::uint16_t>(letter_len - plus)});
      } else {
        tokens_.push_back({Kind::letter, letter, pos, static_cast<std::uint16_t>(letter_len)});
      }
      i += letter_len;
    } else if (vowel_len >= sign_len) {
      tokens_.push_back({Kind::vowel, vowel, pos, static_cast<std::uint16_t>(vowel_len)});
      i += vowel_len;
    } else {
      tokens_.push_back({Kind::sign, sign, pos, static_cast<std::uint16_t>(sign_len)});
      i += sign_len;
    }
  }
}

// Marks what means nothing where it stands: "+" before anything but a letter or vowel (dropped), a sign
// with no stack before it, "." that separates nothing (both copied).
void SyllableReader::classify() {
  const std::size_t n = tokens_.size();
  for (std::size_t i = 0; i < n; ++i) {
    Token& t = tokens_[i];
    if (t.kind != Kind::plus) continue;
    const bool next_ok =
        i + 1 < n && (tokens_[i + 1].kind == Kind::letter || tokens_[i + 1].kind == Kind::vowel);
    if (!next_ok) {
      warn(t.pos, 1, Warning::lone_plus);
      t.kind = Kind::skip;
    }
  }
  bool base = false;  // a letter, vowel or sign of the current syllable comes before
  for (std::size_t i = 0; i < n; ++i) {
    Token& t = tokens_[i];
    switch (t.kind) {
      case Kind::letter:
      case Kind::vowel:
        base = true;
        break;
      case Kind::sign:
        if (!base)
          t.kind = Kind::other;
        else if (ewts_signs[t.index].ends_syllable)
          base = false;
        break;
      case Kind::dot: {
        // Of a run of dots between letters, the first separates them and the others are copied.
        std::size_t j = i;
        while (j < n && tokens_[j].kind == Kind::dot) ++j;
        const bool prev_ok = base && i > 0 && tokens_[i - 1].kind != Kind::plus;
        const bool next_ok = j < n && (tokens_[j].kind == Kind::letter || tokens_[j].kind == Kind::vowel);
        for (std::size_t k = i; k < j; ++k)
          if (k > i || !prev_ok || !next_ok) tokens_[k].kind = Kind::other;
        if (!prev_ok || !next_ok || j > i + 1) base = false;
        i = j - 1;
        break;
      }
      case Kind::other:
        base = false;
        break;
      default:
        break;
    }
  }
}

// Reads tokens [begin, end): no other characters among them, at most one syllable.
void SyllableReader::segment(std::size_t begin, std::size_t end) {
  letters_.clear();
  groups_.clear();
  Join join = Join::none;
  Group* g = nullptr;
  bool vowel_joins = false;  // a letter was put under a stack after its vowel
  for (std::size_t i = begin; i < end; ++i) {
    const Token& t = tokens_[i];
    const bool joins = vowel_joins;
    vowel_joins = false;
    switch (t.kind) {
      case Kind::letter: {
        const bool closed = g && (g->vowel_count > 0 || g->sign_count > 0);
        if (closed && join == Join::plus) {
          // Put under the stack all the same; a vowel right after it joins the stack's own.
          warn(t.pos, t.len, Warning::letter_after_vowel, letter_ewts(t.index));
          letters_.push_back({t.index, join, t.pos, t.len});
          ++g->count;
          join = Join::none;
          vowel_joins = true;
          break;
        }
        if (!g || closed) {
          groups_.push_back({});
          g = &groups_.back();
          g->first = static_cast<int>(letters_.size());
        }
        letters_.push_back({t.index, join, t.pos, t.len});
        ++g->count;
        join = Join::none;
        break;
      }
      case Kind::vowel: {
        const bool stacked = g && g->vowel_count > 0 && (join == Join::plus || joins);
        if (!stacked && (!g || g->vowel_count > 0 || g->sign_count > 0)) {
          groups_.push_back({});
          g = &groups_.back();
          g->first = static_cast<int>(letters_.size());
          // `a` heading a "+" stack is the a-chen letter (`a+ya`).
          if (ewts_vowels[t.index].ewts == "a" && i + 2 < end && tokens_[i + 1].kind == Kind::plus &&
              tokens_[i + 2].kind == Kind::letter) {
            letters_.push_back({kAchenLetter, join, t.pos, t.len});
            ++g->count;
            join = Join::none;
            break;
          }
        }
        if (g->vowel_count < static_cast<int>(g->vowels.size())) g->vowels[g->vowel_count++] = t.index;
        join = Join::none;
        break;
      }
      case Kind::sign: {
        const unsigned char group = ewts_signs[t.index].group;
        bool repeated = false;
        for (int k = 0; k < g->sign_count; ++k) repeated = repeated || ewts_signs[g->signs[k]].group == group;
        if (repeated || g->sign_count == static_cast<int>(g->signs.size()))
          warn(t.pos, t.len, Warning::repeated_sign, ewts_signs[t.index].ewts);
        else
          g->signs[g->sign_count++] = t.index;
        break;
      }
      case Kind::plus:
        join = Join::plus;
        break;
      case Kind::dot:
        join = Join::dot;
        break;
      default:
        break;
    }
  }
  if (groups_.empty()) return;
  analyse();
  for (const Stack& s : stacks_) emit(s);
  if (!stacks_.empty()) {
    if (!in_syllable_) ++result_.syllables;
    in_syllable_ = true;
    result_.tibetan = true;
    result_.ends_tibetan = true;
  }
}

bool SyllableReader::standard(int first, int count) const {
  for (const StackLetters& s : kStandardStacks) {
    if (s.count != count) continue;
    bool same = true;
    for (int k = 0; k < count && same; ++k) same = s.letters[k] == letters_[first + k].letter;
    if (same) return true;
  }
  return false;
}

// One letter; letters joined by "+" only; or a standard stack, "+" written or not. No "." inside.
bool SyllableReader::valid_stack(int first, int count) const {
  bool all_plus = true;
  for (int k = 1; k < count; ++k) {
    if (letters_[first + k].join == Join::dot) return false;
    all_plus = all_plus && letters_[first + k].join == Join::plus;
  }
  return all_plus || standard(first, count);
}

bool SyllableReader::is_prefix(int letter) const {
  const std::string_view e = letter_ewts(letters_[letter].letter);
  for (const EwtsPrefixRule& r : ewts_prefix_rules)
    if (r.prefix == e) return true;
  return false;
}

bool SyllableReader::prefix_allows(int prefix_letter, int first, int count) const {
  const std::string_view p = letter_ewts(letters_[prefix_letter].letter);
  const std::string root = name(first, count, false);
  for (const EwtsPrefixRule& r : ewts_prefix_rules) {
    if (r.prefix != p) continue;
    if (ewts_list_has(r.roots, root)) return true;
    return count > 1 && standard(first, count) && ewts_list_has(r.tops, letter_ewts(letters_[first].letter));
  }
  return false;
}

// The letters' EWTS, with "+" between them when `plus`.
std::string SyllableReader::name(int first, int count, bool plus) const {
  std::string s;
  for (int k = 0; k < count; ++k) {
    if (plus && k > 0) s += '+';
    s += letter_ewts(letters_[first + k].letter);
  }
  return s;
}

// The letters as the input spells them.
std::string_view SyllableReader::spelled(int first, int count) const {
  const Letter& a = letters_[first];
  const Letter& b = letters_[first + count - 1];
  return word_.substr(a.pos, b.pos + b.len - a.pos);
}

// Whether letters [first, first + count) are a suffix and a second suffix that may follow it.
bool SyllableReader::suffixes_ok(int first, int count) const {
  if (count == 0) return true;
  if (count > 2) return false;
  const std::string_view s = letter_ewts(letters_[first].letter);
  for (const EwtsSuffixRule& r : ewts_suffix_rules)
    if (r.suffix == s) return count == 1 || ewts_list_has(r.second, letter_ewts(letters_[first + 1].letter));
  return false;
}

void SyllableReader::push_singles(int first, int count) {
  // Letters joined by "+" stay one stack; the others stand side by side.
  int start = first;
  for (int k = first + 1; k <= first + count; ++k) {
    if (k == first + count || letters_[k].join != Join::plus) {
      push(start, k - start, -1);
      start = k;
    }
  }
}

// Decides the stacks of the segment's groups: the first group's letters are a root with perhaps a prefix;
// a later group's letters end with its own stack, and what comes before that follows the group before.
void SyllableReader::analyse() {
  stacks_.clear();
  if (groups_.size() == 1 && groups_[0].vowel_count == 0 && groups_[0].sign_count == 0) {
    vowelless();
    return;
  }
  bool tibetan = true;  // no "+", and after the root only suffixes and groups of the a-chung
  for (const Letter& l : letters_) tibetan = tibetan && l.join != Join::plus;
  head(0);
  const int prefix = stacks_.size() == 2 && stacks_[0].count == 1 && is_prefix(stacks_[0].first) ? 0 : -1;
  const int root_stack = static_cast<int>(stacks_.size()) - 1;
  std::vector<std::vector<int>>& after = after_;  // the letters after each group's own stack
  after.assign(groups_.size(), {});
  for (std::size_t i = 1; i < groups_.size(); ++i) {
    const Group& g = groups_[i];
    const bool own_stack = g.vowel_count > 0 || g.sign_count > 0;
    int j = g.count;
    if (own_stack) {
      // The longest stack that ends the run and splits no "+" is the group's own.
      for (j = 0; j < g.count; ++j)
        if ((j == 0 || letters_[g.first + j].join != Join::plus) && valid_stack(g.first + j, g.count - j))
          break;
    }
    const std::size_t before = stacks_.size();
    push_singles(g.first, j);
    for (int k = 0; k < j; ++k) after[i - 1].push_back(g.first + k);
    if (own_stack) {
      push(g.first + j, g.count - j, static_cast<int>(i));
      tibetan = tibetan && g.count - j == 1 && letters_[g.first + j].letter == kApostrophe;
    } else {
      for (std::size_t k = before; k < stacks_.size(); ++k) {
        const Stack& s = stacks_[k];
        if (s.count > 1)
          warn(letters_[s.first].pos, spelled(s.first, s.count).size(), Warning::stack_without_vowel,
               name(s.first, s.count, true));
      }
    }
  }
  if (!tibetan) return;
  validate_prefix(prefix, root_stack);
  validate_suffixes(after[0]);
  // After a group of the a-chung, one of its endings (`'am`, `'ang`, `'is`).
  for (std::size_t i = 1; i < after.size(); ++i) {
    const std::vector<int>& a = after[i];
    if (a.empty()) continue;
    const Letter& l = letters_[a[0]];
    if (a.size() > 1 || !ewts_list_has(ewts_achung_endings, letter_ewts(l.letter)))
      warn(l.pos, spelled(a[0], static_cast<int>(a.size())).size(), Warning::bad_suffix,
           spelled(a[0], static_cast<int>(a.size())));
  }
}

// The stacks of the first group: a root stack, after a prefix where the letters read so.
void SyllableReader::head(int group) {
  const Group& g = groups_[static_cast<std::size_t>(group)];
  const int f = g.first, m = g.count;
  if (m == 0) {
    push(f, 0, group);
    return;
  }
  int dot = -1;
  for (int k = 1; k < m; ++k)
    if (letters_[f + k].join == Join::dot) dot = k;
  if (dot >= 0) {
    // Letters that a "." keeps apart are separate stacks; each piece stacks by its own letters.
    int start = 0;
    for (int k = 1; k <= m; ++k) {
      if (k < m && letters_[f + k].join != Join::dot) continue;
      if (!valid_stack(f + start, k - start))
        warn(letters_[f + start].pos, spelled(f + start, k - start).size(), Warning::nonstandard_stack,
             spelled(f + start, k - start), name(f + start, k - start, true));
      push(f + start, k - start, k == m ? group : -1);
      start = k;
    }
    return;
  }
  if (valid_stack(f, m)) {
    push(f, m, group);
    return;
  }
  const bool prefix = m > 1 && is_prefix(f) && letters_[f + 1].join != Join::plus;
  if (prefix && valid_stack(f + 1, m - 1)) {
    push(f, 1, -1);
    push(f + 1, m - 1, group);
    return;
  }
  // Not a standard stack: stacked anyway, after a prefix where there is one, with a warning.
  const int from = prefix && m > 2 ? 1 : 0;
  if (from == 1) push(f, 1, -1);
  warn(letters_[f + from].pos, spelled(f + from, m - from).size(), Warning::nonstandard_stack,
       spelled(f + from, m - from), name(f + from, m - from, true));
  push(f + from, m - from, group);
}

// A syllable of letters alone: prefix, root and suffixes where its letters read so (a fixed reading where
// they read two ways); otherwise written as it stands, with a warning.
void SyllableReader::vowelless() {
  const Group& g = groups_[0];
  const int f = g.first, m = g.count;
  bool plus = false, dot = false;
  for (int k = 1; k < m; ++k) {
    plus = plus || letters_[f + k].join == Join::plus;
    dot = dot || letters_[f + k].join == Join::dot;
  }
  if (plus) {
    push_singles(f, m);
    for (const Stack& s : stacks_)
      if (s.count > 1)
        warn(letters_[s.first].pos, spelled(s.first, s.count).size(), Warning::stack_without_vowel,
             name(s.first, s.count, true));
    return;
  }
  if (m == 1) {
    push(f, 1, 0);
    return;
  }
  if (!dot) {
    const std::string all = name(f, m, false);
    for (const EwtsFixedReading& r : ewts_fixed_readings) {
      if (r.letters == all) {
        push_singles(f, m);
        return;
      }
    }
    for (int start = 0; start < 2; ++start) {
      if (start == 1 && !is_prefix(f)) break;
      for (int len = std::min(3, m - start); len >= 1; --len) {
        if (!valid_stack(f + start, len) || !suffixes_ok(f + start + len, m - start - len)) continue;
        if (start == 1 && !prefix_allows(f, f + 1, len)) continue;
        push_singles(f, start);
        push(f + start, len, 0);
        push_singles(f + start + len, m - start - len);
        return;
      }
    }
  }
  // Otherwise read as if its vowel followed its last letter, and the spelling of that reading suggested.
  const std::size_t warned = warnings_->size();
  head(0);
  if (dot) return;
  warnings_->resize(warned);
  std::string suggestion;
  for (const Stack& s : stacks_)
    suggestion += name(s.first, s.count, s.count > 1 && !standard(s.first, s.count));
  warn(letters_[f].pos, spelled(f, m).size(), Warning::should_be, spelled(f, m), suggestion + 'a');
}

// A prefix must be one that may stand before its root.
void SyllableReader::validate_prefix(int prefix, int root_stack) {
  if (prefix < 0) return;
  const Stack& root = stacks_[static_cast<std::size_t>(root_stack)];
  const Letter& p = letters_[stacks_[static_cast<std::size_t>(prefix)].first];
  if (root.count > 0 && valid_stack(root.first, root.count) &&
      !prefix_allows(stacks_[static_cast<std::size_t>(prefix)].first, root.first, root.count))
    warn(p.pos, p.len, Warning::bad_prefix, letter_ewts(p.letter), name(root.first, root.count, false));
}

// The letters after the root: a suffix, then a second suffix that may follow it, then nothing.
void SyllableReader::validate_suffixes(const std::vector<int>& suffixes) {
  if (suffixes.empty()) return;
  const Letter& s0 = letters_[suffixes[0]];
  const EwtsSuffixRule* rule = nullptr;
  for (const EwtsSuffixRule& r : ewts_suffix_rules)
    if (r.suffix == letter_ewts(s0.letter)) rule = &r;
  if (!rule) {
    warn(s0.pos, s0.len, Warning::bad_suffix, letter_ewts(s0.letter));
    return;
  }
  if (suffixes.size() < 2) return;
  const Letter& s1 = letters_[suffixes[1]];
  if (!ewts_list_has(rule->second, letter_ewts(s1.letter))) {
    warn(s1.pos, s1.len, Warning::bad_second_suffix, letter_ewts(s0.letter), letter_ewts(s1.letter));
    return;
  }
  if (suffixes.size() > 2) {
    const Letter& s2 = letters_[suffixes[2]];
    warn(s2.pos, s2.len, Warning::after_second_suffix, letter_ewts(s2.letter));
  }
}

// Writes one stack: its letters (the first whole, the rest subjoined), the tsa-phru, the vowels and signs
// of its group, in canonical order.
void SyllableReader::emit(const Stack& s) {
  // Room for the letters (a stack without "+" may run long), the tsa-phru, the vowels and signs.
  std::vector<char32_t>& cps = code_points_;
  cps.resize(static_cast<std::size_t>(s.count) + 32);
  std::size_t n = 0;
  const Group* g = s.group >= 0 ? &groups_[static_cast<std::size_t>(s.group)] : nullptr;
  bool tsa_phru = false;
  if (s.count == 0) {
    const EwtsVowel* v = g && g->vowel_count > 0 ? &ewts_vowels[g->vowels[0]] : nullptr;
    cps[n++] = v && v->alone ? v->alone : kEwtsAchen;
  }
  for (int k = 0; k < s.count; ++k) {
    const unsigned char l = letters_[s.first + k].letter;
    if (l == kAchenLetter) {
      cps[n++] = k == 0 ? kEwtsAchen : kEwtsAchenSubjoined;
    } else {
      cps[n++] = k == 0 ? ewts_letters[l].whole : ewts_letters[l].subjoined;
      tsa_phru = tsa_phru || ewts_letters[l].tsa_phru;
    }
  }
  if (g) {
    for (int k = 0; k < g->vowel_count; ++k) {
      const EwtsVowel& v = ewts_vowels[g->vowels[k]];
      if (v.subjoined && (s.count > 0 || k > 0)) cps[n++] = v.subjoined;
    }
  }
  if (tsa_phru) cps[n++] = kEwtsTsaPhru;
  if (g) {
    for (int k = 0; k < g->vowel_count; ++k)
      for (char32_t c : ewts_vowels[g->vowels[k]].signs)
        if (c) cps[n++] = c;
    for (int k = 0; k < g->sign_count; ++k) cps[n++] = ewts_signs[g->signs[k]].code;
  }
  // Canonical order: marks of a lower combining class before those of a higher one, across no class 0.
  for (std::size_t i = 1; i < n; ++i) {
    const char32_t c = cps[i];
    const unsigned char cc = combining_class(c);
    if (cc == 0) continue;
    std::size_t j = i;
    while (j > 0 && combining_class(cps[j - 1]) > cc) {
      cps[j] = cps[j - 1];
      --j;
    }
    cps[j] = c;
  }
  for (std::size_t i = 0; i < n; ++i) append_utf8(*out_, cps[i]);
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

// Converted syllables by their EWTS: the words of at most 16 bytes that gave no warning, in a table of
// open addressing that is emptied when half full. Keys are compared, and texts copied, in whole words.
struct CacheEntry {
  std::uint64_t key[2];   // the EWTS, zero-padded
  std::uint32_t handle;   // the hub writer's for `out`, written as its token (0: none)
  unsigned char key_len;  // 0: empty
  unsigned char out_len;
  unsigned char syllables;
  char out[41];
};
static_assert(sizeof(CacheEntry) == 64);
constexpr std::size_t kCacheSize = 8192;
constexpr std::size_t kCacheFull = kCacheSize / 2;
constexpr std::size_t kCachedWord = sizeof(CacheEntry::key);

// The first n (1..16) bytes at p as two zero-padded words; the 16 bytes at p may all be read.
inline void load_key(const unsigned char* p, std::size_t n, std::uint64_t key[2]) {
  std::uint64_t a, b;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  const auto mask = [](std::size_t bytes) {
    return bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
  };
  key[0] = a & mask(n);
  key[1] = n > 8 ? b & mask(n - 8) : 0;
}

inline std::size_t cache_slot(const std::uint64_t key[2], std::size_t n) {
  const std::uint64_t h = (key[0] * 0x9E3779B97F4A7C15u) ^ (key[1] * 0xC2B2AE3D27D4EB4Fu) ^ n;
  return static_cast<std::size_t>(h >> 40) & (kCacheSize - 1);
}

class Reader {
 public:
  Reader(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report)
      : in_(in),
        out_(out),
        lines_(keep_cr),
        report_(report),
        tracing_(report && report->tracing()),
        buf_(kBufferSize + tsd::Stream::kWindowSlack) {}
  int run();

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  void fill();
  std::uint64_t offset_at(std::size_t i) const;
  std::size_t parse(std::size_t from);
  bool take_word(std::size_t& at);
  // The end of the run of word bytes from `at`, at most `limit` (the buffer's slack is read past len_).
  std::size_t word_end(std::size_t at, std::size_t limit) const {
    for (;;) {
      const int run = run_of_8(kWordStops, buf_.data() + at);
      at += static_cast<std::size_t>(run);
      if (run < 8 || at >= limit) return std::min(at, limit);
    }
  }
  [[gnu::always_inline]] inline void word(const unsigned char* p, std::size_t n, std::size_t at,
                                          const std::vector<std::pair<std::size_t, std::size_t>>* adjust);
  [[gnu::noinline]] void read_word(const unsigned char* p, std::size_t n, std::size_t at,
                                   const std::vector<std::pair<std::size_t, std::size_t>>* adjust,
                                   const std::uint64_t key[2], std::size_t slot);
  std::size_t bracket(std::size_t at);
  std::size_t escape(std::size_t at);
  std::size_t high(std::size_t at, bool in_bracket);
  [[gnu::always_inline]] void space_before(Before next) {
    if (pending_space_) write_space(next);
  }
  // A pending run of spaces, now that what follows it is known: a tsheg after a syllable, a plain space
  // after a mark or other text (and between digits), nothing at a line's start.
  [[gnu::always_inline]] void write_space(Before next) {
    pending_space_ = false;
    switch (ewts_space_reading(before_, next)) {
      case EwtsSpace::nothing:
        return;
      case EwtsSpace::tsheg:
        put("\xE0\xBC\x8B", 3, 3);
        break;
      case EwtsSpace::plain:
        put(" ", 1, 1);
        break;
    }
    written(Before::start, HubTail::nothing);
  }
  void write(const void* p, std::size_t n) {
    out_.write(static_cast<const char*>(p), n);
    lines_.text();
  }
  void line_break() { lines_.line_break(out_, tail_); }
  // What is written next comes from the input at `at` (for a writer that traces its problems back).
  void trace(std::size_t at) {
    if (tracing_) report_->source(offset_at(at), out_.written());
  }
  // Writes the first n of the `size` bytes at p, copying all `size` in place where the output has room.
  [[gnu::always_inline]] void put(const void* p, std::size_t size, std::size_t n) {
    std::memcpy(out_.room(size), p, size);
    out_.commit(n);
    lines_.text();
  }
  void write_code(char32_t c) {
    scratch_.clear();
    append_utf8(scratch_, c);
    write(scratch_.data(), scratch_.size());
  }
  void warn(std::uint64_t offset, std::uint64_t length, std::string_view text) {
    if (report_) report_->warn(offset, length, text);
  }
  void written(Before kind, HubTail tail) {
    before_ = kind;
    tail_ = tail;
  }

  tsd::Stream& in_;
  HubOut& out_;
  HubLines lines_;
  ReaderReport* report_;
  const bool tracing_;  // the report asks where places of the hub come from
  std::vector<unsigned char> buf_;
  std::size_t len_ = 0;
  bool eof_ = false;
  // Input offsets of the buffer's bytes: from each piece's first byte on they follow one another.
  std::vector<std::pair<std::size_t, std::uint64_t>> pieces_;
  std::uint64_t read_total_ = 0;

  LentTable<CacheEntry, kCacheSize> cache_;
  std::size_t cached_ = 0;
  SyllableReader syllables_;
  std::string word_text_;
  std::string word_out_;
  std::vector<WordWarning> word_warnings_;
  std::vector<std::pair<std::size_t, std::size_t>> adjust_;
  std::string scratch_;

  Before before_ = Before::start;
  HubTail tail_ = HubTail::nothing;
  bool pending_space_ = false;
  int depth_ = 0;  // of "[" brackets open
  std::uint64_t bracket_offset_ = 0;
  bool tibetan_ = false;
  bool text_ = false;  // anything but white space was read
};

std::uint64_t Reader::offset_at(std::size_t i) const {
  auto it = std::upper_bound(
      pieces_.begin(), pieces_.end(), i,
      [](std::size_t v, const std::pair<std::size_t, std::uint64_t>& p) { return v < p.first; });
  if (it == pieces_.begin()) return i;
  --it;
  return it->second + (i - it->first);
}

// Moves the unread bytes to the buffer's start and reads after them until it is full or the input ends.
void Reader::fill() {
  while (len_ < kBufferSize && !eof_) {
    const auto window = in_.window();
    const std::uint64_t offset = in_.read_offset();
    std::size_t n;
    if (!window.empty()) {
      n = std::min(window.size(), kBufferSize - len_);
      std::memcpy(buf_.data() + len_, window.data(), n);
      in_.advance(n);
    } else {
      const int c = in_.get();
      if (c == tsd::Stream::end) {
        eof_ = true;
        break;
      }
      buf_[len_] = static_cast<unsigned char>(c);
      n = 1;
    }
    if (pieces_.empty() || offset_at(len_) != offset) pieces_.push_back({len_, offset});
    len_ += n;
    read_total_ = in_.read_offset();
  }
}

int Reader::run() {
  std::size_t pos = 0;
  fill();
  if (len_ >= 3 && buf_[0] == 0xEF && buf_[1] == 0xBB && buf_[2] == 0xBF) pos = 3;
  for (;;) {
    const std::size_t from = pos;
    pos = parse(pos);
    if (eof_ && (pos >= len_ || pos == from)) break;
    // Keep the unread bytes, rebasing their offsets, and read more.
    const std::uint64_t first = offset_at(pos);
    std::vector<std::pair<std::size_t, std::uint64_t>> kept{{0, first}};
    for (const auto& p : pieces_)
      if (p.first > pos) kept.push_back({p.first - pos, p.second});
    pieces_.swap(kept);
    std::memmove(buf_.data(), buf_.data() + pos, len_ - pos);
    len_ -= pos;
    pos = 0;
    fill();
  }
  space_before(Before::start);
  if (depth_ > 0) warn(bracket_offset_, 1, warning_text(Warning::unclosed_bracket));
  if (text_ && !tibetan_) warn(0, std::max<std::uint64_t>(read_total_, 1), warning_text(Warning::no_tibetan));
  return out_.finish() == 0 && !in_.error() ? 0 : -1;
}

// Parses the buffer from `at` as far as it can without more input; returns where it stopped.
std::size_t Reader::parse(std::size_t at) {
  const unsigned char* b = buf_.data();
  // Text inside brackets, from a "[" just read or where the last parse stopped in it; false when it needs
  // more input. A line feed ends it (below).
  const auto brackets = [&]() {
    while (depth_ > 0 && at < len_ && b[at] != '\n') {
      const std::size_t next = bracket(at);
      if (next == at) return false;
      at = next;
    }
    return true;
  };
  if (!brackets()) return at;
  while (at < len_) {
    const unsigned char c = b[at];
    switch (kClasses[c]) {
      case kWordByte:
        if (!take_word(at)) return at;
        break;
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
        space_before(Before::start);
        if (depth_ > 0) {
          warn(bracket_offset_, 1, warning_text(Warning::unclosed_bracket));
          depth_ = 0;
        }
        line_break();
        written(Before::start, HubTail::nothing);
        ++at;
        break;
      case kTab:
        space_before(Before::syllable);
        write("\t", 1);
        written(Before::start, HubTail::nothing);
        ++at;
        break;
      case kOpen:
        space_before(Before::space);
        depth_ = 1;
        bracket_offset_ = offset_at(at);
        text_ = true;
        ++at;
        if (!brackets()) return at;
        break;
      case kBackslash: {
        const std::size_t next = escape(at);
        if (next == at) return at;
        at = next;
        break;
      }
      case kPassThrough:
        space_before(Before::space);
        write(b + at, 1);
        written(Before::space, HubTail::other);
        text_ = true;
        ++at;
        break;
      case kStray:
        space_before(Before::space);
        write(b + at, 1);
        written(Before::space, HubTail::other);
        warn(offset_at(at), 1,
             warning_text(Warning::unexpected, std::string_view(reinterpret_cast<const char*>(b + at), 1)));
        text_ = true;
        ++at;
        break;
      case kControl:
        space_before(Before::space);
        write("\xEF\xBF\xBD", 3);
        written(Before::space, HubTail::other);
        warn(offset_at(at), 1, warning_text(Warning::control, hex_byte(c)));
        text_ = true;
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

// A run of syllable characters from `at`, the curly apostrophes in it read as `'`; false when the buffer
// may end inside it.
bool Reader::take_word(std::size_t& at) {
  const unsigned char* b = buf_.data();
  const std::size_t limit = std::min(len_, at + kMaxWord);
  std::size_t q = word_end(at, limit);
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
      warn(offset_at(at), kMaxWord, warning_text(Warning::cut));
    }
    word(b + at, q - at, at, nullptr);
    at = q;
    return true;
  }
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
    adjust_.push_back({word_text_.size() + 1, static_cast<std::size_t>(n - 1)});
    word_text_ += '\'';
    q += static_cast<std::size_t>(n);
  }
  if (q == len_ && !eof_ && q - at < kMaxWord) return false;
  if (q - at >= kMaxWord) warn(offset_at(at), q - at, warning_text(Warning::cut));
  word(reinterpret_cast<const unsigned char*>(word_text_.data()), word_text_.size(), at, &adjust_);
  at = q;
  return true;
}

// One run of syllable characters p[0..n), read from the buffer at `at`; `adjust` lists, for a copy with
// curly apostrophes, after which of its bytes how many input bytes were left out.
void Reader::word(const unsigned char* p, std::size_t n, std::size_t at,
                  const std::vector<std::pair<std::size_t, std::size_t>>* adjust) {
  space_before(Before::syllable);
  trace(at);
  text_ = true;
  std::uint64_t key[2] = {0, 0};
  std::size_t slot = 0;
  if (n <= kCachedWord) {
    if (adjust) {
      unsigned char padded[kCachedWord] = {};
      std::memcpy(padded, p, n);
      load_key(padded, n, key);
    } else {
      load_key(p, n, key);
    }
    for (slot = cache_slot(key, n);; slot = (slot + 1) & (kCacheSize - 1)) {
      const CacheEntry& e = cache_[slot];
      if (e.key_len == 0) break;
      if (e.key_len == n && e.key[0] == key[0] && e.key[1] == key[1]) {
        if (e.handle) {
          out_.token(e.handle, e.out, sizeof e.out, e.out_len);
          lines_.text();
        } else {
          put(e.out, sizeof e.out, e.out_len);
        }
        written(Before::syllable, HubTail::tibetan);
        tibetan_ = true;
        if (report_) report_->syllables += e.syllables;
        return;
      }
    }
  }
  read_word(p, n, at, adjust, key, slot);
}

// A word not found among those converted before: read, written, and kept when it can be (in `slot`, the
// place its search ended, by `key`).
void Reader::read_word(const unsigned char* p, std::size_t n, std::size_t at,
                       const std::vector<std::pair<std::size_t, std::size_t>>* adjust,
                       const std::uint64_t key[2], std::size_t slot) {
  word_out_.clear();
  word_warnings_.clear();
  const WordResult r =
      syllables_.read(std::string_view(reinterpret_cast<const char*>(p), n), word_out_, word_warnings_);
  write(word_out_.data(), word_out_.size());
  written(r.ends_tibetan ? Before::syllable : Before::space,
          r.ends_tibetan ? HubTail::tibetan : HubTail::other);
  tibetan_ = tibetan_ || r.tibetan;
  if (report_) {
    report_->syllables += r.syllables;
    report_->not_converted += r.not_converted;
    // Places in the copy back to places in the input.
    const auto place = [&](std::size_t i) {
      std::size_t extra = 0;
      if (adjust)
        for (const auto& a : *adjust)
          if (a.first <= i) extra += a.second;
      return offset_at(at + i + extra);
    };
    for (const WordWarning& w : word_warnings_) {
      const std::uint64_t start = place(w.pos);
      report_->warn(start, std::max<std::uint64_t>(place(w.pos + w.len) - start, 1), w.text);
    }
  }
  if (word_warnings_.empty() && r.ends_tibetan && n <= kCachedWord &&
      word_out_.size() <= sizeof(CacheEntry::out) && r.syllables < 256) {
    if (cached_ == kCacheFull) {
      std::fill(cache_.begin(), cache_.end(), CacheEntry{});
      cached_ = 0;
      slot = cache_slot(key, n);
    }
    CacheEntry& e = cache_[slot];
    e.key[0] = key[0];
    e.key[1] = key[1];
    e.key_len = static_cast<unsigned char>(n);
    e.out_len = static_cast<unsigned char>(word_out_.size());
    std::memcpy(e.out, word_out_.data(), word_out_.size());
    e.syllables = static_cast<unsigned char>(r.syllables);
    e.handle = out_.learn(word_out_);
    ++cached_;
  }
}

// Text inside "[...]": copied as it stands up to the bracket that closes the first; brackets nest and
// escapes work. Returns where it stopped (`at` when it needs more input).
std::size_t Reader::bracket(std::size_t at) {
  const unsigned char* b = buf_.data();
  std::size_t run = at;
  const auto flush = [&](std::size_t to) {
    if (to > run) {
      write(b + run, to - run);
      written(Before::space, HubTail::other);
    }
  };
  while (at < len_) {
    const unsigned char c = b[at];
    if (c == ']') {
      flush(at);
      ++at;
      run = at;
      if (--depth_ == 0) {
        written(Before::space, HubTail::other);
        return at;
      }
    } else if (c == '[') {
      flush(at);
      ++depth_;
      run = ++at;
    } else if (c == '\n') {
      flush(at);
      return at;  // the main loop warns and breaks the line
    } else if (c == '\\' || c >= 0x80 || (c < 0x20 && c != '\t') || c == 0x7F) {
      flush(at);
      std::size_t next;
      if (c == '\\')
        next = escape(at);
      else if (c >= 0x80)
        next = high(at, true);
      else {
        write("\xEF\xBF\xBD", 3);
        warn(offset_at(at), 1, warning_text(Warning::control, hex_byte(c)));
        next = at + 1;
      }
      if (next == at) return at;
      at = next;
      run = at;
      written(Before::space, HubTail::other);
    } else {
      ++at;
    }
  }
  flush(at);
  return at;
}

// A backslash and what it escapes; returns where it stopped (`at` when it needs more input).
std::size_t Reader::escape(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (at + 10 > len_ && !eof_) return at;
  const bool in_bracket = depth_ > 0;
  const auto bad = [&](std::size_t n) {
    warn(offset_at(at), n,
         warning_text(Warning::bad_escape, std::string_view(reinterpret_cast<const char*>(b + at), n)));
    return at + n;
  };
  if (at + 1 >= len_ || b[at + 1] == '\n') return bad(1);
  const unsigned char c = b[at + 1];
  char32_t code = 0;
  std::size_t n;
  if (c == 'u' || c == 'U') {
    const std::size_t digits = c == 'u' ? 4 : 8;
    std::size_t k = 0;
    bool hex = true;
    while (k < digits && at + 2 + k < len_ && is_alnum(b[at + 2 + k])) {
      const unsigned char d = b[at + 2 + k];
      const int v = d >= '0' && d <= '9'   ? d - '0'
                    : d >= 'a' && d <= 'f' ? d - 'a' + 10
                    : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                           : -1;
      if (v < 0) hex = false;
      code = (code << 4) | static_cast<char32_t>(v < 0 ? 0 : v);
      ++k;
    }
    n = 2 + k;
    if (!hex || k < digits || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        (code < 0x20 && code != '\t') || code == 0x7F)
      return bad(n);
  } else if (c < 0x80) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) return bad(1);
    code = c;
    n = 2;
  } else {
    const int k = decode_utf8(b + at + 1, len_ - at - 1, code);
    if (k <= 0) return bad(1);
    n = 1 + static_cast<std::size_t>(k);
  }
  const bool tibetan = code >= 0x0F00 && code <= 0x0FFF;
  Before kind = tibetan ? tibetan_kind(code) : code == '\t' || code == ' ' ? Before::start : Before::space;
  if (in_bracket)
    kind = Before::space;
  else
    space_before(tibetan ? Before::syllable : Before::space);
  write_code(code);
  written(kind, tail_after(kind));
  tibetan_ = tibetan_ || tibetan;
  text_ = true;
  return at + n;
}

// A byte of 0x80 or more: a curly apostrophe starts a syllable; Tibetan is copied; other characters are
// copied with a warning outside brackets; bytes that are not UTF-8 become U+FFFD with a warning.
std::size_t Reader::high(std::size_t at, bool in_bracket) {
  const unsigned char* b = buf_.data();
  char32_t c;
  const int n = decode_utf8(b + at, len_ - at, c);
  if (n < 0 && !eof_) return at;
  text_ = true;
  if (n <= 0) {
    if (!in_bracket) space_before(Before::space);
    write("\xEF\xBF\xBD", 3);
    written(Before::space, HubTail::other);
    warn(offset_at(at), 1, warning_text(Warning::not_utf8, hex_byte(b[at])));
    return at + 1;
  }
  const auto len = static_cast<std::size_t>(n);
  if (in_bracket) {
    write(b + at, len);
    return at + len;
  }
  if (is_curly_apostrophe(c)) {
    std::size_t next = at;
    if (!take_word(next)) return at;
    return next;
  }
  const bool tibetan = c >= 0x0F00 && c <= 0x0FFF;
  space_before(tibetan ? Before::syllable : Before::space);
  write(b + at, len);
  if (tibetan) {
    const Before kind = tibetan_kind(c);
    written(kind, tail_after(kind));
    tibetan_ = true;
  } else {
    written(Before::space, HubTail::other);
    warn(offset_at(at), len,
         warning_text(Warning::unexpected, std::string_view(reinterpret_cast<const char*>(b + at), len)));
  }
  return at + len;
}

}  // namespace

int ewts_to_hub(tsd::Stream& in, tsd::Stream& out, bool keep_cr, ReaderReport* report) {
  HubOut hub(out);
  return ewts_to_hub(in, hub, keep_cr, report);
}

int ewts_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report) {
  Reader reader(in, out, keep_cr, report);
  const int result = reader.run();
  if (report) report->sourced();
  return result;
}

struct EwtsWordReader::Parts {
  SyllableReader syllables;
  std::vector<WordWarning> warnings;
};

EwtsWordReader::EwtsWordReader() : parts_(std::make_unique<Parts>()) {}
EwtsWordReader::~EwtsWordReader() = default;

int EwtsWordReader::read(std::string_view word, std::string& out) {
  parts_->warnings.clear();
  parts_->syllables.read(word, out, parts_->warnings);
  return static_cast<int>(parts_->warnings.size());
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
