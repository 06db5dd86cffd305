#include "text_reader.h"

#include <algorithm>
#include <cstring>

#include "tibetan.h"

namespace tarvex {

namespace {

bool is_alnum(unsigned char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// What a line break joins after a Tibetan character of that kind.
HubTail tail_after(Before kind) {
  switch (kind) {
    case Before::start:
      return HubTail::nothing;
    case Before::syllable:
    case Before::digit:
      return HubTail::tibetan;
    default:
      return HubTail::other;
  }
}

}  // namespace

std::string warning_text(std::string_view form, std::string_view a, std::string_view b) {
  std::string text;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] == '%' && i + 1 < form.size() && (form[i + 1] == '1' || form[i + 1] == '2')) {
      text += form[i + 1] == '1' ? a : b;
      ++i;
    } else {
      text += form[i];
    }
  }
  return text;
}

std::string hex_byte(unsigned char b) {
  constexpr char digits[] = "0123456789ABCDEF";
  return {'0', 'x', digits[b >> 4], digits[b & 15]};
}

TextReader::TextReader(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report,
                       const SpaceTable& spacing)
    : buf_(kBufferSize + tsd::Stream::kWindowSlack),
      in_(in),
      out_(out),
      lines_(keep_cr),
      report_(report),
      tracing_(report && report->tracing()),
      spacing_(spacing) {}

// Moves the unread bytes to the window's start and reads after them until it is full or the input ends.
void TextReader::fill() {
  if (len_ >= kBufferSize || eof_) return;
  eof_ = tsd::run_windows(
      in_,
      [&](const unsigned char* p, std::size_t size) {
        const std::size_t n = std::min(size, kBufferSize - len_);
        std::memcpy(buf_.data() + len_, p, n);
        len_ += n;
        read_total_ = in_.read_offset() + n;
        return tsd::WindowUse{n,
                              len_ < kBufferSize ? tsd::WindowUse::Next::again : tsd::WindowUse::Next::stop};
      },
      [&](int c, std::uint64_t at) {
        read_total_ = in_.read_offset();
        // Text mode reads a CR LF as one line feed: the input's offsets after it are one more.
        if (c == '\n' && read_total_ - at == 2) offsets_.crlf_at(offsets_.consumed() + len_);
        buf_[len_++] = static_cast<unsigned char>(c);
        return len_ < kBufferSize;
      });
}

int TextReader::run() {
  std::size_t pos = 0;
  offsets_.start(in_.read_offset());
  fill();
  if (len_ >= 3 && buf_[0] == 0xEF && buf_[1] == 0xBB && buf_[2] == 0xBF) {
    pos = 3;
    if (tells_sloppy()) warn(0, 3, warning_text(text_warnings::kSloppy, text_warnings::kByteOrderMark));
  }
  for (;;) {
    const std::size_t from = pos;
    pos = parse(pos);
    if (eof_ && (pos >= len_ || pos == from)) break;
    // Keep the unread bytes, with their offsets, and read more.
    offsets_.drop(pos);
    std::memmove(buf_.data(), buf_.data() + pos, len_ - pos);
    len_ -= pos;
    pos = 0;
    fill();
  }
  space_before(Before::start);
  if (depth_ > 0) warn(bracket_offset_, 1, warning_text(text_warnings::kUnclosedBracket));
  if (text_ && !tibetan_)
    warn(0, std::max<std::uint64_t>(read_total_, 1), warning_text(text_warnings::kNoTibetan));
  const int result = out_.finish() == 0 && !in_.error() ? 0 : -1;
  if (report_) report_->sourced();
  return result;
}

void TextReader::write_code(char32_t c) {
  scratch_.clear();
  append_utf8(scratch_, c);
  write(scratch_.data(), scratch_.size());
}

void TextReader::other_byte(std::size_t at, bool warned) {
  space_before(Before::text);
  write(buf_.data() + at, 1);
  written(Before::text, HubTail::other);
  if (warned)
    warn(offset_at(at), 1,
         warning_text(text_warnings::kUnexpected,
                      std::string_view(reinterpret_cast<const char*>(buf_.data() + at), 1)));
  text_ = true;
}

void TextReader::control(std::size_t at) {
  space_before(Before::text);
  write("\xEF\xBF\xBD", 3);
  written(Before::text, HubTail::other);
  warn(offset_at(at), 1, warning_text(text_warnings::kControl, hex_byte(buf_[at])));
  text_ = true;
}

// A word not found among those converted before: read, written, and kept when it can be (by `key` and its
// `hash`).
void TextReader::read_word(const unsigned char* p, std::size_t n, std::size_t at, const Adjust* adjust,
                           const std::uint64_t key[2], std::uint64_t hash) {
  word_out_.clear();
  word_warnings_.clear();
  const WordResult r =
      read_syllables(std::string_view(reinterpret_cast<const char*>(p), n), word_out_, word_warnings_);
  write(word_out_.data(), word_out_.size());
  written(r.ends_tibetan ? Before::syllable : Before::text,
          r.ends_tibetan ? HubTail::tibetan : HubTail::other);
  tibetan_ = tibetan_ || r.tibetan;
  if (report_) {
    report_->syllables += r.syllables;
    report_->not_converted += r.not_converted;
    // Places in the copy back to places in the input.
    const auto place = [&](std::size_t i) {
      std::size_t extra = 0;
      if (adjust)
        for (const auto& a : *adjust)
          if (a.first <= i) extra += a.second;
      return offset_at(at + i + extra);
    };
    for (const WordWarning& w : word_warnings_) {
      const std::uint64_t start = place(w.pos);
      report_->warn(start, std::max<std::uint64_t>(place(w.pos + w.len) - start, 1), w.text);
    }
  }
  if (word_warnings_.empty() && r.ends_tibetan && n <= kCachedWord &&
      word_out_.size() <= sizeof(CacheEntry::out) && r.syllables < 256) {
    CacheEntry& e = cache_.place(hash);
    e.key[0] = key[0];
    e.key[1] = key[1];
    e.key_len = static_cast<unsigned char>(n);
    e.out_len = static_cast<unsigned char>(word_out_.size());
    std::memcpy(e.out, word_out_.data(), word_out_.size());
    e.syllables = static_cast<unsigned char>(r.syllables);
    e.handle = out_.learn(word_out_);
  }
}

// Text inside "[...]": copied as it stands up to the bracket that closes the first; brackets inside nest
// and are copied too, and escapes work. Returns where it stopped (`at` when it needs more input).
std::size_t TextReader::bracket(std::size_t at) {
  const unsigned char* b = buf_.data();
  std::size_t run = at;
  const auto flush = [&](std::size_t to) {
    if (to > run) {
      write(b + run, to - run);
      written(Before::text, HubTail::other);
    }
  };
  while (at < len_) {
    const unsigned char c = b[at];
    if (c == ']' && depth_ == 1) {
      flush(at);
      ++at;
      depth_ = 0;
      written(Before::text, HubTail::other);
      return at;
    }
    if (c == '[' || c == ']') {
      depth_ += c == '[' ? 1 : -1;
      ++at;
    } else if (c == '\n') {
      flush(at);
      return at;  // the scheme's lexing warns and breaks the line
    } else if (c == '\\' || c >= 0x80 || (c < 0x20 && c != '\t') || c == 0x7F) {
      flush(at);
      std::size_t next;
      if (c == '\\')
        next = escape(at);
      else if (c >= 0x80)
        next = high(at, true);
      else {
        write("\xEF\xBF\xBD", 3);
        warn(offset_at(at), 1, warning_text(text_warnings::kControl, hex_byte(c)));
        next = at + 1;
      }
      if (next == at) return at;
      at = next;
      run = at;
      written(Before::text, HubTail::other);
    } else {
      ++at;
    }
  }
  flush(at);
  return at;
}

// A backslash and what it escapes; returns where it stopped (`at` when it needs more input).
std::size_t TextReader::escape(std::size_t at) {
  const unsigned char* b = buf_.data();
  if (at + 10 > len_ && !eof_) return at;
  const bool in_bracket = depth_ > 0;
  const auto bad = [&](std::size_t n) {
    warn(offset_at(at), n,
         warning_text(text_warnings::kBadEscape, std::string_view(reinterpret_cast<const char*>(b + at), n)));
    return at + n;
  };
  if (at + 1 >= len_ || b[at + 1] == '\n') return bad(1);
  const unsigned char c = b[at + 1];
  char32_t code = 0;
  std::size_t n;
  if (c == 'u' || c == 'U') {
    const std::size_t digits = c == 'u' ? 4 : 8;
    std::size_t k = 0;
    bool hex = true;
    while (k < digits && at + 2 + k < len_ && is_alnum(b[at + 2 + k])) {
      const unsigned char d = b[at + 2 + k];
      const int v = d >= '0' && d <= '9'   ? d - '0'
                    : d >= 'a' && d <= 'f' ? d - 'a' + 10
                    : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                           : -1;
      if (v < 0) hex = false;
      code = (code << 4) | static_cast<char32_t>(v < 0 ? 0 : v);
      ++k;
    }
    n = 2 + k;
    if (!hex || k < digits || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        (code < 0x20 && code != '\t') || code == 0x7F)
      return bad(n);
  } else if (c < 0x80) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) return bad(1);
    code = c;
    n = 2;
  } else {
    const int k = decode_utf8(b + at + 1, len_ - at - 1, code);
    if (k <= 0) return bad(1);
    n = 1 + static_cast<std::size_t>(k);
  }
  const bool tibetan = is_tibetan(code);
  Before kind = tibetan ? ewts_before_kind(code) : code == '\t' || code == ' ' ? Before::start : Before::text;
  if (in_bracket)
    kind = Before::text;
  else
    space_before(tibetan ? Before::syllable : Before::text);
  write_code(code);
  written(kind, tail_after(kind));
  tibetan_ = tibetan_ || tibetan;
  text_ = true;
  return at + n;
}

// A byte of 0x80 or more: a character that starts a word of the scheme starts one; Tibetan is copied;
// other characters are copied with a warning outside brackets; bytes that are not UTF-8 become U+FFFD with a
// warning.
std::size_t TextReader::high(std::size_t at, bool in_bracket) {
  const unsigned char* b = buf_.data();
  char32_t c;
  const int n = decode_utf8(b + at, len_ - at, c);
  if (n < 0 && !eof_) return at;
  text_ = true;
  if (n <= 0) {
    if (!in_bracket) space_before(Before::text);
    write("\xEF\xBF\xBD", 3);
    written(Before::text, HubTail::other);
    warn(offset_at(at), 1, warning_text(text_warnings::kNotUtf8, hex_byte(b[at])));
    return at + 1;
  }
  const auto len = static_cast<std::size_t>(n);
  if (in_bracket) {
    write(b + at, len);
    return at + len;
  }
  if (starts_word(c)) {
    std::size_t next = at;
    if (!take_word(next)) return at;
    return next;
  }
  const bool tibetan = is_tibetan(c);
  space_before(tibetan ? Before::syllable : Before::text);
  write(b + at, len);
  if (tibetan) {
    const Before kind = ewts_before_kind(c);
    written(kind, tail_after(kind));
    tibetan_ = true;
  } else {
    written(Before::text, HubTail::other);
    warn(offset_at(at), len,
         warning_text(text_warnings::kUnexpected,
                      std::string_view(reinterpret_cast<const char*>(b + at), len)));
  }
  return at + len;
}

}  // namespace tarvex
