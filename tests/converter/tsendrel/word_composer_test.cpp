// The composition of one word that the font-code pass and the fast path share: how a word ends, the
// text of a word given up, and the keys that a word writing nothing leaves to the next.
#include "word_composer.h"

#include <string>

#include "driver_support.h"

using namespace tarvex;

namespace {

struct Composed {
  WordComposer::Outcome outcome;
  std::string raw;  // the raw passage's start when given up
};

Composed compose(WordComposer& composer, const std::string& keys) {
  composer.start();
  for (const char k : keys) {
    if (!composer.add(static_cast<unsigned char>(k))) {
      std::string raw;
      composer.open_raw([&raw](std::string_view text) {
        raw += text;
        return true;
      });
      return {composer.outcome(), raw};
    }
  }
  composer.finish();
  return {composer.outcome(), ""};
}

TEST(word_composer, a_word_ends_composed_refused_or_overflowing_and_its_text_holds_its_keys) {
  // A stack writes its letters and takes them back: the glyph bytes of fifteen "fska" overflow the word
  // at the last "k". The stack key has no text.
  std::string many, many_text = "\x13~";
  for (int i = 0; i < 15; ++i) {
    many += "fska";
    many_text += "SKA";
  }
  many_text.pop_back();
  const struct {
    std::string keys;
    WordComposer::Outcome outcome;
    std::string raw;
  } cases[] = {
      {"fska", WordComposer::Outcome::composed, ""},
      {"fs" + std::string(19, '\''), WordComposer::Outcome::refused, "\x13~S" + std::string(19, '\'')},
      {many, WordComposer::Outcome::overflowed, many_text},
      {many.substr(4), WordComposer::Outcome::composed, ""},
  };
  for (const auto& c : cases) {
    tsd::SyllableState state;
    WordComposer composer(h2test::test_key_tables(), state);
    const Composed got = compose(composer, c.keys);
    EXPECT_EQ(got.outcome, c.outcome) << c.keys;
    EXPECT_EQ(h2test::escape(got.raw), h2test::escape(c.raw));
    if (c.outcome != WordComposer::Outcome::composed) {
      EXPECT_EQ(state.depth, 0) << "the word given up is text";
    }
    EXPECT_EQ(composer.raw_leaves_white(), c.outcome == WordComposer::Outcome::refused) << c.keys;
  }
}

// Digits compose nothing in the test tables: their keys stay typed until a word writes glyphs, so a
// word given up after them writes them too; after a word that wrote glyphs, only its own.
TEST(word_composer, keys_of_words_that_wrote_nothing_go_into_the_next_raw_passage) {
  const std::string refused = "fs" + std::string(19, '\'');
  const struct {
    std::vector<std::string> before;
    std::string raw;
  } cases[] = {
      {{}, "\x13~S" + std::string(19, '\'')},
      {{"12", "3"}, "\x13~123S" + std::string(19, '\'')},
      {{"12", "ka"}, "\x13~S" + std::string(19, '\'')},
      {{"ka", "4"}, "\x13~4S" + std::string(19, '\'')},
  };
  for (const auto& c : cases) {
    tsd::SyllableState state;
    WordComposer composer(h2test::test_key_tables(), state);
    for (const std::string& word : c.before) compose(composer, word);
    EXPECT_EQ(h2test::escape(compose(composer, refused).raw), h2test::escape(c.raw));
  }
}

}  // namespace
