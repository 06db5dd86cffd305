// How the EWTS writer spells a syllable of the hub: the reader's tables read backwards (which EWTS spells a
// letter, vowel sign or sign), a stack's spelling, and `Speller`, which spells a run of letters and signs as
// Tibetan (prefix, root, suffixes, the a-chung's endings) where its stacks read so, else as Sanskrit, and
// keeps a spelling only when the grammar (EwtsWordReader) reads it back to the same characters without a
// warning. The EWTS writer (ewts_writer.cpp) includes it, and the ACIP writer for which stack of a syllable
// is its root.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ewts_syllables.h"
#include "ewts_tables.h"
#include "tibetan.h"

namespace tarvex::ewts_spelling {

// ---------------------------------------------------------------------------------------------------------
// The tables read backwards: which EWTS spells a letter, vowel sign or sign. Letters are indices of
// ewts_letters (their standard spelling; the first entry of a code point wins: `y` before `Y`).

constexpr unsigned char kNoLetter = 0xFF;
constexpr unsigned char kAchen = 0xFE;  // the a-chen, a letter only heading a stack or after "+"

constexpr bool spells_plainly(const EwtsLetter& l) {
  return l.spelling == EwtsSpelling::standard && !l.tsa_phru;
}

template <bool subjoined>
constexpr auto letters_by_code() {
  std::array<unsigned char, 0x2D> t{};
  t.fill(kNoLetter);
  for (std::size_t i = ewts_letters.size(); i-- > 0;) {
    const EwtsLetter& l = ewts_letters[i];
    const char32_t c = subjoined ? l.subjoined : l.whole;
    if (spells_plainly(l)) t[c - (subjoined ? 0x0F90 : 0x0F40)] = static_cast<unsigned char>(i);
  }
  t[(subjoined ? kEwtsAchenSubjoined : kEwtsAchen) - (subjoined ? 0x0F90 : 0x0F40)] = kAchen;
  return t;
}
constexpr auto kWholeLetters = letters_by_code<false>();
constexpr auto kSubjoinedLetters = letters_by_code<true>();

constexpr unsigned char letter_of(char32_t c, bool subjoined) {
  if (subjoined) return is_subjoined(c) ? kSubjoinedLetters[c - 0x0F90] : kNoLetter;
  return is_tibetan_letter(c) ? kWholeLetters[c - 0x0F40] : kNoLetter;
}

constexpr std::string_view letter_name(unsigned char letter) {
  return letter == kAchen ? std::string_view("a") : ewts_letters[letter].ewts;
}

// Letters as the tables name them ("rky"), read longest first as the reader reads them.
struct Letters {
  std::array<unsigned char, 4> at{};
  int count = 0;
  constexpr bool operator==(const Letters&) const = default;
};

constexpr Letters letters_named(std::string_view names) {
  Letters out;
  while (!names.empty() && out.count < 4) {
    std::size_t length = 0;
    unsigned char best = kNoLetter;
    for (std::size_t i = 0; i < ewts_letters.size(); ++i) {
      const std::string_view e = ewts_letters[i].ewts;
      if (spells_plainly(ewts_letters[i]) && e.size() > length && names.substr(0, e.size()) == e)
        best = static_cast<unsigned char>(i), length = e.size();
    }
    if (best == kNoLetter) return {};
    out.at[static_cast<std::size_t>(out.count++)] = best;
    names.remove_prefix(length);
  }
  return names.empty() ? out : Letters{};
}

constexpr auto kStandardStacks = [] {
  std::array<Letters, ewts_standard_stacks.size()> stacks{};
  for (std::size_t i = 0; i < stacks.size(); ++i) stacks[i] = letters_named(ewts_standard_stacks[i]);
  return stacks;
}();

inline bool standard_stack(const Letters& letters) {
  if (letters.count < 2) return false;
  for (const Letters& s : kStandardStacks)
    if (s == letters) return true;
  return false;
}

// Whether a prefix letter may stand before a root of these letters.
inline bool prefix_allows(unsigned char prefix, const Letters& root) {
  for (const EwtsPrefixRule& rule : ewts_prefix_rules) {
    if (letters_named(rule.prefix).at[0] != prefix) continue;
    for (std::string_view list = rule.roots; !list.empty();) {
      const std::size_t space = list.find(' ');
      if (letters_named(list.substr(0, space)) == root) return true;
      list.remove_prefix(space == std::string_view::npos ? list.size() : space + 1);
    }
    return standard_stack(root) && ewts_list_has(rule.tops, letter_name(root.at[0]));
  }
  return false;
}

inline const EwtsSuffixRule* suffix_rule(unsigned char letter) {
  for (const EwtsSuffixRule& rule : ewts_suffix_rules)
    if (rule.suffix == letter_name(letter)) return &rule;
  return nullptr;
}

// A vowel sign alone, or after U+0F71 (the long vowels `I`, `U`, `-I`).
constexpr std::string_view vowel_name(char32_t sign, bool long_vowel) {
  for (const EwtsVowel& v : ewts_vowels) {
    if (v.subjoined != 0) continue;
    if (long_vowel ? v.signs[0] == 0x0F71 && v.signs[1] == sign : v.signs[0] == sign && v.signs[1] == 0)
      return v.ewts;
  }
  return {};
}

constexpr const EwtsSign* sign_of(char32_t c) {
  for (const EwtsSign& s : ewts_signs)
    if (s.code == c) return &s;
  return nullptr;
}

// Whether EWTS has a spelling for the character at all (so that finding it where EWTS cannot write it is
// a fault of the text, not a character the scheme leaves out).
inline bool has_spelling(char32_t c) {
  return (letter_of(c, false) != kNoLetter) || (letter_of(c, true) != kNoLetter) ||
         !vowel_name(c, false).empty() || sign_of(c) != nullptr;
}

inline void append_escape(std::string& out, char32_t c) {
  char text[12];
  std::snprintf(text, sizeof text, c > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(c));
  out += text;
}

// ---------------------------------------------------------------------------------------------------------
// One stack: its letters and what sits on it, as EWTS.

struct StackSpelling {
  std::string letters;  // "" for the a-chen alone: its vowel is written alone
  std::string marks;    // vowels (joined by "+"), then signs
  bool vowel = false;
  bool bare = false;   // one letter, nothing on it
  Letters key;         // its letters when there are at most 4
  bool achen = false;  // headed by the a-chen
};

// Spells the stack `cps` (a letter, the letters under it, then its signs); false when EWTS has no
// spelling for it (a letter or sign without one, a letter after a sign).
inline bool spell_stack(std::u32string_view cps, StackSpelling& s) {
  s = StackSpelling{};
  // pha or ba with the tsa-phru right after it, then letters under it: `f` or `v` and the letters joined
  // by "+" (`f+ya`), the tsa-phru read as the letter's own.
  std::u32string moved;
  const bool f_or_v_over = cps.size() > 2 && cps[1] == kEwtsTsaPhru && (cps[0] == 0x0F55 || cps[0] == 0x0F56) &&
                           is_subjoined(cps[2]);
  if (f_or_v_over) {
    moved.assign(cps);
    moved.erase(1, 1);
    cps = moved;
  }
  std::size_t n = 1;
  while (n < cps.size() && is_subjoined(cps[n])) ++n;
  const std::u32string_view signs = cps.substr(n);
  // The tsa-phru makes pha and ba `f` and `v`; on any other stack it is written as the sign `^`.
  const bool tsa_phru = signs.find(kEwtsTsaPhru) != std::u32string_view::npos;
  const bool f_or_v = tsa_phru && n == 1 && (cps[0] == 0x0F55 || cps[0] == 0x0F56);
  s.achen = cps[0] == kEwtsAchen;
  if (f_or_v) {
    s.letters.assign(1, cps[0] == 0x0F55 ? 'f' : 'v');
  } else if (!(s.achen && n == 1)) {
    Letters key;
    std::string plain, joined;
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned char l = letter_of(cps[i], i > 0);
      if (l == kNoLetter) return false;
      if (key.count < 4) key.at[static_cast<std::size_t>(key.count)] = l;
      ++key.count;
      plain += letter_name(l);
      if (i > 0) joined += '+';
      joined += letter_name(l);
    }
    if (key.count <= 4) s.key = key;
    s.letters = key.count <= 4 && (n == 1 || standard_stack(key)) ? plain : joined;
    if (f_or_v_over) {
      s.letters.assign(1, cps[0] == 0x0F55 ? 'f' : 'v');
      s.letters.append(joined, letter_name(key.at[0]).size());
      s.key = Letters{};
    }
  }
  // Vowels bottom to top: those under the stack (u, the long ones), then those over it.
  int counts[0x20] = {};
  for (const char32_t c : signs)
    if (c >= 0x0F71 && c <= 0x0F80 && !vowel_name(c, false).empty()) ++counts[c - 0x0F71];
  const auto take = [&](char32_t c, bool long_vowel) {
    if (counts[c - 0x0F71] == 0 || (long_vowel && counts[0] == 0)) return false;
    --counts[c - 0x0F71];
    if (long_vowel) --counts[0];
    if (s.vowel) s.marks += '+';
    s.marks += vowel_name(c, long_vowel);
    s.vowel = true;
    return true;
  };
  while (take(0x0F74, true) || take(0x0F74, false)) {
  }
  while (take(0x0F72, true) || take(0x0F80, true)) {
  }
  for (const char32_t c : {char32_t{0x0F71}, char32_t{0x0F72}, char32_t{0x0F80}, char32_t{0x0F7A},
                           char32_t{0x0F7B}, char32_t{0x0F7C}, char32_t{0x0F7D}})
    while (take(c, false)) {
    }
  for (const char32_t c : signs) {
    if (!vowel_name(c, false).empty()) continue;
    if (c == kEwtsTsaPhru && f_or_v) continue;
    const EwtsSign* sign = sign_of(c);
    if (!sign) return false;
    s.marks += sign->ewts;
  }
  s.bare = n == 1 && signs.empty() && !s.achen;
  return true;
}

// ---------------------------------------------------------------------------------------------------------
// Which stack of a syllable is its root: the rule every writer that spells Tibetan by its letters follows.

// A syllable read as Tibetan: stacks [0, main) are prefix, root and suffixes, `achung` the a-chung carrying
// a vowel (the syllable's length when there is none), and what follows `main` its one ending.
struct TibetanReading {
  std::size_t root = 0, main = 0, achung = 0;
};

// Whether stacks [0, main) read as a prefix, a root at `root` and suffixes.
inline bool fits_tibetan(const std::vector<StackSpelling>& s, std::size_t root, std::size_t main,
                         std::size_t achung) {
  if (root > 1 || (s[root].achen && root > 0)) return false;
  if (root == 1 && (!s[0].bare || s[1].key.count == 0 || !prefix_allows(s[0].key.at[0], s[1].key)))
    return false;
  const std::size_t suffixes = main - root - 1;
  if (suffixes > 2) return false;
  const auto single = [&](std::size_t k) { return s[k].bare || (k == achung && s[k].letters == "'"); };
  if (suffixes >= 1) {
    if (!single(root + 1)) return false;
    const EwtsSuffixRule* rule = suffix_rule(s[root + 1].key.at[0]);
    if (!rule) return false;
    if (suffixes == 2 && (!single(root + 2) || !ewts_list_has(rule->second, s[root + 2].letters)))
      return false;
  }
  return true;
}

// The first `n` stacks read as a Tibetan syllable: the root is the one stack with a vowel or sign, else the
// letters' fixed reading or the earliest root that reads; false when they do not read so.
inline bool read_as_tibetan(const std::vector<StackSpelling>& s, std::size_t n, TibetanReading& reading) {
  std::size_t main = n;
  std::size_t achung = n;
  for (std::size_t k = 1; k < n && k + 2 >= n; ++k) {
    const StackSpelling& a = s[k];
    const bool only_vowels = a.vowel && a.marks.find_first_of("MH~X?^&") == std::string::npos;
    if (a.letters == "'" && only_vowels &&
        (k + 1 == n || (s[n - 1].bare && ewts_list_has(ewts_achung_endings, s[n - 1].letters)))) {
      achung = k;
      main = k + 1;
      break;
    }
  }
  int marked = 0;
  std::size_t root = 0;
  for (std::size_t k = 0; k < main; ++k)
    if (k != achung && !s[k].bare) {
      ++marked;
      root = k;
    }
  if (marked > 1 || main > 4) return false;
  if (marked == 0) {
    root = main;
    Letters all;
    for (std::size_t k = 0; k < main && k < 4; ++k) all.at[k] = s[k].key.at[0];
    all.count = static_cast<int>(main);
    for (const EwtsFixedReading& r : ewts_fixed_readings)
      if (letters_named(r.letters) == all) root = r.root;
    // Both readings of three letters: a second suffix `d` is rarer than a prefix (`gnad`, not `gand`).
    const bool da_drag = main == 3 && s[2].letters == "d";
    for (const std::size_t k : {da_drag ? 1u : 0u, da_drag ? 0u : 1u})
      if (root == main && k < main && fits_tibetan(s, k, main, achung)) root = k;
    if (root == main) return false;
  }
  if (!fits_tibetan(s, root, main, achung)) return false;
  reading = {root, main, achung};
  return true;
}

// ---------------------------------------------------------------------------------------------------------
// Syllables: each spelled as Tibetan (prefix, root, suffixes, the a-chung's endings) where its stacks
// read so, else as Sanskrit (every stack with its vowel); a spelling is kept only when the reader reads
// it back to the same characters without a warning.

constexpr std::size_t kLongestStack = 32;

struct SpelledWarning {
  std::size_t at;  // byte offset in the run
  std::string text;
};

class Speller {
 public:
  // Appends the EWTS of `run` (letters and signs, starting with a letter) to `out`. With `escape_first`
  // its first stack is written as escapes (the run goes on from a run cut for its length, which the
  // escapes part from it).
  void spell(std::string_view run, bool escape_first, std::string& out,
             std::vector<SpelledWarning>& warnings) {
    run_ = run;
    out_ = &out;
    warnings_ = &warnings;
    cps_.clear();
    offsets_.clear();
    Utf8Decoder decoder;
    for (std::size_t i = 0, start = 0; i < run.size(); ++i) {
      const int c = decoder.feed(static_cast<unsigned char>(run[i]));
      if (c == Utf8Decoder::kMore) continue;
      cps_.push_back(c >= 0 ? static_cast<char32_t>(c) : kReplacement);
      offsets_.push_back(start);
      start = i + 1;
    }
    offsets_.push_back(run.size());
    std::size_t from = 0;
    if (escape_first) {
      std::size_t end = 1;
      while (end < cps_.size() && !is_tibetan_letter(cps_[end])) ++end;
      escape(0, end);
      from = end;
    }
    // A visarga ends a syllable, but for the signs that may still follow it on its stack: what follows
    // them is spelled on its own (the reader reads it so).
    for (std::size_t i = from; i < cps_.size(); ++i)
      if (cps_[i] == 0x0F7F || i + 1 == cps_.size()) {
        std::size_t end = i + 1;
        while (cps_[i] == 0x0F7F && end < cps_.size() && sign_of(cps_[end]) && sign_of(cps_[end])->after_visarga)
          ++end;
        part(from, end);
        from = end;
        i = end - 1;
      }
  }

 private:
  struct Range {
    std::size_t begin, end;
  };

  std::u32string_view stack_at(const Range& r) const {
    return std::u32string_view(cps_).substr(r.begin, r.end - r.begin);
  }
  std::string_view bytes(std::size_t begin, std::size_t end) const {
    return run_.substr(offsets_[begin], offsets_[end] - offsets_[begin]);
  }

  void escape(std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) append_escape(*out_, cps_[i]);
  }

  // Characters [begin, end): a syllable with no visarga but perhaps at its end.
  void part(std::size_t begin, std::size_t end) {
    std::vector<Range> stacks;
    for (std::size_t i = begin; i < end; ++i)
      if (i == begin || is_tibetan_letter(cps_[i]))
        stacks.push_back({i, i + 1});
      else
        stacks.back().end = i + 1;
    if (!spelled(stacks)) by_stacks(stacks);
  }

  // The stacks spelled as Tibetan, else as Sanskrit, checked by the reader; false when neither reads back.
  bool spelled(const std::vector<Range>& stacks) {
    if (stacks.empty()) return true;
    spellings_.resize(stacks.size());
    for (std::size_t i = 0; i < stacks.size(); ++i)
      if (!spell_stack(stack_at(stacks[i]), spellings_[i])) return false;
    const std::string_view want = bytes(stacks.front().begin, stacks.back().end);
    candidate_.clear();
    if (tibetan(stacks.size()) && reads_back(want)) return true;
    for (const bool every_vowel : {false, true}) {
      candidate_.clear();
      sanskrit(stacks.size(), every_vowel);
      if (reads_back(want)) return true;
    }
    return false;
  }

  bool reads_back(std::string_view want) {
    check_.clear();
    if (reader_.read(candidate_, check_) != 0 || check_ != want) return false;
    *out_ += candidate_;
    return true;
  }

  // What fails as a whole, stack by stack: the stacks before the first one that cannot be spelled alone,
  // with as much of that one as can, are spelled together; the rest of it is escaped (a warning when it
  // holds what EWTS could write in another place or order); the stacks after it go on as a new word.
  void by_stacks(const std::vector<Range>& stacks) {
    std::size_t from = 0;
    while (from < stacks.size()) {
      std::size_t bad = from;
      for (; bad < stacks.size(); ++bad) {
        std::vector<Range> one{stacks[bad]};
        const std::size_t mark = out_->size();
        const bool ok = spelled(one);
        out_->resize(mark);
        if (!ok) break;
      }
      if (bad == stacks.size()) {
        // Each stack reads back alone: together, or else escaped.
        const std::vector<Range> rest(stacks.begin() + static_cast<std::ptrdiff_t>(from), stacks.end());
        if (!spelled(rest)) escape(rest.front().begin, rest.back().end);
        return;
      }
      // The longest start of the bad stack that reads back alone (no stack that reads has more characters
      // than a letter under each letter and every vowel and sign).
      std::size_t good = std::min(stacks[bad].end, stacks[bad].begin + kLongestStack);
      while (--good > stacks[bad].begin) {
        std::vector<Range> one{{stacks[bad].begin, good}};
        const std::size_t mark = out_->size();
        const bool ok = spelled(one);
        out_->resize(mark);
        if (ok) break;
      }
      std::vector<Range> head(stacks.begin() + static_cast<std::ptrdiff_t>(from),
                              stacks.begin() + static_cast<std::ptrdiff_t>(bad));
      if (good > stacks[bad].begin) head.push_back({stacks[bad].begin, good});
      if (!spelled(head)) escape(head.empty() ? good : head.front().begin, good);
      // A fault of the text: a sign with no letter, or what EWTS writes found where it cannot write it;
      // not a letter that EWTS has no name for.
      bool faulty = !is_tibetan_letter(cps_[stacks[bad].begin]);
      for (std::size_t i = good; i < stacks[bad].end && good > stacks[bad].begin; ++i)
        faulty = faulty || has_spelling(cps_[i]);
      const std::size_t mark = out_->size();
      escape(good, stacks[bad].end);
      if (faulty) {
        std::string text(1, '"');
        text.append(bytes(stacks[bad].begin, stacks[bad].end))
            .append("\" cannot be written in order in EWTS: \"");
        text.append(*out_, mark).append("\" written as escapes");
        warnings_->push_back({offsets_[good], std::move(text)});
      }
      from = bad + 1;
    }
  }

  // Tibetan: a root (the one stack with a vowel or sign, or the letters' reading), a prefix before it,
  // up to two suffixes after it, and perhaps an a-chung carrying a vowel with one ending after it.
  bool tibetan(std::size_t n) {
    const std::vector<StackSpelling>& s = spellings_;
    TibetanReading reading;
    if (!read_as_tibetan(s, n, reading)) return false;
    const auto [root, main, achung] = reading;
    std::string& out = candidate_;
    if (root == 1) {
      out += s[0].letters;
      if (merges(s[0], s[1])) out += '.';
    }
    const StackSpelling& r = s[root];
    out += r.letters;
    if (!r.vowel) out += 'a';
    out += r.marks;
    for (std::size_t k = root + 1; k < main; ++k) {
      out += s[k].letters;
      if (k == achung) out += s[k].marks;
      // The a-chung as a suffix is written with its vowel before an ending (`pa'am`).
      else if (s[k].letters == "'" && k + 1 < main)
        out += 'a';
    }
    for (std::size_t k = main; k < n; ++k) out += s[k].letters;
    return true;
  }

  // Sanskrit: every stack with its vowel (`a` where it has none) but a prefix that may stand before the
  // stack after it and a suffix and second suffix at the end (`tsan+dan`, the a-chung with its `a` before
  // an ending), a "." where letters would join and before an a-chen after the first; `every_vowel` writes
  // the `a` of every stack.
  void sanskrit(std::size_t end, bool every_vowel) {
    const std::vector<StackSpelling>& s = spellings_;
    std::size_t suffixes = end;
    bool prefix = false;
    if (!every_vowel && end >= 2) {
      if (s[end - 1].bare) {
        const EwtsSuffixRule* last = suffix_rule(s[end - 1].key.at[0]);
        const EwtsSuffixRule* before = s[end - 2].bare ? suffix_rule(s[end - 2].key.at[0]) : nullptr;
        if (before && end >= 3 && ewts_list_has(before->second, s[end - 1].letters))
          suffixes = end - 2;
        else if (last)
          suffixes = end - 1;
      }
      prefix = suffixes > 1 && s[0].bare && s[1].key.count > 0 && prefix_allows(s[0].key.at[0], s[1].key);
    }
    for (std::size_t k = 0; k < end; ++k) {
      if (k > 0 && s[k].achen) candidate_ += '.';
      if (k == 1 && prefix && merges(s[0], s[k])) candidate_ += '.';
      candidate_ += s[k].letters;
      const bool a_chung = k == suffixes && k + 1 < end && s[k].letters == "'";
      if (!s[k].vowel && ((k < suffixes && !(prefix && k == 0)) || a_chung)) candidate_ += 'a';
      candidate_ += s[k].marks;
    }
  }

  // Whether a prefix and the root after it would read as one stack or one letter without a ".".
  static bool merges(const StackSpelling& prefix, const StackSpelling& root) {
    Letters joined;
    joined.at[0] = prefix.key.at[0];
    for (int k = 0; k < root.key.count && k < 3; ++k)
      joined.at[static_cast<std::size_t>(k + 1)] = root.key.at[static_cast<std::size_t>(k)];
    joined.count = root.key.count + 1;
    bool merged = joined.count <= 4 && standard_stack(joined);
    const std::string both = prefix.letters + root.letters;
    for (const EwtsLetter& l : ewts_letters)
      merged = merged || (l.ewts.size() > prefix.letters.size() && both.starts_with(l.ewts));
    return merged;
  }

  std::string_view run_;
  std::string* out_ = nullptr;
  std::vector<SpelledWarning>* warnings_ = nullptr;
  std::u32string cps_;
  std::vector<std::size_t> offsets_;
  std::vector<StackSpelling> spellings_;
  std::string candidate_;
  std::string check_;
  EwtsWordReader reader_;
};

}  // namespace tarvex::ewts_spelling
