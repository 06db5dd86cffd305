#include "composer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/keyfont_text.h"
#include "support/temp_dir.h"

namespace {

using tsd::testing::Record;
using tsd::testing::TempDir;
using Tables = tsd::KeyTables<tsd::kAddinForms>;

// A small table in file order: "k" has its joined forms in font 0, "kr" lives in font 5 with its "e" sign
// there too, "ky" has its "i" sign in font 0, the apostrophe's "i" sign is code 60.
std::unique_ptr<Tables> make_tables() {
  const Record records[] = {
      Record("$", 36),
      Record("'", 96).with(1, 32, 60),
      Record(".", 46),
      Record("E", 69),
      Record("a", 97),
      Record("e", 101),
      Record("g", 71),
      Record("i", 105),
      Record("k", 75).with(2, 0, 76).with(17, 0, 77),
      Record("kr", 80)
          .with(0, 5, 80)
          .with(1, 32, 107)
          .with(2, 5, 81)
          .with(3, 5, 82)
          .with(16, 6, 80)
          .with(17, 6, 81),
      Record("ky", 83).with(1, 0, 84).with(2, 1, 85),
      Record("n", 78),
      Record("o", 111),
      Record("r", 82),
      Record("s", 115),
      Record("sk", 90).with(0, 7, 90),
      Record("skr", 91).with(0, 7, 91),
      Record("u", 117),
      Record("y", 89),
  };
  std::string keyfont;
  for (const auto& r : records) keyfont += r.text();
  TempDir dir;
  auto tables = std::make_unique<Tables>();
  const int loaded = tsd::load_key_tables(dir.write("keyfont", keyfont).c_str(),
                                          dir.write("keymap",
                                                    "f $\n' '\n. .\nE E\na a\ne e\ng g\ni i\nk k\nn n\no o\n"
                                                    "r r\ns s\nu u\ny y\n")
                                              .c_str(),
                                          *tables, nullptr);
  EXPECT_EQ(loaded, 0);
  return tables;
}

const Tables& tables() {
  static const std::unique_ptr<Tables> t = make_tables();
  return *t;
}

// "result: bytes" for one key, as tsendrel-compose prints it.
std::string press(int key, tsd::SyllableState& state) {
  unsigned char buf[tsd::kGlyphBufferSize];
  const int result = tsd::compose_key(key, buf, tables(), state);
  std::string line = std::to_string(result) + ":";
  for (const unsigned char* g = buf; *g; ++g) line.append(" ").append(std::to_string(*g));
  return line;
}

std::vector<std::string> type(const std::string& keys, tsd::SyllableState& state) {
  std::vector<std::string> lines;
  for (unsigned char key : keys) lines.push_back(press(key, state));
  return lines;
}

struct Sequence {
  const char* name;
  std::string keys;
  std::vector<std::string> glyphs;
};

const Sequence sequences[] = {
    {"letter", "k", {"1: 75"}},
    {"inherent vowel writes nothing", "ka", {"1: 75", "0:"}},
    {"vowel takes its sign from the previous letter", "ki", {"1: 75", "1: 161 101 129"}},
    {"capital vowel", "kE", {"1: 75", "1: 161 105 129"}},
    {"a and unmapped keys leave the previous letter", "kaxi", {"1: 75", "0:", "1:", "1: 161 101 129"}},
    {"separator outside a stack", "k.", {"1: 75", "1: 46 32"}},
    {"u joined in font 0", "ku", {"1: 75", "1: 20 76"}},
    {"u joined in another font", "gu", {"1: 71", "1: 20 131 71 129"}},
    {"o apostrophe i raises the code by two", "o'i", {"1: 161 104 129", "1: 96", "1: 161 62 129"}},
    {"o apostrophe e is not raised", "o'e", {"1: 161 104 129", "1: 96", "1: 161 103 129"}},
    {"stack with vowel in another font",
     "fkri",
     {"1: 39", "1: 75", "1: 82", "1: 20 20 20 134 80 161 107 129"}},
    {"stack vowel in the stack's own font", "fkre", {"1: 39", "1: 75", "1: 82", "1: 20 20 20 134 80 82 129"}},
    {"stack all in font 0 ends without 129", "fkyi", {"1: 39", "1: 75", "1: 89", "1: 20 20 20 83 84"}},
    {"stack closed by a", "fkya", {"1: 39", "1: 75", "1: 89", "1: 20 20 20 83"}},
    {"stack closed by the separator", "fky.", {"1: 39", "1: 75", "1: 89", "1: 20 20 20 83 46 32"}},
    {"separator returns to font 0 first",
     "fkr.",
     {"1: 39", "1: 75", "1: 82", "1: 20 20 20 134 80 129 46 32"}},
    {"stack key closes a stack", "fkf", {"1: 39", "1: 75", "1: 20 20 75"}},
    {"u joined to a stack", "fkru", {"1: 39", "1: 75", "1: 82", "1: 20 20 20 134 81 129"}},
    {"u joined in font 1", "fkyu", {"1: 39", "1: 75", "1: 89", "1: 20 20 20 130 85 129"}},
    {"u joined to one letter in font 0", "fku", {"1: 39", "1: 75", "1: 20 20 76"}},
    {"apostrophe then u takes form 17", "fk'u", {"1: 39", "1: 75", "1: 96", "1: 20 20 20 77"}},
    {"apostrophe then a takes form 16", "fk'a", {"1: 39", "1: 75", "1: 96", "1: 20 20 20 132 75 129"}},
    {"apostrophe first in a stack is searched", "f'ka", {"1: 39", "1: 96", "1:", "1: 20 20 96"}},
    {"three-letter stack",
     "fskri",
     {"1: 39", "1: 115", "1: 75", "1: 82", "1: 20 20 20 20 136 91 161 101 129"}},
    {"letter that extends no entry is ignored", "fkni", {"1: 39", "1: 75", "1:", "1: 20 20 75 161 101 129"}},
    {"closing keys right after the stack key take the marker back",
     "fif.fu",
     {"1: 39", "1: 20", "1: 39", "1: 20", "1: 39", "1: 20"}},
    {"backspace takes back the marker and closes", "f\bk", {"1: 39", "1: 20", "1: 75"}},
    {"backspace pops letter by letter", "fk\b\bk", {"1: 39", "1: 75", "1: 20", "1: 20", "1: 75"}},
    {"backspace over an apostrophe clears its flag",
     "fk'\bi",
     {"1: 39", "1: 75", "1: 96", "1: 20", "1: 20 20 75 161 101 129"}},
    {"backspace outside a stack", "\b", {"1: 20"}},
    {"u after an apostrophe joins it", "'u", {"1: 96", "1: 20 131 96 129"}},
    {"control code closes a stack and leaves the echoes", "fk\rk", {"1: 39", "1: 75", "1: 13", "1: 75"}},
    {"ctrl x writes the next key from vowa", "\x18k", {"0:", "1: 161 107 129"}},
    {"ctrl x wins over alt x, which waits",
     "\x18\x19kkk",
     {"0:", "0:", "1: 161 107 129", "1: 162 107 129", "1: 75"}},
    {"backspace clears both symbol flags", "\x18\x19\bk", {"0:", "0:", "1: 20", "1: 75"}},
    {"control code clears only ctrl x", "\x18\x19\rk", {"0:", "0:", "1: 13", "1: 162 107 129"}},
    {"non-printable key in symbol mode writes nothing", "\x18\x7fk", {"0:", "1:", "1: 75"}},
    {"ctrl x closes a stack", "fk\x18k", {"1: 39", "1: 75", "0:", "1: 161 107 129"}},
    {"keys past the keymap are unmapped", "k\xc8i", {"1: 75", "1:", "1: 161 101 129"}},
    {"keys past the keymap inside a stack", "fk\xc8i", {"1: 39", "1: 75", "1:", "1: 20 20 75 161 101 129"}},
};

TEST(composer, typed_sequences_give_their_glyph_strings) {
  for (const auto& s : sequences) {
    tsd::SyllableState state;
    EXPECT_EQ(type(s.keys, state), s.glyphs) << s.name;
  }
}

// A typist's keys: BackSpace outside a stack also takes the key history back with the character.
std::vector<std::string> type_with_history(const std::string& keys) {
  tsd::SyllableState state;
  tsd::TypedHistory typed;
  std::vector<std::string> lines;
  for (unsigned char key : keys) {
    unsigned char buf[tsd::kGlyphBufferSize];
    const int result = tsd::type_key(key, buf, tables(), state, typed);
    std::string line = std::to_string(result) + ":";
    for (const unsigned char* g = buf; *g; ++g) line.append(" ").append(std::to_string(*g));
    lines.push_back(line);
  }
  return lines;
}

const Sequence typed_sequences[] = {
    {"u with no key before is consumed for a typist", "u", {"0:"}},
    {"u after the separator is consumed for a typist", "k.u", {"1: 75", "1: 46 32", "0:"}},
    {"u after a vowel is consumed for a typist", "kiu", {"1: 75", "1: 161 101 129", "0:"}},
    {"u after the stack key's stack is consumed for a typist",
     "fkyau",
     {"1: 39", "1: 75", "1: 89", "1: 20 20 20 83", "0:"}},
    {"u after erasing the separator joins the letter",
     "k.\b\bu",
     {"1: 75", "1: 46 32", "1: 20", "1: 20", "1: 20 76"}},
    {"u after erasing a letter joins the one before",
     "gk\bu",
     {"1: 71", "1: 75", "1: 20", "1: 20 131 71 129"}},
    {"erasing a letter with u joined erases both", "ku\bu", {"1: 75", "1: 20 76", "1: 20", "0:"}},
    {"u after erasing everything is consumed", "k\bu", {"1: 75", "1: 20", "0:"}},
    {"u after erasing more than was typed is consumed",
     "k\b\b\bu",
     {"1: 75", "1: 20", "1: 20", "1: 20", "0:"}},
    {"a vowel after erasing takes the letter's sign", "ky\bi", {"1: 75", "1: 89", "1: 20", "1: 161 101 129"}},
    {"backspace in a stack pops it as before",
     "fk'\bi",
     {"1: 39", "1: 75", "1: 96", "1: 20", "1: 20 20 75 161 101 129"}},
    {"a stack's glyph erased leaves the key before it",
     "gfkya\bu",
     {"1: 71", "1: 39", "1: 75", "1: 89", "1: 20 20 20 83", "1: 20", "1: 20 131 71 129"}},
    {"without backspace the same as compose_key",
     "fkrigu.",
     {"1: 39", "1: 75", "1: 82", "1: 20 20 20 134 80 161 107 129", "1: 71", "1: 20 131 71 129", "1: 46 32"}},
};

TEST(composer, typed_keys_with_backspace_give_their_glyph_strings) {
  for (const auto& s : typed_sequences) EXPECT_EQ(type_with_history(s.keys), s.glyphs) << s.name;
  // Every sequence without BackSpace types as compose_key composes it.
  for (const auto& s : sequences) {
    if (s.keys.find('\b') != std::string::npos) continue;
    tsd::SyllableState state;
    EXPECT_EQ(type_with_history(s.keys), type(s.keys, state)) << s.name;
  }
}

TEST(composer, mode_0_passes_every_key_through) {
  tsd::SyllableState state;
  state.mode = 0;
  EXPECT_EQ(type("\bk\xc8", state), (std::vector<std::string>{"1: 8", "1: 107", "1: 200"}));
  EXPECT_EQ(state.last_mode, 0);
}

TEST(composer, a_change_of_mode_closes_the_open_stack) {
  tsd::SyllableState state;
  type("fk", state);
  state.mode = 0;
  EXPECT_EQ(press('k', state), "1: 107");
  state.mode = 1;
  // The stack is gone: "i" is a vowel after the stack key, the newest key outside a stack.
  EXPECT_EQ(press('i', state), "1: 161 101 129");
  EXPECT_EQ(state.depth, 0);
}

TEST(composer, backspace_to_the_stack_key_leaves_no_entry) {
  tsd::SyllableState state;
  type("fk\b", state);
  EXPECT_EQ(state.entry, 0);
  EXPECT_EQ(state.depth, 1);
  type("\b", state);
  EXPECT_EQ(state.entry, -1);
  EXPECT_EQ(state.depth, 0);
}

bool same_state(const tsd::SyllableState& a, const tsd::SyllableState& b) {
  return a.mode == b.mode && a.last_mode == b.last_mode && a.entry == b.entry &&
         a.match_stack == b.match_stack && a.depth == b.depth && std::string(a.stack_text) == b.stack_text &&
         a.stack_length == b.stack_length && a.apostrophe_flag == b.apostrophe_flag &&
         a.symbol1 == b.symbol1 && a.symbol2 == b.symbol2 && a.key_history == b.key_history;
}

TEST(composer, a_full_match_stack_refuses_the_key_and_changes_nothing) {
  tsd::SyllableState state;
  type("fk" + std::string(18, '\''), state);
  ASSERT_EQ(state.depth, tsd::kMatchStackSize);
  const tsd::SyllableState before = state;
  EXPECT_EQ(press('\'', state), "-1:");
  EXPECT_TRUE(same_state(state, before));
  // Closing the longest stack: 20 take-backs, the apostrophe base, the sign and the return to font 0.
  std::string expected = "1:";
  for (int i = 0; i < 20; ++i) expected += " 20";
  EXPECT_EQ(press('i', state), expected + " 132 75 161 101 129");
}

// Whatever is typed, a glyph string stays within 25 bytes, never holds 128 and ends in font 0.
TEST(composer, random_typing_keeps_the_glyph_string_invariants) {
  std::mt19937 random(11);
  const std::string keys = "fkrysn'aeiouE.gx\b\x18\x19\r\t";
  tsd::SyllableState state;
  for (int i = 0; i < 200000; ++i) {
    unsigned char buf[tsd::kGlyphBufferSize];
    tsd::compose_key(static_cast<unsigned char>(keys[random() % keys.size()]), buf, tables(), state);
    const std::string glyphs(reinterpret_cast<const char*>(buf));
    ASSERT_LE(glyphs.size(), static_cast<std::size_t>(tsd::kMaxGlyphString));
    int font = 0;
    for (unsigned char b : glyphs) {
      ASSERT_NE(b, 128);
      if (b >= tsd::kFontBase) font = b - tsd::kFontBase;
    }
    ASSERT_EQ(font, 0) << "after key " << i;
  }
}

TEST(vowel_code, names_the_form_of_each_vowel_sign) {
  const std::string vowels = "iueoEOJFL~`IU&%";
  for (std::size_t i = 0; i < vowels.size(); ++i)
    EXPECT_EQ(tsd::vowel_code(static_cast<unsigned char>(vowels[i])), static_cast<int>(i) + 1);
  for (unsigned char c : std::string("a$.'kA")) EXPECT_EQ(tsd::vowel_code(c), 0);
}

}  // namespace
