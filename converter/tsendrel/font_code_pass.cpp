#include "font_code_pass.h"

#include <array>
#include <cstring>
#include <string_view>

#include "layout.h"
#include "translit_tables.h"
#include "word_composer.h"
#include "word_memo.h"

namespace tarvex {

namespace {

constexpr int kFailed = -2;  // not a byte, not the end of the input
constexpr int kCompose = -3;
constexpr int kGetNext = -4;

// The word's first key and the n < kMemoKeys keys after it, from `rest` with kMemoKeys bytes readable.
MemoKeys pack_keys(int first, const unsigned char* rest, std::size_t n) {
  const std::size_t count = n + 1;
  const std::size_t in_high = count > 8 ? count - 8 : 0;
  return {(static_cast<unsigned char>(first) | load_8(rest) << 8) & kKeepBytes[count - in_high],
          (load_8(rest + 7) & kKeepBytes[in_high]) | std::uint64_t{count} << 56};
}

class FontCodePass {
 public:
  FontCodePass(tsd::Stream& in, tsd::Stream& out, int keep_cr, const ConverterKeyTables& key_tables,
               tsd::SyllableState& state, const StatusSink& status, bool memoise_words,
               std::vector<RawWord>* raw_words)
      : in_(in),
        out_(out),
        memoise_words_(memoise_words),
        raw_words_(raw_words),
        key_tables_(key_tables),
        state_(state),
        status_(status),
        composer_(key_tables, state),
        layout_(marks_, keep_cr != 0) {}

  int run();

 private:
  // done: the step went well; failed: a failure was logged.
  enum class Step { done, failed };

  Step handle(int c, Kind kind);
  bool end_word();
  bool passage(int close, const char* missing);
  int keys(int c);
  int replay_words(int& c, MemoKeys& watched);
  bool raw_passage();

  bool put(int c) { return out_.put(c) != tsd::Stream::end; }
  bool put_text(std::string_view text) { return out_.write(text) != tsd::Stream::end; }
  // The g rule's look past a blank or line break.
  int peek() {
    const int c = in_.get();
    in_.unget(c);
    return c;
  }

  tsd::Stream& in_;
  tsd::Stream& out_;
  StreamOut stream_out_{out_};
  const bool memoise_words_;
  std::vector<RawWord>* raw_words_;
  const ConverterKeyTables& key_tables_;
  tsd::SyllableState& state_;
  const StatusSink& status_;
  WordComposer composer_;

  LayoutMarks marks_;
  Layout layout_;
  // The glyphs of the word just composed, written when the word ends.
  std::span<const unsigned char> word_;
};

int FontCodePass::run() {
  marks_ = font_code_marks(key_tables_, state_);
  layout_.clear();

  int c = in_.get();
  for (;;) {
    if (c == tsd::Stream::end) {
      if (!end_word() || out_.flush() != 0) {
        status_.log_status("%s", kWriteFailed);
        return -1;
      }
      return 0;
    }
    const Kind kind = kKinds[c];
    if (kind == Kind::key) {
      if ((c = keys(c)) == kFailed) return -1;
      continue;
    }
    if (handle(c, kind) == Step::failed) return -1;
    c = in_.get();
  }
}

FontCodePass::Step FontCodePass::handle(int c, Kind kind) {
  const auto peek = [this] { return this->peek(); };
  bool ok = end_word();
  switch (kind) {
    case Kind::bracket:
    case Kind::brace: {
      const bool bracket = kind == Kind::bracket;
      if (!ok) break;
      return passage(bracket ? ']' : '}', bracket ? kOpenBracket : kOpenBrace) ? Step::done : Step::failed;
    }
    default:
      ok = ok && layout_.between_words(stream_out_, c, kind, peek);
      break;
  }
  if (ok) return Step::done;
  status_.log_status("%s", kWriteFailed);
  return Step::failed;
}

// Writes the word's glyphs, if any.
bool FontCodePass::end_word() {
  if (word_.empty()) return true;
  const std::span<const unsigned char> word = word_;
  word_ = {};
  return out_.write(word.data(), word.size()) == static_cast<int>(word.size());
}

// Copies a bracketed or braced passage between its two marks; false after logging a failure.
bool FontCodePass::passage(int close, const char* missing) {
  const bool bracket = close == ']';
  if (!layout_.passage_start(stream_out_, bracket)) {
    status_.log_status("%s", kWriteFailed);
    return false;
  }
  int c;
  while ((c = in_.get()) != close) {
    if (c == tsd::Stream::end) {
      // The bytes copied so far stay in the file.
      if (out_.flush() != 0) status_.log_status("%s", kWriteFailed);
      status_.log_status("%s", missing);
      return false;
    }
    if (!put(c)) {
      status_.log_status("%s", kWriteFailed);
      return false;
    }
  }
  if (!layout_.passage_end(stream_out_, bracket)) {
    status_.log_status("%s", kWriteFailed);
    return false;
  }
  return true;
}

// Replays remembered words for as long as they follow one another with blanks, punctuation, word breaks
// and line breaks between them, all in the read and write windows, laying out what lies between them by
// the same rules as the main loop. A `g` before a blank or a line break whose next character lies beyond
// the window, and every other character, go back to the main loop. Returns the character that ended the
// replay, or kCompose when the word at `c` must go through the composer (`watched` then holds its keys if
// the memo may learn it). Not run by run_windows: it starts at a key already read by get() and hands the
// byte after it back, the composer's word open between, where run_windows hands bytes one way.
int FontCodePass::replay_words(int& c, MemoKeys& watched) {
  const auto window = in_.window();
  const unsigned char* const start = window.data();
  const unsigned char* const end = start + window.size();
  const unsigned char* p = start;
  const auto room = out_.write_window();
  unsigned char* const write_start = room.data();
  unsigned char* const write_end = write_start + room.size();
  WindowOut out{write_start};
  MemoHistory history(state_);
  // Worked on a copy, so that a replay that stops at once leaves the layout as it was.
  Layout layout = layout_;
  int result = kCompose;
  // Room for a word's glyphs and the widest layout step after it.
  constexpr std::ptrdiff_t kRoomNeeded = kMemoGlyphs + LayoutMark::kSize + 2;
  const auto peek = [&] { return p == end ? kUnseen : *p; };
  while (end - p > kMemoKeys && write_end - out.at >= kRoomNeeded) {
    const std::size_t n = key_run(p);
    if (n >= kMemoKeys) break;
    const MemoKeys keys = pack_keys(c, p, n);
    const MemoWord* word = composer_.memo().find(keys, history.keys);
    if (!word) {
      watched = keys;
      break;
    }
    word->effect.replay(history);
    layout.key();
    layout.last_key = n > 0 ? p[n - 1] : c;
    std::memcpy(out.at, word->glyphs.data(), kMemoGlyphs);
    out.at += word->glyph_count;
    p += n;
    // The characters up to the next word.
    int next = *p++;
    for (;;) {
      const Kind kind = kKinds[next];
      if (kind == Kind::key) break;
      bool laid_out = true;
      switch (kind) {
        case Kind::bracket:
        case Kind::brace: {
          // A passage copied whole when it ends inside the window and fits the room left.
          const bool bracket = kind == Kind::bracket;
          const auto* found = static_cast<const unsigned char*>(
              std::memchr(p, bracket ? ']' : '}', static_cast<std::size_t>(end - p)));
          if (!found || write_end - out.at < (found - p) + kRoomNeeded) {
            laid_out = false;
            break;
          }
          layout.passage_start(out, bracket);
          std::memcpy(out.at, p, static_cast<std::size_t>(found - p));
          out.at += found - p;
          layout.passage_end(out, bracket);
          p = found + 1;
          break;
        }
        default:
          laid_out = layout.between_words(out, next, kind, peek);
          break;
      }
      if (!laid_out) {
        result = next;
        break;
      }
      if (p == end || write_end - out.at < kRoomNeeded) {
        result = kGetNext;
        break;
      }
      next = *p++;
    }
    if (result != kCompose) break;
    c = next;
  }
  if (p == start) return kCompose;
  history.store(state_);
  in_.advance(static_cast<std::size_t>(p - start));
  out_.commit(static_cast<std::size_t>(out.at - write_start));
  layout_ = layout;
  composer_.replayed();
  return result == kGetNext ? in_.get() : result;
}

// Feeds a run of key characters, the first already read, to the composer. Returns the character that
// ended the run, or kFailed after logging a failed write.
int FontCodePass::keys(int c) {
  // A word that lies whole in the read window, with the composer at rest, may have been made before.
  MemoKeys watched;  // the keys of a word not found, which the composer makes under watch
  if (memoise_words_ && composer_at_rest(state_)) {
    const int next = replay_words(c, watched);
    if (next != kCompose) return next;
  }
  layout_.key();
  composer_.start(watched);
  for (;;) {
    if (!composer_.add(c)) break;
    const int next = in_.get();
    if (next == tsd::Stream::end || kKinds[next] != Kind::key) {
      layout_.last_key = c;
      word_ = composer_.finish();
      return next;
    }
    c = next;
  }
  // The key just read is where the word was given up.
  const bool refused = composer_.outcome() == WordComposer::Outcome::refused;
  if (raw_words_) raw_words_->push_back({in_.read_offset() - 1, refused});
  if (!raw_passage()) {
    status_.log_status("%s", kWriteFailed);
    return kFailed;
  }
  layout_.last_key = 0;
  return in_.get();
}

bool FontCodePass::raw_passage() {
  const auto put = [this](std::string_view text) { return put_text(text); };
  bool ok = composer_.open_raw(put);
  int c;
  while ((c = in_.get()) != tsd::Stream::end) {
    if (!WordComposer::in_raw(c)) {
      if (composer_.raw_leaves_white()) in_.unget(c);
      break;
    }
    ok = ok && WordComposer::raw_text(c, put);
  }
  return ok && WordComposer::close_raw(put);
}

}  // namespace

int font_code_pass(tsd::Stream& syllables, tsd::Stream& glyphs, int keep_cr,
                   const ConverterKeyTables& key_tables, tsd::SyllableState& state, const StatusSink& status,
                   bool memoise_words, std::vector<RawWord>* raw_words) {
  FontCodePass pass(syllables, glyphs, keep_cr, key_tables, state, status, memoise_words, raw_words);
  return pass.run();
}

LayoutMarks font_code_marks(const ConverterKeyTables& key_tables, tsd::SyllableState& state) {
  LayoutMarks marks;
  // A previous file may have ended inside a stack; the punctuation glyphs need the composer outside one.
  state.depth = 0;
  for (int i = 0; i < 5; ++i) {
    std::array<unsigned char, tsd::kGlyphBufferSize> glyphs{};
    tsd::compose_key(kPunctuation[i], glyphs.data(), key_tables, state);
    marks.punctuation[i] =
        mark_of(glyphs.data(), static_cast<int>(std::strlen(reinterpret_cast<const char*>(glyphs.data()))));
  }
  // The separator is the first byte of the `.` glyph (the composer writes a space after it).
  marks.separator = mark_of(marks.punctuation[0].bytes.data(), marks.punctuation[0].length > 0 ? 1 : 0);
  const unsigned char markers[] = {kRawStart, kRawEnd, kBracedStart, kBracedEnd, kSmallStart, kSmallEnd};
  for (int i = 0; i < 6; ++i) marks.passage[i / 2][i % 2] = mark_of(&markers[i], 1);
  return marks;
}

int resolve_glyphs(const unsigned char* glyphs, int length, unsigned char* out) {
  int n = 0;
  for (int i = 0; i < length; ++i) {
    if (glyphs[i] == tsd::kTakeBack) {
      if (n > 0) --n;
    } else if (n < kGlyphWordSize) {
      out[n++] = glyphs[i];
    }
  }
  return n;
}

}  // namespace tarvex
