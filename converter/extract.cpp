#include "extract.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "Find_mat.h"
#include "check.h"

namespace {

constexpr int kEnd = tsd::Stream::end;

// Markers of the syllable file for the single characters "(", ")" and "-".
constexpr char kOpenParenMarker = 23;
constexpr char kCloseParenMarker = 24;
constexpr char kHyphenMarker = 25;

enum CharClass : unsigned char { kOther = 0, kSpace = 1, kWord = 2, kVowel = 4 };

// Classes of the C locale: bytes 128..255 are neither letters nor whitespace.
constexpr auto kClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (int c : {' ', '\t', '\n', '\v', '\f', '\r'}) classes[c] = kSpace;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kWord;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = kWord;
  for (int c : {'\'', '+', '&'}) classes[c] = kWord;
  for (int c : {'A', 'E', 'I', 'O', 'U', 'i'}) classes[c] = kWord | kVowel;
  return classes;
}();

bool is_space(int c) {
  return c != kEnd && (kClasses[c] & kSpace) != 0;
}
bool is_word_char(int c) {
  return c != kEnd && (kClasses[c] & kWord) != 0;
}
bool is_vowel_char(unsigned char c) {
  return (kClasses[c] & kVowel) != 0;
}

// The vowel key codes of key strings.
constexpr auto kVowelKeys = [] {
  std::array<bool, 256> keys{};
  for (const unsigned char c : std::string_view("AEFIJLOUaeiou")) keys[c] = true;
  return keys;
}();
bool is_vowel_key(char key) {
  return kVowelKeys[static_cast<unsigned char>(key)];
}

// Syllables that stand for one symbol each, whatever their spelling.
struct WholeSyllable {
  std::string_view kvts;
  const char* keys;
};
constexpr WholeSyllable kWholeSyllables[] = {{"AOm", "<"}, {"H'Um", ">"}, {"A'A:", "="}};

// Appends to a key buffer of kKeyBufferSize bytes; a syllable never needs more.
struct KeyWriter {
  char* keys;
  int length = 0;

  void put(char key) {
    TSD_CHECK(length < kKeyBufferSize - 1, "extract");
    keys[length++] = key;
  }
  void put(const char* text) {
    while (*text != '\0') put(*text++);
  }
};

bool has_stack_key(const char* keys) {
  return std::strchr(keys, kStackKey) != nullptr;
}

// Writes a consonant cluster that stands before a vowel: leading letters that begin no known stack one
// by one, then the longest known stack that ends the cluster whole. An a-chung that ends the cluster is
// joined to the stack. Returns -1 when a letter has no key code.
int write_cluster(char* cluster, int length, bool later_part, KeyWriter& out, const TranslitTables& tables) {
  const bool a_chung = length > 0 && cluster[length - 1] == '\'';
  if (a_chung) cluster[--length] = '\0';
  const char* stack_keys = nullptr;
  for (int k = 0; k < length; ++k) {
    const char* rest = cluster + k;
    int found = -1;
    if (later_part) {
      found = find_exact(rest, tables.later_stacks.strings, tables.later_stacks.num_strings);
      if (found >= 0) stack_keys = tables.later_stacks.keys[found];
    }
    if (found < 0) {
      found = find_exact(rest, tables.stacks.strings, tables.stacks.num_strings);
      if (found >= 0) stack_keys = tables.stacks.keys[found];
    }
    if (found >= 0) {
      out.put(stack_keys);
      break;
    }
    const unsigned char key = letter_keys[static_cast<unsigned char>(*rest)];
    if (key == 0) return -1;
    out.put(static_cast<char>(key));
  }
  if (!a_chung) return 0;
  if (stack_keys != nullptr && has_stack_key(stack_keys)) {
    out.put('\'');
  } else {
    // The last letter and the a-chung make a stack of their own.
    const char last = out.keys[out.length - 1];
    out.keys[out.length - 1] = kStackKey;
    out.put(last);
    out.put('\'');
  }
  return 0;
}

// A cluster that ends the syllable: "ng" in any letter case is the one key "G", the rest letter by letter.
int write_final_cluster(const char* cluster, int length, KeyWriter& out) {
  int k = 0;
  if (length >= 2 && (cluster[0] | 0x20) == 'n' && (cluster[1] | 0x20) == 'g') {
    out.put('G');
    k = 2;
  }
  for (; k < length; ++k) {
    const unsigned char key = letter_keys[static_cast<unsigned char>(cluster[k])];
    if (key == 0) return -1;
    out.put(static_cast<char>(key));
  }
  return 0;
}

// Syllables recur: each recent syllable keeps its key string, or the verdict that it is marked, so a
// repeated syllable is not converted again. The result depends on nothing but the syllable's text.
class SyllableCache {
 public:
  struct Slot {
    int length = 0;  // 0: empty; a syllable has at least two characters
    bool converted = false;
    char word[kWordBufferSize];
    char keys[kKeyBufferSize];

    bool holds(const char* text, int n) const {
      return length == n && std::memcmp(word, text, static_cast<std::size_t>(n)) == 0;
    }
  };

  Slot& slot_for(const char* word, int length) {
    std::uint32_t hash = 2166136261u;
    for (int i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(word[i])) * 16777619u;
    return slots_[hash % kSlots];
  }

 private:
  static constexpr std::uint32_t kSlots = 4096;
  std::unique_ptr<Slot[]> slots_ = std::make_unique<Slot[]>(kSlots);
};

// Writes the error marker: the syllable exactly as read, between "[~" and "]".
void write_error_marker(tsd::Stream& dst, const char* word) {
  dst.write("[~");
  dst.write(word);
  dst.put(']');
}

// A run of word characters longer than a syllable: the stored characters and the rest of the run.
void write_overlong_run(tsd::Stream& src, tsd::Stream& dst, const char* word) {
  dst.write("[~");
  dst.write(word);
  int c = src.get();
  for (; is_word_char(c); c = src.get()) dst.put(c);
  src.unget(c);
  dst.put(']');
}

// Copies a passage after its opening character up to `close`, or to the end of the input. Returns the
// closing character when it was reached, else kEnd.
int copy_until(tsd::Stream& src, tsd::Stream& dst, int close) {
  for (int c = src.get(); c != kEnd; c = src.get()) {
    if (c == close) return c;
    dst.put(c);
  }
  return kEnd;
}

void write_single_character(tsd::Stream& src, tsd::Stream& dst, unsigned char c) {
  switch (c) {
    case '(':
      dst.put(kOpenParenMarker);
      break;
    case ')':
      dst.put(kCloseParenMarker);
      break;
    case '-':
      dst.put(kHyphenMarker);
      break;
    case '@': {
      // The blank that ends the name is consumed, not written.
      dst.write("{@");
      int next = src.get();
      for (; next != kEnd && !is_space(next); next = src.get()) dst.put(next);
      dst.put('}');
      break;
    }
    case '[':
      dst.put('[');
      if (copy_until(src, dst, ']') == ']') dst.put(']');
      break;
    case '{':
      dst.put('{');
      copy_until(src, dst, '}');
      dst.put('}');
      break;
    case '\0':
      break;
    default: {
      const unsigned char key = letter_keys[c];
      dst.put(key != 0 ? key : c);
      break;
    }
  }
}

}  // namespace

int extract_syllables(tsd::Stream& src, tsd::Stream& dst, const TranslitTables& tables, int check_syllables) {
  SyllableCache cache;
  char word[kWordBufferSize];
  char message[kCheckMessageSize];
  for (;;) {
    int c = src.get();
    for (; is_space(c); c = src.get()) dst.put(c);
    src.unget(c);

    char* end_word = nullptr;
    const int length = read_word(&src, word, kWordLimit, &end_word);
    if (length >= 2) {
      SyllableCache::Slot& slot = cache.slot_for(word, length);
      if (!slot.holds(word, length)) {
        // The slot keeps the syllable as read: conversion cuts the word buffer into pieces.
        slot.length = length;
        std::memcpy(slot.word, word, static_cast<std::size_t>(length) + 1);
        slot.converted = convert_syllable(word, length, slot.keys, tables) == 0 &&
                         (check_syllables == 0 || check_syllable_length(slot.keys, message) == 0);
      }
      if (slot.converted) {
        for (const char* k = slot.keys; *k != '\0'; ++k) dst.put(*k);
      } else {
        write_error_marker(dst, slot.word);
      }
    } else if (length == 1) {
      write_single_character(src, dst, static_cast<unsigned char>(word[0]));
    } else if (length == kWordTooLong) {
      write_overlong_run(src, dst, word);
    } else {
      break;
    }
  }
  const bool written = dst.flush() == 0 && !dst.error();
  return written && !src.error() ? 0 : -1;
}

int read_word(tsd::Stream* fpin, char* word, int lim, char** end_word) {
  TSD_CHECK(fpin != NULL, "extract");
  TSD_CHECK(word != NULL, "extract");
  TSD_CHECK(end_word != NULL, "extract");
  TSD_CHECK(lim > 0, "extract");

  int c = fpin->get();
  TSD_CHECK(!is_space(c), "extract");
  int stored = 0;
  while (stored <= lim) {
    if (is_word_char(c)) {
      word[stored++] = static_cast<char>(c);
      c = fpin->get();
      continue;
    }
    if (stored == 0 && c != kEnd) {
      word[0] = static_cast<char>(c);
      word[1] = '\0';
      *end_word = word + 2;
      return 1;
    }
    word[stored] = '\0';
    *end_word = word + stored + 1;
    fpin->unget(c);
    if (stored > 0) return stored;
    TSD_CHECK(c == kEnd, "extract");
    return -1;
  }
  word[stored] = '\0';
  *end_word = word + stored + 1;
  fpin->unget(c);
  return kWordTooLong;
}

int convert_syllable(char* word, int n, char* keys, const TranslitTables& tables) {
  TSD_CHECK(word != NULL, "extract");
  TSD_CHECK(keys != NULL, "extract");
  TSD_CHECK(n >= 2, "extract");

  for (const auto& symbol : kWholeSyllables) {
    if (std::string_view(word, static_cast<std::size_t>(n)) == symbol.kvts) {
      std::strcpy(keys, symbol.keys);
      return 0;
    }
  }

  KeyWriter out{keys};
  int i = 0;
  int s = 0;
  int p = 0;
  do {
    ++p;
    const int b = s;
    const char* vowel_keys = "";
    int cluster_end = 0;
    for (;; ++i) {
      if (i >= n) {
        cluster_end = i;
        i = n + 1;
        break;
      }
      if (is_vowel_char(static_cast<unsigned char>(word[i]))) {
        const StringTable& table = i == b ? tables.initial_vowels : tables.vowels;
        int length_match = 0;
        int string_index = 0;
        find_longest_prefix(word + i, table.strings, table.num_strings, &length_match, &string_index);
        if (length_match == 0) return -1;
        cluster_end = i;
        vowel_keys = table.keys[string_index];
        i += length_match;
        s = i;
        break;
      }
    }
    char* cluster = word + b;
    const int length = cluster_end - b;
    word[cluster_end] = '\0';
    if (length == 1) {
      const unsigned char key = letter_keys[static_cast<unsigned char>(cluster[0])];
      if (key == 0) return -1;
      out.put(static_cast<char>(key));
    } else if (*vowel_keys == '\0') {
      if (write_final_cluster(cluster, length, out) < 0) return -1;
    } else if (write_cluster(cluster, length, p > 1, out, tables) < 0) {
      return -1;
    }
    out.put(vowel_keys);
  } while (i < n);
  keys[out.length] = '\0';
  return 0;
}

int check_syllable_length(const char* keys, char* message) {
  TSD_CHECK(keys != NULL, "extract");
  TSD_CHECK(message != NULL, "extract");

  int part_start = 0;
  int stack_key = -1;
  int vowels = 0;
  for (int j = 0; keys[j] != '\0'; ++j) {
    const char key = keys[j];
    if (key == kAnusvaraKey) {
      ++part_start;
    } else if (key == kStackKey) {
      stack_key = j;
    } else if (is_vowel_key(key)) {
      ++vowels;
      const int a_chung = j > 0 && keys[j - 1] == '\'' ? 1 : 0;
      const int measure = stack_key >= 0 ? stack_key - part_start + 1 - a_chung : j - part_start - a_chung;
      const int limit = vowels == 1 ? 2 : 1;
      if (measure > limit) {
        std::snprintf(message, kCheckMessageSize, "SYLLABLE #%d IS TOO LONG", vowels);
        return -1;
      }
      part_start = j + 1;
      stack_key = -1;
    }
  }
  return 0;
}
