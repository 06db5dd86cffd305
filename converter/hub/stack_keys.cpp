#include "stack_keys.h"

#include <algorithm>

#include "tibetan.h"
#include "unicode_keys.h"

namespace tarvex {

namespace {

constexpr char kStackKey = 'f';
constexpr char kInherent = 'a';
constexpr char kAchung = '\'';
constexpr char kGyBreak = 25;

// Decodes the UTF-8 character at s[i] (valid, as the hub holds), moving i past it.
char32_t next_char(std::string_view s, std::size_t& i) {
  const auto b = static_cast<unsigned char>(s[i]);
  const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  char32_t c = n == 1 ? b : b & (0x7F >> n);
  for (int k = 1; k < n && i + static_cast<std::size_t>(k) < s.size(); ++k)
    c = c << 6 | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
  i += static_cast<std::size_t>(n);
  return c;
}

bool is_vowel_sign(char32_t c) {
  return c == 0x0F72 || c == 0x0F74 || (c >= 0x0F7A && c <= 0x0F7E) || c == 0x0F80;
}

// The vowel key whose signs are exactly `signs`, or 0.
char vowel_key(std::u32string_view signs) {
  for (const UnicodeKey& key : unicode_keys) {
    if (key.role != KeyRole::vowel) continue;
    std::size_t n = 0;
    while (n < key.text.size() && key.text[n]) ++n;
    if (std::u32string_view(key.text.data(), n) == signs) return key.key;
  }
  return 0;
}

}  // namespace

StackKeys::StackKeys(const ConverterKeyTables& tables) : source_(&tables) {
  // The first key of the table for each character: the plain ya and wa before their fixed forms.
  for (const UnicodeKey& key : unicode_keys) {
    const char32_t whole = key.text[0];
    // A mark or sign whose key the loaded keymap leaves unmapped would be lost: it is not typed.
    const bool mapped = tables.tib_keys[static_cast<unsigned char>(key.key)].ch != 0;
    if (key.role == KeyRole::letter && is_tibetan(whole)) {
      if (!letter_[whole - 0x0F00]) letter_[whole - 0x0F00] = key.key;
      if (key.subjoined && !subjoined_[key.subjoined - 0x0F00]) subjoined_[key.subjoined - 0x0F00] = key.key;
    }
    if (key.role == KeyRole::apostrophe) letter_[whole - 0x0F00] = key.key;
    if ((key.role == KeyRole::mark || key.role == KeyRole::symbol) && key.text[1] == 0 && mapped &&
        !mark_[whole - 0x0F00])
      mark_[whole - 0x0F00] = key.key;
    // A sign typed by a key of its own after the vowel: a vowel key of one sign, or a mark that sits in
    // a syllable; never a vowel sign proper (classes 129 to 132), of which a stack takes one.
    if ((key.role == KeyRole::vowel || (key.role == KeyRole::mark && is_tibetan_sign(whole))) &&
        key.text[1] == 0 && (combining_class(whole) == 0 || combining_class(whole) >= 230) && mapped &&
        !sign_[whole - 0x0F00])
      sign_[whole - 0x0F00] = key.key;
    if (key.role == KeyRole::symbol && key.text[1] != 0) {
      auto& [text, symbol] = *std::find_if(symbols_.begin(), symbols_.end(), [](const auto& s) { return s.second == 0; });
      char bytes[4];
      for (const char32_t c : key.text)
        if (c) text.append(bytes, static_cast<std::size_t>(put_utf8(c, bytes)));
      symbol = key.key;
    }
  }
  char utf8[64];
  for (int i = 0; i < tables.table_size; ++i) {
    const int n = entry_form_unicode(tables.tib_chars[static_cast<std::size_t>(i)].string, 0, utf8, sizeof utf8);
    if (n <= 3) continue;  // one letter, or nothing in Unicode
    std::string_view stack(utf8, static_cast<std::size_t>(n));
    // Only the letters: a stack is held whatever vowel it takes.
    std::size_t at = 0, letters = 0;
    while (at < stack.size()) {
      const char32_t c = next_char(stack, at);
      if (!is_tibetan_letter(c) && !is_subjoined(c)) break;
      letters = at;
    }
    if (letters > 3) stacks_.emplace(stack.substr(0, letters));
  }
}

char StackKeys::mark_key(char32_t c) const {
  return is_tibetan(c) ? mark_[c - 0x0F00] : 0;
}

int StackKeys::syllable_keys(std::string_view syllable, char* out, int capacity, std::size_t& bad_from,
                             std::size_t& bad_to) const {
  for (const auto& [text, symbol] : symbols_)
    if (symbol && text == syllable && capacity > 0) {
      out[0] = symbol;
      return 1;
    }
  int n = 0;
  const auto put = [&](char key) {
    if (n < capacity) out[n] = key;
    ++n;
  };
  bool last_was_plain_ga = false;
  std::size_t i = 0;
  while (i < syllable.size()) {
    const std::size_t stack_start = i;
    bad_from = stack_start;
    const char32_t first = next_char(syllable, i);
    if (!is_tibetan_letter(first) || !letter_[first - 0x0F00]) {
      bad_to = i;
      return -1;
    }
    // The letters, then an a-chung, then the vowel signs.
    std::array<char, 8> letters{letter_[first - 0x0F00]};
    int letter_count = 1;
    std::size_t letters_end = i;
    bool achung = false;
    std::u32string signs;
    bool bad = false;
    while (i < syllable.size()) {
      std::size_t at = i;
      const char32_t c = next_char(syllable, at);
      if (is_tibetan_letter(c)) break;
      i = at;
      if (is_subjoined(c) && !achung && signs.empty() && letter_count < static_cast<int>(letters.size()) &&
          subjoined_[c - 0x0F00]) {
        letters[static_cast<std::size_t>(letter_count++)] = subjoined_[c - 0x0F00];
        letters_end = i;
      } else if (c == 0x0F71 && !achung && signs.empty()) {
        achung = true;
      } else if (is_vowel_sign(c) || sign_[c - 0x0F00]) {
        signs += c;
      } else {
        bad = true;
      }
    }
    // The vowel key that types the longest run of the signs, then a key for each sign after it: the
    // anusvara, candrabindu, visarga or avagraha that no vowel key holds (ཀུཾ, ཨོྃ, ཀཿ).
    char vowel = 0;
    std::size_t tail = signs.size() + 1;
    for (std::size_t k = signs.size() + 1; k-- > 0 && tail > signs.size();) {
      const std::u32string_view run = std::u32string_view(signs).substr(0, k);
      vowel = run.empty() ? 0 : vowel_key(run);
      if (!run.empty() && !vowel) continue;
      if (std::all_of(signs.begin() + static_cast<std::ptrdiff_t>(k), signs.end(),
                      [&](char32_t c) { return sign_[c - 0x0F00] != 0; }))
        tail = k;
    }
    bad_to = i;
    if (bad || tail > signs.size() ||
        (letter_count > 1 && !stacks_.contains(std::string(syllable.substr(stack_start, letters_end - stack_start)))))
      return -1;
    const bool stacked = letter_count > 1 || achung;
    if (last_was_plain_ga && !stacked && letters[0] == letter_[0x61]) put(kGyBreak);
    if (stacked) put(kStackKey);
    for (int k = 0; k < letter_count; ++k) put(letters[static_cast<std::size_t>(k)]);
    if (achung) put(kAchung);
    if (vowel)
      put(vowel);
    else if (stacked)
      put(kInherent);
    for (std::size_t k = tail; k < signs.size(); ++k) put(sign_[signs[k] - 0x0F00]);
    last_was_plain_ga = !stacked && !vowel && letters[0] == letter_[0x42];
  }
  if (n > capacity) {
    bad_from = 0;
    bad_to = syllable.size();
    return -1;
  }
  // The keys must give the syllable back; the g.y break is layout, not Unicode.
  char plain[128];
  int plain_n = 0;
  for (int k = 0; k < n && plain_n < static_cast<int>(sizeof plain); ++k)
    if (out[k] != kGyBreak) plain[plain_n++] = out[k];
  char back[256];
  const int m = syllable_to_unicode(std::string_view(plain, static_cast<std::size_t>(plain_n)), back, sizeof back);
  if (m != static_cast<int>(syllable.size()) || syllable.compare(0, syllable.size(), back, static_cast<std::size_t>(m)) != 0) {
    bad_from = 0;
    bad_to = syllable.size();
    return -1;
  }
  return n;
}

}  // namespace tarvex
