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
    const std::size_t before = stacks_.size();
    if (own_stack) {
      // The group's letters by their roles: the last stack is its own, the others follow the group before.
      if (g.count == 0)
        push(g.first, 0, static_cast<int>(i));
      else
        push_stacks(g.first, g.count, static_cast<int>(i));
      const Stack& own = stacks_.back();
      for (int k = g.first; k < own.first; ++k) after[i - 1].push_back(k);
      tibetan = tibetan && own.count == 1 && letters_[own.first].letter == kApostrophe;
    } else {
      push_singles(g.first, g.count);
      for (int k = 0; k < g.count; ++k) after[i - 1].push_back(g.first + k);
      for (std::size_t k = before; k < stacks_.size(); ++k) {
        const Stack& s = stacks_[k];
        if (s.count > 1)
          warn(letters_[s.first].pos, spelled(s.first, s.count).size(), ewts_warnings::kStackWithoutVowel,
               name(s.first, s.count, true));
      }
    }
  }
  if (!tibetan) return;
  // Before the root, one prefix at most; letters that a "." keeps apart are as the writer meant them.
  for (int k = 0; k < root_stack; ++k) {
    const Stack& st = stacks_[static_cast<std::size_t>(k)];
    const Stack& next = stacks_[static_cast<std::size_t>(k + 1)];
    if (k != prefix && (next.count == 0 || letters_[next.first].join != Join::dot))
      warn(letters_[st.first].pos, spelled(st.first, st.count).size(), ewts_warnings::kNotPrefix,
           spelled(st.first, st.count));
  }
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

// The stacks of the first group: its letters by their roles, the last stack its root.
void EwtsWordReader::head(int group) {
  const Group& g = groups_[static_cast<std::size_t>(group)];
  if (g.count == 0)
    push(g.first, 0, group);
  else
    push_stacks(g.first, g.count, group);
}

// How many of the letters from `first` (before `end`) make its stack: an optional head over a letter it
// tops, the main letter, at most two letters below (one that may stand only under a letter alone, so);
// a letter below that heads a standard stack with the next letter, which could not stand below here
// after it, stays to head that stack (`prka`, `brla`). "+" always joins; "." always parts.
int EwtsWordReader::stack_length(int first, int end) const {
  const auto at = [&](int k) { return letters_[k].letter; };
  int n = 1;
  if (first + 1 < end && letters_[first + 1].join == Join::none && tops(at(first), at(first + 1))) n = 2;
  int below = 0;
  for (int k = first + n; k < end; ++k, ++n) {
    const Letter& l = letters_[k];
    if (l.join == Join::plus) {
      ++below;
      continue;
    }
    if (l.join == Join::dot || below == ewts_most_below || !is_below(l.letter) ||
        (is_below_alone(l.letter) && n > 1))
      break;
    if (k + 1 < end && letters_[k + 1].join != Join::dot && heads_pair(l.letter, at(k + 1))) {
      const unsigned char next = at(k + 1);
      const bool fits_after = is_below(next) && !is_below_alone(next) && below + 1 < ewts_most_below;
      if (!fits_after) break;
    }
    ++below;
  }
  return n;
}

// Letters [first, first + count) as stacks by their roles, the last carrying `group`; a stack that is not
// standard is stacked all the same, with a warning.
void EwtsWordReader::push_stacks(int first, int count, int group) {
  const int end = first + count;
  for (int k = first; k < end;) {
    const int n = stack_length(k, end);
    if (!valid_stack(k, n))
      warn(letters_[k].pos, spelled(k, n).size(), ewts_warnings::kNonstandardStack, spelled(k, n),
           name(k, n, true));
    push(k, n, k + n == end ? group : -1);
    k += n;
  }
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
