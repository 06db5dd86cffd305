#include "unicode_keys.h"

#include <cstring>

#include "composer.h"
#include "keyfont.h"
#include "translit_tables.h"

namespace {

struct Utf8 {
  unsigned char length = 0;
  char bytes[15] = {};
};

// One key as the hot loop wants it: the role, the UTF-8 of both forms, and the combining classes at both
// ends of the text, which keep the vowel signs in canonical order.
struct CompiledKey {
  KeyRole role = KeyRole::none;
  unsigned char first_class = 0;
  unsigned char last_class = 0;
  Utf8 text;
  Utf8 subjoined;
};

// Canonical combining classes of the Tibetan signs that the table writes; every other one it writes is 0.
constexpr unsigned char combining_class(char32_t c) {
  switch (c) {
    case 0x0F71:
      return 129;
    case 0x0F72:
    case 0x0F7A:
    case 0x0F7B:
    case 0x0F7C:
    case 0x0F7D:
    case 0x0F80:
      return 130;
    case 0x0F74:
      return 132;
    case 0x0F83:
      return 230;
    default:
      return 0;
  }
}

constexpr void append_utf8(Utf8& u, char32_t c) {
  if (c < 0x80) {
    u.bytes[u.length++] = static_cast<char>(c);
  } else if (c < 0x800) {
    u.bytes[u.length++] = static_cast<char>(0xC0 | (c >> 6));
    u.bytes[u.length++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    u.bytes[u.length++] = static_cast<char>(0xE0 | (c >> 12));
    u.bytes[u.length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    u.bytes[u.length++] = static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr Utf8 utf8_of(char32_t c) {
  Utf8 u;
  append_utf8(u, c);
  return u;
}

constexpr std::array<signed char, 256> kIndex = [] {
  std::array<signed char, 256> index{};
  index.fill(-1);
  for (std::size_t i = 0; i < unicode_keys.size(); ++i)
    index[static_cast<unsigned char>(unicode_keys[i].key)] = static_cast<signed char>(i);
  return index;
}();
static_assert(unicode_keys.size() < 128);

constexpr std::array<CompiledKey, 256> kCompiled = [] {
  std::array<CompiledKey, 256> keys{};
  for (const UnicodeKey& k : unicode_keys) {
    CompiledKey& c = keys[static_cast<unsigned char>(k.key)];
    c.role = k.role;
    for (const char32_t cp : k.text) {
      if (cp == 0) break;
      if (c.text.length == 0) c.first_class = combining_class(cp);
      c.last_class = combining_class(cp);
      append_utf8(c.text, cp);
    }
    if (k.subjoined != 0) append_utf8(c.subjoined, k.subjoined);
  }
  return keys;
}();

constexpr Utf8 kAchungUnder = utf8_of(0x0F71);
constexpr unsigned char kAchungClass = combining_class(0x0F71);

constexpr int kTooSmall = -1;
constexpr int kNoMeaning = -2;

// The work of syllable_to_unicode, telling a key without meaning (kNoMeaning) from a full buffer.
int write_keys(std::string_view keys, char* out, int capacity) {
  int n = 0;
  bool in_stack = false;
  int stack_letters = 0;
  bool achung = false;  // an apostrophe after the stack's first letter: U+0F71 when the stack closes
  bool base = false;    // a letter or stack is written that a vowel sign can sit on
  unsigned char last_class = 0;
  auto put = [&](const Utf8& u) {
    if (u.length > capacity - n) return false;
    std::memcpy(out + n, u.bytes, u.length);
    n += u.length;
    return true;
  };
  auto close_stack = [&] {
    in_stack = false;
    base = stack_letters > 0;
    if (!achung) return true;
    last_class = kAchungClass;
    return put(kAchungUnder);
  };

  for (const char ch : keys) {
    const CompiledKey& k = kCompiled[static_cast<unsigned char>(ch)];
    switch (k.role) {
      case KeyRole::none:
        return kNoMeaning;
      case KeyRole::apostrophe:
        if (in_stack && stack_letters > 0) {
          achung = true;
          break;
        }
        [[fallthrough]];
      case KeyRole::letter:
        if (!put(in_stack && stack_letters > 0 ? k.subjoined : k.text)) return kTooSmall;
        stack_letters += in_stack ? 1 : 0;
        base = true;
        last_class = 0;
        break;
      case KeyRole::stack:
        if (in_stack && !close_stack()) return kTooSmall;
        in_stack = true;
        stack_letters = 0;
        achung = false;
        base = false;
        break;
      case KeyRole::inherent:
        if (in_stack && !close_stack()) return kTooSmall;
        break;
      case KeyRole::vowel:
        if (in_stack && !close_stack()) return kTooSmall;
        if (!base || (k.first_class != 0 && k.first_class < last_class)) return kNoMeaning;
        if (!put(k.text)) return kTooSmall;
        last_class = k.last_class;
        break;
      case KeyRole::separator:
        if (in_stack && !close_stack()) return kTooSmall;
        if (!put(k.text)) return kTooSmall;
        base = false;
        last_class = 0;
        break;
      case KeyRole::mark:
      case KeyRole::symbol:
        if (in_stack) return kNoMeaning;
        if (!put(k.text)) return kTooSmall;
        base = false;
        last_class = k.last_class;
        break;
    }
  }
  if (in_stack && !close_stack()) return kTooSmall;
  return n;
}

// The composer's vowel character of each vowel code 1..15.
constexpr std::array<char, tsd::kFormCount> kVowelOfCode = [] {
  std::array<char, tsd::kFormCount> vowels{};
  for (int c = 1; c < 256; ++c)
    if (const int code = tsd::vowel_code(static_cast<unsigned char>(c)); code > 0)
      vowels[code] = static_cast<char>(c);
  return vowels;
}();

// The key that the bundled keymap maps to an internal character.
constexpr char key_of(char internal) {
  return internal == '$' ? kStackKey : internal;
}

}  // namespace

const UnicodeKey* unicode_key(unsigned char key) {
  const int i = kIndex[key];
  return i < 0 ? nullptr : &unicode_keys[static_cast<std::size_t>(i)];
}

int syllable_to_unicode(std::string_view keys, char* out, int capacity) {
  const int n = write_keys(keys, out, capacity);
  return n < 0 ? -1 : n;
}

int entry_form_unicode(std::string_view entry_string, int form, char* out, int capacity) {
  if (entry_string.empty() || entry_string.size() > 7 || form < 0 || form >= tsd::kFormCount) return 0;
  char keys[16];
  int k = 0;
  const CompiledKey& first = kCompiled[static_cast<unsigned char>(key_of(entry_string[0]))];
  const bool stands_alone =
      first.role == KeyRole::mark || first.role == KeyRole::symbol || first.role == KeyRole::separator;
  if (entry_string.size() == 1 && stands_alone) {
    if (form != tsd::kFormBase) return 0;
    keys[k++] = key_of(entry_string[0]);
  } else {
    // A letter or a stack: typed as a stack, so that the apostrophe forms get their a-chung.
    keys[k++] = kStackKey;
    for (const char c : entry_string) {
      const KeyRole role = kCompiled[static_cast<unsigned char>(key_of(c))].role;
      if (role != KeyRole::letter && role != KeyRole::apostrophe) return 0;
      keys[k++] = key_of(c);
    }
    if (form == tsd::kFormApostropheBase || form == tsd::kFormApostropheJoinedU) {
      keys[k++] = '\'';
      if (form == tsd::kFormApostropheJoinedU) keys[k++] = 'u';
    } else if (form != tsd::kFormBase) {
      keys[k++] = kVowelOfCode[static_cast<std::size_t>(form)];
    }
  }
  const int n = write_keys(std::string_view(keys, static_cast<std::size_t>(k)), out, capacity);
  return n == kNoMeaning ? 0 : n;
}
