// The back of the fast path: what it writes for each item the scan hands it, by the writer that ends the
// route's chain (the Unicode text, the Unicode RTF, the Tsendrel RTF through the composer), with the words
// each writer remembers.
#pragma once

#include "fast_words.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

// Bytes in memory read as a stream reads them, for the Unicode RTF writer's rules.
struct SpanBytes {
  const unsigned char* p;
  const unsigned char* end;
  int get() { return p < end ? *p++ : tsd::Stream::end; }
  void unget(int c) {
    if (c != tsd::Stream::end) --p;
  }
};

// Output into a fixed room, which notes when the room was too small.
struct BoundedOut {
  unsigned char* at;
  unsigned char* const end;
  bool overflowed = false;
  void put(int c) {
    const auto byte = static_cast<unsigned char>(c);
    write(&byte, 1);
  }
  void write(const void* bytes, std::size_t n) {
    if (overflowed || n > static_cast<std::size_t>(end - at)) {
      overflowed = true;
      return;
    }
    std::memcpy(at, bytes, n);
    at += n;
  }
};

// The output, gathered in a block and handed to the stream whole.
class Output {
 public:
  static constexpr std::size_t kBlock = 1 << 16;
  static constexpr std::size_t kRoom = 1 << 10;  // the widest step written in place

  explicit Output(tsd::Stream& stream) : stream_(stream), buf_(new unsigned char[kBlock + kRoom]) {}

  // Room for one step; done() keeps what it wrote.
  [[gnu::always_inline]] WindowOut at() {
    if (length_ > kBlock) flush();
    return WindowOut{buf_.get() + length_};
  }
  void done(const WindowOut& out) { length_ = static_cast<std::size_t>(out.at - buf_.get()); }
  bool plain() const { return true; }
  WindowOut direct() { return at(); }
  void put(int c) {
    const auto byte = static_cast<unsigned char>(c);
    write(&byte, 1);
  }
  // A remembered word's output.
  [[gnu::always_inline]] void copy(const Word& w, int n) {
    WindowOut o = at();
    copy_output(w, n, o.at);
    o.at += n;
    done(o);
  }
  // Out of line: inlined into the Unicode RTF writer's short writes, GCC cannot see that they fit.
  [[gnu::noinline]] void write(const void* bytes, std::size_t n) {
    if (n > kRoom) {
      flush();
      stream_.write(bytes, n);
      return;
    }
    WindowOut out = at();
    std::memcpy(out.at, bytes, n);
    length_ += n;
  }
  void flush() {
    if (length_ > 0) stream_.write(buf_.get(), length_);
    length_ = 0;
  }
  // Writing in place through a cursor, for the Tsendrel RTF's rules.
  unsigned char* cursor() { return buf_.get() + length_; }
  const unsigned char* limit() const { return buf_.get() + kBlock; }
  unsigned char* spill(unsigned char* to) {
    settle(to);
    flush();
    return buf_.get();
  }
  void settle(const unsigned char* to) { length_ = static_cast<std::size_t>(to - buf_.get()); }

 private:
  static_assert(kRoom >= TsendrelRtf<Output>::kWidestPiece);

  tsd::Stream& stream_;
  std::unique_ptr<unsigned char[]> buf_;
  std::size_t length_ = 0;
};

bool all_keys(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (kKinds[p[i]] != Kind::key) return false;
  return n > 0;
}

// The bytes readable past any run of syllable-file bytes handed to the back: a word is packed with a
// 16-byte load.
constexpr std::size_t kReadPast = 16;

// The last passes over syllable-file bytes handed to them a word or a mark at a time: the layout between
// words, and the words through `Words` (the Unicode pass's or the font-code pass's). A blank or line break
// whose g rule needs the byte after it waits for the next bytes. `Sink` takes what the layout writes.
template <typename Words, typename Sink>
class Back {
 public:
  Back(Words& words, Sink& out, bool keep_cr) : words_(words), out_(out), layout_(words.marks(), keep_cr) {}

  void prepare(Word& w) const { words_.prepare(w); }
  bool check(const std::vector<std::string_view>& learned, tsd::Stream& file) {
    return words_.check(learned, file);
  }

  void word(Word& w) {
    if (w.length == 0) {
      if (w.spilled) [[unlikely]] {
        const std::string& spilled = spilled_.find(&w)->second;
        bytes(reinterpret_cast<const unsigned char*>(spilled.data()), spilled.size() - kReadPast);
      }
      return;
    }
    resolve(w.bytes[0]);
    const std::size_t taken = words_.whole(w, layout_, out_);
    if (words_.raw_open()) [[unlikely]]
      gave_up_ = true;
    if (taken < w.length) bytes(w.bytes.data() + taken, w.length - taken);
  }

  // A word and the blank after it: where the word is remembered with the blank, one copy.
  [[gnu::always_inline]] void word_and_blank(Word& w) {
    if (waiting_ < 0 && words_.whole_and_blank(w, layout_, out_)) return;
    word(w);
    byte(' ');
  }

  // A byte between words. Blanks, punctuation and line breaks, the commonest, are laid out straight into
  // the output wherever it writes them as they are (outside passages and small text).
  [[gnu::always_inline]] void byte(unsigned char c) {
    const Kind kind = kKinds[c];
    if (waiting_ >= 0 || !out_.plain()) {
      bytes(&c, 1);
      return;
    }
    const auto unseen = [] { return kUnseen; };
    if (kind == Kind::blank) {
      auto direct = out_.direct();
      if (!layout_.blank(direct, unseen)) waiting_ = c;
      out_.done(direct);
      return;
    }
    mark(c, kind);
  }

  // Keeps the syllable-file bytes that a word's record has no room for, until it is learned again or
  // forgotten.
  void spill(Word& w, std::string_view bytes) {
    w.length = 0;
    w.spilled = true;
    spilled_[&w] = std::string(bytes).append(kReadPast, ' ');
  }
  void forget(const Word& w) { spilled_.erase(&w); }

  // Bytes that hold whole words and passages.
  void bytes(const unsigned char* p, std::size_t n) {
    const unsigned char* const end = p + n;
    p = words_.raw_text(p, end, out_);
    if (p == end) return;
    resolve(*p);
    while (p < end) {
      const int c = *p;
      const Kind kind = kKinds[c];
      if (kind == Kind::key) {
        const unsigned char* q = p;
        while (q < end && kKinds[*q] == Kind::key) ++q;
        const std::size_t taken = words_.key_word(p, static_cast<std::size_t>(q - p), layout_, out_);
        if (taken == 0) failed_ = true;
        if (words_.raw_open()) [[unlikely]] {
          gave_up_ = true;
          p = words_.raw_text(p + taken, end, out_);
          continue;
        }
        p = q;
        continue;
      }
      if (kind == Kind::bracket || kind == Kind::brace) {
        const bool bracket = kind == Kind::bracket;
        const auto* close = static_cast<const unsigned char*>(
            std::memchr(p + 1, bracket ? ']' : '}', static_cast<std::size_t>(end - p - 1)));
        if (!close) {
          failed_ = true;
          return;
        }
        WindowOut out = out_.at();
        layout_.passage_start(out, bracket);
        out_.done(out);
        out_.write(p + 1, static_cast<std::size_t>(close - p - 1));
        out = out_.at();
        layout_.passage_end(out, bracket);
        out_.done(out);
        p = close + 1;
        continue;
      }
      WindowOut out = out_.at();
      const bool laid_out = layout_.between_words(out, c, kind, [&] { return p + 1 < end ? p[1] : kUnseen; });
      out_.done(out);
      if (!laid_out) {
        waiting_ = c;  // only the last byte can wait
        return;
      }
      ++p;
    }
  }

  void finish() {
    resolve(tsd::Stream::end);
    words_.finish(out_);
  }
  bool failed() const { return failed_; }
  // Whether a word was given up and written as text.
  bool gave_up() const { return gave_up_; }

 private:
  [[gnu::noinline]] void mark(unsigned char c, Kind kind) {
    if (kind == Kind::small_start || kind == Kind::small_end) {
      bytes(&c, 1);
      return;
    }
    auto direct = out_.direct();
    if (!layout_.between_words(direct, c, kind, [] { return kUnseen; })) waiting_ = c;
    out_.done(direct);
  }

  // The byte that waited for the one after it.
  [[gnu::always_inline]] void resolve(int next) {
    if (waiting_ >= 0) [[unlikely]]
      lay_out_waiting(next);
  }
  [[gnu::noinline]] void lay_out_waiting(int next) {
    const int c = waiting_;
    waiting_ = -1;
    WindowOut out = out_.at();
    layout_.between_words(out, c, kKinds[c], [next] { return next; });
    out_.done(out);
  }

  Words& words_;
  Sink& out_;
  Layout layout_;
  int waiting_ = -1;
  bool failed_ = false;
  bool gave_up_ = false;
  std::unordered_map<const Word*, std::string> spilled_;
};

// Words as the Unicode pass writes them. A word whose syllable-file bytes are one run of keys has the
// same UTF-8 wherever it stands, and is remembered whole.
class UnicodeWords {
 public:
  // For the Unicode RTF, passages are marked and a remembered word holds its RTF text.
  explicit UnicodeWords(bool rtf)
      : rtf_(rtf), marks_(unicode_marks(rtf ? UnicodePassages::markers : UnicodePassages::text)) {}

  const LayoutMarks& marks() const { return marks_; }
  template <typename Sink>
  void finish(Sink&) {}
  // The Unicode pass writes every word it is given.
  static constexpr bool raw_open() { return false; }
  static constexpr bool refused() { return false; }
  template <typename Sink>
  static const unsigned char* raw_text(const unsigned char* p, const unsigned char*, Sink&) {
    return p;
  }
  // For the Unicode RTF, new words also go through the file that holds the text between the Unicode pass
  // and the RTF writer, so that a file that cannot be written fails here as it fails the passes.
  bool check(const std::vector<std::string_view>& learned, tsd::Stream& text) const {
    if (!rtf_) return true;
    if (!text.is_open()) return false;
    for (const std::string_view word : learned) text.write(word);
    return text.flush() == 0 && !text.error();
  }

  void prepare(Word& w) const {
    w.output_length = w.blank_length = kNotWhole;
    if (!all_keys(w.bytes.data(), w.length)) return;
    bool raw = false;
    const int n = unicode_word(std::string_view(reinterpret_cast<const char*>(w.bytes.data()), w.length),
                               marks_, scratch_.get(), kScratch, raw);
    if (n < 0 || n > kOutputRoom) return;
    w.last_key = raw ? 0 : w.bytes[w.length - 1];
    // The blank after it, when the layout writes it without looking further.
    const int blank = blank_after(marks_, w.last_key, reinterpret_cast<unsigned char*>(scratch_.get()) + n);
    const auto* utf8 = reinterpret_cast<const unsigned char*>(scratch_.get());
    if (!rtf_) {
      if (n + blank > kOutputRoom) return;
      std::memcpy(w.output.data(), utf8, static_cast<std::size_t>(n + blank));
      w.output_length = static_cast<std::uint8_t>(n);
      if (blank > 0) w.blank_length = static_cast<std::uint8_t>(n + blank);
      return;
    }
    // Its RTF text, which is the same wherever it stands unless it holds a passage marker.
    const auto plain = [utf8](int from, int to) {
      return std::none_of(utf8 + from, utf8 + to,
                          [](unsigned char c) { return PieceTable::changes_table(c); });
    };
    if (!plain(0, n)) return;
    const int alone = rtf_text(utf8, n, w.output.data());
    if (alone < 0) return;
    w.output_length = static_cast<std::uint8_t>(alone);
    std::array<unsigned char, kOutputRoom> with_blank;
    const int both = blank > 0 && plain(n, n + blank) ? rtf_text(utf8, n + blank, with_blank.data()) : -1;
    if (both > 0 && std::memcmp(with_blank.data(), w.output.data(), static_cast<std::size_t>(alone)) == 0) {
      std::memcpy(w.output.data(), with_blank.data(), static_cast<std::size_t>(both));
      w.blank_length = static_cast<std::uint8_t>(both);
    }
  }

  // Returns how many of the word's bytes it took: all, or none.
  template <typename Sink>
  std::size_t whole(const Word& w, Layout& layout, Sink& out) const {
    if (w.output_length == kNotWhole || !out.plain()) return 0;
    out.copy(w, w.output_length);
    layout.key();
    layout.last_key = w.last_key;
    return w.length;
  }
  template <typename Sink>
  [[gnu::always_inline]] bool whole_and_blank(const Word& w, Layout& layout, Sink& out) const {
    if (w.blank_length == kNotWhole || !out.plain()) return false;
    out.copy(w, w.blank_length);
    layout.key_and_blank(w.last_key);
    return true;
  }

  // A run of n keys: returns n, or 0 when the Unicode pass cannot write it (a run longer than it converts
  // as one word goes through the pass itself).
  template <typename Sink>
  std::size_t key_word(const unsigned char* keys, std::size_t n, Layout& layout, Sink& out) {
    if (n > static_cast<std::size_t>(kLongestUnicodeWord)) return 0;
    layout.key();
    layout.last_key = keys[n - 1];
    bool raw = false;
    const int length = unicode_word(std::string_view(reinterpret_cast<const char*>(keys), n), marks_,
                                    scratch_.get(), kScratch, raw);
    if (length < 0) return 0;
    if (raw) layout.last_key = 0;
    out.write(scratch_.get(), static_cast<std::size_t>(length));
    return n;
  }

 private:
  // The Unicode RTF writer's text of n bytes of UTF-8, into kOutputRoom bytes at `to`: its length, or -1
  // when it does not fit.
  static int rtf_text(const unsigned char* utf8, int n, unsigned char* to) {
    BoundedOut text{to, to + kOutputRoom};
    UnicodeRtf<BoundedOut> writer(text, 0, 0, 0);
    SpanBytes in{utf8, utf8 + n};
    for (int c; (c = in.get()) != tsd::Stream::end;) writer.character(c, in);
    return text.overflowed ? -1 : static_cast<int>(text.at - to);
  }

  static constexpr int kScratch = kUnicodeWordRoom;  // the room the Unicode pass gives a word
  bool rtf_;
  LayoutMarks marks_;
  std::unique_ptr<char[]> scratch_{new char[kScratch]};
};

// The Unicode pass's UTF-8 written as the Unicode RTF writer writes it, the document's start and end
// included; a remembered word's RTF text as it stands.
class UnicodeRtfSink {
 public:
  UnicodeRtfSink(Output& out, const ConversionRequest& r)
      : out_(out),
        rtf_(out_, r.roman_size, r.tib_size, r.small_tib_size),
        text_(new unsigned char[Output::kRoom]) {
    const std::string start = unicode_rtf_start(r.unicode_font);
    out_.write(start.data(), start.size());
  }

  WindowOut at() { return WindowOut{text_.get()}; }
  void done(const WindowOut& o) { write(text_.get(), static_cast<std::size_t>(o.at - text_.get())); }
  WindowOut direct() { return at(); }
  void write(const void* bytes, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    SpanBytes in{p, p + n};
    for (int c; (c = in.get()) != tsd::Stream::end;) rtf_.text(c, in);
  }
  // Once the document has started, a remembered word's text is written as it stands.
  bool plain() const { return rtf_.started(); }
  [[gnu::always_inline]] void copy(const Word& w, int n) { out_.copy(w, n); }
  void finish() { rtf_.finish(); }

 private:
  Output& out_;
  UnicodeRtf<Output> rtf_;
  std::unique_ptr<unsigned char[]> text_;
};

// Glyph-code bytes written as the RTF writer writes them, the document's start and end included.
class RtfSink {
 public:
  RtfSink(Output& out, const ConversionRequest& r, const ConversionContext& c)
      : out_(out),
        table_(c.rtf_fonts, c.font_count, r.font_base, r.roman_size, r.tib_size, r.small_tib_size),
        rtf_(out, table_, c.rtf_fonts, c.font_count),
        glyphs_(new unsigned char[Output::kRoom]) {}

  WindowOut at() { return WindowOut{glyphs_.get()}; }
  void done(const WindowOut& o) { write(glyphs_.get(), static_cast<std::size_t>(o.at - glyphs_.get())); }
  void write(const void* bytes, std::size_t n) { rtf_.glyphs(static_cast<const unsigned char*>(bytes), n); }
  void finish() { rtf_.finish(); }
  bool small() const { return rtf_.small(); }
  // Outside passages and small text, after the first glyph: where a word's RTF is always the same.
  bool plain() const { return rtf_.plain(); }
  // Glyph codes as they are written where plain(), into `to`; their length, or -1 beyond `room`.
  int render(const unsigned char* glyphs, int n, unsigned char* to, int room) const {
    return table_.render_plain(glyphs, n, to, room);
  }
  // Output in place of what glyph codes become where plain().
  struct Direct {
    WindowOut window;
    const PieceTable& table;
    bool put(int c) {
      window.at = table.put(0, c, window.at);
      return true;
    }
    bool mark(const LayoutMark& m) {
      for (int i = 0; i < m.length; ++i) put(m.bytes[i]);
      return true;
    }
  };
  Direct direct() { return Direct{out_.at(), table_}; }
  void done(const Direct& d) { out_.done(d.window); }

  // A remembered word's RTF, where plain().
  [[gnu::always_inline]] void copy(const Word& w, int n) { out_.copy(w, n); }

 private:
  Output& out_;
  const PieceTable table_;
  TsendrelRtf<Output> rtf_;
  std::unique_ptr<unsigned char[]> glyphs_;
};

// Words as the font-code pass composes them: remembered words replayed from a composer at rest, the
// others through the pass's own WordComposer. A word that it gives up is written as text, a raw passage,
// up to the white space that ends it; the passage puts the sink out of plain text, so every byte comes
// through the back's bytes() while it is open.
class FontWords {
 public:
  FontWords(const ConverterKeyTables& tables, tsd::SyllableState& state)
      : state_(state), composer_(tables, state), marks_(font_code_marks(tables, state)) {}

  const LayoutMarks& marks() const { return marks_; }
  void prepare(Word& w) const {
    w.output_length = kNotWhole;
    w.composable = w.length <= kMemoKeys && all_keys(w.bytes.data(), w.length);
    if (w.composable) w.last_key = w.bytes[w.length - 1];
  }

  // A word that is one run of keys, from a composer at rest in plain RTF: its RTF as remembered when the
  // key history allows, or else composed (or replayed from the memo) and remembered for the next time.
  // Returns how many of its bytes it took: none, or up to the key where it was given up, or all.
  std::size_t whole(Word& w, Layout& layout, RtfSink& out) {
    if (!w.composable || !out.plain()) return 0;
    if (!history_.ready()) return 0;
    if (w.output_length != kNotWhole && history_.holds(w.history)) {
      history_.replay(w.history);
      out.copy(w, w.output_length);
      layout.key();
      layout.last_key = w.last_key;
      return w.length;
    }
    used_ = nullptr;
    const std::size_t taken = key_word(w.bytes.data(), w.length, layout, out);
    if (used_ && !raw_open_ && composer_at_rest(state_)) {
      const int n = out.render(used_->glyphs.data(), used_->glyph_count, w.output.data(), kOutputRoom);
      w.output_length = w.blank_length = kNotWhole;
      w.history = used_->effect;
      if (n < 0) return taken;
      w.output_length = static_cast<std::uint8_t>(n);
      // The separator glyphs of the blank after it, when the layout writes them without looking further.
      std::array<unsigned char, LayoutMark::kSize> glyphs;
      const int blank = blank_after(marks_, w.last_key, glyphs.data());
      const int m = blank > 0 ? out.render(glyphs.data(), blank, w.output.data() + n, kOutputRoom - n) : -1;
      if (m > 0) w.blank_length = static_cast<std::uint8_t>(n + m);
    }
    return taken;
  }
  // A remembered word and the blank after it, when the key history allows; nothing otherwise.
  [[gnu::always_inline]] bool whole_and_blank(Word& w, Layout& layout, RtfSink& out) {
    if (w.blank_length == kNotWhole || !out.plain() || !history_.ready() || !history_.holds(w.history))
      return false;
    history_.replay(w.history);
    out.copy(w, w.blank_length);
    layout.key_and_blank(w.last_key);
    return true;
  }

  // New words' syllable-file bytes written to the glyph-code file's temporary, about as many bytes as the
  // pass writes for them: false when it cannot be written.
  bool check(const std::vector<std::string_view>& learned, tsd::Stream& glyphs) const {
    if (!glyphs.is_open()) return false;
    for (const std::string_view word : learned) glyphs.write(word);
    return glyphs.flush() == 0 && !glyphs.error();
  }

  // The key history that replayed words moved on, back in the composer's state; a raw passage still open
  // at the end of the input closed.
  void finish(RtfSink& out) {
    if (raw_open_) close_raw(out);
    finish();
  }

  // A run of n keys: returns how many it took, all of them unless it gave the word up (raw_open() then).
  std::size_t key_word(const unsigned char* keys, std::size_t n, Layout& layout, RtfSink& out) {
    finish();
    layout.key();
    layout.last_key = keys[n - 1];
    const bool memo = n <= static_cast<std::size_t>(kMemoKeys) && composer_at_rest(state_);
    const MemoKeys packed = memo ? pack_run(keys, static_cast<int>(n)) : MemoKeys{};
    if (memo) {
      if (const MemoWord* w = composer_.replay(packed)) {
        out.write(w->glyphs.data(), w->glyph_count);
        used_ = w;
        return n;
      }
    }
    composer_.start(packed);
    for (std::size_t i = 0; i < n; ++i) {
      if (!composer_.add(keys[i])) {
        layout.last_key = 0;
        composer_.open_raw(text_to(out));
        raw_open_ = true;
        return i + 1;
      }
    }
    const std::span<const unsigned char> glyphs = composer_.finish();
    used_ = composer_.learned();
    out.write(glyphs.data(), glyphs.size());
    return n;
  }

  bool raw_open() const { return raw_open_; }
  // Whether the word given up last was refused by the composer, rather than overflowing.
  bool refused() const { return composer_.outcome() == WordComposer::Outcome::refused; }
  // Bytes after a word given up: text up to the white space that ends its passage. Returns where the
  // passage left off.
  const unsigned char* raw_text(const unsigned char* p, const unsigned char* end, RtfSink& out) {
    if (!raw_open_) return p;
    for (; p < end; ++p) {
      if (!WordComposer::in_raw(*p)) {
        close_raw(out);
        return composer_.raw_leaves_white() ? p : p + 1;
      }
      WordComposer::raw_text(*p, text_to(out));
    }
    return end;
  }

 private:
  // Text of a raw passage into the sink.
  struct TextTo {
    RtfSink& out;
    bool operator()(std::string_view text) const {
      out.write(text.data(), text.size());
      return true;
    }
  };
  static TextTo text_to(RtfSink& out) { return {out}; }
  void close_raw(RtfSink& out) {
    WordComposer::close_raw(text_to(out));
    raw_open_ = false;
  }
  // The key history that replayed words moved on, back in the composer's state.
  void finish() { history_.settle(); }

  tsd::SyllableState& state_;
  WordComposer composer_;
  LayoutMarks marks_;
  bool raw_open_ = false;
  const MemoWord* used_ = nullptr;  // the remembered word that key_word gave, if any
  // While whole words replay one after another, the key history is kept here, packed.
  ReplayedHistory history_{state_};
};

}  // namespace
}  // namespace tarvex::fast
