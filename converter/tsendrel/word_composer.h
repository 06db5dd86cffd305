// One word of the syllable file (a run of key characters) through the composer, as the font-code pass
// composes it; the fast path composes its words with the same class. Each key's glyph string ends at its
// first NUL; the word is given up when the composer refuses a key or its glyphs overflow kGlyphWordSize,
// and is then written as text, a raw passage. Words made from a composer at rest are remembered in a
// WordMemo and replayed from it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "char_class.h"
#include "composer.h"
#include "document.h"
#include "font_code_pass.h"
#include "layout.h"
#include "translit_tables.h"
#include "word_memo.h"

namespace tarvex {

// The key characters fed to the composer since the last word that wrote glyphs; when more collect than it
// holds, the oldest are dropped. The keys sit in [start_, end_) of a buffer twice that size, moved to its
// front only when they reach its end.
class TypedKeys {
 public:
  void add(int c);
  void clear() { start_ = end_ = 0; }
  template <typename Fn>
  void for_each(Fn fn) const {
    for (int i = start_; i < end_; ++i) fn(keys_[i]);
  }

 private:
  static constexpr int kRoom = 2 * kTypedKeysSize;

  std::array<unsigned char, kRoom> keys_{};
  int start_ = 0;
  int end_ = 0;
};

class WordComposer {
 public:
  WordComposer(const ConverterKeyTables& tables, tsd::SyllableState& state)
      : tables_(tables), state_(state) {}

  // How the last word ended.
  enum class Outcome { composed, refused, overflowed };

  tsd::SyllableState& state() { return state_; }
  // For replaying many remembered words at once; replayed() must follow.
  const WordMemo& memo() const { return memo_; }
  // Remembered words were replayed: the keys typed before them belong to no word any more.
  void replayed() { forget_typed_ = true; }

  // The remembered word of `keys` replayed from a composer at rest, its key history moved on; null when
  // the memo has none for this history.
  const MemoWord* replay(const MemoKeys& keys);

  // Starts a word. With `watched` holding its keys (the composer at rest), the memo learns it if it can.
  void start(const MemoKeys& watched = {});
  // Composes the word's next key; false when the word is given up (outcome() tells why).
  bool add(int key);
  // The word's glyphs with take-backs applied, once its last key is added; valid until the next start().
  std::span<const unsigned char> finish();
  // The memo's record of the word finished last, when it learned it.
  const MemoWord* learned() const { return learned_; }
  Outcome outcome() const { return outcome_; }

  // A word given up is written as text between the raw passage's markers: "~", the key_text of its keys
  // and of every byte after them up to white space. `put` takes text and returns false when a write
  // failed; so do these. The composer leaves any stack: the word was text.
  template <typename Put>
  bool open_raw(Put put) {
    const unsigned char start[] = {kRawStart, '~'};
    bool ok = put(std::string_view(reinterpret_cast<const char*>(start), sizeof start));
    typed_.for_each([&](unsigned char k) { ok = ok && put(std::string_view(key_text[k])); });
    forget_typed_ = true;
    state_.depth = 0;
    return ok;
  }
  // A byte after the word's keys: false when it is the white space that ends the passage.
  static bool in_raw(int c) { return !tsd::is_space(c); }
  template <typename Put>
  static bool raw_text(int c, Put put) {
    return put(std::string_view(key_text[static_cast<unsigned char>(c)]));
  }
  template <typename Put>
  static bool close_raw(Put put) {
    const char end = static_cast<char>(kRawEnd);
    return put(std::string_view(&end, 1));
  }
  // Whether the white space that ended the passage is laid out after it (a refused word) rather than
  // taken by it (an overflowing word).
  bool raw_leaves_white() const { return outcome_ == Outcome::refused; }

 private:
  const ConverterKeyTables& tables_;
  tsd::SyllableState& state_;
  WordMemo memo_;
  TypedKeys typed_;
  bool forget_typed_ = false;  // the typed keys are cleared when the next word starts
  MemoKeys watched_;
  WordWatch watch_;
  // The composer writes straight behind the word's glyphs; the word keeps them if they fit.
  std::array<unsigned char, kGlyphWordSize + tsd::kGlyphBufferSize> raw_{};
  int raw_length_ = 0;
  std::array<unsigned char, kGlyphWordSize> resolved_{};
  Outcome outcome_ = Outcome::composed;
  const MemoWord* learned_ = nullptr;
};

}  // namespace tarvex
