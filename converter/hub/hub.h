// The hub: what every reader of Tibetan text (Extended Wylie, Unicode) writes, and every writer for those
// readers reads. It is UTF-8 text: Tibetan in canonical order without the precomposed letters that
// Unicode discourages, other text as it stood, line breaks already laid out (kept, or joined by
// `HubLines`), tabs and spaces. It holds no byte 0..31 but tab and line break. So the hub of a file is
// also its Unicode text output; the Unicode RTF and the Tsendrel RTF are written from it.
//
// Readers tell their problems in a `ReaderReport`: offsets of the user's input as the stream read it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct ReaderWarning {
  std::uint64_t offset;  // the first byte of the input that the warning is about
  std::uint64_t length;  // bytes from there, at least 1
  std::string text;      // "\"+\" not followed by a letter or vowel"
};

struct ReaderReport {
  std::int64_t syllables = 0;      // Tibetan syllables read
  std::int64_t not_converted = 0;  // of them, written with a visible marker or replacement
  // The warnings in the order found, the first `keep` of them; the rest only counted.
  std::vector<ReaderWarning> warnings;
  std::size_t keep = std::size_t{1} << 16;
  std::int64_t not_kept = 0;

  void warn(std::uint64_t offset, std::uint64_t length, std::string_view text) {
    if (warnings.size() < keep)
      warnings.push_back({offset, length ? length : 1, std::string(text)});
    else
      ++not_kept;
  }
};

// What the last character written to the hub was, for the line rule.
enum class HubTail : unsigned char {
  nothing,   // the start of the output, or a line break, space, tab or tsheg: a join adds nothing
  tibetan,   // a letter, sign or digit of a syllable: a join is a tsheg
  other,     // a shad or other mark, or text that is not Tibetan: a join is a space
};

// The line rule of the readers: with keep_cr every line break stays; otherwise a single line break joins
// its lines (a tsheg after a syllable, a space after a mark or other text, nothing after white space or
// a tsheg), the second makes a paragraph break of two line breaks, every further one adds one. The
// same rule as the Wylie and KVTS routes' layout, over Unicode.
class HubLines {
 public:
  explicit HubLines(bool keep_cr) : keep_cr_(keep_cr) {}

  // A line break of the input after text ending in `tail`; writes with out.write(const char*, size).
  template <typename Out>
  void line_break(Out& out, HubTail tail) {
    if (keep_cr_ || breaks_ >= 2) {
      out.write("\n", 1);
      return;
    }
    if (breaks_ == 1) {
      breaks_ = 2;
      out.write("\n\n", 2);
      return;
    }
    breaks_ = 1;
    if (tail == HubTail::tibetan) out.write("\xE0\xBC\x8B", 3);
    if (tail == HubTail::other) out.write(" ", 1);
  }
  // Anything but a line break was written: the next line break joins again.
  void text() { breaks_ = 0; }

 private:
  bool keep_cr_;
  int breaks_ = 0;
};

}  // namespace tarvex
