// ACIP's word grammar (AcipWords): a word's tokens, grouped into syllables, each handed to the shared
// syllable grammar as the grammar's own tokens, with the Extended Wylie they spell for its warnings. Reads
// one word; writes its Unicode and its warnings.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include "acip_reader.h"
#include "acip_tables.h"
#include "ewts_syllables.h"
#include "memo_table.h"
#include "packed_keys.h"
#include "tibetan.h"

namespace tarvex {

namespace {

using GrammarToken = EwtsWordReader::Token;
using GrammarKind = EwtsWordReader::Kind;

struct Token {
  enum Kind : unsigned char { letter, carrier, vowel, sign, plus, hyphen } kind;
  std::string_view ewts;
  GrammarToken grammar;  // how the grammar lexes `ewts`
  std::uint16_t pos;
  std::uint16_t len;
};

// Each row's Extended Wylie as the grammar lexes it: one token of the row's kind, the whole spelling.
template <const auto& table>
constexpr auto grammar_tokens(GrammarKind kind) {
  std::array<GrammarToken, table.size()> tokens{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    tokens[i] = ewts::lex_token(table[i].ewts, false);
    if (tokens[i].kind != kind || tokens[i].len != table[i].ewts.size())
      throw "a row's Extended Wylie is not one token of its kind";
    if (kind == GrammarKind::letter && ewts_letters[tokens[i].index].spelling != EwtsSpelling::standard)
      throw "a row's letter is not spelt the standard way";
  }
  return tokens;
}
inline constexpr auto kLetterTokens = grammar_tokens<acip_letters>(GrammarKind::letter);
inline constexpr auto kVowelTokens = grammar_tokens<acip_vowels>(GrammarKind::vowel);
inline constexpr auto kSignTokens = grammar_tokens<acip_signs>(GrammarKind::sign);
inline constexpr GrammarToken kCarrierToken = ewts::lex_token("a", false);
inline constexpr GrammarToken kCarrierAfterPlusToken = ewts::lex_token("a", true);
inline constexpr GrammarToken kPlusToken = ewts::lex_token("+", false);
inline constexpr GrammarToken kDotToken = ewts::lex_token(".", false);
inline constexpr GrammarToken kGaToken = ewts::lex_token("g", false);

// The longest piece of Extended Wylie that a token spells.
constexpr std::size_t kLongestPiece = [] {
  std::size_t n = 1;
  for (const auto& r : acip_letters) n = std::max(n, r.ewts.size());
  for (const auto& r : acip_vowels) n = std::max(n, r.ewts.size());
  for (const auto& r : acip_signs) n = std::max(n, r.ewts.size());
  return n;
}();

// A syllable as the grammar reads it: its tokens and the Extended Wylie they spell, in room made before
// the syllable is spelt (a token of the word adds at most two: a letter and the "+" before it).
class Spelling {
 public:
  void make_room(std::size_t word_tokens) {
    const std::size_t tokens = 2 * word_tokens + 4;
    if (tokens <= room_) return;
    room_ = tokens;
    tokens_ = std::make_unique<GrammarToken[]>(room_);
    text_ = std::make_unique<char[]>(room_ * kLongestPiece);
  }
  void clear() { count_ = length_ = 0; }
  bool empty() const { return count_ == 0; }
  // A piece and its token, lexed by itself: a vowel after "+" stays the vowel it is in ACIP.
  void put(std::string_view ewts, GrammarToken t) {
    t.pos = static_cast<std::uint16_t>(length_);
    t.len = static_cast<std::uint16_t>(ewts.size());
    for (const char c : ewts) text_[length_++] = c;
    tokens_[count_++] = t;
  }
  std::string_view text() const { return {text_.get(), length_}; }
  std::span<const GrammarToken> tokens() const { return {tokens_.get(), count_}; }

 private:
  std::unique_ptr<GrammarToken[]> tokens_;
  std::unique_ptr<char[]> text_;
  std::size_t room_ = 0, count_ = 0, length_ = 0;
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

// The rows of a table by their spelling's first byte, two-byte spellings first (in table order among the
// same length), each with its second byte (0 for a spelling of one), so that a word's bytes are compared
// only with the rows that can match them, and without reading the rows' text.
inline constexpr std::size_t kMaxRowsPerByte = 4;

struct RowAt {
  signed char index = -1;
  char second = 0;
};

template <const auto& table>
constexpr auto rows_by_first_byte() {
  std::array<std::array<RowAt, kMaxRowsPerByte + 1>, 128> rows{};
  for (std::size_t length = 2; length >= 1; --length)
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].acip.size() != length) continue;
      auto& r = rows[static_cast<unsigned char>(table[i].acip[0])];
      std::size_t n = 0;
      while (r[n].index >= 0) ++n;
      if (n == kMaxRowsPerByte) throw "more rows start with one byte than the index holds";
      r[n] = {static_cast<signed char>(i), length == 2 ? table[i].acip[1] : '\0'};
    }
  for (const auto& row : table)
    if (row.acip.empty() || row.acip.size() > 2 || static_cast<unsigned char>(row.acip[0]) >= 128)
      throw "a spelling the index does not hold";
  return rows;
}

// The longest row of `table` that `text` starts with (index -1: none), and its length.
struct Match {
  int index = -1;
  std::size_t length = 0;
};

template <const auto& table>
Match longest_at(std::string_view text) {
  static constexpr auto kRows = rows_by_first_byte<table>();
  if (text.empty() || static_cast<unsigned char>(text[0]) >= 128) return {};
  const char next = text.size() > 1 ? text[1] : '\0';
  for (const RowAt& row : kRows[static_cast<unsigned char>(text[0])]) {
    if (row.index < 0) break;
    if (row.second == 0 || row.second == next) return {row.index, row.second == 0 ? 1u : 2u};
  }
  return {};
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
  // The syllable's onset letters, when they are letters only: from `first`, `count` of them.
  struct OnsetLetters {
    int first = 0, count = 0;
    bool marked = false;  // a "+" or "-" among them
  };
  OnsetLetters onset_letters(const Syllable& s) const;
  struct StartKey;
  bool onset(const Syllable& s, StartKey* trial);
  bool spell(const Syllable& s, StartKey* trial);
  void put(const Token& t) { spelling_.put(t.ewts, t.grammar); }
  void put(std::string_view ewts, GrammarToken t) { spelling_.put(ewts, t); }
  WordResult read_syllable(const Syllable& s, std::string& out);
  void place_warnings(const Syllable& s, std::vector<WordWarning>& warnings);
  bool tibetan_start(int first, int count);
  bool probe_start(int first, int count);

  // Whether letters read as a Tibetan syllable's start, kept by the letters, the few a text has.
  struct Start {
    PackedRun letters;  // length 0: empty
    bool start;
    bool empty() const { return letters.length() == 0; }
  };
  struct StartKey {
    PackedRun letters;
    std::uint64_t hash = 0;
    bool kept = false;
  };
  StartKey start_key(int first, int count) const;
  const bool* known_start(const StartKey& key) const;
  bool learn_start(const StartKey& key, bool start);

  std::string_view word_;
  std::vector<Token> tokens_;
  std::vector<Syllable> syllables_;
  EwtsWordReader grammar_;
  MemoTable<Start, MemoShape{8, 4, MemoOrder::first_free}> starts_;
  Spelling spelling_, probe_spelling_;
  std::string probe_out_;
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
    const auto push = [&](Token::Kind kind, std::string_view ewts, GrammarToken grammar, std::size_t len) {
      tokens_.push_back(
          {kind, ewts, grammar, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(len)});
      i += len;
    };
    const char c = w[i];
    if (c == '+') {
      push(Token::plus, "+", kPlusToken, 1);
      continue;
    }
    if (c == '-') {
      push(Token::hyphen, ".", kDotToken, 1);
      continue;
    }
    // The apostrophe: between a letter and a vowel the long vowel, anywhere else the letter a-chung.
    if (c == '\'' && after_letter()) {
      if (const Match v = longest_at<acip_vowels>(rest); v.index >= 0) {
        const auto row = static_cast<std::size_t>(v.index);
        push(Token::vowel, acip_vowels[row].ewts, kVowelTokens[row], v.length);
        continue;
      }
      if (rest.size() > 1 && (rest[1] == 'E' || rest[1] == 'O'))
        warnings.push_back({i, 2, warning_text(acip_warnings::kLongBeforeE, rest.substr(1, 1))});
    }
    if (c == 'A' && !after_letter()) {
      // Heading a "+" stack the carrier is a letter like any other (`A+YA` ཨྱ); after "+" it is the a-chen
      // below, as `a` after "+" is in Extended Wylie.
      const bool after_plus = !tokens_.empty() && tokens_.back().kind == Token::plus;
      push(rest.size() > 1 && rest[1] == '+' ? Token::letter : Token::carrier, "a",
           after_plus ? kCarrierAfterPlusToken : kCarrierToken, 1);
      continue;
    }
    // The rows' lengths come with their match, so that a table's text is read only for the token taken
    // (a new word's tables are seldom in the processor's cache).
    const Match v = longest_at<acip_vowels>(rest);
    const Match l = longest_at<acip_letters>(rest);
    if (v.index >= 0 && c != '\'' && (l.index < 0 || v.length >= l.length)) {
      const auto row = static_cast<std::size_t>(v.index);
      push(Token::vowel, acip_vowels[row].ewts, kVowelTokens[row], v.length);
    } else if (l.index >= 0) {
      const auto row = static_cast<std::size_t>(l.index);
      const AcipLetter& letter = acip_letters[row];
      if (c == 'H' && l.length == 1 && !tokens_.empty() && tokens_.back().kind == Token::letter &&
          tokens_.back().ewts == "tsh")
        warnings.push_back({tokens_.back().pos, 3, std::string(acip_warnings::kTsh)});
      push(Token::letter, letter.ewts, kLetterTokens[row], l.length);
    } else if (const Match s = longest_at<acip_signs>(rest); s.index >= 0) {
      const auto row = static_cast<std::size_t>(s.index);
      push(Token::sign, acip_signs[row].ewts, kSignTokens[row], s.length);
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
  bool after_prefix = false;
  int i = 0;
  while (i < n) {
    // Each syllable is built in its place: copied whole after its flags were written a byte at a time, it
    // cost the processor a stall on every new word.
    Syllable& cur = syllables_.emplace_back();
    cur.first = syllables_.size() == 1;
    cur.after_prefix = std::exchange(after_prefix, false);
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
      continue;
    }
    int hyphen = run_begin;
    while (hyphen < run_end && tokens_[static_cast<std::size_t>(hyphen)].kind != Token::hyphen) ++hyphen;
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
        after_prefix = true;
      }
      i = hyphen + 1;
    } else {
      cur.coda_begin = cur.coda_end = run_begin;
      i = run_begin;
    }
  }
}

// A syllable's onset: the word's first read the Tibetan way when its letters make a Tibetan syllable's
// start, else (and every later one) stacked whole; "+" stacks and "-" separates, as written.
AcipWordReader::OnsetLetters AcipWordReader::onset_letters(const Syllable& s) const {
  OnsetLetters o;
  o.first = s.onset_begin;
  if (o.first < s.onset_end && tokens_[static_cast<std::size_t>(o.first)].kind == Token::hyphen) ++o.first;
  o.count = s.onset_end - o.first;
  for (int i = o.first; i < s.onset_end; ++i)
    o.marked = o.marked || tokens_[static_cast<std::size_t>(i)].kind != Token::letter;
  return o;
}

// Spells the onset; true when its letters, not yet known, were spelt the Tibetan way on trial (allowed
// where `trial` is given, which then holds their key).
bool AcipWordReader::onset(const Syllable& s, StartKey* trial) {
  if (s.carrier) return false;
  const OnsetLetters o = onset_letters(s);
  const int begin = o.first;
  const auto plain = [&](int from) {
    for (int i = from; i < s.onset_end; ++i) put(tokens_[static_cast<std::size_t>(i)]);
  };
  const auto stacked = [&](int from) {
    for (int i = from; i < s.onset_end; ++i) {
      if (i > from) put("+", kPlusToken);
      put(tokens_[static_cast<std::size_t>(i)]);
    }
  };
  if (s.after_prefix) {
    put("g", kGaToken);
    put(".", kDotToken);
  }
  if (o.marked || o.count <= 1) {
    plain(begin);
    return false;
  }
  if (!s.first || s.after_prefix) {
    stacked(begin);
    return false;
  }
  const StartKey key = start_key(begin, o.count);
  const bool* known = known_start(key);
  if (!known && trial && s.vowel >= 0) {
    // Not yet known: the syllable is read the Tibetan way, and kept so if that reads without a warning
    // (read_syllable), which answers the question too.
    *trial = key;
    plain(begin);
    return true;
  }
  if (known ? *known : learn_start(key, probe_start(begin, o.count))) {
    plain(begin);
  } else if (o.count >= 3 && is_prefix(tokens_[static_cast<std::size_t>(begin)].ewts) &&
             tibetan_start(begin, 2)) {
    // `DNGGUL`: a prefix that goes with the letter after it stays a prefix; the rest is stacked.
    put(tokens_[static_cast<std::size_t>(begin)]);
    put(".", kDotToken);
    stacked(begin + 1);
  } else {
    stacked(begin);
  }
  return false;
}

bool AcipWordReader::spell(const Syllable& s, StartKey* trial) {
  spelling_.make_room(tokens_.size());
  spelling_.clear();
  const bool on_trial = onset(s, trial);
  if (s.vowel >= 0)
    put(tokens_[static_cast<std::size_t>(s.vowel)]);
  else if (s.implicit)
    put("a", kCarrierToken);
  for (int i = s.signs_begin; i < s.signs_end; ++i) put(tokens_[static_cast<std::size_t>(i)]);
  for (int i = s.coda_begin; i < s.coda_end; ++i) put(tokens_[static_cast<std::size_t>(i)]);
  return on_trial;
}

// The letters tokens_[first, first + count) packed by their grammar letters, to be kept.
AcipWordReader::StartKey AcipWordReader::start_key(int first, int count) const {
  StartKey k;
  k.kept = count <= kLongestPackedRun;
  if (!k.kept) return k;
  unsigned char letters[16] = {};
  for (int i = 0; i < count; ++i) letters[i] = tokens_[static_cast<std::size_t>(first + i)].grammar.index;
  k.letters = pack_run(letters, count);
  k.hash = hash_of(k.letters);
  return k;
}

const bool* AcipWordReader::known_start(const StartKey& key) const {
  if (!key.kept) return nullptr;
  const Start* found = starts_.find(key.hash, [&](const Start& e) { return e.letters == key.letters; });
  return found ? &found->start : nullptr;
}

bool AcipWordReader::learn_start(const StartKey& key, bool start) {
  if (key.kept) starts_.place(key.hash) = {key.letters, start};
  return start;
}

// Whether letters tokens_[first, first + count) read as the start of a Tibetan syllable, as kept or else
// probed.
bool AcipWordReader::tibetan_start(int first, int count) {
  const StartKey key = start_key(first, count);
  if (const bool* known = known_start(key)) return *known;
  return learn_start(key, probe_start(first, count));
}

// The grammar reads the letters with `a` and no warning. Spelt beside the syllable being spelt; the
// grammar that reads the syllables checks this too, so that its memory is warm for both.
bool AcipWordReader::probe_start(int first, int count) {
  std::swap(spelling_, probe_spelling_);
  spelling_.make_room(tokens_.size());
  spelling_.clear();
  for (int i = first; i < first + count; ++i) put(tokens_[static_cast<std::size_t>(i)]);
  put("a", kCarrierToken);
  probe_out_.clear();
  const bool start = grammar_.read(spelling_.text(), spelling_.tokens(), probe_out_) == 0;
  std::swap(spelling_, probe_spelling_);
  return start;
}

// One syllable spelt and read. An onset on trial that reads without a warning is a Tibetan syllable's
// start (its letters before the one vowel are read alike with any vowel and ending); otherwise the
// syllable is spelt again once the onset is known.
WordResult AcipWordReader::read_syllable(const Syllable& s, std::string& out) {
  StartKey key;
  const bool trial = spell(s, &key);
  chunk_warnings_.clear();
  if (spelling_.empty()) return {};
  const std::size_t mark = out.size();
  const WordResult r = grammar_.read(spelling_.text(), spelling_.tokens(), out, chunk_warnings_);
  if (!trial) return r;
  const auto tokens = spelling_.tokens();
  const bool joined = std::any_of(tokens.begin(), tokens.end(), [](const GrammarToken& t) {
    return t.kind == GrammarKind::plus || t.kind == GrammarKind::dot;
  });
  if (chunk_warnings_.empty() && !joined) {
    learn_start(key, true);
    return r;
  }
  out.resize(mark);
  spell(s, nullptr);
  chunk_warnings_.clear();
  return grammar_.read(spelling_.text(), spelling_.tokens(), out, chunk_warnings_);
}

// The grammar's warnings about a syllable, placed on the syllable in the word.
void AcipWordReader::place_warnings(const Syllable& s, std::vector<WordWarning>& warnings) {
  const std::size_t size = word_.size();
  const std::size_t from = s.onset_begin < static_cast<int>(tokens_.size())
                               ? tokens_[static_cast<std::size_t>(s.onset_begin)].pos
                               : size;
  const int last = std::max({s.onset_end, s.vowel + 1, s.signs_end, s.coda_end}) - 1;
  const std::size_t to =
      last >= 0 && last < static_cast<int>(tokens_.size())
          ? tokens_[static_cast<std::size_t>(last)].pos + tokens_[static_cast<std::size_t>(last)].len
          : size;
  for (WordWarning& w : chunk_warnings_)
    warnings.push_back(
        {std::min(from, size), std::max<std::size_t>(to > from ? to - from : 1, 1), std::move(w.text)});
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
  bool open = false;  // the syllable before ends in its vowel or signs
  for (const Syllable& s : syllables_) {
    if (s.dropped) continue;
    const WordResult r = read_syllable(s, out);
    if (spelling_.empty()) continue;
    if (!chunk_warnings_.empty()) place_warnings(s, warnings);
    // An a-chung after a vowel, and what it carries (`PA'I`, `PA'AM`), is the same syllable.
    const bool achung = open && s.onset_end == s.onset_begin + 1 &&
                        tokens_[static_cast<std::size_t>(s.onset_begin)].kind == Token::letter &&
                        tokens_[static_cast<std::size_t>(s.onset_begin)].ewts == "'";
    open = s.coda_begin == s.coda_end && (s.vowel >= 0 || s.implicit);
    if (!achung) result.syllables += r.syllables;
    result.not_converted += r.not_converted;
    result.tibetan = result.tibetan || r.tibetan;
    result.ends_tibetan = r.ends_tibetan;
  }
  return result;
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

}  // namespace tarvex
