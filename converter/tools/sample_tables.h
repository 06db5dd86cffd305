// The sample `keyfont` and `keymap`, made from the converter's own tables so that every letter, stack,
// vowel, mark and symbol that a conversion can type is found by the composer; and the decoding of a
// glyph-code file back into entry strings with such tables. Reads and writes no stream: make-key-tables
// writes the texts, the tests compare them with data/ and decode glyph codes with them.
//
// Code assignment: a single character's bare form lives in the base font at its own character code (the
// symbols "<", "=", ">" in "syma"); every vowel sign in "vowa" at the code of its vowel character; every
// other bare, joined-u and apostrophe form gets the next free code of fonts 1..31, so no two of them share
// a (font, code) pair. The vowel-sign groups of the font kit (data/vowel_classes) move the signs of the
// letters and stacks of a group other than 0 to a code of their own in "vowa", one per form and group,
// so that each sign can be drawn where it sits on those letters; the groups drawn for added entries alone
// (numbered from kAddedGroup) have their codes in "syma", given after every other code.
//
// Added entries: the keys of the Unicode key table that the converter's tables never type (the signs,
// marks and letters that only Unicode and Extended Wylie text bring) and the stacks of data/added_stacks.
// They take their codes after every entry of the converter's tables has taken its own, from the codes
// still free, so that adding them moves no code that documents already hold.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "composer.h"
#include "translit_tables.h"
#include "unicode_keys.h"

namespace tarvex {

namespace sample_tables {

inline constexpr int kBaseFont = 0;
inline constexpr int kVowelFont = 32;   // "vowa"
inline constexpr int kSymbolFont = 33;  // "syma"
inline constexpr int kFirstCode = 33;
inline constexpr int kLastCode = 126;
inline constexpr int kMaxRecords = tsd::kTibCharsCapacity - 1;
inline constexpr int kGroups = 19;
// Vowel-sign groups from this number on are drawn for added entries only; their codes are in "syma".
inline constexpr int kAddedGroup = 100;  // forms 0..17 and a last group that is read but not kept
// The composer writes the i sign two codes higher after "o" and an apostrophe.
inline constexpr int kRaisedI = 'i' + 2;

// The composer's vowel character of each vowel code (form index) 1..15.
inline constexpr std::string_view kVowelChars = " iueoEOJFL~`IU&%";
// Closing keys of a stack as the converter's key strings use them; every other key is a letter.
inline constexpr std::string_view kClosingKeys = "aeiouEOJFLIU&.";
inline constexpr std::string_view kSymbols = "<=>";
// Keys that the font-code pass types for its punctuation glyphs.
inline constexpr std::string_view kPunctuationKeys = ".,:?-";
// The form indices that draw a whole letter or stack and so need a glyph of their own.
inline constexpr std::array<int, 4> kWholeForms = {tsd::kFormBase, tsd::kFormJoinedU,
                                                   tsd::kFormApostropheBase, tsd::kFormApostropheJoinedU};

// The keymap's internal character of a key: the stack key stands for "$", every other key for itself.
inline char internal_char(char key) {
  return key == kStackKey ? '$' : key;
}

// The vowel-sign group of an entry's form, by entry string and form; a form not listed is in group 0.
using VowelClasses = std::map<std::pair<std::string, int>, int>;

// Reads the vowel-sign groups: lines "STRING FORM GROUP", "#" lines and empty lines ignored.
inline VowelClasses parse_vowel_classes(std::string_view text) {
  VowelClasses classes;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty() || line[0] == '#') continue;
    char string[16] = {};
    int form = 0;
    int group = 0;
    char rest = 0;
    if (std::sscanf(line.c_str(), "%15s %d %d %c", string, &form, &group, &rest) != 3 || form < 1 ||
        form >= static_cast<int>(kVowelChars.size()) || form == tsd::kFormJoinedU || group < 0)
      throw std::invalid_argument("bad vowel-class line: " + line);
    classes[{string, form}] = group;
  }
  return classes;
}

struct Form {
  int font = 0;
  int code = 0;
};

struct Entry {
  std::string string;
  std::array<Form, kGroups> forms{};
  bool added = false;  // not typed by the converter's tables; its last label is "+" instead of "-"
};

// Every key that a key string, `letter_keys`, `key_text`, the punctuation glyphs or a whole-syllable
// symbol can type.
inline std::set<char> all_keys(const TranslitTables& tables) {
  std::set<char> keys(kPunctuationKeys.begin(), kPunctuationKeys.end());
  keys.insert(kSymbols.begin(), kSymbols.end());
  for (int c = 1; c < 256; ++c) {
    if (letter_keys[c] != 0) keys.insert(static_cast<char>(letter_keys[c]));
    if (*key_text[c] != '\0') keys.insert(static_cast<char>(c));
  }
  for (const StringTable* table :
       {&tables.stacks, &tables.initial_vowels, &tables.vowels, &tables.later_stacks})
    for (int i = 0; i < table->num_strings; ++i)
      for (const char* k = table->keys[i]; *k != '\0'; ++k) keys.insert(*k);
  keys.insert(kStackKey);
  return keys;
}

// The entry strings of the stacks that a key string types: the letters after each stack key up to its
// closing key, apostrophes after the first letter left out (they select the apostrophe forms).
inline void collect_stacks(std::string_view keys, std::set<std::string>& stacks) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] != kStackKey) continue;
    std::string stack;
    for (++i; i < keys.size() && kClosingKeys.find(keys[i]) == std::string_view::npos; ++i)
      if (keys[i] != '\'' || stack.empty()) stack += internal_char(keys[i]);
    --i;
    if (stack.size() > 1) stacks.insert(stack);
  }
}

// Hands out the free codes of one font after another, each range from where it last stopped.
class CodeAllocator {
 public:
  void reserve(int font, int code) { used_.insert({font, code}); }
  Form next(int first_font, int last_font) {
    auto& [font, code] = cursors_.try_emplace(first_font, first_font, kFirstCode).first->second;
    for (; font <= last_font; ++font, code = kFirstCode)
      for (; code <= kLastCode; ++code)
        if (used_.insert({font, code}).second) return {font, code++};
    throw std::length_error("the fonts have no free code left");
  }

 private:
  std::set<std::pair<int, int>> used_;
  std::map<int, std::pair<int, int>> cursors_;  // by first font: the next font and code to try
};

// Reads the added stacks: each line holds a stack in UTF-8 (a letter and the letters under it) and then,
// after a blank, anything; "#" lines and empty lines are ignored. Gives the entry strings that type them.
inline std::vector<std::string> parse_added_stacks(std::string_view text) {
  std::vector<std::string> stacks;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty() || line[0] == '#') continue;
    const std::string_view utf8 = line.substr(0, line.find(' '));
    std::string string;
    bool ok = true;
    for (std::size_t i = 0; ok && i + 2 < utf8.size(); i += 3) {
      const auto b = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
      const char32_t c = static_cast<char32_t>((b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F));
      const char key = i == 0 ? whole_letter_key(c) : subjoined_letter_key(c);
      ok = (b(0) & 0xF0) == 0xE0 && key != 0;
      string += internal_char(key);
    }
    if (utf8.size() % 3 != 0 || utf8.size() < 6) throw std::invalid_argument("bad added stack line: " + std::string(line));
    // A stack with a letter that no key types, or longer than an entry string, cannot be added.
    if (ok && string.size() <= 7) stacks.push_back(string);
  }
  return stacks;
}

// The keys of the Unicode key table that the converter's tables do not type.
inline std::set<char> added_keys(const TranslitTables& tables) {
  const std::set<char> typed = all_keys(tables);
  std::set<char> keys;
  for (const UnicodeKey& k : unicode_keys)
    if (!typed.contains(k.key)) keys.insert(k.key);
  return keys;
}

// All entries of the sample keyfont, sorted by string in character-code order.
inline std::vector<Entry> make_entries(const TranslitTables& tables, const VowelClasses& classes = {},
                                       const std::vector<std::string>& added_stacks = {}) {
  std::set<std::string> strings;
  for (const char key : all_keys(tables)) strings.insert(std::string(1, internal_char(key)));
  for (const StringTable* table :
       {&tables.stacks, &tables.initial_vowels, &tables.vowels, &tables.later_stacks})
    for (int i = 0; i < table->num_strings; ++i) {
      std::set<std::string> stacks;
      collect_stacks(table->keys[i], stacks);
      strings.insert(stacks.begin(), stacks.end());
    }
  if (strings.size() > static_cast<std::size_t>(kMaxRecords)) throw std::length_error("too many entries");
  // The added keys, then the added stacks in their order while the table has places.
  std::set<std::string> added;
  for (const char key : added_keys(tables)) added.insert(std::string(1, internal_char(key)));
  for (const auto& s : strings) added.erase(s);
  constexpr auto kPlaces = static_cast<std::size_t>(kMaxRecords);
  for (auto s = added_stacks.begin(); s != added_stacks.end() && strings.size() + added.size() < kPlaces; ++s)
    if (!strings.contains(*s)) added.insert(*s);

  std::vector<Entry> entries;
  for (const auto& s : strings) entries.push_back({s, {}});
  for (const auto& s : added) entries.push_back({s, {}, true});
  if (entries.size() > static_cast<std::size_t>(kMaxRecords)) throw std::length_error("too many entries");

  CodeAllocator codes;
  auto is_symbol = [](const Entry& e) {
    return e.string.size() == 1 && kSymbols.find(e.string[0]) != kSymbols.npos;
  };
  for (auto& e : entries) {
    if (e.string.size() > 7) throw std::length_error("entry string longer than 7 characters: " + e.string);
    for (int form = 1; form < static_cast<int>(kVowelChars.size()); ++form)
      e.forms[form] = {kVowelFont, kVowelChars[form]};
    if (e.string.size() == 1) {
      e.forms[tsd::kFormBase] = {is_symbol(e) ? kSymbolFont : kBaseFont,
                                 static_cast<unsigned char>(e.string[0])};
      codes.reserve(e.forms[tsd::kFormBase].font, e.forms[tsd::kFormBase].code);
    }
  }
  // Each group above 0 of a form takes the next free code of "vowa"; the vowels' own codes and the
  // raised i that the composer writes two codes above the i sign stay theirs.
  for (std::size_t v = 1; v < kVowelChars.size(); ++v) codes.reserve(kVowelFont, kVowelChars[v]);
  codes.reserve(kVowelFont, kRaisedI);
  std::map<std::pair<int, int>, Form> group_codes;
  for (const auto& [key, group] : classes)
    if (group > 0) group_codes.emplace(std::pair{key.second, group}, Form{});
  for (auto& [key, form] : group_codes)
    if (key.second < kAddedGroup) form = codes.next(kVowelFont, kVowelFont);
  // The converter's entries first (in string order), then the added ones.
  for (auto& e : entries) {
    const bool symbol = is_symbol(e);
    for (const int form : kWholeForms) {
      if (form == tsd::kFormBase && e.string.size() == 1) continue;
      e.forms[form] = symbol ? codes.next(kSymbolFont, kSymbolFont) : codes.next(1, kVowelFont - 1);
    }
  }
  // The groups drawn for added entries only take codes of "syma" after everything else.
  for (auto& [key, form] : group_codes)
    if (key.second >= kAddedGroup) form = codes.next(kSymbolFont, kSymbolFont);
  for (auto& e : entries)
    for (std::size_t v = 1; v < kVowelChars.size(); ++v)
      if (const auto found = classes.find({e.string, static_cast<int>(v)});
          found != classes.end() && found->second > 0)
        e.forms[v] = group_codes.at({static_cast<int>(v), found->second});
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::lexicographical_compare(
        a.string.begin(), a.string.end(), b.string.begin(), b.string.end(),
        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
  });
  return entries;
}

// Label of each group after the first: the vowel character of a vowel form, "'" and "'u" for the
// apostrophe forms, "-" for the last group.
inline std::string group_label(int group) {
  if (group == tsd::kFormApostropheBase) return "'";
  if (group == tsd::kFormApostropheJoinedU) return "'u";
  if (group < static_cast<int>(kVowelChars.size())) return std::string(1, kVowelChars[group]);
  return "-";
}

// One record per line: the entry string, its base form, then each labelled group; the last label tells
// an added entry ("+") from one of the converter's tables ("-").
inline std::string keyfont_text(const std::vector<Entry>& entries) {
  std::string text;
  for (const auto& e : entries) {
    for (int group = 0; group < kGroups; ++group) {
      if (group > 0) text += "  ";
      text += group == 0 ? e.string : group == kGroups - 1 && e.added ? "+" : group_label(group);
      text += ' ' + std::to_string(e.forms[group].font) + ' ' + std::to_string(e.forms[group].code);
    }
    text += '\n';
  }
  return text;
}

// One line per key: the key, a blank, its internal character.
inline std::string keymap_text(const TranslitTables& tables) {
  std::set<char> keys = all_keys(tables);
  keys.merge(added_keys(tables));
  std::string text;
  for (const char key : keys) {
    text += key;
    text += ' ';
    text += internal_char(key);
    text += '\n';
  }
  return text;
}

// Decodes a glyph-code file: each glyph becomes the text of its form (the entry string; with "u" for the
// joined-u form, "'" for the apostrophe form, "'u" for both), each vowel sign its vowel character.
// Blanks, tabs and line breaks stay; raw passages are written "[...]", braced ones "{...}", the marks of
// a parenthesised passage "(" and ")". A code that no form has becomes "[?font:code]".
class GlyphDecoder {
 public:
  explicit GlyphDecoder(const tsd::KeyTables<tsd::kConverterForms>& tables) {
    for (int i = 0; i < tables.table_size; ++i) {
      const auto& entry = tables.tib_chars[i];
      const std::string s = entry.string;
      const std::array<std::pair<int, std::string>, 4> forms = {{{tsd::kFormBase, s},
                                                                 {tsd::kFormJoinedU, s + "u"},
                                                                 {tsd::kFormApostropheBase, s + "'"},
                                                                 {tsd::kFormApostropheJoinedU, s + "'u"}}};
      for (const auto& [form, text] : forms)
        texts_.emplace(std::pair{entry.font_table[form], entry.font_slot[form]}, text);
      for (int form = 1; form < static_cast<int>(kVowelChars.size()); ++form)
        texts_.emplace(std::pair{entry.font_table[form], entry.font_slot[form]},
                       std::string(1, kVowelChars[form]));
    }
    // The composer raises the i sign by two after "o" and an apostrophe.
    texts_.emplace(std::pair{kVowelFont, kRaisedI}, "i");
  }

  std::string decode(std::string_view glyphs) const {
    std::string out;
    int font = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
      const auto b = static_cast<unsigned char>(glyphs[i]);
      if (b >= tsd::kFontBase) {
        font = b - tsd::kFontBase;
      } else if (b == 19 || b == 21) {
        const char close = b == 19 ? 20 : 22;
        const std::size_t end = std::min(glyphs.find(close, i + 1), glyphs.size());
        out += b == 19 ? '[' : '{';
        out.append(glyphs.substr(i + 1, end - i - 1));
        out += b == 19 ? ']' : '}';
        i = end;
      } else if (b == 23 || b == 24) {
        out += b == 23 ? '(' : ')';
      } else if (b == '\t' || b == '\n' || b == ' ') {
        out += static_cast<char>(b);
      } else if (const auto found = texts_.find({font, b}); found != texts_.end()) {
        out += found->second;
      } else {
        out += "[?" + std::to_string(font) + ':' + std::to_string(b) + ']';
      }
    }
    return out;
  }

 private:
  std::map<std::pair<int, int>, std::string> texts_;
};

inline std::string decode_glyph_codes(std::string_view glyphs,
                                      const tsd::KeyTables<tsd::kConverterForms>& tables) {
  return GlyphDecoder(tables).decode(glyphs);
}

// What decode_glyph_codes gives back for the glyphs of a key string: the keys without the stack keys and
// the inherent vowel "a", which draw nothing of their own.
inline std::string decoded_keys(std::string_view keys) {
  std::string out;
  for (const char k : keys)
    if (k != kStackKey && k != 'a') out += k;
  return out;
}

}  // namespace sample_tables

}  // namespace tarvex
