#include "unicode_pass.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "layout.h"
#include "log_status.h"
#include "memo_table.h"
#include "translit_tables.h"
#include "unicode_keys.h"

namespace tarvex {

namespace {

constexpr char kTsheg[] = "\xE0\xBC\x8B";

// A word with no Unicode form: "~" and the text of each key between the marks of a raw passage (the stack
// key has none); the bytes written, or -1 when they do not fit.
int raw_word(const unsigned char* keys, int n, const LayoutMarks& marks, char* out, int capacity) {
  const LayoutMark& open = marks.passage[static_cast<int>(Passage::raw)][0];
  const LayoutMark& close = marks.passage[static_cast<int>(Passage::raw)][1];
  int length = 0;
  const auto append = [&](const void* bytes, std::size_t count) {
    if (length < 0 || count > static_cast<std::size_t>(capacity - length)) {
      length = -1;
      return;
    }
    std::memcpy(out + length, bytes, count);
    length += static_cast<int>(count);
  };
  append(open.bytes.data(), open.length);
  append("~", 1);
  for (int i = 0; i < n; ++i) {
    const std::string_view text(key_text[keys[i]]);
    append(text.data(), text.size());
  }
  append(close.bytes.data(), close.length);
  return length;
}

// The Unicode of words met before, by their packed keys; running text repeats its syllables.
struct alignas(64) CachedWord {
  PackedRun keys;  // a word has at least one key
  std::uint8_t length = 0;
  std::array<char, 47> utf8{};
};
using WordCache = MemoTable<CachedWord, MemoShape{11}>;

class UnicodePass {
 public:
  UnicodePass(tsd::Stream& in, tsd::Stream& out, int keep_cr, UnicodePassages passages,
              const StatusSink& status, bool in_place)
      : in_(in), out_(out), status_(status), in_place_(in_place), layout_(marks_, keep_cr != 0) {
    marks_ = unicode_marks(passages);
  }

  int run();

 private:
  tsd::WindowUse fast_run(const unsigned char* start, std::size_t size);
  bool step(int c);
  bool word(int c);
  bool passage(bool bracket);
  const CachedWord* cached(const unsigned char* keys, int n);
  [[gnu::noinline]] const CachedWord* learn(const unsigned char* keys, int n, const PackedRun& packed);
  bool put_raw(const unsigned char* keys, int n, StreamOut& out);
  int peek() {
    const int c = in_.get();
    in_.unget(c);
    return c;
  }

  tsd::Stream& in_;
  tsd::Stream& out_;
  const StatusSink& status_;
  const bool in_place_;
  StreamOut stream_out_{out_};
  LayoutMarks marks_;
  Layout layout_;
  WordCache cache_;
  std::array<unsigned char, kLongestUnicodeWord> word_{};
  std::array<char, kUnicodeWordRoom> utf8_{};
};

int UnicodePass::run() {
  layout_.clear();
  bool window_failed = false;
  const bool to_end = tsd::run_windows(
      in_,
      [this, &window_failed](const unsigned char* p, std::size_t n) {
        if (!in_place_) return tsd::WindowUse{0};
        const tsd::WindowUse use = fast_run(p, n);
        window_failed = use.next == tsd::WindowUse::Next::stop;
        return use;
      },
      [this](int c) { return step(c); });
  if (window_failed) status_.log_status("%s", kWriteFailed);
  if (!to_end) return -1;
  if (out_.flush() != 0 || out_.error()) {
    status_.log_status("%s", kWriteFailed);
    return -1;
  }
  return 0;
}

// The word at `keys`, converted once and then remembered; null when it has no Unicode form or a long one.
const CachedWord* UnicodePass::cached(const unsigned char* keys, int n) {
  const PackedRun packed = pack_run(keys, n);
  if (const CachedWord* w =
          cache_.find(hash_of(packed), [&](const CachedWord& w) { return w.keys == packed; }))
    return w;
  return learn(keys, n, packed);
}

// A word not met before: converted, and remembered when it has a short Unicode form.
const CachedWord* UnicodePass::learn(const unsigned char* keys, int n, const PackedRun& packed) {
  const int length =
      syllable_to_unicode(std::string_view(reinterpret_cast<const char*>(keys), static_cast<std::size_t>(n)),
                          utf8_.data(), static_cast<int>(utf8_.size()));
  if (length < 0 || length > static_cast<int>(sizeof CachedWord::utf8)) return nullptr;
  CachedWord& w = cache_.place(hash_of(packed));
  w.keys = packed;
  w.length = static_cast<std::uint8_t>(length);
  std::memcpy(w.utf8.data(), utf8_.data(), static_cast<std::size_t>(length));
  return &w;
}

// Converts words and what lies between them in place, for as long as they lie whole in the read window
// and fit the write window; everything else is left to step(). Stops when the output has failed.
tsd::WindowUse UnicodePass::fast_run(const unsigned char* const start, std::size_t size) {
  const auto room = out_.write_window();
  if (size <= kLongestPackedRun + 1 || room.empty())
    return {0, out_.error() ? tsd::WindowUse::Next::stop : tsd::WindowUse::Next::byte};
  const unsigned char* const end = start + size;
  const unsigned char* p = start;
  unsigned char* const write_start = room.data();
  unsigned char* const write_end = write_start + room.size();
  WindowOut out{write_start};
  constexpr std::ptrdiff_t kRoomNeeded = sizeof(CachedWord::utf8) + 2 * LayoutMark::kSize + 2;
  const auto peek = [&] { return p + 1 == end ? kUnseen : p[1]; };
  while (end - p > kLongestPackedRun + 1 && write_end - out.at >= kRoomNeeded) {
    const int c = *p;
    const Kind kind = kKinds[c];
    bool done = true;
    switch (kind) {
      case Kind::key: {
        const std::size_t n = key_run(p);
        if (n > static_cast<std::size_t>(kLongestPackedRun)) {
          done = false;
          break;
        }
        const CachedWord* w = cached(p, static_cast<int>(n));
        if (!w) {
          done = false;
          break;
        }
        std::memcpy(out.at, w->utf8.data(), sizeof w->utf8);
        out.at += w->length;
        layout_.key();
        layout_.last_key = p[n - 1];
        p += n;
        continue;
      }
      case Kind::bracket:
      case Kind::brace: {
        // A passage copied whole when it ends inside the window and fits the room left.
        const bool bracket = kind == Kind::bracket;
        const auto* found = static_cast<const unsigned char*>(
            std::memchr(p + 1, bracket ? ']' : '}', static_cast<std::size_t>(end - p - 1)));
        if (!found || write_end - out.at < (found - p) + kRoomNeeded) {
          done = false;
          break;
        }
        layout_.passage_start(out, bracket);
        std::memcpy(out.at, p + 1, static_cast<std::size_t>(found - p - 1));
        out.at += found - p - 1;
        layout_.passage_end(out, bracket);
        p = found;
        break;
      }
      default:
        done = layout_.between_words(out, c, kind, peek);
        break;
    }
    if (!done) break;
    ++p;
  }
  out_.commit(static_cast<std::size_t>(out.at - write_start));
  return {static_cast<std::size_t>(p - start)};
}

// One word or one character between words, read from the stream; false after logging a failure.
bool UnicodePass::step(int c) {
  const auto peek = [this] { return this->peek(); };
  bool ok = true;
  switch (const Kind kind = kKinds[c]) {
    case Kind::key:
      ok = word(c);
      break;
    case Kind::bracket:
    case Kind::brace:
      return passage(kind == Kind::bracket);
    default:
      ok = layout_.between_words(stream_out_, c, kind, peek);
      break;
  }
  if (ok) return true;
  status_.log_status("%s", kWriteFailed);
  return false;
}

// A run of keys, the first already read.
bool UnicodePass::word(int c) {
  int n = 0;
  bool too_long = false;
  for (; c != tsd::Stream::end && kKinds[c] == Kind::key; c = in_.get()) {
    if (n < kLongestUnicodeWord)
      word_[n++] = static_cast<unsigned char>(c);
    else
      too_long = true;
  }
  in_.unget(c);
  layout_.key();
  layout_.last_key = word_[n - 1];
  const int length = too_long
                         ? -1
                         : syllable_to_unicode(std::string_view(reinterpret_cast<const char*>(word_.data()),
                                                                static_cast<std::size_t>(n)),
                                               utf8_.data(), static_cast<int>(utf8_.size()));
  if (length == 0) return true;
  if (length > 0) return out_.write(utf8_.data(), static_cast<std::size_t>(length)) == length;
  // Keys past the longest word are lost from the raw passage; the passage shows where they were.
  layout_.last_key = 0;
  return put_raw(word_.data(), n, stream_out_);
}

// A word with no Unicode form, written as its raw passage.
bool UnicodePass::put_raw(const unsigned char* keys, int n, StreamOut& out) {
  const int length = raw_word(keys, n, marks_, utf8_.data(), static_cast<int>(utf8_.size()));
  return length >= 0 && out.stream.write(utf8_.data(), static_cast<std::size_t>(length)) == length;
}

// Copies a bracketed or braced passage between its two marks; false after logging a failure.
bool UnicodePass::passage(bool bracket) {
  const int close = bracket ? ']' : '}';
  if (!layout_.passage_start(stream_out_, bracket)) {
    status_.log_status("%s", kWriteFailed);
    return false;
  }
  int c;
  while ((c = in_.get()) != close) {
    if (c == tsd::Stream::end) {
      // The text copied so far stays in the file.
      if (out_.flush() != 0) status_.log_status("%s", kWriteFailed);
      status_.log_status("%s", bracket ? kOpenBracket : kOpenBrace);
      return false;
    }
    if (!stream_out_.put(c)) {
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

}  // namespace

LayoutMarks unicode_marks(UnicodePassages passages) {
  LayoutMarks marks;
  marks.separator = mark_of(kTsheg);
  for (int i = 0; i < 5; ++i) {
    std::array<char, LayoutMark::kSize> mark{};
    const char key = kPunctuation[i];
    const int n = syllable_to_unicode(std::string_view(&key, 1), mark.data(), LayoutMark::kSize);
    marks.punctuation[i] = mark_of(reinterpret_cast<const unsigned char*>(mark.data()), n > 0 ? n : 0);
  }
  const unsigned char markers[] = {kRawStart, kRawEnd, kBracedStart, kBracedEnd, kSmallStart, kSmallEnd};
  const char* texts[] = {"[", "]", "{", "}", "(", ")"};
  for (int i = 0; i < 6; ++i)
    marks.passage[i / 2][i % 2] =
        passages == UnicodePassages::text ? mark_of(texts[i]) : mark_of(&markers[i], 1);
  return marks;
}

int unicode_word(std::string_view keys, const LayoutMarks& marks, char* out, int capacity, bool& raw) {
  const int length = syllable_to_unicode(keys, out, capacity);
  raw = length < 0;
  if (!raw) return length;
  return raw_word(reinterpret_cast<const unsigned char*>(keys.data()), static_cast<int>(keys.size()), marks,
                  out, capacity);
}

int unicode_pass(tsd::Stream& syllables, tsd::Stream& out, int keep_cr, UnicodePassages passages,
                 const StatusSink& status, bool in_place) {
  UnicodePass pass(syllables, out, keep_cr, passages, status, in_place);
  return pass.run();
}

}  // namespace tarvex
