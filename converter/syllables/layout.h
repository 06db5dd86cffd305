// The layout rules between words: what blanks, punctuation, tabs, line breaks (joined or kept), small-text
// markers and passages of the syllable file become, and the state they share (after_space, no_dot, the
// last key, newline_state). The font-code pass writes glyph codes through it, on its per-key path and when
// it replays remembered words; the Unicode pass writes UTF-8 through it. The marks to write are the
// caller's: separator and punctuation glyphs, or tsheg and shad.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "char_class.h"
#include "packed_keys.h"
#include "platform/stream.h"

namespace tarvex {

inline constexpr int kWordBreak = 25;
inline constexpr unsigned char kRawStart = 19;
inline constexpr unsigned char kRawEnd = 20;
inline constexpr unsigned char kBracedStart = 21;
inline constexpr unsigned char kBracedEnd = 22;
inline constexpr unsigned char kSmallStart = 23;
inline constexpr unsigned char kSmallEnd = 24;

// The punctuation keys, in the order of LayoutMarks::punctuation.
inline constexpr char kPunctuation[] = ".,:?-";

// What a character of the syllable file is to the passes that read it; most are keys of words.
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
inline std::size_t key_run(const unsigned char* p) {
  const int n = run_of_8(kKeyStops, p);
  return static_cast<std::size_t>(n < 8 ? n : 8 + run_of_8(kKeyStops, p + 8));
}

// A separator, punctuation or passage mark as the output writes it. The bytes are padded so that a mark is
// copied as a whole array.
struct LayoutMark {
  static constexpr int kSize = 32;
  std::array<unsigned char, kSize> bytes{};
  std::uint8_t length = 0;
};

enum class Passage : unsigned char { raw, braced, small };

struct LayoutMarks {
  LayoutMark separator;
  std::array<LayoutMark, 5> punctuation;  // for the keys of kPunctuation
  // Opening and closing marks of a raw (bracketed, or a refused word), braced and small passage.
  std::array<std::array<LayoutMark, 2>, 3> passage;
};

// Output to a stream; a write may fail.
struct StreamOut {
  tsd::Stream& stream;
  bool put(int c) { return stream.put(c) != tsd::Stream::end; }
  bool mark(const LayoutMark& m) {
    return m.length == 0 || stream.write(m.bytes.data(), m.length) != tsd::Stream::end;
  }
};

// Output in place into a write window whose room the caller has checked (LayoutMark::kSize beyond the
// widest step); never fails.
struct WindowOut {
  unsigned char* at;
  bool put(int c) {
    *at++ = static_cast<unsigned char>(c);
    return true;
  }
  bool mark(const LayoutMark& m) {
    std::memcpy(at, m.bytes.data(), LayoutMark::kSize);
    at += m.length;
    return true;
  }
};

// A `peek` for the g rule returns the character after the blank or line break, Stream::end at the end of
// the input, or kUnseen when it cannot be seen yet (the rule then changes nothing and reports false).
inline constexpr int kUnseen = -2;

class Layout {
 public:
  Layout(const LayoutMarks& marks, bool keep_cr) : marks_(&marks), keep_cr_(keep_cr) {}

  int last_key = 0;  // the last input character that was not white space
  int after_space = 0;
  int no_dot = 0;
  int newline_state = 0;

  void clear() { after_space = no_dot = last_key = newline_state = 0; }
  // A key character starts or continues a word.
  void key() { after_space = no_dot = newline_state = 0; }
  // The state after a word ending in `last` and the blank after it, which the caller wrote as blank()
  // writes it there (that is, when `last` is not a "g").
  void key_and_blank(int last) {
    key();
    last_key = last;
    after_space = 1;
  }

  // Each step returns false when a write failed or the g rule could not see ahead.
  template <typename Out>
  bool tab(Out& out) {
    newline_state = 0;
    return out.put('\t');
  }

  template <typename Out, typename Peek>
  bool blank(Out& out, Peek peek) {
    if (!g_rule(peek)) return false;
    after_space = 1;
    newline_state = 0;
    return no_dot ? out.put(' ') : out.mark(marks_->separator);
  }

  // `,`, `:`, `?` and `-`; a shad after a word ending in nga gets a separator before it.
  template <typename Out>
  bool punctuation(Out& out, int c) {
    newline_state = 0;
    no_dot = 1;
    const bool separated = c != '-' && last_key == 'G';
    last_key = c;
    return (!separated || out.mark(marks_->separator)) && out.mark(marks_->punctuation[punctuation_index(c)]);
  }

  void word_break() { last_key = kWordBreak; }

  // A line break is kept with keep_cr; otherwise one joins the lines, the second makes a paragraph break
  // of two, every further one adds one.
  template <typename Out, typename Peek>
  bool line_break(Out& out, Peek peek) {
    if (keep_cr_ || newline_state == 2) return out.put('\n');
    if (newline_state == 1) {
      newline_state = 2;
      return out.put('\n') && out.put('\n');
    }
    if (!g_rule(peek)) return false;
    newline_state = 1;
    if (!after_space && !no_dot) return out.mark(marks_->separator);
    return no_dot ? out.put(' ') : true;
  }

  template <typename Out>
  bool small_start(Out& out) {
    clear();
    last_key = kSmallStart;
    return out.mark(open_mark(Passage::small));
  }
  template <typename Out>
  bool small_end(Out& out) {
    last_key = kSmallEnd;
    return out.mark(close_mark(Passage::small));
  }

  // One character between words that is neither a key nor a bracket or brace (the caller's: a word or a
  // passage needs more than the layout). False when a write failed or the g rule could not see ahead.
  template <typename Out, typename Peek>
  bool between_words(Out& out, int c, Kind kind, Peek peek) {
    switch (kind) {
      case Kind::tab:
        return tab(out);
      case Kind::line_break:
        return line_break(out, peek);
      case Kind::word_break:
        word_break();
        return true;
      case Kind::blank:
        return blank(out, peek);
      case Kind::punctuation:
      case Kind::hyphen:
        return punctuation(out, c);
      case Kind::small_start:
        return small_start(out);
      case Kind::small_end:
        return small_end(out);
      case Kind::key:
      case Kind::bracket:
      case Kind::brace:
        break;
    }
    return true;
  }

  // A bracketed or braced passage of the input: its text goes between these two.
  template <typename Out>
  bool passage_start(Out& out, bool bracket) {
    clear();
    return out.mark(open_mark(bracket ? Passage::raw : Passage::braced));
  }
  template <typename Out>
  bool passage_end(Out& out, bool bracket) {
    last_key = bracket ? ']' : '}';
    return out.mark(close_mark(bracket ? Passage::raw : Passage::braced));
  }

  const LayoutMark& open_mark(Passage p) const { return marks_->passage[static_cast<int>(p)][0]; }
  const LayoutMark& close_mark(Passage p) const { return marks_->passage[static_cast<int>(p)][1]; }

  static int punctuation_index(int c) {
    return c == '.' ? 0 : c == ',' ? 1 : c == ':' ? 2 : c == '?' ? 3 : 4;
  }

 private:
  // After a `g`, a blank or line break followed by white space or `,`, `?`, `-` writes no separator.
  template <typename Peek>
  bool g_rule(Peek peek) {
    if (last_key != 'g') return true;
    const int after = peek();
    if (after == kUnseen) return false;
    if (tsd::is_space(after) || after == ',' || after == '?' || after == '-') no_dot = 1;
    last_key = 0;
    return true;
  }

  const LayoutMarks* marks_;
  bool keep_cr_;
};

// A mark of one byte (the glyph-code file's markers) or of a text.
inline LayoutMark mark_of(const unsigned char* bytes, int length) {
  LayoutMark m;
  if (length > LayoutMark::kSize) length = LayoutMark::kSize;
  std::memcpy(m.bytes.data(), bytes, static_cast<std::size_t>(length));
  m.length = static_cast<std::uint8_t>(length);
  return m;
}
inline LayoutMark mark_of(const char* text) {
  return mark_of(reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
}

}  // namespace tarvex
