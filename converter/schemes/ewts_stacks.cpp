// The stacks of a syllable's letters (the rules of ewts_tables.h): a root stack after a prefix that may
// stand before it, suffixes and a second suffix that may follow the first, the endings after the a-chung,
// standard stacks and "+" stacks, and the fixed readings of a syllable without a vowel.
#include <algorithm>

#include "ewts_letters.h"
#include "ewts_syllables.h"

namespace tarvex {

using namespace ewts;

bool EwtsWordReader::standard(int first, int count) const {
  for (const StackLetters& s : kStandardStacks) {
    if (s.count != count) continue;
    bool same = true;
    for (int k = 0; k < count && same; ++k) same = s.letters[k] == letters_[first + k].letter;
    if (same) return true;
  }
  return false;
}

// One letter; letters joined by "+" only; or a standard stack, "+" written or not. No "." inside.
bool EwtsWordReader::valid_stack(int first, int count) const {
  bool all_plus = true;
  for (int k = 1; k < count; ++k) {
    if (letters_[first + k].join == Join::dot) return false;
    all_plus = all_plus && letters_[first + k].join == Join::plus;
  }
  return all_plus || standard(first, count);
}

bool EwtsWordReader::is_prefix(int letter) const {
  const std::string_view e = letter_ewts(letters_[letter].letter);
  for (const EwtsPrefixRule& r : ewts_prefix_rules)
    if (r.prefix == e) return true;
  return false;
}

bool EwtsWordReader::prefix_allows(int prefix_letter, int first, int count) const {
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
std::string EwtsWordReader::name(int first, int count, bool plus) const {
  std::string s;
  for (int k = 0; k < count; ++k) {
    if (plus && k > 0) s += '+';
    s += letter_ewts(letters_[first + k].letter);
  }
  return s;
}

// The letters as the input spells them.
std::string_view EwtsWordReader::spelled(int first, int count) const {
  const Letter& a = letters_[first];
  const Letter& b = letters_[first + count - 1];
  return word_.substr(a.pos, b.pos + b.len - a.pos);
}

// Whether letters [first, first + count) are a suffix and a second suffix that may follow it.
bool EwtsWordReader::suffixes_ok(int first, int count) const {
  if (count == 0) return true;
  if (count > 2) return false;
  const std::string_view s = letter_ewts(letters_[first].letter);
  for (const EwtsSuffixRule& r : ewts_suffix_rules)
    if (r.suffix == s) return count == 1 || ewts_list_has(r.second, letter_ewts(letters_[first + 1].letter));
  return false;
}

void EwtsWordReader::push_singles(int first, int count) {
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
void EwtsWordReader::analyse() {
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
          warn(letters_[s.first].pos, spelled(s.first, s.count).size(), ewts_warnings::kStackWithoutVowel,
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
      warn(l.pos, spelled(a[0], static_cast<int>(a.size())).size(), ewts_warnings::kBadSuffix,
           spelled(a[0], static_cast<int>(a.size())));
  }
}

// The stacks of the first group: a root stack, after a prefix where the letters read so.
void EwtsWordReader::head(int group) {
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
        warn(letters_[f + start].pos, spelled(f + start, k - start).size(), ewts_warnings::kNonstandardStack,
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
  warn(letters_[f + from].pos, spelled(f + from, m - from).size(), ewts_warnings::kNonstandardStack,
       spelled(f + from, m - from), name(f + from, m - from, true));
  push(f + from, m - from, group);
}

// A syllable of letters alone: prefix, root and suffixes where its letters read so (a fixed reading where
// they read two ways); otherwise written as it stands, with a warning.
void EwtsWordReader::vowelless() {
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
        warn(letters_[s.first].pos, spelled(s.first, s.count).size(), ewts_warnings::kStackWithoutVowel,
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
  warn(letters_[f].pos, spelled(f, m).size(), ewts_warnings::kShouldBe, spelled(f, m), suggestion + 'a');
}

// A prefix must be one that may stand before its root.
void EwtsWordReader::validate_prefix(int prefix, int root_stack) {
  if (prefix < 0) return;
  const Stack& root = stacks_[static_cast<std::size_t>(root_stack)];
  const Letter& p = letters_[stacks_[static_cast<std::size_t>(prefix)].first];
  if (root.count > 0 && valid_stack(root.first, root.count) &&
      !prefix_allows(stacks_[static_cast<std::size_t>(prefix)].first, root.first, root.count))
    warn(p.pos, p.len, ewts_warnings::kBadPrefix, letter_ewts(p.letter), name(root.first, root.count, false));
}

// The letters after the root: a suffix, then a second suffix that may follow it, then nothing.
void EwtsWordReader::validate_suffixes(const std::vector<int>& suffixes) {
  if (suffixes.empty()) return;
  const Letter& s0 = letters_[suffixes[0]];
  const EwtsSuffixRule* rule = nullptr;
  for (const EwtsSuffixRule& r : ewts_suffix_rules)
    if (r.suffix == letter_ewts(s0.letter)) rule = &r;
  if (!rule) {
    warn(s0.pos, s0.len, ewts_warnings::kBadSuffix, letter_ewts(s0.letter));
    return;
  }
  if (suffixes.size() < 2) return;
  const Letter& s1 = letters_[suffixes[1]];
  if (!ewts_list_has(rule->second, letter_ewts(s1.letter))) {
    warn(s1.pos, s1.len, ewts_warnings::kBadSecondSuffix, letter_ewts(s0.letter), letter_ewts(s1.letter));
    return;
  }
  if (suffixes.size() > 2) {
    const Letter& s2 = letters_[suffixes[2]];
    warn(s2.pos, s2.len, ewts_warnings::kAfterSecondSuffix, letter_ewts(s2.letter));
  }
}

}  // namespace tarvex
