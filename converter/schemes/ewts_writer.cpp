#include "ewts_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ewts_speller.h"
#include "ewts_tables.h"
#include "run_memo.h"
#include "tibetan.h"

namespace tarvex {

namespace {

using namespace ewts_spelling;

// ---------------------------------------------------------------------------------------------------------
// The hub, a character at a time (a syllable's letters and signs gathered into a run).

// Runs spelled before (run_memo.h), with room for the EWTS of a syllable.
using SpelledRuns = RunMemo<80>;

// The mark written for each character of U+0F00..U+0F3F, or none; `_` (the plain space) aside.
constexpr auto kMarks = [] {
  std::array<const EwtsMark*, 0x40> marks{};
  for (const EwtsMark& m : ewts_marks)
    if (m.code >= 0x0F00 && m.code < 0x0F40) marks[m.code - 0x0F00] = &m;
  return marks;
}();

// The characters of U+0F00..U+0FFF that go on a run of letters and signs.
constexpr auto kInSyllable = [] {
  std::array<bool, 0x100> in{};
  for (char32_t c = 0x0F00; c <= 0x0FFF; ++c) in[c - 0x0F00] = is_tibetan_letter(c) || is_tibetan_sign(c);
  return in;
}();

// A run no longer than this is spelled whole; a longer one is cut, and what follows the cut up to the next
// letter escaped, so that no word of the EWTS reaches the length at which the reader cuts words.
constexpr std::size_t kLongestRun = 2048;

class HubEwts {
 public:
  explicit HubEwts(ReaderReport* problems) : problems_(problems) {}

  std::string& text() { return text_; }

  void run(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
      const unsigned char b = p[i];
      if (!decoder_.holding()) {
        if (b < 0x80) {
          character(b, offset_);
          ++offset_;
          ++i;
          continue;
        }
        if (b == 0xE0 && n - i >= 3 && (p[i + 1] & 0xFC) == 0xBC && (p[i + 2] & 0xC0) == 0x80) {
          const char32_t c = 0x0F00 + (static_cast<char32_t>(p[i + 1] & 3) << 6 | (p[i + 2] & 0x3F));
          // A syllable that lies whole in the bytes is spelled from them, not gathered a character at a time.
          if (run_.empty() && is_tibetan_letter(c)) {
            std::size_t end = i + 3;
            while (n - end >= 3 && p[end] == 0xE0 &&
                   kInSyllable[(p[end + 1] & 3) << 6 | (p[end + 2] & 0x3F)] && (p[end + 1] & 0xFC) == 0xBC &&
                   (p[end + 2] & 0xC0) == 0x80)
              end += 3;
            if (n - end >= 3 && end - i <= kLongestRun) {
              flush_run();
              spell_run(std::string_view(reinterpret_cast<const char*>(p + i), end - i), offset_, false);
              offset_ += end - i;
              i = end;
              continue;
            }
          }
          character(c, offset_);
          offset_ += 3;
          i += 3;
          continue;
        }
      }
      if (!decoder_.holding()) start_ = offset_;
      const int c = decoder_.feed(b);
      if (c == Utf8Decoder::kBad) {  // what was held is no character; this byte is fed again
        character(kReplacement, start_);
        continue;
      }
      ++i;
      ++offset_;
      if (c != Utf8Decoder::kMore) character(c >= 0 ? static_cast<char32_t>(c) : kReplacement, start_);
    }
  }

  void finish() {
    if (decoder_.holding()) character(kReplacement, start_);
    flush_run();
    close_bracket();
    begin(EwtsBefore::start);
  }

 private:
  void character(char32_t c, std::uint64_t at) {
    if (is_tibetan_letter(c) || (is_tibetan_sign(c) && !run_.empty())) {
      if (run_.size() >= kLongestRun) {
        flush_run();
        continued_ = true;
      }
      if (run_.empty()) run_start_ = at;
      append_utf8(run_, c);
      return;
    }
    flush_run();
    if (c == kTsheg) {
      close_bracket();
      begin(EwtsBefore::syllable);  // an earlier tsheg pending: this one is an escape
      if (before_ == EwtsBefore::syllable || before_ == EwtsBefore::tsheg || before_ == EwtsBefore::digit ||
          before_ == EwtsBefore::text) {
        pending_tsheg_ = true;  // a space, if what follows lets it read as a tsheg
      } else {
        append_escape(text_, c);
        before_ = EwtsBefore::start;
      }
      return;
    }
    if (c >= 0x0F00 && c < 0x0F40 && kMarks[c - 0x0F00]) {
      close_bracket();
      const EwtsMark& m = *kMarks[c - 0x0F00];
      begin(m.kind == EwtsMarkKind::digit ? EwtsBefore::digit : EwtsBefore::syllable);
      // After `/`, a mark written with "/" would make `//`.
      if (after_slash_ && m.ewts[0] == '/') {
        append_escape(text_, c);
        before_ = ewts_before_kind(c);
        after_slash_ = false;
        return;
      }
      text_ += m.ewts;
      before_ = ewts_before_after_mark(m.kind);
      after_slash_ = m.ewts == "/";
      return;
    }
    after_slash_ = false;
    if (is_tibetan(c)) {
      close_bracket();
      begin(EwtsBefore::syllable);
      const std::size_t mark = text_.size();
      append_escape(text_, c);
      before_ = ewts_before_kind(c);
      // A sign that EWTS writes on a stack, found with none: a fault of the text.
      if (is_tibetan_sign(c) && has_spelling(c) && problems_) {
        ++problems_->not_converted;
        std::string text = "sign \"";
        append_utf8(text, c);
        text.append("\" has no letter to stand on: \"").append(text_, mark).append("\" written as an escape");
        problems_->warn(at, 3, text);
      }
      return;
    }
    if (c == ' ' || c == '\t') {
      if (bracket_open_) {
        held_ += static_cast<char>(c);
        return;
      }
      begin(EwtsBefore::syllable);
      text_ += c == ' ' ? '_' : '\t';
      before_ = EwtsBefore::start;
      return;
    }
    if (c == '\n') {
      close_bracket();
      begin(EwtsBefore::start);
      text_ += '\n';
      before_ = EwtsBefore::start;
      return;
    }
    // Text that is not Tibetan, inside brackets up to the next Tibetan or line break.
    if (!bracket_open_) {
      begin(EwtsBefore::text);
      text_ += '[';
      bracket_open_ = true;
    }
    text_ += held_;
    held_.clear();
    if (c == '[' || c == ']' || c == '\\') text_ += '\\';
    append_utf8(text_, c);
  }

  // Before what reads as `next`: a pending tsheg written as a space where it reads so, else escaped.
  void begin(EwtsBefore next) {
    if (!pending_tsheg_) return;
    pending_tsheg_ = false;
    if (ewts_space_reading(before_, next) == EwtsSpace::tsheg)
      text_ += ' ';
    else
      append_escape(text_, kTsheg);
    before_ = EwtsBefore::start;
  }

  void close_bracket() {
    if (!bracket_open_) return;
    text_ += ']';
    bracket_open_ = false;
    before_ = EwtsBefore::text;
    for (const char c : held_) text_ += c == ' ' ? '_' : '\t';
    if (!held_.empty()) before_ = EwtsBefore::start;
    held_.clear();
  }

  void flush_run() {
    if (run_.empty()) return;
    const bool continued = continued_;
    continued_ = false;
    spell_run(run_, run_start_, continued);
    run_.clear();
  }

  // A run of letters and signs at `start` in the hub: from the memory of runs, or spelled and remembered.
  void spell_run(std::string_view run, std::uint64_t start, bool continued) {
    close_bracket();
    begin(EwtsBefore::syllable);
    before_ = EwtsBefore::syllable;
    after_slash_ = false;
    SpelledRuns::Entry* entry = nullptr;
    if (!continued && run.size() <= SpelledRuns::kLongest) {
      bool found = false;
      entry = &memo_.place(run, found);
      if (found) {
        text_.append(entry->spelled, entry->spelled_length);
        return;
      }
    }
    const std::size_t mark = text_.size();
    warnings_.clear();
    speller_.spell(run, continued, text_, warnings_);
    if (!warnings_.empty() && problems_) {
      ++problems_->not_converted;
      for (const SpelledWarning& w : warnings_) problems_->warn(start + w.at, 1, w.text);
    }
    if (entry && warnings_.empty() && text_.size() - mark <= SpelledRuns::kLongestSpelled)
      SpelledRuns::fill(*entry, run, std::string_view(text_).substr(mark));
  }

  ReaderReport* problems_;
  std::string text_;
  Utf8Decoder decoder_;
  std::uint64_t offset_ = 0;  // of the next byte of the hub
  std::uint64_t start_ = 0;   // of the character being decoded
  std::string run_;
  std::uint64_t run_start_ = 0;
  bool continued_ = false;
  EwtsBefore before_ = EwtsBefore::start;
  bool pending_tsheg_ = false;
  bool after_slash_ = false;
  bool bracket_open_ = false;
  std::string held_;  // spaces and tabs after text in brackets
  SpelledRuns memo_;
  Speller speller_;
  std::vector<SpelledWarning> warnings_;
};

// Written EWTS is handed to the stream in runs of about this size.
constexpr std::size_t kHandOn = std::size_t{1} << 15;

}  // namespace

struct EwtsWriter::Parts {
  explicit Parts(ReaderReport* problems) : writer(problems) {}
  HubEwts writer;
};

EwtsWriter::EwtsWriter(tsd::Stream& out, ReaderReport* problems)
    : out_(out), parts_(std::make_unique<Parts>(problems)) {}

EwtsWriter::~EwtsWriter() = default;

void EwtsWriter::take(const unsigned char* bytes, std::size_t n) {
  parts_->writer.run(bytes, n);
  std::string& text = parts_->writer.text();
  if (text.size() >= kHandOn) {
    out_.write(text.data(), text.size());
    text.clear();
  }
}

int EwtsWriter::finish() {
  parts_->writer.finish();
  std::string& text = parts_->writer.text();
  if (!text.empty()) out_.write(text.data(), text.size());
  text.clear();
  return out_.flush() == 0 && !out_.error() ? 0 : -1;
}

std::string hub_to_ewts(std::string_view hub, ReaderReport* problems) {
  HubEwts writer(problems);
  writer.run(reinterpret_cast<const unsigned char*>(hub.data()), hub.size());
  writer.finish();
  return std::move(writer.text());
}

}  // namespace tarvex
