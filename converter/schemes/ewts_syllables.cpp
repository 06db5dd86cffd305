#include "ewts_syllables.h"

#include <cstdint>

#include "ewts_letters.h"
#include "tibetan.h"

namespace tarvex {

using namespace ewts;

WordResult EwtsWordReader::read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings) {
  word_ = word;
  out_ = &out;
  warnings_ = &warnings;
  tokenize();
  return read_tokens();
}

WordResult EwtsWordReader::read(std::string_view spelling, std::span<const Token> tokens, std::string& out,
                                std::vector<WordWarning>& warnings) {
  word_ = spelling;
  out_ = &out;
  warnings_ = &warnings;
  tokens_.assign(tokens.begin(), tokens.end());
  return read_tokens();
}

WordResult EwtsWordReader::read_tokens() {
  result_ = {};
  in_syllable_ = false;
  syllable_bad_ = false;
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
      warn(pos, end - pos, last - i > 1 ? ewts_warnings::kUnexpectedRun : text_warnings::kUnexpected, text);
      syllable_bad_ = true;
      result_.ends_tibetan = false;
      begin = j;
      i = j - 1;
    } else if (t.kind == Kind::sign && ewts_signs[t.index].ends_syllable) {
      // `X` and `~X` after the visarga still sit on its stack (`kaHX`).
      while (i + 1 < tokens_.size() && tokens_[i + 1].kind == Kind::sign && after_visarga(tokens_[i + 1])) ++i;
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
void EwtsWordReader::tokenize() {
  tokens_.clear();
  std::size_t i = 0;
  bool after_plus = false;
  while (i < word_.size()) {
    const std::string_view rest = word_.substr(i);
    const auto pos = static_cast<std::uint16_t>(i);
    Token t = lex_token(rest, after_plus);
    after_plus = t.kind == Kind::plus;
    t.pos = pos;
    const EwtsLetter* l = t.kind == Kind::letter && is_letter(t.index) ? &ewts_letters[t.index] : nullptr;
    if (l && l->spelling == EwtsSpelling::warned) {
      // Read as the two letters joined by "+" that it stands for.
      const std::size_t plus = l->plus_spelling.find('+');
      const auto first = static_cast<std::uint16_t>(plus);
      warn(i, t.len, ewts_warnings::kAspirate, l->ewts, l->plus_spelling);
      tokens_.push_back({Kind::letter, letter_index(l->plus_spelling.substr(0, plus)), pos, first});
      tokens_.push_back({Kind::plus, 0, static_cast<std::uint16_t>(i + plus), 0});
      tokens_.push_back({Kind::letter, letter_index(l->plus_spelling.substr(plus + 1)),
                         static_cast<std::uint16_t>(i + plus), static_cast<std::uint16_t>(t.len - plus)});
    } else {
      tokens_.push_back(t);
    }
    i += t.len;
  }
}

// Marks what means nothing where it stands: "+" before anything but a letter or vowel (dropped), a sign
// with no stack before it, "." that separates nothing (both copied).
void EwtsWordReader::classify() {
  const std::size_t n = tokens_.size();
  for (std::size_t i = 0; i < n; ++i) {
    Token& t = tokens_[i];
    if (t.kind != Kind::plus) continue;
    const bool next_ok =
        i + 1 < n && (tokens_[i + 1].kind == Kind::letter || tokens_[i + 1].kind == Kind::vowel);
    if (!next_ok) {
      warn(t.pos, 1, ewts_warnings::kLonePlus);
      t.kind = Kind::skip;
    }
  }
  bool base = false;     // a letter, vowel or sign of the current syllable comes before
  bool visarga = false;  // the signs right after a visarga
  for (std::size_t i = 0; i < n; ++i) {
    Token& t = tokens_[i];
    if (t.kind != Kind::sign) visarga = false;
    switch (t.kind) {
      case Kind::letter:
      case Kind::vowel:
        base = true;
        break;
      case Kind::sign:
        if (!base && !(visarga && after_visarga(t))) {
          // Copied as it stands; a sign after it has no stack either (`kaHHX`).
          t.kind = Kind::other;
          visarga = false;
        } else if (ewts_signs[t.index].ends_syllable) {
          base = false;
          visarga = true;
        }
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
void EwtsWordReader::segment(std::size_t begin, std::size_t end) {
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
          warn(t.pos, t.len, ewts_warnings::kLetterAfterVowel, letter_ewts(t.index));
          letters_.push_back({t.index, join, t.pos, t.len, true, static_cast<unsigned char>(g->vowel_count)});
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
        if (ewts_signs[t.index].code == kEwtsTsaPhru) {
          // Written once on the stack, wherever it is typed; twice after the vowel is a sign repeated.
          if (g->tsa_phru && (g->vowel_count > 0 || g->sign_count > 0))
            warn(t.pos, t.len, ewts_warnings::kRepeatedSign, ewts_signs[t.index].ewts);
          g->tsa_phru = true;
          break;
        }
        const unsigned char group = ewts_signs[t.index].group;
        bool repeated = false;
        for (int k = 0; k < g->sign_count; ++k) repeated = repeated || ewts_signs[g->signs[k]].group == group;
        if (repeated || g->sign_count == static_cast<int>(g->signs.size()))
          warn(t.pos, t.len, ewts_warnings::kRepeatedSign, ewts_signs[t.index].ewts);
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

// Writes one stack: its letters (the first whole, the rest subjoined; `f` and `v` with the tsa-phru right
// after them), the tsa-phru typed as `^`, the vowels and signs of its group, letters joined after a vowel
// where they were typed, in canonical order.
void EwtsWordReader::emit(const Stack& s) {
  // Room for the letters (a stack without "+" may run long), the tsa-phru, the vowels and signs.
  std::vector<char32_t>& cps = code_points_;
  cps.resize(2 * static_cast<std::size_t>(s.count) + 32);
  std::size_t n = 0;
  const Group* g = s.group >= 0 ? &groups_[static_cast<std::size_t>(s.group)] : nullptr;
  bool tsa_phru = false;
  // A vowel with no letter before it sits on the a-chen, and letters joined after it go under that.
  const bool on_achen = s.count == 0 || letters_[s.first].late;
  if (on_achen) {
    const EwtsVowel* v = g && g->vowel_count > 0 ? &ewts_vowels[g->vowels[0]] : nullptr;
    cps[n++] = v && v->alone ? v->alone : kEwtsAchen;
  }
  const auto letter = [&](int k) {
    const unsigned char l = letters_[s.first + k].letter;
    const bool whole = k == 0 && !on_achen;
    if (l == kAchenLetter) {
      cps[n++] = whole ? kEwtsAchen : kEwtsAchenSubjoined;
      return;
    }
    cps[n++] = whole ? ewts_letters[l].whole : ewts_letters[l].subjoined;
    if (ewts_letters[l].tsa_phru) cps[n++] = kEwtsTsaPhru;
    tsa_phru = tsa_phru || ewts_letters[l].tsa_phru;
  };
  // Letters typed after `vowels` of the stack's vowels.
  const auto late = [&](int vowels) {
    for (int k = 0; k < s.count; ++k)
      if (letters_[s.first + k].late && letters_[s.first + k].vowels_before == vowels) letter(k);
  };
  for (int k = 0; k < s.count; ++k)
    if (!letters_[s.first + k].late) letter(k);
  if (g) {
    for (int k = 0; k < g->vowel_count; ++k) {
      const EwtsVowel& v = ewts_vowels[g->vowels[k]];
      if (v.subjoined && (!on_achen || k > 0)) cps[n++] = v.subjoined;
    }
    if (g->tsa_phru && !tsa_phru) cps[n++] = kEwtsTsaPhru;
    late(0);
    for (int k = 0; k < g->vowel_count; ++k) {
      for (char32_t c : ewts_vowels[g->vowels[k]].signs)
        if (c) cps[n++] = c;
      late(k + 1);
    }
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

int EwtsWordReader::read(std::string_view word, std::string& out) {
  checked_.clear();
  read(word, out, checked_);
  return static_cast<int>(checked_.size());
}

int EwtsWordReader::read(std::string_view spelling, std::span<const Token> tokens, std::string& out) {
  checked_.clear();
  read(spelling, tokens, out, checked_);
  return static_cast<int>(checked_.size());
}

}  // namespace tarvex
