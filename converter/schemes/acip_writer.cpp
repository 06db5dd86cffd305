#include "acip_writer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "acip_reader.h"
#include "acip_tables.h"
#include "ewts_speller.h"
#include "ewts_tables.h"
#include "run_memo.h"
#include "text_reader.h"
#include "tibetan.h"

namespace tarvex {

namespace {

// The reader's tables backwards: the ACIP of each letter, whole and subjoined (the first row of a letter).
struct LetterSpellings {
  std::array<std::string_view, 0x40> whole{};
  std::array<std::string_view, 0x40> subjoined{};
};

const LetterSpellings& letter_spellings() {
  static const LetterSpellings spellings = [] {
    LetterSpellings s;
    for (const AcipLetter& a : acip_letters)
      for (const EwtsLetter& e : ewts_letters)
        if (e.ewts == a.ewts && e.spelling == EwtsSpelling::standard) {
          if (s.whole[e.whole - 0x0F40].empty()) s.whole[e.whole - 0x0F40] = a.acip;
          if (s.subjoined[e.subjoined - 0x0F90].empty()) s.subjoined[e.subjoined - 0x0F90] = a.acip;
        }
    s.whole[0x0F68 - 0x0F40] = "A";
    return s;
  }();
  return spellings;
}

std::string_view vowel_spelling(std::u32string_view v) {
  static constexpr std::pair<std::u32string_view, std::string_view> kVowels[] = {
      {U"\u0F71", "'A"},       {U"\u0F72", "I"}, {U"\u0F71\u0F72", "'I"}, {U"\u0F74", "U"},
      {U"\u0F71\u0F74", "'U"}, {U"\u0F7A", "E"}, {U"\u0F7B", "EE"},       {U"\u0F7C", "O"},
      {U"\u0F7D", "OO"},       {U"\u0F80", "i"}, {U"\u0F71\u0F80", "'i"},
  };
  for (const auto& [code, acip] : kVowels)
    if (code == v) return acip;
  return {};
}

std::string_view sign_spelling(char32_t c) {
  switch (c) {
    case 0x0F7E:
      return "m";
    case 0x0F7F:
      return ":";
    case 0x0F84:
      return "\\";
    case 0x0F85:
      return "&";
    case 0x0F37:
      return "o";
    case 0x0F35:
      return "%";
    case 0x0F83:
      return "~m";
    default:
      return {};
  }
}

bool in_syllable(char32_t c) {
  return (c >= 0x0F40 && c <= 0x0F6C) || (c >= 0x0F71 && c <= 0x0F87) || (c >= 0x0F8D && c <= 0x0FBC) ||
         c == 0x0F35 || c == 0x0F37 || c == 0x0F39;
}

bool is_vowel(char32_t c) {
  return (c >= 0x0F71 && c <= 0x0F7D) || c == 0x0F80 || c == 0x0F81;
}

struct Stack {
  std::vector<std::string_view> letters;
  std::string vowel;
  std::string signs;
  std::size_t begin = 0, end = 0;  // its characters in the syllable
};

// A syllable's stacks in ACIP; false when a character has no ACIP spelling.
bool stacks_of(std::u32string_view syl, std::vector<Stack>& stacks) {
  const LetterSpellings& s = letter_spellings();
  stacks.clear();
  std::size_t i = 0;
  while (i < syl.size()) {
    const char32_t c = syl[i];
    if (c < 0x0F40 || c > 0x0F6C || s.whole[c - 0x0F40].empty()) return false;
    Stack stack;
    stack.begin = i;
    stack.letters.push_back(s.whole[c - 0x0F40]);
    ++i;
    while (i < syl.size() && syl[i] >= 0x0F90 && syl[i] <= 0x0FBC) {
      const std::string_view l = s.subjoined[syl[i] - 0x0F90];
      if (l.empty()) return false;
      stack.letters.push_back(l);
      ++i;
    }
    const std::size_t v = i;
    while (i < syl.size() && is_vowel(syl[i])) ++i;
    if (i > v) {
      stack.vowel = vowel_spelling(syl.substr(v, i - v));
      if (stack.vowel.empty()) return false;
    }
    while (i < syl.size() && (syl[i] < 0x0F40 || (syl[i] > 0x0F6C && !(syl[i] >= 0x0F90)))) {
      const std::string_view sign = sign_spelling(syl[i]);
      if (sign.empty()) return false;
      stack.signs += sign;
      ++i;
    }
    if (!stack.signs.empty() && stack.vowel.empty())
      stack.vowel.assign(1, 'A');  // assign, not = "A": GCC 12 misreads the latter as an overlapping copy
    stack.end = i;
    stacks.push_back(std::move(stack));
  }
  return !stacks.empty();
}

// Spells a syllable as ACIP the reader reads back to `utf8`: the plainest of its spellings that does.
class SyllableSpeller {
 public:
  bool spell(std::u32string_view syl, const std::string& utf8, std::string& acip) {
    SpelledRuns::Entry* entry = nullptr;
    if (!utf8.empty() && utf8.size() <= SpelledRuns::kLongest) {
      bool found = false;
      entry = &memo_.place(utf8, found);
      if (found) {
        acip = entry->spelling();
        return !acip.empty();
      }
    }
    acip.clear();
    if (stacks_of(syl, stacks_)) {
      const int n = static_cast<int>(stacks_.size());
      bool any_vowel = false;
      for (const Stack& st : stacks_) any_vowel = any_vowel || !st.vowel.empty();
      // The spellings tried, plainest first: the vowel `A` where the reader needs it on one stack (the
      // root first, as Tibetan spelling reads the letters: `DAM`, `BDAG`; then the second, then the first),
      // letters plainly, then stacks with "+", then "-" after a prefix that would else take the letter after
      // it below (`G-YAS`); then `A` on every stack without a vowel (`PA'I`). A stack of several letters
      // after the first is ACIP's Sanskrit spelling: there `A` on every stack (`PADMA`) comes before "+"
      // (`PD+MA`, which reads the same).
      struct Try {
        bool every;
        int join;
      };
      static constexpr Try kTries[] = {{false, 0}, {false, 1}, {false, 2}, {true, 0}, {true, 1}, {true, 2}};
      static constexpr Try kSanskritTries[] = {{false, 0}, {true, 0}, {false, 1},
                                               {false, 2}, {true, 1}, {true, 2}};
      const bool after_prefix =
          stacks_[0].letters.size() == 1 && stacks_[0].vowel.empty() && n > 1 &&
          std::string_view("GDBM'").find(stacks_[0].letters[0]) != std::string_view::npos &&
          stacks_[0].letters[0].size() == 1 &&
          std::string_view("YRLV").find(stacks_[1].letters[0]) != std::string_view::npos;
      bool stacked_later = false;
      for (int k = 1; k < n; ++k)
        stacked_later = stacked_later || stacks_[static_cast<std::size_t>(k)].letters.size() > 1;
      // The stacks that may take the one `A`, in the order tried: the root, then the second stack (after a
      // prefix), the first, the rest.
      order_.clear();
      if (!any_vowel) {
        const int root = root_of(syl);
        if (root >= 0) order_.push_back(root);
        for (int k : {1, 0})
          if (k < n && k != root) order_.push_back(k);
        for (int k = 2; k < n; ++k)
          if (k != root) order_.push_back(k);
      }
      for (const Try& tr : stacked_later && !after_prefix ? kSanskritTries : kTries) {
        if (!acip.empty()) break;
        if (tr.join == 2 && !after_prefix) continue;
        const int join = tr.join;
        for (std::size_t t = 0; t < (tr.every || any_vowel ? 1 : order_.size()) && acip.empty(); ++t) {
          const int a = tr.every ? n : any_vowel ? -1 : order_[t];
          candidate_.clear();
          for (int k = 0; k < n; ++k) {
            const Stack& st = stacks_[static_cast<std::size_t>(k)];
            if (k == 1 && join == 2) candidate_ += '-';
            for (std::size_t l = 0; l < st.letters.size(); ++l) {
              if (l > 0 && join >= 1) candidate_ += '+';
              candidate_ += st.letters[l];
            }
            if (!st.vowel.empty())
              candidate_ += st.vowel;
            else if (a == k || a == n)
              candidate_ += 'A';
            candidate_ += st.signs;
          }
          back_.clear();
          warnings_.clear();
          words_.read(candidate_, back_, warnings_);
          if (back_ == utf8 && warnings_.empty()) acip = candidate_;
        }
      }
    }
    if (entry && acip.size() <= SpelledRuns::kLongestSpelled) SpelledRuns::fill(*entry, utf8, acip);
    return !acip.empty();
  }

 private:
  // Which stack is the root when the syllable reads as Tibetan, as the EWTS writer reads it; -1 when not.
  int root_of(std::u32string_view syl) {
    spellings_.resize(stacks_.size());
    for (std::size_t k = 0; k < stacks_.size(); ++k)
      if (!ewts_spelling::spell_stack(syl.substr(stacks_[k].begin, stacks_[k].end - stacks_[k].begin),
                                      spellings_[k]))
        return -1;
    ewts_spelling::TibetanReading reading;
    if (!ewts_spelling::read_as_tibetan(spellings_, spellings_.size(), reading)) return -1;
    return static_cast<int>(reading.root);
  }

  // Syllables spelled before (run_memo.h), with room for the ACIP of a syllable; a spelling of none kept
  // as well.
  using SpelledRuns = RunMemo<80>;
  SpelledRuns memo_;
  AcipWords words_;
  std::vector<Stack> stacks_;
  std::vector<ewts_spelling::StackSpelling> spellings_;
  std::vector<int> order_;
  std::string candidate_, back_;
  std::vector<WordWarning> warnings_;
};

class HubAcip {
 public:
  explicit HubAcip(ReaderReport* problems) : problems_(problems) {}

  void run(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      line_ += static_cast<char>(p[i]);
      if (p[i] == '\n') flush_line();
    }
    if (batch_hub_.size() >= kBatch) check_batch();
  }
  void finish() {
    if (!line_.empty()) flush_line();
    check_batch();
  }
  std::string& text() { return text_; }

 private:
  void flush_line();
  void check_batch();
  void check_line(std::string_view hub, std::string_view acip, std::uint64_t offset);
  // Lines are read back a batch at a time: the reader's start costs more than a line.
  static constexpr std::size_t kBatch = std::size_t{1} << 18;
  std::string batch_hub_, batch_acip_;
  std::uint64_t batch_offset_ = 0;
  void syllable(std::size_t from, std::size_t to);
  void warn(std::uint64_t offset, std::uint64_t length, std::string text) {
    if (problems_) problems_->warn(offset, length, text);
  }

  ReaderReport* problems_;
  std::string line_;
  std::uint64_t line_offset_ = 0;
  std::u32string codes_;
  std::vector<std::size_t> offsets_;  // of each code point in the line
  std::string written_;
  std::string text_;
  SyllableSpeller speller_;
  std::string utf8_, acip_;
};

void HubAcip::syllable(std::size_t from, std::size_t to) {
  utf8_.assign(line_, offsets_[from], offsets_[to] - offsets_[from]);
  if (speller_.spell(std::u32string_view(codes_).substr(from, to - from), utf8_, acip_)) {
    written_ += acip_;
  } else {
    written_ += utf8_;
    if (problems_) {
      problems_->not_converted += 1;
      warn(line_offset_ + offsets_[from], offsets_[to] - offsets_[from],
           warning_text(acip_problems::kNoSpelling, utf8_));
    }
  }
}

void HubAcip::flush_line() {
  codes_.clear();
  offsets_.clear();
  for (std::size_t i = 0; i < line_.size();) {
    char32_t c;
    int n = decode_utf8(reinterpret_cast<const unsigned char*>(line_.data()) + i, line_.size() - i, c);
    if (n <= 0) c = kReplacement, n = 1;
    codes_.push_back(c);
    offsets_.push_back(i);
    i += static_cast<std::size_t>(n);
  }
  offsets_.push_back(line_.size());
  written_.clear();
  const std::size_t count = codes_.size();
  for (std::size_t i = 0; i < count;) {
    const char32_t c = codes_[i];
    if (in_syllable(c)) {
      std::size_t j = i;
      while (j < count && in_syllable(codes_[j])) ++j;
      syllable(i, j);
      i = j;
      continue;
    }
    if (c == 0x0F04 && i + 1 < count && codes_[i + 1] == 0x0F05) {
      std::size_t j = i + 1;
      while (j < count && codes_[j] == 0x0F05) ++j;
      // A head mark with two closing marks is `#`; with any other number, a star for each.
      written_.append(j - i - 1 == 2 ? std::string("#") : std::string(j - i - 1, '*'));
      i = j;
      continue;
    }
    switch (c) {
      case 0x0F0B:
        written_ += ' ';
        break;
      case 0x0F0D:
        written_ += ',';
        break;
      case 0x0F0E:
        written_ += ",,";
        break;
      case 0x0F11:
        written_ += ';';
        break;
      case 0x0F08:
        written_ += '`';
        break;
      case 0x0F38:
        written_ += '^';
        break;
      default:
        if (c >= 0x0F20 && c <= 0x0F29) {
          written_ += static_cast<char>('0' + (c - 0x0F20));
        } else {
          written_.append(line_, offsets_[i], offsets_[i + 1] - offsets_[i]);
          if (is_tibetan(c) && problems_)
            warn(line_offset_ + offsets_[i], offsets_[i + 1] - offsets_[i],
                 warning_text(acip_problems::kNoSpelling,
                              line_.substr(offsets_[i], offsets_[i + 1] - offsets_[i])));
        }
    }
    ++i;
  }
  if (problems_) {
    if (batch_hub_.empty()) batch_offset_ = line_offset_;
    batch_hub_ += line_;
    batch_acip_ += written_;
  }
  text_ += written_;
  line_offset_ += line_.size();
  line_.clear();
}

// The batch read back and compared line by line; where the lines do not pair up, each line alone.
void HubAcip::check_batch() {
  if (batch_hub_.empty()) return;
  const std::string back = acip_to_unicode(batch_acip_);
  std::size_t h = 0, a = 0, b = 0;
  const auto line_at = [](std::string_view text, std::size_t from) {
    const std::size_t end = text.find('\n', from);
    return text.substr(from, end == std::string_view::npos ? text.size() - from : end + 1 - from);
  };
  const bool aligned =
      std::count(back.begin(), back.end(), '\n') == std::count(batch_hub_.begin(), batch_hub_.end(), '\n');
  while (h < batch_hub_.size()) {
    const std::string_view hub_line = line_at(batch_hub_, h);
    const std::string_view acip_line = line_at(batch_acip_, a);
    if (aligned) {
      const std::string_view back_line = line_at(back, b);
      if (back_line != hub_line) check_line(hub_line, acip_line, batch_offset_ + h);
      b += back_line.size();
    } else {
      check_line(hub_line, acip_line, batch_offset_ + h);
    }
    h += hub_line.size();
    a += acip_line.size();
  }
  batch_hub_.clear();
  batch_acip_.clear();
}

// A line read back alone: where it differs, what ACIP could not say.
void HubAcip::check_line(std::string_view hub, std::string_view acip, std::uint64_t offset) {
  const std::string back = acip_to_unicode(acip);
  if (back == hub) return;
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < hub.size(); ++i)
    if ((static_cast<unsigned char>(hub[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(hub.size());
  std::size_t d = 0;
  while (d < back.size() && d < hub.size() && back[d] == hub[d]) ++d;
  std::size_t k = 0;
  while (k + 1 < starts.size() && starts[k + 1] <= d) ++k;
  const std::size_t from = starts[k > 0 ? k - 1 : 0];
  const std::size_t to = starts[std::min(k + 2, starts.size() - 1)];
  // The reading back of the same characters, a character on each side.
  std::u32string back_codes;
  for (std::size_t i = 0; i < back.size();) {
    char32_t c;
    int n = decode_utf8(reinterpret_cast<const unsigned char*>(back.data()) + i, back.size() - i, c);
    if (n <= 0) c = kReplacement, n = 1;
    back_codes.push_back(c);
    i += static_cast<std::size_t>(n);
  }
  std::string theirs;
  for (std::size_t i = k > 0 ? k - 1 : 0; i < std::min(k + 2, back_codes.size()); ++i)
    append_utf8(theirs, back_codes[i]);
  warn(offset + from, to - from,
       warning_text(acip_problems::kLineDiffers, hub.substr(from, to - from), theirs));
}

constexpr std::size_t kHandOn = std::size_t{1} << 15;

}  // namespace

struct AcipWriter::Parts {
  explicit Parts(ReaderReport* problems) : writer(problems) {}
  HubAcip writer;
};

AcipWriter::AcipWriter(tsd::Stream& out, ReaderReport* problems)
    : out_(out), parts_(std::make_unique<Parts>(problems)) {}

AcipWriter::~AcipWriter() = default;

void AcipWriter::take(const unsigned char* bytes, std::size_t n) {
  parts_->writer.run(bytes, n);
  std::string& text = parts_->writer.text();
  if (text.size() >= kHandOn) {
    out_.write(text.data(), text.size());
    text.clear();
  }
}

int AcipWriter::finish() {
  parts_->writer.finish();
  std::string& text = parts_->writer.text();
  if (!text.empty()) out_.write(text.data(), text.size());
  text.clear();
  return out_.flush() == 0 && !out_.error() ? 0 : -1;
}

std::string hub_to_acip(std::string_view hub, ReaderReport* problems) {
  HubAcip writer(problems);
  writer.run(reinterpret_cast<const unsigned char*>(hub.data()), hub.size());
  writer.finish();
  return std::move(writer.text());
}

}  // namespace tarvex
