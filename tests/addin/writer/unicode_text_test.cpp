#include "writer/unicode_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "composer.h"
#include "font_names.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace tibet::writer {
namespace {

const std::string kData = tsd::join_path(TSENDREL_SOURCE_DIR, "data");

template <int Forms>
std::unique_ptr<tsd::KeyTables<Forms>> load_tables() {
  auto tables = std::make_unique<tsd::KeyTables<Forms>>();
  const std::string keyfont = tsd::join_path(kData, "keyfont");
  const std::string keymap = tsd::join_path(kData, "keymap");
  EXPECT_EQ(tsd::load_key_tables(keyfont.c_str(), keymap.c_str(), *tables, nullptr), 0);
  return tables;
}

const tarvex::ConverterKeyTables& converter_tables() {
  static const auto tables = load_tables<tsd::kConverterForms>();
  return *tables;
}

const tsd::KeyTables<tsd::kAddinForms>& addin_tables() {
  static const auto tables = load_tables<tsd::kAddinForms>();
  return *tables;
}

// A typist at 24 points in Korlam: keys ("\b" BackSpace) typed as the add-in types them, played into
// `typing`, each key's edit applied to `document` (UTF-16, the cursor at its end). Every glyph is also
// kept in `glyphs`, taken back as the document's glyphs are.
struct Typist {
  explicit Typist(UnicodeTyping& t) : typing(t) { state.mode = 1; }

  UnicodeEdit type(const std::string& keys) {
    UnicodeEdit edit;
    for (const char key : keys) {
      unsigned char out[tsd::kGlyphBufferSize];
      tsd::type_key(key == '\b' ? 8 : key, out, addin_tables(), state, history);
      for (int i = 0; out[i] != 0; ++i) {
        if (out[i] >= tsd::kFontBase) {
          font = out[i] - tsd::kFontBase;
          typing.set_font(tsd::kFontNames[static_cast<std::size_t>(font)].data(), 24);
        } else if (out[i] == tsd::kTakeBack) {
          EXPECT_EQ(typing.take_back(1), 0);
          glyphs.pop_back();
        } else {
          typing.insert(std::string(1, static_cast<char>(out[i])));
          glyphs.push_back({font, 48, out[i]});
        }
      }
      edit = typing.settle();
      EXPECT_LE(static_cast<std::size_t>(edit.take_back), document.size());
      document.resize(document.size() - std::min(document.size(), static_cast<std::size_t>(edit.take_back)));
      document += utf16_of(edit.insert);
    }
    return edit;
  }

  static std::u16string utf16_of(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;  // the Tibetan block and ASCII: no four-byte forms
      char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : b & 0x0F;
      for (int k = 1; k < n; ++k)
        c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
      out += static_cast<char16_t>(c);
      i += static_cast<std::size_t>(n);
    }
    return out;
  }

  UnicodeTyping& typing;
  tsd::SyllableState state;
  tsd::TypedHistory history;
  int font = 0;
  std::u16string document;
  std::vector<StyledChar> glyphs;
};

struct TypingCase {
  const char* name;
  const char* keys;
  std::u16string unicode;  // what tsendrel-unicode reads from wordhost's document of the keys
  int last_take_back;      // characters the last key's edit deletes
};

const TypingCase kTypingCases[] = {
    {"one_letter", "ka", u"\u0F40", 0},
    {"stack_and_tshegs", "bfkra.Sis.", u"\u0F56\u0F40\u0FB2\u0F0B\u0F64\u0F72\u0F66\u0F0B", 0},
    {"vowel_joins_the_letter_before", "rgyal po'i sku ",
     u"\u0F62\u0F42\u0F61\u0F63\u0F54\u0F7C\u0F60\u0F72\u0F66\u0F40\u0F74", 0},
    {"take_back_rewrites_the_syllable", "bsgrubs\bs ", u"\u0F56\u0F66\u0F42\u0F62\u0F74\u0F56\u0F66", 0},
    {"take_back_of_the_last_glyph", "kag\b", u"\u0F40", 1},
};

class UnicodeTypingCases : public ::testing::TestWithParam<TypingCase> {};

TEST_P(UnicodeTypingCases, EachKeyRewritesOnlyWhatChanged) {
  UnicodeTyping typing(converter_tables());
  Typist typist(typing);
  const std::string keys = GetParam().keys;
  typist.type(keys.substr(0, keys.size() - 1));
  const UnicodeEdit last = typist.type(keys.substr(keys.size() - 1));
  EXPECT_EQ(typist.document, GetParam().unicode);
  EXPECT_EQ(last.take_back, GetParam().last_take_back);
}

INSTANTIATE_TEST_SUITE_P(Keys, UnicodeTypingCases, ::testing::ValuesIn(kTypingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnicodeTyping, LongTypingLetsGoOfOldGlyphsAndStillReadsAsTheWhole) {
  UnicodeTyping typing(converter_tables());
  Typist typist(typing);
  for (int i = 0; i < 150; ++i) typist.type(i % 7 == 3 ? "bsgrubs\bs " : "bfkra.Sis.");
  // The whole document read at once, as tsendrel-unicode reads it.
  EXPECT_EQ(typist.document, Typist::utf16_of(tsendrel_to_unicode(converter_tables(), typist.glyphs)));
  EXPECT_GT(typist.glyphs.size(), 1000u);
  EXPECT_LE(typing.glyphs_held(), 256u);
}

TEST(UnicodeTyping, TakeBackBeyondTheStretchIsLeftToTheDocument) {
  UnicodeTyping typing(converter_tables());
  typing.set_font("Korlam-a", 24);
  typing.insert("k");
  EXPECT_EQ(typing.take_back(3), 2);
  typing.reset();
  EXPECT_EQ(typing.take_back(1), 1);
  EXPECT_EQ(typing.settle().take_back, 0);
}

TEST(CharacterCount, CountsWhatWritersCursorsCount) {
  const std::pair<std::string_view, int> cases[] = {
      {"", 0}, {"ka", 2}, {"\u0F40\u0FB2\u0F72", 3}, {"\U0001F600a", 2}, {"\u00E9\u0F0B", 2}};
  for (const auto& [text, count] : cases) EXPECT_EQ(character_count(text), count) << text;
}

struct FontFileCase {
  const char* name;
  const char* text;  // nullptr: no file
  const char* font;
};

const FontFileCase kFontFileCases[] = {
    {"no_file", nullptr, "Tibetan Machine Uni"},
    {"a_name", "Jomolhari\n", "Jomolhari"},
    {"a_name_with_blanks_after_it", "DDC Uchen  \nmore\n", "DDC Uchen"},
    {"empty", "", "Tibetan Machine Uni"},
    {"too_long", "0123456789012345678901234567890123456789012345678901234567890123\n", "Tibetan Machine Uni"},
};

class UnicodeFontFile : public ::testing::TestWithParam<FontFileCase> {};

TEST_P(UnicodeFontFile, ReadsTheFirstLineOrTheDefault) {
  tsd::testing::TempDir dir;
  if (GetParam().text) dir.write(kUnicodeFontFile, GetParam().text);
  EXPECT_EQ(read_unicode_font(dir.path()), GetParam().font);
}

INSTANTIATE_TEST_SUITE_P(Files, UnicodeFontFile, ::testing::ValuesIn(kFontFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnicodeFontFile, SavedNameReadsBackAndBadNamesAreRefused) {
  tsd::testing::TempDir dir;
  std::string why;
  EXPECT_EQ(save_unicode_font(dir.path(), "Noto Serif Tibetan", why), 0);
  EXPECT_EQ(read_unicode_font(dir.path()), "Noto Serif Tibetan");
  EXPECT_EQ(save_unicode_font(dir.path(), "", why), -1);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(save_unicode_font(tsd::join_path(dir.path(), "no such folder"), "Jomolhari", why), -1);
  EXPECT_NE(why.find("no such folder"), std::string::npos);
  EXPECT_EQ(read_unicode_font(dir.path()), "Noto Serif Tibetan");
}

}  // namespace
}  // namespace tibet::writer
