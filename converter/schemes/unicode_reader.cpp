#include "unicode_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "tibetan.h"

namespace tarvex {

namespace {

constexpr char32_t kVisarga = 0x0F7F;

std::string code_point_name(char32_t c) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
  return name;
}

class UnicodeReader {
 public:
  UnicodeReader(HubOut& out, bool keep_cr, ReaderReport* report)
      : out_(out), lines_(keep_cr), report_(report) {}

  // One byte of the input, at `offset`.
  void byte(unsigned char b, std::uint64_t offset) {
    if (!decoder_.holding()) start_ = offset;
    int c = decoder_.feed(b);
    if (c == Utf8Decoder::kMore) return;
    if (c == Utf8Decoder::kBad) {
      bad_bytes(start_, offset - start_);
      start_ = offset;
      c = decoder_.feed(b);
      if (c == Utf8Decoder::kMore) return;
    }
    if (c == Utf8Decoder::kBadByte) {
      bad_bytes(offset, 1);
      return;
    }
    character(static_cast<char32_t>(c), start_, offset + 1 - start_);
  }

  // A run of bytes whose characters need nothing but copying: printable ASCII and Tibetan letters, marks
  // and signs in canonical order after a letter, stack or digit. Copies them whole and returns how many
  // bytes it took; it stops before anything else, which goes a character at a time.
  std::size_t plain_run(const unsigned char* p, std::size_t n) {
    if (signs_count_ != 0 || decoder_.holding() || (report_ && report_->tracing())) return 0;
    std::size_t i = 0;
    while (i < n) {
      const unsigned char b = p[i];
      if (b >= 0x20 && b < 0x7F) {
        base_ = in_syllable_ = false;
        tail_ = b == ' ' ? HubTail::nothing : HubTail::other;
        ++i;
        continue;
      }
      if (b != 0xE0 || n - i < 3 || (p[i + 1] & 0xFC) != 0xBC || (p[i + 2] & 0xC0) != 0x80) break;
      const char32_t c = 0x0F00 + (static_cast<char32_t>(p[i + 1] & 3) << 6 | (p[i + 2] & 0x3F));
      if (tibetan_decomposition(c)) break;
      if (!is_tibetan_sign(c)) {
        starter(c, 0);
        i += 3;
        continue;
      }
      if (!base_) break;
      // Signs of a class other than 0 are taken only as a whole run already in order.
      std::size_t end = i;
      int last = 0;
      bool in_order = true;
      std::size_t held = 0;  // signs of a class other than 0, which the careful way holds to sort
      for (; n - end >= 3 && p[end] == 0xE0; end += 3) {
        const char32_t s = 0x0F00 + (static_cast<char32_t>(p[end + 1] & 3) << 6 | (p[end + 2] & 0x3F));
        if ((p[end + 1] & 0xFC) != 0xBC || (p[end + 2] & 0xC0) != 0x80 || !is_tibetan_sign(s) ||
            tibetan_decomposition(s))
          break;
        const int order = combining_class(s);
        if (order == 0 && last != 0) break;  // a sign of class 0 ends what canonical order reorders
        if (order != 0 && (order < last || ++held > signs_.size())) in_order = false;
        if (s == kVisarga) in_order = false;  // it ends the syllable: the careful way counts the next
        last = order;
      }
      if (!in_order || end == i || n - end < 3) break;
      // A sign after the run (one that decomposes, or of class 0 after others) may sort into it.
      if (p[end] == 0xE0 && (p[end + 1] & 0xFC) == 0xBC && (p[end + 2] & 0xC0) == 0x80) {
        const char32_t next = 0x0F00 + (static_cast<char32_t>(p[end + 1] & 3) << 6 | (p[end + 2] & 0x3F));
        if (is_tibetan_sign(next) || tibetan_decomposition(next)) break;
      }
      i = end;
    }
    if (i > 0) {
      out_.write(reinterpret_cast<const char*>(p), i);
      lines_.text();
    }
    return i;
  }

  void finish(std::uint64_t offset) {
    if (decoder_.holding()) {
      decoder_.reset();
      bad_bytes(start_, offset - start_);
    }
    flush_signs();
    if (report_) report_->sourced();
  }

 private:
  struct Sign {
    char32_t c;
    std::uint64_t offset;
  };

  void bad_bytes(std::uint64_t offset, std::uint64_t length) {
    flush_signs();
    if (report_) report_->warn(offset, length, "invalid UTF-8: written as U+FFFD");
    replaced();
  }

  void replaced() {
    if (report_) ++report_->not_converted;
    put(kReplacement);
    tail_ = HubTail::other;
    base_ = in_syllable_ = false;
  }

  void character(char32_t c, std::uint64_t offset, std::uint64_t length) {
    if (c < 0x80) {
      ascii(c, offset);
      return;
    }
    if (!is_tibetan(c)) {
      flush_signs();
      put(c);
      tail_ = HubTail::other;
      base_ = in_syllable_ = false;
      return;
    }
    if (const TibetanDecomposition* parts = tibetan_decomposition(c)) {
      // A character with nothing to sit on is told once, as the input holds it.
      bool first = true;
      for (const char32_t part : parts->to)
        if (part) tibetan(part, offset, length, first ? c : 0), first = false;
      return;
    }
    tibetan(c, offset, length, c);
  }

  void ascii(char32_t c, std::uint64_t offset) {
    flush_signs();
    base_ = in_syllable_ = false;
    if (c == '\n' || c == '\r') {
      lines_.line_break(out_, tail_);
      tail_ = HubTail::nothing;
      return;
    }
    if (c < 0x20 && c != '\t') {
      if (report_)
        report_->warn(offset, 1, "control character " + code_point_name(c) + ": written as U+FFFD");
      replaced();
      return;
    }
    if (c == 0x7F) {
      if (report_) report_->warn(offset, 1, "control character U+007F: written as U+FFFD");
      replaced();
      return;
    }
    put(c);
    tail_ = c == ' ' || c == '\t' ? HubTail::nothing : HubTail::other;
  }

  // `c` as the hub holds it; `typed`, the character of the input it comes from, or 0 when that was told.
  void tibetan(char32_t c, std::uint64_t offset, std::uint64_t length, char32_t typed) {
    if (is_tibetan_sign(c)) {
      if (!base_ && report_ && typed) {
        report_->warn(offset, length, "sign " + code_point_name(typed) + " with no letter before it");
        if (report_->tracing()) report_->source(offset, out_.written());
      }
      // Signs with no letter are joined to the next line as other text is, by a space: with nothing between,
      // the signs of two lines would meet out of canonical order.
      if (!base_) tail_ = HubTail::other;
      if (combining_class(c) != 0) {
        if (signs_count_ == signs_.size()) {
          // No letter carries this many: those held are written in order, then a combining grapheme joiner
          // (class 0) that no later sign sorts across, as Unicode's stream-safe text format does.
          flush_signs();
          put(0x034F);
          if (report_)
            report_->warn(offset, length, "more than 64 signs on one letter: U+034F written after them");
        }
        signs_[signs_count_++] = {c, offset};
        return;
      }
      flush_signs();
      // A letter after a visarga starts the next syllable (ཨཱཿཧཱུྃ is two), as the writers cut it.
      if (c == kVisarga) in_syllable_ = false;
      put(c);
      return;
    }
    flush_signs();
    starter(c, offset);
    put(c);
  }

  // What a Tibetan letter, mark or digit changes: the syllables counted, the places traced, whether a sign
  // may follow, what a line join writes after it.
  void starter(char32_t c, std::uint64_t offset) {
    const bool letter = is_tibetan_letter(c);
    if (!letter || !in_syllable_) {
      // A syllable or a mark starts here; a writer's problem in it is told at this place of the input.
      if (report_) {
        if (letter) ++report_->syllables;
        if (report_->tracing()) report_->source(offset, out_.written());
      }
    }
    in_syllable_ = letter;
    base_ = letter || is_tibetan_digit(c) || c == 0x0F00 || (c >= 0x0F04 && c <= 0x0F06);
    // Digits join with a tsheg, as the other readers join them.
    const bool syllable_like = letter || is_tibetan_digit(c) || c == 0x0F00;
    tail_ = c == kTsheg || c == 0x0F0C ? HubTail::nothing : syllable_like ? HubTail::tibetan : HubTail::other;
  }

  // The signs after a letter, stack or digit, in canonical order: sorted by combining class, keeping the
  // order of signs of one class.
  void flush_signs() {
    if (signs_count_ == 0) return;
    const auto signs = std::span(signs_).first(signs_count_);
    const auto by_class = [](const Sign& a, const Sign& b) {
      return combining_class(a.c) < combining_class(b.c);
    };
    // Iterators, not std::ranges: the browser build's standard library has few of its algorithms.
    if (!std::is_sorted(signs.begin(), signs.end(), by_class)) {
      std::stable_sort(signs.begin(), signs.end(), by_class);
      if (report_) {
        const auto [first, last] = std::minmax_element(
            signs.begin(), signs.end(), [](const Sign& a, const Sign& b) { return a.offset < b.offset; });
        report_->warn(first->offset, last->offset + 3 - first->offset,
                      "vowel signs out of canonical order: put in order");
      }
    }
    for (const Sign& sign : signs) put(sign.c);
    signs_count_ = 0;
  }

  void put(char32_t c) {
    char bytes[4];
    out_.write(bytes, static_cast<std::size_t>(put_utf8(c, bytes)));
    if (c != '\n') lines_.text();
  }

  HubOut& out_;
  HubLines lines_;
  ReaderReport* report_;
  Utf8Decoder decoder_;
  std::uint64_t start_ = 0;  // where the character being decoded starts
  std::array<Sign, 64> signs_{};
  std::size_t signs_count_ = 0;
  HubTail tail_ = HubTail::nothing;
  bool base_ = false;  // a sign here sits on a letter, stack or digit
  bool in_syllable_ = false;
};

}  // namespace

int unicode_to_hub(tsd::Stream& in, tsd::Stream& out, bool keep_cr, ReaderReport* report) {
  HubOut hub(out);
  return unicode_to_hub(in, hub, keep_cr, report);
}

int unicode_to_hub(tsd::Stream& in, HubOut& hub, bool keep_cr, ReaderReport* report, bool whole_runs) {
  UnicodeReader reader(hub, keep_cr, report);
  static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  unsigned char head[3];
  if (in.read_offset() == 0 && in.peek(head, 3) == 3 && std::equal(head, head + 3, kMark))
    for (int i = 0; i < 3; ++i) in.get();
  tsd::run_windows(
      in,
      [&](const unsigned char* p, std::size_t n) {
        const std::uint64_t base = in.read_offset();
        for (std::size_t i = 0; i < n;) {
          if (whole_runs) i += reader.plain_run(p + i, n - i);
          if (i < n) reader.byte(p[i], base + i), ++i;
        }
        return n;
      },
      [&](int c) {
        // The offset of the byte read last: a line feed's, where a CR LF was read as one.
        reader.byte(static_cast<unsigned char>(c), in.read_offset() - 1);
        return true;
      });
  reader.finish(in.read_offset());
  const int written = hub.finish();
  return written == 0 && !in.error() ? 0 : -1;
}

struct UnicodeFeed::Reader {
  UnicodeReader reader;
};

UnicodeFeed::UnicodeFeed(HubOut& out, bool keep_cr, ReaderReport* report)
    : reader_(std::make_unique<Reader>(Reader{UnicodeReader(out, keep_cr, report)})), out_(out) {}

UnicodeFeed::~UnicodeFeed() = default;

void UnicodeFeed::take(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n;) {
    i += reader_->reader.plain_run(p + i, n - i);
    if (i < n) reader_->reader.byte(p[i], fed_ + i), ++i;
  }
  fed_ += n;
}

int UnicodeFeed::finish() {
  reader_->reader.finish(fed_);
  return out_.finish();
}

std::string unicode_to_hub(std::string_view text, ReaderReport* report, bool keep_cr) {
  // Read as the driver reads a file: a CR LF is one line break.
  tsd::Stream in = tsd::Stream::holding(text, tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  if (unicode_to_hub(in, out, keep_cr, report) != 0 || out.rewind() != 0) return {};
  std::string hub;
  tsd::read_rest(out, [&hub](const unsigned char* p, std::size_t n) {
    hub.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return hub;
}

}  // namespace tarvex
