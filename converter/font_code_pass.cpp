#include "font_code_pass.h"

#include <array>
#include <cstring>
#include <string_view>

#include "log_status.h"
#include "translit_tables.h"
#include "word_memo.h"

namespace {

constexpr char kWriteFailed[] = "Could not write the output file.\rCheck whether you have enough disk space.";
constexpr char kOpenBracket[] = "Input file is missing ending right bracket ']'.\rPlease correct input file.";
constexpr char kOpenBrace[] = "Input file is missing ending right brace '}'.\rPlease correct input file.";

constexpr unsigned char kRawStart = 19;
constexpr unsigned char kRawEnd = 20;
constexpr unsigned char kBracedStart = 21;
constexpr unsigned char kBracedEnd = 22;
constexpr int kSmallStart = 23;
constexpr int kSmallEnd = 24;
constexpr int kWordBreak = 25;
constexpr int kFailed = -2;  // not a byte, not the end of the input
constexpr int kCompose = -3;
constexpr int kGetNext = -4;

constexpr char kPunctuation[] = ".,:?-";

// What the main loop does with an input character; most are keys for the composer.
enum class Kind : unsigned char {
  key,
  tab,
  line_break,
  word_break,
  blank,
  punctuation,
  hyphen,
  small_start,
  small_end,
  bracket,
  brace
};

constexpr auto kKinds = [] {
  std::array<Kind, 256> kinds{};
  kinds['\t'] = Kind::tab;
  kinds['\n'] = Kind::line_break;
  kinds[kWordBreak] = Kind::word_break;
  kinds[' '] = Kind::blank;
  kinds[','] = kinds[':'] = kinds['?'] = Kind::punctuation;
  kinds['-'] = Kind::hyphen;
  kinds[kSmallStart] = Kind::small_start;
  kinds[kSmallEnd] = Kind::small_end;
  kinds['['] = Kind::bracket;
  kinds['{'] = Kind::brace;
  return kinds;
}();

constexpr StopBits kKeyStops = stop_bits([](int c) { return kKinds[c] != Kind::key; });

// How many of the 16 bytes at `p` are keys before the first that is not: 16 when all are; most words end
// in the first 8.
std::size_t key_run(const unsigned char* p) {
  const int n = run_of_8(kKeyStops, p);
  return static_cast<std::size_t>(n < 8 ? n : 8 + run_of_8(kKeyStops, p + 8));
}

// The word's first key and the n < kMemoKeys keys after it, from `rest` with kMemoKeys bytes readable.
MemoKeys pack_keys(int first, const unsigned char* rest, std::size_t n) {
  const std::size_t count = n + 1;
  const std::size_t in_high = count > 8 ? count - 8 : 0;
  return {(static_cast<unsigned char>(first) | load_8(rest) << 8) & kKeepBytes[count - in_high],
          (load_8(rest + 7) & kKeepBytes[in_high]) | std::uint64_t{count} << 56};
}

bool is_white(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The input characters fed to the composer since the last flush; when more collect than it holds, the
// oldest are dropped. The keys sit in [start_, end_) of a buffer twice that size, moved to its front only
// when they reach its end.
class TypedKeys {
 public:
  void add(int c) {
    if (end_ == kRoom) {
      std::memmove(keys_.data(), keys_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    keys_[end_++] = static_cast<unsigned char>(c);
    if (end_ - start_ > kTypedKeysSize) ++start_;
  }
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

class FontCodePass {
 public:
  FontCodePass(tsd::Stream& in, tsd::Stream& out, int keep_cr, const ConverterKeyTables& key_tables,
               tsd::SyllableState& state, bool memoise_words)
      : in_(in),
        out_(out),
        keep_cr_(keep_cr != 0),
        memoise_words_(memoise_words),
        key_tables_(key_tables),
        state_(state) {}

  int run();

 private:
  // done: the character read becomes the last key unless it is white space; next: the step has settled
  // the last key itself.
  enum class Step { done, next, failed };

  Step handle(int c, Kind kind);
  bool end_word();
  bool line_break();
  bool passage(int close, unsigned char start, unsigned char end, const char* missing);
  int keys(int c);
  int replay_words(int& c, MemoKeys& watched);
  bool raw_passage(bool put_back_white);
  void g_rule();
  void clear_layout() { after_space_ = no_dot_ = last_key_ = newline_state_ = 0; }

  bool put(int c) { return out_.put(c) != tsd::Stream::end; }
  bool put_separator() { return separator_ == 0 || put(separator_); }
  bool put_text(std::string_view text) { return out_.write(text) != tsd::Stream::end; }
  static const char* text_of(int key) { return key_text[static_cast<unsigned char>(key)]; }

  tsd::Stream& in_;
  tsd::Stream& out_;
  const bool keep_cr_;
  const bool memoise_words_;
  const ConverterKeyTables& key_tables_;
  tsd::SyllableState& state_;
  WordMemo memo_;

  std::array<std::array<unsigned char, tsd::kGlyphBufferSize>, 5> punctuation_{};
  std::array<std::string_view, 5> punctuation_text_{};
  unsigned char separator_ = 0;
  std::array<unsigned char, kGlyphWordSize + tsd::kGlyphBufferSize> word_{};
  int word_length_ = 0;
  TypedKeys typed_;
  int last_key_ = 0;
  int after_space_ = 0;
  int no_dot_ = 0;
  int newline_state_ = 0;
};

int FontCodePass::run() {
  // A previous file may have ended inside a stack; the punctuation glyphs need the composer outside one.
  state_.depth = 0;
  for (int i = 0; i < 5; ++i) {
    tsd::compose_key(kPunctuation[i], punctuation_[i].data(), key_tables_, state_);
    punctuation_text_[i] = reinterpret_cast<const char*>(punctuation_[i].data());
  }
  separator_ = punctuation_[0][0];
  clear_layout();

  int c = in_.get();
  for (;;) {
    if (c == tsd::Stream::end) {
      if (!end_word() || out_.flush() != 0) {
        log_status("%s", kWriteFailed);
        return -1;
      }
      return 0;
    }
    const Kind kind = kKinds[c];
    if (kind == Kind::key) {
      if ((c = keys(c)) == kFailed) return -1;
      continue;
    }
    switch (handle(c, kind)) {
      case Step::failed:
        return -1;
      case Step::next:
        break;
      case Step::done:
        if (!is_white(c)) last_key_ = c;
        break;
    }
    c = in_.get();
  }
}

FontCodePass::Step FontCodePass::handle(int c, Kind kind) {
  bool ok = true;
  switch (kind) {
    case Kind::tab:
      newline_state_ = 0;
      ok = end_word() && put('\t');
      break;
    case Kind::line_break:
      ok = end_word() && line_break();
      break;
    case Kind::word_break:
      ok = end_word();
      break;
    case Kind::blank:
      if ((ok = end_word())) {
        after_space_ = 1;
        newline_state_ = 0;
        g_rule();
        ok = no_dot_ ? put(' ') : put_separator();
      }
      break;
    case Kind::punctuation:
      if ((ok = end_word())) {
        newline_state_ = 0;
        no_dot_ = 1;
        ok = (last_key_ != 'G' || put_separator()) &&
             put_text(punctuation_text_[std::strchr(kPunctuation, c) - kPunctuation]);
      }
      break;
    case Kind::hyphen:
      if ((ok = end_word())) {
        newline_state_ = 0;
        no_dot_ = 1;
        ok = put_text(punctuation_text_[4]);
      }
      break;
    case Kind::small_start:
      clear_layout();
      ok = end_word() && put(kSmallStart);
      break;
    case Kind::small_end:
      ok = end_word() && put(kSmallEnd);
      break;
    case Kind::bracket:
    case Kind::brace: {
      const bool bracket = kind == Kind::bracket;
      const int close = bracket ? ']' : '}';
      clear_layout();
      ok = end_word();
      if (!ok) break;
      if (!passage(close, bracket ? kRawStart : kBracedStart, bracket ? kRawEnd : kBracedEnd,
                   bracket ? kOpenBracket : kOpenBrace))
        return Step::failed;
      last_key_ = close;
      return Step::next;
    }
    case Kind::key:
      break;
  }
  if (ok) return Step::done;
  log_status("%s", kWriteFailed);
  return Step::failed;
}

// Flushes the word's glyphs, if any, and forgets its keys.
bool FontCodePass::end_word() {
  if (word_length_ == 0) return true;
  if (flush_glyphs(word_.data(), word_length_, out_) < 0) return false;
  word_length_ = 0;
  typed_.clear();
  return true;
}

bool FontCodePass::line_break() {
  if (keep_cr_) return put('\n');
  switch (newline_state_) {
    case 0:
      g_rule();
      newline_state_ = 1;
      if (!after_space_ && !no_dot_) return put_separator();
      return no_dot_ ? put(' ') : true;
    case 1:
      newline_state_ = 2;
      return put('\n') && put('\n');
    default:
      return put('\n');
  }
}

// Copies a bracketed or braced passage between its two marker bytes; false after logging a failure.
bool FontCodePass::passage(int close, unsigned char start, unsigned char end, const char* missing) {
  if (!put(start)) {
    log_status("%s", kWriteFailed);
    return false;
  }
  int c;
  while ((c = in_.get()) != close) {
    if (c == tsd::Stream::end) {
      // The bytes copied so far stay in the file.
      if (out_.flush() != 0) log_status("%s", kWriteFailed);
      log_status("%s", missing);
      return false;
    }
    if (!put(c)) {
      log_status("%s", kWriteFailed);
      return false;
    }
  }
  if (!put(end)) {
    log_status("%s", kWriteFailed);
    return false;
  }
  return true;
}

// Replays remembered words for as long as they follow one another with blanks, punctuation, word breaks
// and line breaks between them, all in the read and write windows. The layout steps between words are the
// main loop's own, for these characters; a `g` before a blank or a line break, which the g rule must look
// past, and every other character go back to the main loop. Returns the character that ended the replay,
// or kCompose when the word at `c` must go through the composer (`watched` then holds its keys if the
// memo may learn it).
int FontCodePass::replay_words(int& c, MemoKeys& watched) {
  const auto window = in_.window();
  const unsigned char* const start = window.data();
  const unsigned char* const end = start + window.size();
  const unsigned char* p = start;
  const auto room = out_.write_window();
  unsigned char* const write_start = room.data();
  unsigned char* const write_end = write_start + room.size();
  unsigned char* q = write_start;
  MemoHistory history(state_);
  int last_key = last_key_;
  int after_space = after_space_, no_dot = no_dot_, newline_state = newline_state_;
  int result = kCompose;
  const auto put_text = [&](const std::array<unsigned char, tsd::kGlyphBufferSize>& glyphs,
                            std::size_t length) {
    std::memcpy(q, glyphs.data(), glyphs.size());
    q += length;
  };
  // Room for a word's glyphs and the widest layout step after it.
  constexpr std::ptrdiff_t kRoomNeeded = kMemoGlyphs + tsd::kGlyphBufferSize + 2;
  while (end - p > kMemoKeys && write_end - q >= kRoomNeeded) {
    const std::size_t n = key_run(p);
    if (n >= kMemoKeys) break;
    const MemoKeys keys = pack_keys(c, p, n);
    const MemoWord* word = memo_.find(keys, history.keys);
    if (!word) {
      watched = keys;
      break;
    }
    word->replay(history);
    last_key = n > 0 ? p[n - 1] : c;
    after_space = no_dot = newline_state = 0;
    std::memcpy(q, word->glyphs.data(), kMemoGlyphs);
    q += word->glyph_count;
    p += n;
    // The characters up to the next word.
    int next = *p++;
    // The g rule looks at the character after a blank or line break that follows a `g`; false when that
    // character lies beyond the window, before anything has changed.
    const auto g_rule = [&] {
      if (last_key != 'g') return true;
      if (p == end) return false;
      const int after = *p;
      if (is_white(after) || after == ',' || after == '?' || after == '-') no_dot = 1;
      last_key = 0;
      return true;
    };
    const auto put_separator = [&] {
      *q = separator_;
      q += separator_ != 0;
    };
    for (;;) {
      const Kind kind = kKinds[next];
      if (kind == Kind::key) break;
      bool laid_out = true;
      switch (kind) {
        case Kind::blank:
          if (!(laid_out = g_rule())) break;
          after_space = 1;
          newline_state = 0;
          if (no_dot)
            *q++ = ' ';
          else
            put_separator();
          break;
        case Kind::punctuation:
        case Kind::hyphen: {
          newline_state = 0;
          no_dot = 1;
          const int index = kind == Kind::hyphen ? 4 : next == ',' ? 1 : next == ':' ? 2 : 3;
          if (kind == Kind::punctuation && last_key == 'G') put_separator();
          put_text(punctuation_[index], punctuation_text_[index].size());
          last_key = next;
          break;
        }
        case Kind::word_break:
          last_key = next;
          break;
        case Kind::small_start:
        case Kind::small_end:
          if (kind == Kind::small_start) after_space = no_dot = newline_state = 0;
          *q++ = static_cast<unsigned char>(next);
          last_key = next;
          break;
        case Kind::line_break:
          if (keep_cr_ || newline_state == 2) {
            *q++ = '\n';
          } else if (newline_state == 1) {
            newline_state = 2;
            *q++ = '\n';
            *q++ = '\n';
          } else if ((laid_out = g_rule())) {
            newline_state = 1;
            if (!after_space && !no_dot)
              put_separator();
            else if (no_dot)
              *q++ = ' ';
          }
          break;
        case Kind::bracket:
        case Kind::brace: {
          // A passage copied whole when it ends inside the window and fits the room left.
          const bool bracket = kind == Kind::bracket;
          const int close = bracket ? ']' : '}';
          const auto* found =
              static_cast<const unsigned char*>(std::memchr(p, close, static_cast<std::size_t>(end - p)));
          if (!found || write_end - q < (found - p) + kRoomNeeded) {
            laid_out = false;
            break;
          }
          after_space = no_dot = newline_state = 0;
          *q++ = bracket ? kRawStart : kBracedStart;
          std::memcpy(q, p, static_cast<std::size_t>(found - p));
          q += found - p;
          *q++ = bracket ? kRawEnd : kBracedEnd;
          p = found + 1;
          last_key = close;
          break;
        }
        default:
          laid_out = false;
          break;
      }
      if (!laid_out) {
        result = next;
        break;
      }
      if (p == end || write_end - q < kRoomNeeded) {
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
  out_.commit(static_cast<std::size_t>(q - write_start));
  last_key_ = last_key;
  after_space_ = after_space;
  no_dot_ = no_dot;
  newline_state_ = newline_state;
  typed_.clear();
  return result == kGetNext ? in_.get() : result;
}

// Feeds a run of key characters, the first already read, to the composer. Returns the character that
// ended the run, or kFailed after logging a failed write.
int FontCodePass::keys(int c) {
  // A word that lies whole in the read window, with the composer at rest, may have been made before.
  MemoKeys watched;  // the keys of a word not found, which the composer makes under watch
  WordWatch watch;
  if (memoise_words_ && composer_at_rest(state_)) {
    const int next = replay_words(c, watched);
    if (next != kCompose) return next;
    if (watched.length() > 0) watch.start(state_);
  }
  after_space_ = no_dot_ = newline_state_ = 0;
  bool refused = false;
  for (;;) {
    typed_.add(c);
    // The composer writes straight behind the word's glyphs; the word keeps them if they fit.
    unsigned char* glyphs = word_.data() + word_length_;
    int length = 0;
    if (tsd::compose_key(c, glyphs, key_tables_, state_, length) < 0) {
      refused = true;
      break;
    }
    // A glyph string ends at its first NUL, even when the table gave a code 0 inside it.
    for (int i = 0; i < length; ++i) {
      if (glyphs[i] == 0) {
        length = i;
        break;
      }
    }
    if (word_length_ + length > kGlyphWordSize) break;
    word_length_ += length;
    const int next = in_.get();
    if (next == tsd::Stream::end || kKinds[next] != Kind::key) {
      last_key_ = c;
      MemoWord made;
      if (watched.length() > 0 && watch.finish(watched, word_.data(), word_length_, state_, made))
        memo_.add(made);
      return next;
    }
    c = next;
  }
  // A refused key puts back the white space that ends the raw passage; an overflowing word consumes it.
  if (!raw_passage(refused)) {
    log_status("%s", kWriteFailed);
    return kFailed;
  }
  // The word is written whole as text; a stack left open would swallow the next word.
  state_.depth = 0;
  last_key_ = 0;
  word_length_ = 0;
  typed_.clear();
  return in_.get();
}

bool FontCodePass::raw_passage(bool put_back_white) {
  bool ok = put(kRawStart) && put('~');
  typed_.for_each([&](unsigned char k) { ok = ok && put_text(text_of(k)); });
  int c;
  while ((c = in_.get()) != tsd::Stream::end) {
    if (is_white(c)) {
      if (put_back_white) in_.unget(c);
      break;
    }
    ok = ok && put_text(text_of(c));
  }
  return ok && put(kRawEnd);
}

void FontCodePass::g_rule() {
  if (last_key_ != 'g') return;
  const int c = in_.get();
  if (is_white(c) || c == ',' || c == '?' || c == '-') no_dot_ = 1;
  in_.unget(c);
  last_key_ = 0;
}

}  // namespace

int font_code_pass(tsd::Stream& syllables, tsd::Stream& glyphs, int keep_cr,
                   const ConverterKeyTables& key_tables, tsd::SyllableState& state, bool memoise_words) {
  FontCodePass pass(syllables, glyphs, keep_cr, key_tables, state, memoise_words);
  return pass.run();
}

int flush_glyphs(const unsigned char* glyphs, int length, tsd::Stream& out) {
  std::array<unsigned char, kGlyphWordSize> word;
  int n = 0;
  for (int i = 0; i < length; ++i) {
    if (glyphs[i] == tsd::kTakeBack) {
      if (n > 0) --n;
    } else if (n < kGlyphWordSize) {
      word[n++] = glyphs[i];
    }
  }
  if (n > 0 && out.write(word.data(), n) != n) return -1;
  return n;
}
