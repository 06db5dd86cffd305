#include "fast_path.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "font_code_pass.h"
#include "layout.h"
#include "packed_keys.h"
#include "rtf_pieces.h"
#include "scheme_passes.h"
#include "unicode_pass.h"
#include "unicode_rtf_writer.h"
#include "word_composer.h"
#include "word_memo.h"

namespace tarvex {

namespace {

// What a byte of the input is to the scan: part of a word, white space, the Wylie tsheg ".", a mark that
// stands for one byte of the syllable file, the start of a bracketed passage or of a "@" name, or
// something that goes through the passes with the word before it and what follows up to white space.
enum class Source : unsigned char { word, white, dot, mark, bracket, name, odd };

struct Scheme {
  std::array<Source, 256> kinds{};
  std::array<unsigned char, 256> marks{};  // the syllable-file byte of each mark
};

// The extraction's roles of KVTS bytes, and for Wylie the punctuation that the pre-pass turns into KVTS.
// Braces read on past white space, and the other white space goes with the word before it: both go
// through the passes.
constexpr Scheme make_scheme(bool wylie) {
  constexpr KvtsByteRoles kvts = kvts_byte_roles();
  Scheme s{};
  for (int c = 0; c < 256; ++c) {
    switch (kvts.role[c]) {
      case KvtsByte::word:
        s.kinds[c] = Source::word;
        break;
      case KvtsByte::blank:
        s.kinds[c] = Source::white;
        break;
      case KvtsByte::mark:
        s.kinds[c] = Source::mark;
        s.marks[c] = kvts.marker[c];
        break;
      case KvtsByte::bracket:
        s.kinds[c] = Source::bracket;
        break;
      case KvtsByte::name:
        s.kinds[c] = Source::name;
        break;
      case KvtsByte::brace:
      case KvtsByte::other_space:
        s.kinds[c] = Source::odd;
        break;
    }
  }
  if (wylie) {
    s.kinds[kWylieShad] = Source::mark;
    s.marks[kWylieShad] = kvts.marker[static_cast<unsigned char>(kShadInKvts[0])];
    s.kinds[kWylieTsheg] = Source::dot;
  }
  return s;
}

constexpr Scheme kWylieScheme = make_scheme(true);
constexpr Scheme kKvtsScheme = make_scheme(false);

// The bytes that end a word, as a few compares find them 16 at a time: white space (tab to CR and the
// blank), "(" and ")", "," and "-" (and for Wylie "." and "/"), "@", "[" and "{". The scheme's table says
// the same of every byte.
constexpr bool ends_word(int c, bool wylie) {
  const unsigned u = static_cast<unsigned>(c);
  return u - 0x09 <= 4 || u == 0x20 || (u & 0xFE) == 0x28 || (u & (wylie ? 0xFC : 0xFE)) == 0x2C || u == '@' ||
         u == '[' || u == '{';
}
constexpr bool ends_agree(const Scheme& s, bool wylie) {
  for (int c = 0; c < 256; ++c)
    if ((s.kinds[c] != Source::word) != ends_word(c, wylie)) return false;
  return true;
}
static_assert(ends_agree(kWylieScheme, true) && ends_agree(kKvtsScheme, false));

constexpr int kSyllableRoom = 40;  // syllable-file bytes of a word remembered
constexpr int kOutputRoom = 128;   // output bytes of a word remembered whole
constexpr int kOutputCopy = 64;    // a word's output is copied this wide, and again when longer
constexpr std::uint8_t kNotWhole = 0xFF;
constexpr std::uint16_t kUnplaced = 0xFFFF;
// A Wylie word after white space starts a syllable; one after punctuation does not.
constexpr std::uint64_t kStartsSyllable = std::uint64_t{1} << 62;

// A word of the input as the passes convert it: its syllable-file bytes and what the extraction counted,
// and, where the output can hold it, the output bytes it gives: always (Unicode), or when composed from a
// composer at rest whose key history holds what the word's rules read there (`history`), which the word
// then moves on as a remembered word does.
struct alignas(64) Word {
  PackedRun key;  // for a word too long for one, empty
  std::uint8_t length = 0;
  std::uint8_t output_length = kNotWhole;
  // With the blank after it, where the output holds that too: the commonest pair in running text.
  std::uint8_t blank_length = kNotWhole;
  bool learned = false;  // converted through the passes, not only met
  bool composable = false;  // one run of keys that the word memo can hold
  bool spilled = false;  // syllable-file bytes beyond kSyllableRoom, kept by the back (length 0)
  std::uint16_t syllables = 0;
  std::uint16_t marked = 0;
  int last_key = 0;  // the layout's last key after the whole output
  HistoryEffect history;
  // The problems the extraction found in the word, in the scan's list of them; kUnplaced when one lies
  // outside the word's own bytes.
  std::uint32_t problems_at = 0;
  std::uint16_t problem_count = 0;
  // The output right after what every word reads, so that a short one shares their cache line.
  std::array<unsigned char, kOutputRoom> output{};
  std::array<unsigned char, kSyllableRoom> bytes{};
};

// What the layout writes for a blank after a word whose last key is `last_key`, at `to` (room for a
// mark): its length, or 0 when the layout must look past the blank (after a "g").
int blank_after(const LayoutMarks& marks, int last_key, unsigned char* to) {
  Layout layout(marks, false);
  layout.key();
  layout.last_key = last_key;
  WindowOut out{to};
  return layout.blank(out, [] { return kUnseen; }) ? static_cast<int>(out.at - to) : 0;
}

// The length of the word's own bytes in the input; 0 for a word too long for a key.
int input_length(const Word& w) { return static_cast<int>((w.key.high & ~kStartsSyllable) >> 56); }

// The first n bytes of a word's output.
[[gnu::always_inline]] inline void copy_output(const Word& w, int n, unsigned char* to) {
  std::memcpy(to, w.output.data(), kOutputCopy);
  if (n > kOutputCopy) std::memcpy(to, w.output.data(), static_cast<std::size_t>(n));
}

// The words met so far, found by their packed text in sets of eight places, the one found last first. A
// word pushed out of its set keeps its record until retire() says that nothing points to it any more, so
// records are made only as words are learned, and the words forgotten are those of their set met longest
// ago.
class WordTable {
 public:
  // Forced inline, as the other steps that every word takes: the compiler weighs the whole scan as one.
  [[gnu::always_inline]] Word* find(const PackedRun& key) {
    Place* set = &places_[set_of(key) * kWays];
    if (set[0].key == key) return set[0].word;
    for (int i = 1; i < kWays; ++i) {
      if (set[i].key == key) {
        const Place found = set[i];
        for (int k = i; k > 0; --k) set[k] = set[k - 1];
        set[0] = found;
        return found.word;
      }
    }
    return nullptr;
  }
  // A new record, not yet learned, for the word in the first place of its set; the others move down.
  Word& add(const PackedRun& key) {
    Place* set = &places_[set_of(key) * kWays];
    if (set[kWays - 1].word) pushed_out_.push_back(set[kWays - 1].word);
    Word* record = new_record();
    for (int i = kWays - 1; i > 0; --i) set[i] = set[i - 1];
    set[0] = {key, record};
    *record = Word{};
    record->key = key;
    return *record;
  }
  // The records of words pushed out of the table may be used again.
  void retire() {
    spare_.insert(spare_.end(), pushed_out_.begin(), pushed_out_.end());
    pushed_out_.clear();
  }

 private:
  struct Place {
    PackedRun key;  // a word's key never has the length 0 of an empty place
    Word* word = nullptr;
  };
  static constexpr int kSetBits = 12;
  static constexpr int kWays = 8;
  static constexpr std::size_t kRecordsAtOnce = 256;

  static std::size_t set_of(const PackedRun& key) {
    return static_cast<std::size_t>(hash_of(key) >> (64 - kSetBits));
  }
  Word* new_record() {
    if (!spare_.empty()) {
      Word* record = spare_.back();
      spare_.pop_back();
      return record;
    }
    if (records_.empty() || used_ == kRecordsAtOnce) {
      records_.emplace_back(new Word[kRecordsAtOnce]);
      used_ = 0;
    }
    return &records_.back()[used_++];
  }

  std::unique_ptr<Place[]> places_{new Place[std::size_t{kWays} << kSetBits]};
  std::vector<std::unique_ptr<Word[]>> records_;
  std::size_t used_ = 0;
  std::vector<Word*> pushed_out_;
  std::vector<Word*> spare_;
};

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
  bool check(const std::vector<std::string_view>& learned, tsd::Stream& file) { return words_.check(learned, file); }

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
      const bool laid_out =
          layout_.between_words(out, c, kind, [&] { return p + 1 < end ? p[1] : kUnseen; });
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
      return std::none_of(utf8 + from, utf8 + to, [](unsigned char c) { return PieceTable::changes_table(c); });
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
      : out_(out), rtf_(out_, r.roman_size, r.tib_size, r.small_tib_size), text_(new unsigned char[Output::kRoom]) {
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

// A problem of a word, placed in the input's bytes of the word.
struct WordProblem {
  SourceProblem::Kind kind;
  std::uint8_t value;
  std::uint32_t offset;
  std::uint32_t length;
};

// A word met for the first time, where it lies in the scan's buffer.
struct NewWord {
  PackedRun key;
  const unsigned char* text;
  int length;
  bool starts_syllable;
  bool name;  // a "@" name, which the extraction ends at the line break after it
  Word* record;
};

// The rest of a batch file.
std::string read_all(tsd::Stream& stream) {
  std::string bytes;
  tsd::read_rest(stream, [&bytes](const unsigned char* p, std::size_t n) {
    bytes.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return bytes;
}

std::vector<std::string_view> lines_of(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.emplace_back(text.data() + from, at - from);
  return lines;
}

// Reads the input in blocks cut after white space (or before a bracket), and hands each item to the back:
// words through the table of words met before, white space and marks as the syllable file has them.
template <typename Last>
class Scan {
 public:
  Scan(tsd::Stream& in, bool wylie, const TranslitTables& tables, int check_syllables, Last& back,
       ExtractionReport& found, bool place_problems, const TemporaryFiles& temporaries)
      : place_problems_(place_problems),
        in_(in),
        temporaries_(temporaries),
        scheme_(wylie ? kWylieScheme : kKvtsScheme),
        wylie_(wylie),
        tables_(tables),
        check_syllables_(check_syllables),
        back_(back),
        found_(found),
        // The byte before the text, the text and its slack, and what marking word ends reads past them.
        buf_(new unsigned char[1 + kChunk + kSlack + 16]) {
    buf_[0] = '\n';  // the start of the input is a syllable start, after no "g"
  }

  // False when the input holds something that the scan declines.
  // Out of line: inlined into its one caller, the scan's loop has fewer registers (5% more instructions).
  [[gnu::noinline]] bool run() {
    std::size_t have = 0;
    bool eof = false;
    raw_start_ = in_.read_offset();
    for (;;) {
      if (have < kChunk && !eof)
        eof = !read_input(kChunk - have, consumed_ + have, [&](const unsigned char* p, std::size_t n) {
          std::memcpy(text_ + have, p, n);
          have += n;
        });
      if (in_.error()) return false;
      // White space past the bytes ends any word there.
      std::memset(text_ + have, ' ', kSlack);
      mark_word_ends(have + kSlack);
      const unsigned char* const start = text_;
      const unsigned char* upto = start + have;
      if (!eof)
        while (upto > start && scheme_.kinds[upto[-1]] != Source::white) --upto;
      // A buffer without white space goes through the passes with the rest of the input.
      const unsigned char* stop =
          upto == start && !eof ? to_the_end(start, start + have, false).at : items(start, upto, start + have, eof);
      if (!stop) return false;
      const auto used = static_cast<std::size_t>(stop - start);
      if (used == 0 && (eof || have >= kChunk)) {
        if (have != 0) return false;
        break;
      }
      // The byte before the text, which tells whether a syllable starts at its first word.
      if (used > 0) text_[-1] = stop[-1];
      std::memmove(text_, stop, have - used);
      have -= used;
      consumed_ += used;
      const auto before = std::lower_bound(crlf_.begin(), crlf_.end(), consumed_);
      crlf_before_ += static_cast<std::uint64_t>(before - crlf_.begin());
      crlf_.erase(crlf_.begin(), before);
      crlf_counted_ = 0;
      if (eof && have == 0) break;
    }
    back_.finish();
    if (place_problems_ && open_parenthesis_ >= 0)
      found_.add({SourceProblem::parenthesis_open, 0, static_cast<std::uint64_t>(open_parenthesis_), 1});
    return true;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 20;
  static constexpr std::size_t kSlack = 32;
  // Words found at once before they are written.
  static constexpr std::size_t kStretchWords = 1 << 16;
  // Words too long for a key remembered at once, apart from the table.
  static constexpr std::size_t kLongWords = 1 << 12;
  // The words learned ahead of where they are met: those too long for a key, and those nearly as long,
  // which prose rarely has but mantras do (in KVTS mostly 14 or 15 bytes).
  static constexpr int kShortestAhead = 12;
  static constexpr int kLongestAhead = 1 << 10;

  // Reads up to `room` bytes of the input, handing each run to `take`; `at` counts the first as the
  // buffer's bytes are counted. False when the input ended first.
  template <typename Take>
  bool read_input(std::size_t room, std::uint64_t at, Take take) {
    std::size_t got = 0;
    while (got < room) {
      const auto window = in_.window();
      if (window.empty()) {
        const std::uint64_t before = in_.read_offset();
        const int c = in_.get();
        if (c == tsd::Stream::end) return false;
        // Text mode reads a CR LF as one line feed: the input's offsets after it are one more.
        if (place_problems_ && c == '\n' && in_.read_offset() - before == 2) crlf_.push_back(at + got);
        const auto byte = static_cast<unsigned char>(c);
        take(&byte, 1);
        ++got;
        continue;
      }
      const std::size_t n = std::min(window.size(), room - got);
      take(window.data(), n);
      in_.advance(n);
      got += n;
    }
    return true;
  }

  // The word of n bytes at p, as the table knows it.
  PackedRun key_of(const unsigned char* p, int n, bool starts_syllable) const {
    PackedRun key = pack_run_in_place(p, n);
    key.high |= starts_bit_ & (std::uint64_t{0} - starts_syllable);
    return key;
  }
  // Marks in stops_ which of the n bytes of the text end a word, a bit for each, the first byte lowest.
  void mark_word_ends(std::size_t n) {
    unsigned char* bits = stops_.get();
    std::size_t i = 0;
#ifdef TARVEX_SSE2
    const auto byte = [](int c) { return _mm_set1_epi8(static_cast<char>(c)); };
    const __m128i pair = byte(0xFE), comma_to = byte(wylie_ ? 0xFC : 0xFE);
    for (; i + 16 <= n; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + i));
      const __m128i from_tab = _mm_sub_epi8(x, byte(0x09));
      __m128i ends = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, byte(4)), from_tab);
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte(0x20)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(_mm_and_si128(x, pair), byte(0x28)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(_mm_and_si128(x, comma_to), byte(0x2C)));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('@')));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('[')));
      ends = _mm_or_si128(ends, _mm_cmpeq_epi8(x, byte('{')));
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
      bits[i / 8] = static_cast<unsigned char>(mask);
      bits[i / 8 + 1] = static_cast<unsigned char>(mask >> 8);
    }
#endif
    for (; i < n; i += 8) {
      unsigned mask = 0;
      for (std::size_t k = 0; k < 8; ++k) mask |= unsigned{scheme_.kinds[text_[i + k]] != Source::word} << k;
      bits[i / 8] = static_cast<unsigned char>(mask);
    }
  }

  // The length of the word at p and its key, or 0 when it is too long for a key.
  [[gnu::always_inline]] int measure_word(const unsigned char* p, bool starts_syllable, PackedRun& key) const {
    const auto at = static_cast<std::size_t>(p - text_);
    // A word ends within the next 57 bytes, or is too long anyway.
    const int n = std::countr_zero((load_8(stops_.get() + at / 8) >> (at % 8)) | std::uint64_t{1} << 56);
    if (n > kLongestPackedRun) return 0;
    key = key_of(p, n, starts_syllable);
    return n;
  }

  // The length of the word at p, however long: the white space past the text ends it there.
  int run_length(const unsigned char* p) const {
    const auto from = static_cast<std::size_t>(p - text_);
    for (std::size_t at = from;; at = at / 8 * 8 + 64) {
      const std::uint64_t ends = load_8(stops_.get() + at / 8) >> (at % 8);
      if (ends != 0) return static_cast<int>(at + static_cast<std::size_t>(std::countr_zero(ends)) - from);
    }
  }

  // A word too long for a key, remembered by its bytes apart from the table: its record, or null, and
  // its length in n.
  [[gnu::noinline]] Word* long_word_at(const unsigned char* p, int& n) {
    n = run_length(p);
    const auto found = long_words_.find(long_key(p, n));
    return found == long_words_.end() ? nullptr : found->second;
  }
  std::string long_key(const unsigned char* p, int n) const {
    std::string key(1, wylie_ && starts_syllable(p) ? 's' : '-');
    key.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
    return key;
  }

  // Converts the items that start before `upto`; each word and passage lies whole before `have_end`.
  // Returns where it stopped (before an item that the passes convert with more than the buffer holds),
  // or null when it declines. Words found in the table are written as they are met. At a word never met
  // before, the stretch that starts there is read twice: first for its words, found in the table or met
  // for the first time and then learned together, then for what it writes.
  const unsigned char* items(const unsigned char* p, const unsigned char* upto, const unsigned char* have_end,
                             bool eof) {
    while (p < upto) {
      const Written known = write_items<false>(p, upto, have_end);
      p = known.at;
      if (known.end == Ending::end) return p;
      if (known.end == Ending::passes) {
        const Passed passed = through_passes(p, have_end, eof);
        if (!passed.at || passed.stopped) return passed.at;
        p = passed.at;
        continue;
      }
      // A new word of kShortestAhead bytes or more is a stretch alone: the like words of the rest of the
      // buffer join its batch, and the words after it, mostly known, are read once.
      const unsigned char* const stretch_end =
          scheme_.kinds[*p] == Source::word && run_length(p) >= kShortestAhead
              ? find_words<true>(p, upto, have_end)
              : find_words<false>(p, upto, have_end);
      if (ahead_due_) meet_words_ahead(stretch_end, upto);
      if (!fresh_.empty() && !learn()) return nullptr;
      p = write_items<true>(p, stretch_end, have_end).at;
      words_.retire();
    }
    return p;
  }

  // The words of the stretch at p, in tokens_, as the scan meets them in write_items; those never met
  // before also in fresh_. Returns where the stretch ends: at most kStretchWords words on, or before an
  // item that the passes convert; with kAlone, after the first word.
  template <bool kAlone>
  const unsigned char* find_words(const unsigned char* p, const unsigned char* upto,
                                  const unsigned char* have_end) {
    token_count_ = 0;
    fresh_.clear();
    ahead_due_ = false;
    if (long_words_.size() >= kLongWords) {
      for (const auto& [key, w] : long_words_) back_.forget(*w);
      long_words_.clear();
      long_used_ = 0;
    }
    while (p < upto && token_count_ < (kAlone ? 1 : kStretchWords)) {
      const Source kind = scheme_.kinds[*p];
      if (kind == Source::word || kind == Source::name) {
        const bool name = kind == Source::name;
        PackedRun key;
        int n = key_at(p, name, key);
        if (n == 0 && name) return p;
        Word* w = n == 0 ? long_word_at(p, n) : words_.find(key);
        if (!name && scheme_.kinds[p[n]] == Source::odd) return p;
        if (!w) w = &meet(NewWord{key, p, n, starts_syllable(p), name, key.length() == 0 ? &long_record(p, n) : nullptr});
        tokens_[token_count_++] = w;
        p += n;
        // A name swallows the byte that ends it.
        if (name && p < have_end) ++p;
        continue;
      }
      if (kind == Source::odd) return p;
      if (kind == Source::bracket) {
        const auto* close =
            static_cast<const unsigned char*>(std::memchr(p + 1, ']', static_cast<std::size_t>(have_end - p - 1)));
        if (!close) return p;
        p = close;
      }
      ++p;
    }
    return p;
  }

  // A word met for the first time: a record for it, learned before the stretch is written.
  [[gnu::noinline]] Word& meet(NewWord w) {
    if (!w.record) w.record = &words_.add(w.key);
    if (w.length >= kShortestAhead) ahead_due_ = true;
    fresh_.push_back(w);
    return *w.record;
  }
  // Words of kShortestAhead bytes or more are mostly met once (mantras): when the stretch meets a new one,
  // those in the rest of the buffer join its batch, found 64 bytes at a time from the bits of word ends,
  // rather than each starting a stretch of its own when met.
  [[gnu::noinline]] void meet_words_ahead(const unsigned char* from, const unsigned char* upto) {
    const unsigned char* const start = std::max<const unsigned char*>(
        from, ahead_until_ > consumed_ ? text_ + (ahead_until_ - consumed_) : text_);
    const auto last = static_cast<std::size_t>(upto - text_);
    // Words met at once: so few that those too long for a key are not forgotten before they are met, nor
    // the others pushed out of the table.
    std::size_t room = kLongWords / 2 - std::min(long_words_.size(), kLongWords / 2);
    // The words of kShortestAhead bytes or more that start in the 64 bytes from `at`.
    const auto meet_in = [&](std::size_t at) {
      const unsigned char* const ends = stops_.get() + at / 8;
      // Bit i: the byte at + i lies in a word; then, the kShortestAhead bytes from there do.
      const std::uint64_t in_word = ~load_8(ends);
      std::uint64_t runs = in_word;
      std::uint64_t past = ~load_8(ends + 8);
      // Runs of 2, 4, 8 and then 12 bytes.
      static_assert(kShortestAhead == 12);
      for (const int shift : {1, 2, 4, 4}) {
        runs &= runs >> shift | past << (64 - shift);
        past &= past >> shift;
      }
      // Whether the byte before `at` lies in a word (the byte before the text is white space).
      const std::uint64_t before = at > 0 ? ~ends[-1] >> 7 & 1 : 0;
      for (std::uint64_t starts = runs & ~(in_word << 1 | before); starts != 0; starts &= starts - 1) {
        const unsigned char* const p = text_ + at + static_cast<std::size_t>(std::countr_zero(starts));
        if (p < start || p >= upto || p[-1] == '@' || room == 0) continue;
        const int n = run_length(p);
        if (n > kLongestAhead) continue;
        const bool starts_here = starts_syllable(p);
        PackedRun key;
        Word* record = nullptr;
        if (n > kLongestPackedRun) {
          if (long_words_.contains(long_key(p, n))) continue;
          record = &long_record(p, n);
        } else {
          key = key_of(p, n, starts_here);
          if (words_.find(key)) continue;
        }
        meet(NewWord{key, p, n, starts_here, false, record});
        --room;
      }
    };
    // 12 bytes in a word hold 8 from the start of a half byte of the ends: a byte of them that is 0, or
    // the high half of one with the low half of the next. Most blocks of text hold none.
    const auto may_start = [](const unsigned char* ends) {
      constexpr std::uint64_t kOnes = 0x0101010101010101;
      const auto zero_byte = [](std::uint64_t x) { return ((x - kOnes) & ~x & kOnes << 7) != 0; };
      const std::uint64_t here = load_8(ends);
      return zero_byte(here) || zero_byte(here >> 4 | std::uint64_t{ends[8]} << 60) || ends[8] == 0;
    };
    std::size_t at = static_cast<std::size_t>(start - text_) / 64 * 64;
    for (; at < last && room > 0; at += 64) {
      const unsigned char* const ends = stops_.get() + at / 8;
#ifdef TARVEX_SSE2
      // 128 bytes at once: a bit for each byte of their ends, with the half after it.
      if (at + 192 <= last) {
        const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends + 1));
        const __m128i halves = _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi8(static_cast<char>(0xF0))),
                                            _mm_and_si128(next, _mm_set1_epi8(0x0F)));
        const __m128i zero = _mm_setzero_si128();
        const auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bits, zero), _mm_cmpeq_epi8(halves, zero))));
        if ((found & 0x1FF) != 0) meet_in(at);
        at += 64;
        if ((found >> 8) != 0 || ends[16] == 0) meet_in(at);
        continue;
      }
#endif
      if (may_start(ends)) meet_in(at);
    }
    ahead_until_ = consumed_ + std::min(at, last);
  }

  // A record for a new word too long for a key, from those kept for such words until they are forgotten.
  [[gnu::noinline]] Word& long_record(const unsigned char* p, int n) {
    if (long_used_ == long_records_.size() * kLongRecordsAtOnce)
      long_records_.emplace_back(new Word[kLongRecordsAtOnce]);
    Word& record = long_records_[long_used_ / kLongRecordsAtOnce][long_used_ % kLongRecordsAtOnce];
    ++long_used_;
    record = Word{};
    long_words_[long_key(p, n)] = &record;
    return record;
  }

  // Why write_items stopped: at the end, at a word not in the table, or at an item that the passes
  // convert.
  enum class Ending { end, new_word, passes };
  struct Written {
    const unsigned char* at;
    Ending end;
  };

  // Writes the items from p to `end`: with the words that find_words found (kFound), or else with those
  // that the table finds, up to the first it does not.
  template <bool kFound>
  [[gnu::always_inline]] Written write_items(const unsigned char* p, const unsigned char* end,
                                             const unsigned char* have_end) {
    Word* const* token = tokens_.get();
    // The word at p and its length, or null when the table does not know it (the length of a name that
    // the passes convert, 0).
    const auto word_at = [&](const unsigned char* at, int& n, bool name) -> Word* {
      if constexpr (kFound) {
        Word* w = *token++;
        n = input_length(*w);
        if (n == 0) [[unlikely]]
          n = run_length(at);
        return w;
      } else {
        PackedRun key;
        n = key_at(at, name, key);
        if (n == 0) [[unlikely]]
          return name ? nullptr : long_word_at(at, n);
        return words_.find(key);
      }
    };
    // Counted here and added once, out of the loop.
    std::uint64_t syllables = 0;
    std::uint64_t marked = 0;
    const auto stop = [&](const unsigned char* at, Ending ending) {
      found_.syllables += syllables;
      found_.marked += marked;
      return Written{at, ending};
    };
    while (p < end) {
      const int c = *p;
      const Source kind = scheme_.kinds[c];
      if (kind == Source::word) [[likely]] {
        int n = 0;
        Word* w = word_at(p, n, false);
        const unsigned char after = p[n];
        // A word glued to a byte that the passes convert goes with it; so does one whose problems the
        // scan cannot place.
        if (after != ' ' && scheme_.kinds[after] == Source::odd) [[unlikely]]
          return stop(p, Ending::passes);
        if (!w) return stop(p, Ending::new_word);
        if (place_problems_ && w->problem_count != 0 && !place(*w, p)) return stop(p, Ending::passes);
        syllables += w->syllables;
        marked += w->marked;
        p += n;
        // Most words end at a blank.
        if (after == ' ' && p < end) {
          back_.word_and_blank(*w);
          ++p;
        } else {
          back_.word(*w);
        }
        continue;
      }
      switch (kind) {
        case Source::white:
          back_.byte(static_cast<unsigned char>(c));
          break;
        case Source::word:  // taken above
          break;
        case Source::dot:
          // "g.y" is "g", a word break and "y".
          back_.byte(tsheg_breaks_within(p[-1], p[1]) ? kHyphenMarker : ' ');
          break;
        case Source::mark:
          // The extraction tells of the first "(" that no ")" closes.
          if (place_problems_ && c == '(' && open_parenthesis_ < 0) open_parenthesis(p);
          if (c == ')') open_parenthesis_ = -1;
          back_.byte(scheme_.marks[c]);
          break;
        case Source::bracket: {
          const auto* close = static_cast<const unsigned char*>(
              std::memchr(p + 1, ']', static_cast<std::size_t>(have_end - p - 1)));
          if (!close) return stop(p, Ending::passes);
          back_.bytes(p, static_cast<std::size_t>(close - p + 1));
          p = close + 1;
          continue;
        }
        case Source::name: {
          int n = 0;
          Word* w = word_at(p, n, true);
          if (!w) return stop(p, n == 0 ? Ending::passes : Ending::new_word);
          back_.word(*w);
          p += n;
          if (p < end) ++p;  // the byte that ends the name, which the extraction swallows
          continue;
        }
        case Source::odd:
          return stop(p, Ending::passes);
      }
      ++p;
    }
    return stop(p, Ending::end);
  }

  // Whether a Wylie syllable starts at the word at p: after white space, not after punctuation. The
  // buffer keeps the byte before its text.
  bool starts_syllable(const unsigned char* p) const { return scheme_.kinds[p[-1]] == Source::white; }

  // The length of the word or "@" name at p and its key, or 0 when it is too long for a key or (a name)
  // holds what the scan leaves to the passes.
  [[gnu::always_inline]] int key_at(const unsigned char* p, bool name, PackedRun& key) const {
    const bool starts = starts_syllable(p);
    if (!name) return measure_word(p, starts, key);
    const int n = name_length(p);
    if (n > 0) key = key_of(p, n, starts);
    return n;
  }

  [[gnu::noinline]] void open_parenthesis(const unsigned char* p) {
    open_parenthesis_ = static_cast<std::int64_t>(input_offset(p));
  }

  // The input's own offset of the byte at p in the buffer.
  std::uint64_t input_offset(const unsigned char* p) {
    const std::uint64_t at = consumed_ + static_cast<std::uint64_t>(p - text_);
    while (crlf_counted_ < crlf_.size() && crlf_[crlf_counted_] < at) ++crlf_counted_;
    return raw_start_ + at + crlf_before_ + crlf_counted_;
  }
  // The same of the byte at `at`, counted as the buffer's bytes are, in any order.
  std::uint64_t input_offset_at(std::uint64_t at) const {
    const auto crlf = std::lower_bound(crlf_.begin(), crlf_.end(), at) - crlf_.begin();
    return raw_start_ + at + crlf_before_ + static_cast<std::uint64_t>(crlf);
  }

  // The word's problems at the word at p; false when they cannot be placed there.
  [[gnu::noinline]] bool place(const Word& w, const unsigned char* p) {
    if (w.problem_count == kUnplaced) return false;
    const std::uint64_t at = input_offset(p);
    for (int i = 0; i < w.problem_count; ++i) {
      const WordProblem& problem = word_problems_[w.problems_at + static_cast<std::uint32_t>(i)];
      found_.add({problem.kind, problem.value, at + problem.offset, problem.length});
    }
    return true;
  }

  // The length of the "@" name at p up to the byte that ends it (white space, or the Wylie "." that the
  // pre-pass makes a blank), or 0 when it is too long or holds what the scan leaves to the passes.
  int name_length(const unsigned char* p) const {
    for (int n = 1; n <= kLongestPackedRun; ++n) {
      const unsigned char c = p[n];
      const Source kind = scheme_.kinds[c];
      if (kind == Source::white) return n;
      if (kind == Source::dot && !tsheg_breaks_within(p[n - 1], p[n + 1])) return n;
      if (kind == Source::odd || kind == Source::bracket) return 0;
    }
    return 0;
  }

  // Where a stretch through the passes left the scan: after it, or before it (`stopped`) to read more
  // of the input first; null when the scan declines.
  struct Passed {
    const unsigned char* at;
    bool stopped;
  };

  // The item at p, which the scan leaves to the passes, with what follows it up to white space where the
  // passes are at rest, through the passes; where they read on past the bytes read, with the rest of the
  // input.
  [[gnu::noinline]] Passed through_passes(const unsigned char* p, const unsigned char* have_end, bool eof) {
    if (const unsigned char* cut = rest_after(p, have_end)) {
      const std::string_view text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(cut - p + 1));
      switch (convert_stretch(text, index_of(p), starts_syllable(p), false)) {
        case Stretch::at_rest:
          return {cut + 1, false};
        case Stretch::failed:
          return {nullptr, false};
        case Stretch::reads_on:
          break;
      }
    } else if (!eof && p > text_) {
      return {p, true};
    }
    return to_the_end(p, have_end, eof);
  }

  // The bytes from p and the rest of the input, through the passes.
  Passed to_the_end(const unsigned char* p, const unsigned char* have_end, bool eof) {
    std::string text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(have_end - p));
    if (!eof) {
      read_input(SIZE_MAX, index_of(have_end), [&text](const unsigned char* bytes, std::size_t n) {
        text.append(reinterpret_cast<const char*>(bytes), n);
      });
      if (in_.error()) return {nullptr, false};
    }
    if (convert_stretch(text, index_of(p), starts_syllable(p), true) != Stretch::at_rest) return {nullptr, false};
    return {have_end, false};
  }

  // The first white space from p on outside a bracket (which the Wylie pre-pass copies as it stands, in
  // a brace too) and a brace, where the passes come to rest unless the extraction reads a passage
  // otherwise; null when there is none before `end`.
  const unsigned char* rest_after(const unsigned char* p, const unsigned char* end) const {
    bool brace = false;
    for (; p < end; ++p) {
      const unsigned char c = *p;
      if (c == '[' && (wylie_ || !brace)) {
        p = static_cast<const unsigned char*>(std::memchr(p + 1, ']', static_cast<std::size_t>(end - p - 1)));
        if (!p) return nullptr;
      } else if (c == '{' || c == '}') {
        brace = c == '{';
      } else if (!brace && scheme_.kinds[c] == Source::white) {
        return p;
      }
    }
    return nullptr;
  }

  // The byte at p counted as the buffer's bytes are.
  std::uint64_t index_of(const unsigned char* p) const { return consumed_ + static_cast<std::uint64_t>(p - text_); }

  // What a stretch through the passes came to: the passes at rest after it, the extraction reading on
  // in a passage (the stretch must run further), or a failure.
  enum class Stretch { at_rest, reads_on, failed };

  // Converts `text`, whose first byte is the byte at index `at`, through the Wylie pre-pass and the
  // extraction, with their state before it: the pre-pass's syllable start, and an open "(" before it,
  // carried in as text before it whose syllable-file bytes are left out. Counts and places what the
  // extraction found, and hands the syllable-file bytes to the back. Unless it runs to the end of the
  // input, a passage that the extraction reads on in leaves everything as it was.
  Stretch convert_stretch(std::string_view text, std::uint64_t at, bool starts_syllable, bool to_the_end) {
    const bool open = place_problems_ && open_parenthesis_ >= 0;
    const bool slash = wylie_ && !starts_syllable;
    std::string source = open ? "(\n" : "";
    std::string before = open ? std::string{static_cast<char>(kSmallStart), '\n'} : std::string();
    if (slash) {
      source += '/';
      before += ',';
    }
    const std::size_t prefix = source.size();
    source.append(text);
    ExtractionReport report;
    tsd::Stream* const extracted = extract(source, &report, nullptr);
    if (!extracted) return Stretch::failed;
    tsd::Stream& syllables = *extracted;
    tsd::Stream& file = batch_files_[0];
    const auto reads_on = [](const SourceProblem& problem) {
      return problem.kind == SourceProblem::bracket_open || problem.kind == SourceProblem::brace_closed;
    };
    if (!to_the_end && (report.not_kept > 0 || std::any_of(report.problems.begin(), report.problems.end(), reads_on)))
      return Stretch::reads_on;
    if (place_problems_ && report.not_kept > 0) return Stretch::failed;
    std::string converted = read_all(syllables);
    if (converted.compare(0, before.size(), before) != 0) return Stretch::failed;
    const std::size_t length = converted.size() - before.size();
    converted.append(kReadPast, ' ');
    found_.syllables += report.syllables;
    found_.marked += report.marked;
    if (place_problems_ && !place_stretch_problems(report.problems, file, prefix, at)) return Stretch::failed;
    back_.bytes(reinterpret_cast<const unsigned char*>(converted.data()) + before.size(), length);
    return Stretch::at_rest;
  }

  // `text` through the Wylie pre-pass (for Wylie) and the extraction, by the batch files 0 to 2: the
  // syllable file, rewound, or null when a file failed. `kvts`, when given, gets the text the extraction
  // read. `batch_files_[0]` keeps `text` to be read again (batch_file() would empty it).
  tsd::Stream* extract(std::string_view text, ExtractionReport* report, std::string* kvts) {
    tsd::Stream& source = batch_file(0, 0);
    tsd::Stream& syllables = batch_file(2, 1);
    if (!source.is_open() || !syllables.is_open()) return nullptr;
    source.write(text);
    if (source.rewind() != 0 || source.error()) return nullptr;
    tsd::Stream* read = &source;
    if (wylie_) {
      tsd::Stream& pre_pass = batch_file(1, 0);
      if (!pre_pass.is_open() || wylie_to_kvts(source, pre_pass) != 0 || pre_pass.rewind() != 0) return nullptr;
      read = &pre_pass;
    }
    if (kvts) {
      *kvts = read_all(*read);
      if (read->rewind() != 0) return nullptr;
    }
    if (extract_syllables(*read, syllables, tables_, check_syllables_, report, &extraction_cache_) != 0 ||
        syllables.rewind() != 0)
      return nullptr;
    return &syllables;
  }

  // The first and last byte of each problem in `source`, the text that the batch files were written
  // from (for Wylie through the pre-pass's steps, read again); false when it cannot be read again.
  bool ends_in_source(const std::vector<SourceProblem>& problems, tsd::Stream& source,
                      std::vector<std::uint64_t>& ends) const {
    ends = first_and_last_bytes(problems);
    if (!wylie_) return true;
    if (source.rewind() != 0) return false;
    wylie_places_in_any_order(source, ends);
    return true;
  }

  // The extraction's problems in a stretch whose source, `prefix` bytes of state before the stretch's
  // own, is `source`: each placed in the input, the first open "(" kept for the end.
  bool place_stretch_problems(const std::vector<SourceProblem>& problems, tsd::Stream& source, std::size_t prefix,
                              std::uint64_t at) {
    std::vector<std::uint64_t> ends;
    if (!ends_in_source(problems, source, ends)) return false;
    bool parenthesis = false;
    for (std::size_t i = 0; i < problems.size(); ++i) {
      const std::uint64_t first = ends[2 * i];
      const std::uint64_t last = ends[2 * i + 1];
      if (problems[i].kind == SourceProblem::parenthesis_open) {
        // The "(" before the stretch stays the first open one, unless the stretch closed it.
        parenthesis = true;
        if (first >= prefix) open_parenthesis_ = static_cast<std::int64_t>(input_offset_at(at + first - prefix));
        continue;
      }
      if (first < prefix || last < first) return false;
      const std::uint64_t from = input_offset_at(at + first - prefix);
      found_.add({problems[i].kind, problems[i].value, from, input_offset_at(at + last - prefix) - from + 1});
    }
    if (!parenthesis) open_parenthesis_ = -1;
    return true;
  }

  // The words met for the first time in the stretch, through the passes; false when the passes did not
  // give what the scan expects.
  [[gnu::noinline]] bool learn() {
    return convert_words(fresh_) &&
           std::all_of(fresh_.begin(), fresh_.end(), [](const NewWord& w) { return w.record->learned; });
  }

  // A temporary file of the learning batches, empty: `slot` 0 the words, 1 their pre-pass, 2 their
  // syllables, 3 what the last passes make of them, each made as the passes make file `which`. Made once
  // (one that cannot be made fails here as it fails the passes) and emptied for each batch after.
  tsd::Stream& batch_file(int slot, int which) {
    tsd::Stream& file = batch_files_[static_cast<std::size_t>(slot)];
    if (!file.is_open() || file.empty() != 0) file = temporaries_(which);
    return file;
  }

  // Each word on a line of its own, after "/" when it starts no syllable, through the Wylie pre-pass and
  // the extraction.
  bool convert_words(const std::vector<NewWord>& fresh) {
    std::string text;
    std::vector<std::uint64_t> word_starts;  // where each word's own bytes start in the text
    for (const NewWord& w : fresh) {
      if (wylie_ && !w.starts_syllable) text += '/';
      word_starts.push_back(text.size());
      text.append(reinterpret_cast<const char*>(w.text), static_cast<std::size_t>(w.length));
      text += w.name ? "\n\n" : "\n";
    }
    ExtractionReport report;
    std::string kvts;
    tsd::Stream* const extracted = extract(text, place_problems_ ? &report : nullptr, &kvts);
    if (!extracted) return false;
    // Every problem of the new words is placed in its word, or the fast path declines.
    if (report.not_kept > 0) return false;
    const auto problems = problems_of_words(report.problems, batch_files_[0], word_starts, fresh);
    if (!problems) return false;
    tsd::Stream& syllables = *extracted;
    const std::string converted = read_all(syllables);
    const auto kvts_lines = lines_of(kvts);
    const auto syllable_lines = lines_of(converted);
    if (syllable_lines.size() != fresh.size()) return false;
    std::size_t line = 0;
    std::vector<std::string_view> learned;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      if (line >= kvts_lines.size()) return false;
      std::string_view from = kvts_lines[line];
      line += fresh[i].name ? 2 : 1;
      std::string_view to = syllable_lines[i];
      if (wylie_ && !fresh[i].starts_syllable) {
        if (from.empty() || from[0] != ',' || to.empty() || to[0] != ',') return false;
        from.remove_prefix(1);
        to.remove_prefix(1);
      }
      Word& w = *fresh[i].record;
      if (to.size() > static_cast<std::size_t>(kSyllableRoom)) {
        back_.spill(w, to);
      } else {
        w.length = static_cast<std::uint8_t>(to.size());
        std::memcpy(w.bytes.data(), to.data(), to.size());
      }
      // The extraction copies a name as it stands and counts nothing in it.
      const int syllables = fresh[i].name ? 0 : syllables_in(from);
      int marked = 0;
      for (std::size_t at = to.find("[~"); at != std::string_view::npos; at = to.find("[~", at + 2)) ++marked;
      // A word of more syllables than its record counts is left unlearned: the scan declines.
      if (syllables > UINT16_MAX || marked > UINT16_MAX) continue;
      w.learned = true;
      w.syllables = static_cast<std::uint16_t>(syllables);
      w.marked = static_cast<std::uint16_t>(marked);
      const auto [first, last] = problems->ranges[i];
      w.problems_at = static_cast<std::uint32_t>(word_problems_.size());
      w.problem_count = problems->unplaced[i] ? kUnplaced : static_cast<std::uint16_t>(last - first);
      if (!problems->unplaced[i])
        word_problems_.insert(word_problems_.end(), problems->list.begin() + static_cast<std::ptrdiff_t>(first),
                              problems->list.begin() + static_cast<std::ptrdiff_t>(last));
      back_.prepare(w);
      learned.push_back(to);
    }
    return back_.check(learned, batch_file(3, 2));
  }

  // The problems that the extraction found in the text of new words, each word's placed in its own input
  // bytes (for Wylie through the pre-pass's steps, read again from `source`).
  struct ProblemsOfWords {
    std::vector<WordProblem> list;                          // by word
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // each word's part of the list
    std::vector<bool> unplaced;                              // a problem outside the word's bytes
  };
  std::optional<ProblemsOfWords> problems_of_words(const std::vector<SourceProblem>& found, tsd::Stream& source,
                                                   const std::vector<std::uint64_t>& word_starts,
                                                   const std::vector<NewWord>& fresh) const {
    ProblemsOfWords words;
    words.ranges.assign(fresh.size(), {0, 0});
    words.unplaced.assign(fresh.size(), false);
    if (found.empty()) return words;
    std::vector<std::uint64_t> ends;
    if (!ends_in_source(found, source, ends)) return std::nullopt;
    std::vector<std::pair<std::size_t, WordProblem>> placed;
    for (std::size_t i = 0; i < found.size(); ++i) {
      const std::uint64_t first = ends[2 * i];
      const std::uint64_t last = ends[2 * i + 1];
      const auto after = std::upper_bound(word_starts.begin(), word_starts.end(), first);
      if (after == word_starts.begin()) return std::nullopt;
      const auto word = static_cast<std::size_t>(after - word_starts.begin() - 1);
      const std::uint64_t start = word_starts[word];
      const bool inside = (found[i].kind == SourceProblem::syllable_marked ||
                           found[i].kind == SourceProblem::byte_dropped) &&
                          last >= first && last < start + static_cast<std::uint64_t>(fresh[word].length);
      if (!inside) {
        words.unplaced[word] = true;
        continue;
      }
      placed.push_back({word, WordProblem{found[i].kind, static_cast<std::uint8_t>(found[i].value),
                                          static_cast<std::uint32_t>(first - start),
                                          static_cast<std::uint32_t>(last - first + 1)}});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [word, problem] : placed) {
      auto& range = words.ranges[word];
      if (range.first == range.second) range = {words.list.size(), words.list.size()};
      words.list.push_back(problem);
      ++range.second;
    }
    for (std::size_t i = 0; i < fresh.size(); ++i)
      if (words.ranges[i].second - words.ranges[i].first >= kUnplaced) words.unplaced[i] = true;
    return words;
  }

  const bool place_problems_;
  tsd::Stream& in_;
  const TemporaryFiles& temporaries_;
  std::array<tsd::Stream, 4> batch_files_;
  const Scheme& scheme_;
  const bool wylie_;
  const std::uint64_t starts_bit_ = wylie_ ? kStartsSyllable : 0;  // in the key of a word that starts a syllable
  const TranslitTables& tables_;
  const int check_syllables_;
  ExtractionCache extraction_cache_;  // of these tables and check, for every batch and stretch
  Last& back_;
  ExtractionReport& found_;
  WordTable words_;
  std::unique_ptr<unsigned char[]> buf_;
  unsigned char* const text_ = buf_.get() + 1;  // the text read, after the byte before it
  // A bit for each byte of the text that ends a word, with 8 bytes of slack to load a word of them anywhere.
  std::unique_ptr<unsigned char[]> stops_{new unsigned char[(kChunk + kSlack) / 8 + 8]()};
  // Where the buffer's bytes lie in the input: how many were read into it before, where the first was,
  // and where text mode made a CR LF one line feed.
  std::uint64_t consumed_ = 0;
  std::uint64_t raw_start_ = 0;
  std::vector<std::uint64_t> crlf_;  // the line feeds of CR LFs in the buffer
  std::uint64_t crlf_before_ = 0;    // and before it
  std::size_t crlf_counted_ = 0;     // those before the last offset asked for
  std::int64_t open_parenthesis_ = -1;
  std::vector<WordProblem> word_problems_;
  // The words of the stretch being written, and those of them met for the first time.
  std::unique_ptr<Word*[]> tokens_{new Word*[kStretchWords]};
  std::size_t token_count_ = 0;
  std::vector<NewWord> fresh_;
  std::unordered_map<std::string, Word*> long_words_;
  static constexpr std::size_t kLongRecordsAtOnce = 256;
  std::vector<std::unique_ptr<Word[]>> long_records_;
  std::size_t long_used_ = 0;
  bool ahead_due_ = false;         // a new word of kShortestAhead bytes or more in the stretch
  std::uint64_t ahead_until_ = 0;  // the index up to which words ahead were met
};

}  // namespace

bool fast_path_takes(int conversion_type) {
  const Route* route = route_by_id(conversion_type);
  return route && route->fast;
}

int fast_convert(tsd::Stream& input, tsd::Stream& output, const ConversionRequest& request,
                 ConversionContext& context, ExtractionReport& found, bool place_problems) {
  if (!fast_path_takes(request.conversion_type) || !context.translit_tables) return kFastDeclined;
  const Route& route = *route_by_id(request.conversion_type);
  const bool wylie = route.from == tarvex::Scheme::wylie;
  const bool keep_cr = request.keep_cr != 0;
  Output out(output);
  ExtractionReport counted;
  const auto scan = [&](auto& back) {
    Scan scan(input, wylie, *context.translit_tables, request.check_syllables, back, counted, place_problems,
              context.temporaries);
    // The warning of a word given up is placed by the syllable-file word it lies in, which the scan does
    // not count.
    return scan.run() && !back.failed() && !(place_problems && back.gave_up());
  };
  // The composer's state is the passes' own only once the whole file is converted.
  tsd::SyllableState composer = context.composer;
  // The writer at the end of the route's chain.
  const Pass writer = route.passes.back();
  if (writer == Pass::unicode_rtf) {
    UnicodeWords words(true);
    UnicodeRtfSink rtf(out, request);
    Back<UnicodeWords, UnicodeRtfSink> back(words, rtf, keep_cr);
    if (!scan(back)) return kFastDeclined;
    rtf.finish();
  } else if (writer == Pass::unicode_text) {
    UnicodeWords words(false);
    Back<UnicodeWords, Output> back(words, out, keep_cr);
    if (!scan(back)) return kFastDeclined;
  } else if (writer == Pass::tsendrel_rtf) {
    if (!context.key_tables || !context.rtf_fonts || context.font_count < 1 || context.font_count > kMaxRtfFonts)
      return kFastDeclined;
    FontWords words(*context.key_tables, composer);
    RtfSink rtf(out, request, context);
    Back<FontWords, RtfSink> back(words, rtf, keep_cr);
    if (!scan(back)) return kFastDeclined;
    rtf.finish();
  } else {
    return kFastDeclined;  // a writer it remembers no words for
  }
  out.flush();
  if (output.flush() != 0 || output.error() || input.error()) return kFastDeclined;
  context.composer = composer;
  found.syllables = counted.syllables;
  found.marked = counted.marked;
  found.problems = std::move(counted.problems);
  found.not_kept = counted.not_kept;
  return 0;
}

}  // namespace tarvex
