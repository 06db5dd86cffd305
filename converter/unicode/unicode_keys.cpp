#include "unicode_keys.h"

#include <cstddef>
#include <cstring>

#include "composer.h"
#include "keyfont.h"
#include "translit_tables.h"

namespace tarvex {

// A key string is read by a state machine made at compile time from `unicode_keys`: for every key and
// state, the UTF-8 that the key writes there and the state after it. The loop then does the same few
// moves for every key, with no branch that depends on the key.

namespace {

// Where the reader stands. Outside a stack it also knows what a vowel sign would follow: nothing (no
// letter), or a letter or sign of that canonical combining class, which keeps the signs in canonical order.
enum State : unsigned char {
  kNoBase,        // outside a stack, nothing a vowel sign can sit on
  kAfterLetter,   // outside, after a letter, a stack or a sign of class 0 (the anusvara)
  kAfter129,      // outside, after the a-chung of a stack (class 129)
  kAfter130,      // outside, after a vowel sign of class 130
  kAfter132,      // outside, after the u sign (class 132)
  kAfter230,      // outside, after a candrabindu (class 230)
  kStackEmpty,    // just after the stack key
  kStackLetters,  // in a stack after its first letter
  kStackAchung,   // in a stack after an apostrophe: its a-chung comes when the stack closes
  kRefused,       // a key without meaning was read: the rest is ignored and the string refused
  kStates,
};

// The UTF-8 that one key writes in one state: at most 12 bytes, padded so that it is copied whole in one
// move.
struct Cell {
  char bytes[15] = {};
  unsigned char length = 0;
};
static_assert(sizeof(Cell) == 16);

// Every character of the table lies in U+0800..U+FFFF (the Tibetan block): three bytes each.
constexpr void append_utf8(Cell& cell, char32_t c) {
  if (c < 0x800 || c > 0xFFFF || cell.length + 3 > static_cast<int>(sizeof cell.bytes))
    throw "the key table writes only three-byte characters, at most five per cell";
  cell.bytes[cell.length++] = static_cast<char>(0xE0 | (c >> 12));
  cell.bytes[cell.length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  cell.bytes[cell.length++] = static_cast<char>(0x80 | (c & 0x3F));
}

// Canonical combining classes of the Tibetan signs that the table writes; the others it writes are 0.
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
    case 0x0F82:
    case 0x0F83:
      return 230;
    default:
      return 0;
  }
}

constexpr char32_t kAchungUnder = 0x0F71;

constexpr unsigned char class_after(State s) {
  switch (s) {
    case kAfter129:
      return 129;
    case kAfter130:
      return 130;
    case kAfter132:
      return 132;
    case kAfter230:
      return 230;
    default:
      return 0;
  }
}

constexpr State state_after_class(unsigned char cls) {
  return cls == 129   ? kAfter129
         : cls == 130 ? kAfter130
         : cls == 132 ? kAfter132
         : cls == 230 ? kAfter230
                      : kAfterLetter;
}

struct Step {
  Cell cell;
  State next = kRefused;
};

constexpr int text_length(const UnicodeKey& k) {
  int n = 0;
  while (n < 4 && k.text[n] != 0) ++n;
  return n;
}

// What key `k` does in state `s`.
constexpr Step step(const UnicodeKey& k, State s) {
  Step out;
  if (s == kRefused || k.role == KeyRole::none) return out;
  const bool in_stack = s == kStackEmpty || s == kStackLetters || s == kStackAchung;
  const bool letter = k.role == KeyRole::letter || k.role == KeyRole::apostrophe;
  if (letter) {
    if (s == kStackAchung) {
      // Another apostrophe changes nothing; a letter after the a-chung of a stack belongs to no stack.
      out.next = k.role == KeyRole::apostrophe ? kStackAchung : kRefused;
    } else if (s == kStackLetters) {
      if (k.role == KeyRole::apostrophe) {
        out.next = kStackAchung;
      } else {
        append_utf8(out.cell, k.subjoined);
        out.next = kStackLetters;
      }
    } else {
      append_utf8(out.cell, k.text[0]);
      out.next = in_stack ? kStackLetters : kAfterLetter;
    }
    return out;
  }
  // Every other key closes an open stack first; a digit, mark or symbol has no place in one.
  if (in_stack) {
    if (k.role == KeyRole::mark || k.role == KeyRole::symbol) return out;
    if (s == kStackAchung) append_utf8(out.cell, kAchungUnder);
    s = s == kStackEmpty ? kNoBase : s == kStackLetters ? kAfterLetter : kAfter129;
  }
  const int n = text_length(k);
  switch (k.role) {
    case KeyRole::stack:
      out.next = kStackEmpty;
      break;
    case KeyRole::inherent:
      out.next = s;
      break;
    case KeyRole::vowel: {
      const unsigned char first = combining_class(k.text[0]);
      if (s == kNoBase || (first != 0 && first < class_after(s))) return Step{};
      for (int i = 0; i < n; ++i) append_utf8(out.cell, k.text[i]);
      out.next = state_after_class(combining_class(k.text[n - 1]));
      break;
    }
    default:  // separator, mark, symbol
      for (int i = 0; i < n; ++i) append_utf8(out.cell, k.text[i]);
      out.next = kNoBase;
      break;
  }
  return out;
}

// Keys by number: 0 for a key without meaning, i + 1 for unicode_keys[i].
constexpr std::array<unsigned char, 256> kKeyNumber = [] {
  std::array<unsigned char, 256> numbers{};
  for (std::size_t i = 0; i < unicode_keys.size(); ++i)
    numbers[static_cast<unsigned char>(unicode_keys[i].key)] = static_cast<unsigned char>(i + 1);
  return numbers;
}();
constexpr std::size_t kKeys = unicode_keys.size() + 1;
static_assert(kKeys < 256);

struct Machine {
  std::array<std::array<Cell, kStates>, kKeys> cells{};
  std::array<std::array<State, kStates>, kKeys> next{};
};

constexpr Machine kMachine = [] {
  Machine m;
  for (std::size_t key = 0; key < kKeys; ++key)
    for (int s = 0; s < kStates; ++s) {
      const Step st = key == 0 ? Step{} : step(unicode_keys[key - 1], static_cast<State>(s));
      m.cells[key][static_cast<std::size_t>(s)] = st.cell;
      m.next[key][static_cast<std::size_t>(s)] = st.next;
    }
  return m;
}();

constexpr Cell kAchungCell = [] {
  Cell c;
  append_utf8(c, kAchungUnder);
  return c;
}();

constexpr int kTooSmall = -1;
constexpr int kNoMeaning = -2;

// Appends `cell` at `p`. Where the buffer has room for the whole padded cell it is copied in one move;
// the bytes after the text are then scratch.
inline bool put(char*& p, const char* limit, const Cell& cell) {
  if (limit - p >= static_cast<std::ptrdiff_t>(sizeof cell)) {
    std::memcpy(p, &cell, sizeof cell);
  } else {
    if (limit - p < cell.length) return false;
    std::memcpy(p, cell.bytes, cell.length);
  }
  p += cell.length;
  return true;
}

// The work of syllable_to_unicode, telling a key without meaning (kNoMeaning) from a full buffer.
int write_keys(std::string_view keys, char* out, int capacity) {
  char* p = out;
  const char* const limit = out + capacity;
  std::size_t s = kNoBase;
  for (const char ch : keys) {
    const std::size_t key = kKeyNumber[static_cast<unsigned char>(ch)];
    if (!put(p, limit, kMachine.cells[key][s])) return kTooSmall;
    s = kMachine.next[key][s];
  }
  if (s == kRefused) return kNoMeaning;
  if (s == kStackAchung && !put(p, limit, kAchungCell)) return kTooSmall;
  return static_cast<int>(p - out);
}

// The composer's vowel character of each vowel code 1..15.
constexpr std::array<char, tsd::kFormCount> kVowelOfCode = [] {
  std::array<char, tsd::kFormCount> vowels{};
  for (int c = 1; c < 256; ++c)
    if (const int code = tsd::vowel_code(static_cast<unsigned char>(c)); code > 0)
      vowels[static_cast<std::size_t>(code)] = static_cast<char>(c);
  return vowels;
}();

// The key that the bundled keymap maps to an internal character.
constexpr char key_of(char internal) {
  return internal == '$' ? kStackKey : internal;
}

KeyRole role_of(char key) {
  const UnicodeKey* k = unicode_key(static_cast<unsigned char>(key));
  return k == nullptr ? KeyRole::none : k->role;
}

}  // namespace

const UnicodeKey* unicode_key(unsigned char key) {
  const std::size_t number = kKeyNumber[key];
  return number == 0 ? nullptr : &unicode_keys[number - 1];
}

char whole_letter_key(char32_t c) {
  char first = 0;
  for (const UnicodeKey& k : unicode_keys) {
    if (k.text[0] != c) continue;
    if (k.role == KeyRole::apostrophe) return k.key;
    if (k.role == KeyRole::letter && !first) first = k.key;
  }
  return first;
}

char subjoined_letter_key(char32_t c) {
  for (const UnicodeKey& k : unicode_keys)
    if ((k.role == KeyRole::letter || k.role == KeyRole::apostrophe) && k.subjoined == c) return k.key;
  return 0;
}

int syllable_to_unicode(std::string_view keys, char* out, int capacity) {
  const int n = write_keys(keys, out, capacity);
  return n < 0 ? -1 : n;
}

int entry_form_unicode(std::string_view entry_string, int form, char* out, int capacity) {
  if (entry_string.empty() || entry_string.size() > 7 || form < 0 || form >= tsd::kFormCount) return 0;
  char keys[16];
  int k = 0;
  const KeyRole first = role_of(key_of(entry_string[0]));
  const bool stands_alone = first == KeyRole::mark || first == KeyRole::symbol || first == KeyRole::separator;
  if (entry_string.size() == 1 && stands_alone) {
    if (form != tsd::kFormBase) return 0;
    keys[k++] = key_of(entry_string[0]);
  } else {
    // A letter or a stack: typed as a stack, so that the apostrophe forms get their a-chung.
    keys[k++] = kStackKey;
    for (const char c : entry_string) {
      const KeyRole role = role_of(key_of(c));
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

}  // namespace tarvex
