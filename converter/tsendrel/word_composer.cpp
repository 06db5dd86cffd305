#include "word_composer.h"

#include <cstring>

namespace tarvex {

void TypedKeys::add(int c) {
  if (end_ == kRoom) {
    std::memmove(keys_.data(), keys_.data() + start_, static_cast<std::size_t>(end_ - start_));
    end_ -= start_;
    start_ = 0;
  }
  keys_[end_++] = static_cast<unsigned char>(c);
  if (end_ - start_ > kTypedKeysSize) ++start_;
}

const MemoWord* WordComposer::replay(const MemoKeys& keys) {
  MemoHistory history(state_);
  const MemoWord* word = memo_.find(keys, history.keys);
  if (!word) return nullptr;
  word->effect.replay(history);
  history.store(state_);
  forget_typed_ = true;
  return word;
}

void WordComposer::start(const MemoKeys& watched) {
  if (forget_typed_) typed_.clear();
  forget_typed_ = false;
  raw_length_ = 0;
  outcome_ = Outcome::composed;
  learned_ = nullptr;
  watched_ = watched;
  if (watched_.length() > 0) watch_.start(state_);
}

bool WordComposer::add(int key) {
  typed_.add(key);
  unsigned char* glyphs = raw_.data() + raw_length_;
  int length = 0;
  if (tsd::compose_key(key, glyphs, tables_, state_, length) < 0) {
    outcome_ = Outcome::refused;
    return false;
  }
  // A glyph string ends at its first NUL, even when the table gave a code 0 inside it.
  for (int i = 0; i < length; ++i) {
    if (glyphs[i] == 0) {
      length = i;
      break;
    }
  }
  if (raw_length_ + length > kGlyphWordSize) {
    outcome_ = Outcome::overflowed;
    return false;
  }
  raw_length_ += length;
  return true;
}

std::span<const unsigned char> WordComposer::finish() {
  // Keys typed into a word that wrote nothing stay with the next word's, for its raw passage.
  forget_typed_ = raw_length_ > 0;
  const std::span<const unsigned char> glyphs(
      resolved_.data(), static_cast<std::size_t>(resolve_glyphs(raw_.data(), raw_length_, resolved_.data())));
  MemoWord made;
  if (watched_.length() > 0 && watch_.finish(watched_, raw_length_, glyphs, state_, made))
    learned_ = memo_.add(made);
  return glyphs;
}

}  // namespace tarvex
