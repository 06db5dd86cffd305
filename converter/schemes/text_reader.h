// What every reader of a transliteration into the hub does, whatever its scheme: the input read into a
// window with the offsets of its bytes in the input (so warnings name the user's line and column), the
// tracing of hub places back to the input, the spacing between syllables and marks, the cache of words
// already converted, text in "[...]" copied as it stands, backslash escapes, and bytes that are no UTF-8.
// A scheme's reader derives from `TextReader` and keeps only its own lexing (`parse`) and its syllable
// grammar (`read_syllables`). Reads the input stream; writes the hub and the report's warnings.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ewts_tables.h"
#include "hub.h"
#include "memo_table.h"
#include "packed_keys.h"
#include "platform/crlf_offsets.h"
#include "platform/stream.h"

namespace tarvex {

// A warning of a scheme's grammar, at a place of the word it read.
struct WordWarning {
  std::size_t pos;
  std::size_t len;
  std::string text;
};

// What one run of syllable characters gave.
struct WordResult {
  int syllables = 0;
  int not_converted = 0;
  bool tibetan = false;       // it wrote Tibetan
  bool ends_tibetan = false;  // the last thing it wrote is Tibetan
};

// `form` with %1 and %2 replaced by `a` and `b` (the text or byte a warning is about).
std::string warning_text(std::string_view form, std::string_view a = {}, std::string_view b = {});
// "0xHH".
std::string hex_byte(unsigned char b);

// The warnings of the text itself, whatever its scheme.
namespace text_warnings {
inline constexpr std::string_view kUnexpected = "unexpected character \"%1\"";
inline constexpr std::string_view kUnclosedBracket = "unclosed \"[\"";
inline constexpr std::string_view kBadEscape = "bad escape \"%1\"";
inline constexpr std::string_view kNoTibetan = "no Tibetan in the text";
inline constexpr std::string_view kNotUtf8 = "byte %1 is not UTF-8";
inline constexpr std::string_view kControl = "control character %1";
inline constexpr std::string_view kCut = "syllable longer than 4096 bytes cut";
inline constexpr std::string_view kSloppy = "%1 read as sloppy input";
inline constexpr std::string_view kByteOrderMark = "byte-order mark U+FEFF";
}  // namespace text_warnings

// Letters, signs and the like that run on longer than this are cut into pieces of this size, so that the
// memory a reader needs does not depend on its input.
inline constexpr std::size_t kMaxWord = 4096;

// What was written last, for the spacing: the text schemes share Extended Wylie's rule (ewts_tables.h).
using Before = EwtsBefore;

// What a run of spaces reads as, by what stands before it and what follows ([before][next]). Extended
// Wylie's rule is the default; a scheme with spacing of its own gives its reader its own table.
inline constexpr std::size_t kBeforeKinds = static_cast<std::size_t>(Before::text) + 1;
using SpaceTable = std::array<std::array<EwtsSpace, kBeforeKinds>, kBeforeKinds>;
constexpr SpaceTable space_table(EwtsSpace (*reading)(Before, Before)) {
  SpaceTable table{};
  for (std::size_t b = 0; b < kBeforeKinds; ++b)
    for (std::size_t n = 0; n < kBeforeKinds; ++n)
      table[b][n] = reading(static_cast<Before>(b), static_cast<Before>(n));
  return table;
}
inline constexpr SpaceTable ewts_spacing = space_table(ewts_space_reading);

class TextReader {
 public:
  TextReader(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report,
             const SpaceTable& spacing = ewts_spacing);
  virtual ~TextReader() = default;
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Reads all of the input into the hub, finished: 0, or -1 when reading or handing the hub on failed.
  int run();

 protected:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;
  // Input offsets of places in a word copied with some input bytes left out: after which of its bytes how
  // many were left out.
  using Adjust = std::vector<std::pair<std::size_t, std::size_t>>;

  // The scheme's lexing: parses the window from `at` as far as it can without more input; returns where
  // it stopped.
  virtual std::size_t parse(std::size_t at) = 0;
  // The scheme's grammar: `word` to Unicode, appended to `out`, its warnings at places of the word.
  virtual WordResult read_syllables(std::string_view word, std::string& out,
                                    std::vector<WordWarning>& warnings) = 0;
  // Whether a character of 0x80 or more, outside brackets, starts a word of the scheme; and the word read
  // from `at`, `at` then past it (false when the window may end inside it).
  virtual bool starts_word(char32_t c) const = 0;
  virtual bool take_word(std::size_t& at) = 0;

  std::uint64_t offset_at(std::size_t i) const { return offsets_.raw(offsets_.consumed() + i); }
  // The end of the run of bytes from `at` that `stops` lets through, at most `limit`, eight bytes at a
  // time (the window's slack is read past len_).
  std::size_t run_end(const StopBits& stops, std::size_t at, std::size_t limit) const {
    for (;;) {
      const int run = run_of_8(stops, buf_.data() + at);
      at += static_cast<std::size_t>(run);
      if (run < 8 || at >= limit) return std::min(at, limit);
    }
  }

  // One run of syllable characters p[0..n), read from the window at `at`: replayed from the cache, or read
  // by the grammar.
  [[gnu::always_inline]] inline void word(const unsigned char* p, std::size_t n, std::size_t at,
                                          const Adjust* adjust);
  // Words from `at` and the single spaces between them, most of a text, read by the scheme's `word_at`
  // (false when the window may end in the word): where the run stops, `cut` when at such a word. A reader
  // calls it from a function of its own, kept out of its main loop, so that the loop's few values stay in
  // registers.
  template <class WordAt>
  [[gnu::always_inline]] std::size_t word_run(std::size_t at, bool& cut, const StopBits& stops,
                                              WordAt word_at) {
    const unsigned char* b = buf_.data();
    for (;;) {
      if (!word_at(at)) {
        cut = true;
        return at;
      }
      if (at + 1 >= len_ || b[at] != ' ' || stops[0][b[at + 1]] != 0) return at;
      pending_space_ = true;
      ++at;
    }
  }
  // Text inside brackets, from a "[" just read or where the last parse stopped in it; false when it needs
  // more input. A line feed ends it (the scheme's lexing warns and breaks the line).
  bool brackets(std::size_t& at) {
    while (depth_ > 0 && at < len_ && buf_[at] != '\n') {
      const std::size_t next = bracket(at);
      if (next == at) return false;
      at = next;
    }
    return true;
  }
  // A "[" at `at`: brackets open.
  void open_bracket(std::size_t at) {
    space_before(Before::text);
    depth_ = 1;
    bracket_offset_ = offset_at(at);
    text_ = true;
  }
  // A line feed: a bracket left open is told and closed, and the line broken.
  void line_feed() {
    space_before(Before::start);
    if (depth_ > 0) {
      warn(bracket_offset_, 1, warning_text(text_warnings::kUnclosedBracket));
      depth_ = 0;
    }
    line_break();
    written(Before::start, HubTail::nothing);
  }
  void tab() {
    space_before(Before::syllable);
    write("\t", 1);
    written(Before::start, HubTail::nothing);
  }
  // Whether the report asks for what reading takes silently to be told too.
  bool tells_sloppy() const { return report_ && report_->tell_sloppy; }
  // A byte copied as text that is not Tibetan; with `warned`, told as unexpected.
  void other_byte(std::size_t at, bool warned);
  // A control character: U+FFFD, told.
  void control(std::size_t at);
  std::size_t escape(std::size_t at);
  std::size_t high(std::size_t at, bool in_bracket);

  [[gnu::always_inline]] void space_before(Before next) {
    if (pending_space_) write_space(next);
  }
  // A pending run of spaces, now that what follows it is known: a tsheg after a syllable or beside text that
  // is not Tibetan, a plain space after a shad or other mark (and between digits), nothing at a line's start.
  [[gnu::always_inline]] void write_space(Before next) {
    pending_space_ = false;
    switch (spacing_[static_cast<std::size_t>(before_)][static_cast<std::size_t>(next)]) {
      case EwtsSpace::nothing:
        return;
      case EwtsSpace::tsheg:
        put("\xE0\xBC\x8B", 3, 3);
        break;
      case EwtsSpace::plain:
        put(" ", 1, 1);
        break;
    }
    written(Before::start, HubTail::nothing);
  }
  void write(const void* p, std::size_t n) {
    out_.write(static_cast<const char*>(p), n);
    lines_.text();
  }
  void line_break() { lines_.line_break(out_, tail_); }
  // What is written next comes from the input at `at` (for a writer that traces its problems back).
  void trace(std::size_t at) {
    if (tracing_) report_->source(offset_at(at), out_.written());
  }
  // Writes the first n of the `size` bytes at p, copying all `size` in place where the output has room.
  [[gnu::always_inline]] void put(const void* p, std::size_t size, std::size_t n) {
    std::memcpy(out_.room(size), p, size);
    out_.commit(n);
    lines_.text();
  }
  void write_code(char32_t c);
  void warn(std::uint64_t offset, std::uint64_t length, std::string_view text) {
    if (report_) report_->warn(offset, length, text);
  }
  Before before() const { return before_; }
  void written(Before kind, HubTail tail) {
    before_ = kind;
    tail_ = tail;
  }

  std::vector<unsigned char> buf_;
  std::size_t len_ = 0;
  bool eof_ = false;
  bool pending_space_ = false;
  bool tibetan_ = false;
  bool text_ = false;  // anything but white space was read
  int depth_ = 0;      // of "[" brackets open

 private:
  // Converted syllables by their text: the words of at most 16 bytes that gave no warning, in sets of four
  // places, the one learned longest ago pushed out. Keys are compared, and texts copied, in whole words.
  struct CacheEntry {
    std::uint64_t key[2];   // the text, zero-padded
    std::uint32_t handle;   // the hub writer's for `out`, written as its token (0: none)
    unsigned char key_len;  // 0: empty
    unsigned char out_len;
    unsigned char syllables;
    char out[41];
    bool empty() const { return key_len == 0; }
  };
  static_assert(sizeof(CacheEntry) == 64);
  static constexpr std::size_t kCachedWord = sizeof(CacheEntry::key);

  // The first n (1..16) bytes at p as two zero-padded words; the 16 bytes at p may all be read.
  static void load_key(const unsigned char* p, std::size_t n, std::uint64_t key[2]) {
    std::uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 8, 8);
    const auto mask = [](std::size_t bytes) {
      return bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
    };
    key[0] = a & mask(n);
    key[1] = n > 8 ? b & mask(n - 8) : 0;
  }
  static std::uint64_t cache_hash(const std::uint64_t key[2], std::size_t n) {
    return (key[0] * 0x9E3779B97F4A7C15u) ^ (key[1] * 0xC2B2AE3D27D4EB4Fu) ^ n;
  }

  void fill();
  std::size_t bracket(std::size_t at);
  [[gnu::noinline]] void read_word(const unsigned char* p, std::size_t n, std::size_t at,
                                   const Adjust* adjust, const std::uint64_t key[2], std::uint64_t hash);

  tsd::Stream& in_;
  HubOut& out_;
  HubLines lines_;
  ReaderReport* report_;
  const bool tracing_;  // the report asks where places of the hub come from
  const SpaceTable& spacing_;
  // Input offsets of the window's bytes, as the fast path's input window has them.
  tsd::WindowOffsets offsets_;
  std::uint64_t read_total_ = 0;

  MemoTable<CacheEntry, MemoShape{11, 4, MemoOrder::first_free}> cache_;
  std::string word_out_;
  std::vector<WordWarning> word_warnings_;
  std::string scratch_;

  Before before_ = Before::start;
  HubTail tail_ = HubTail::nothing;
  std::uint64_t bracket_offset_ = 0;
};

inline void TextReader::word(const unsigned char* p, std::size_t n, std::size_t at, const Adjust* adjust) {
  space_before(Before::syllable);
  trace(at);
  text_ = true;
  std::uint64_t key[2] = {0, 0};
  std::uint64_t hash = 0;
  if (n <= kCachedWord) {
    if (adjust) {
      unsigned char padded[kCachedWord] = {};
      std::memcpy(padded, p, n);
      load_key(padded, n, key);
    } else {
      load_key(p, n, key);
    }
    hash = cache_hash(key, n);
    if (const CacheEntry* e = cache_.find(hash, [&](const CacheEntry& e) {
          return e.key_len == n && e.key[0] == key[0] && e.key[1] == key[1];
        })) {
      if (e->handle) {
        out_.token(e->handle, e->out, sizeof e->out, e->out_len);
        lines_.text();
      } else {
        put(e->out, sizeof e->out, e->out_len);
      }
      written(Before::syllable, HubTail::tibetan);
      tibetan_ = true;
      if (report_) report_->syllables += e->syllables;
      return;
    }
  }
  read_word(p, n, at, adjust, key, hash);
}

}  // namespace tarvex
