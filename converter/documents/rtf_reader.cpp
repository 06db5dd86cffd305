#include "rtf_reader.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tarvex {

namespace {

constexpr std::int8_t kUnnamed = 0;  // fonts_low_ holds kind + 2: 0 is a number the table never named

// The control words the reader acts on.
enum class Word : std::uint8_t {
  other,
  bin,
  unicode,
  font,
  font_size,
  plain,
  fallback_count,
  default_font,
  font_table,
  skipped_destination,  // holds no text of the document: skipped whole, even without `\*`
  paragraph,
  tab,
  character,  // stands for one character
};
struct KnownWord {
  std::string_view word;
  Word kind;
  char32_t c = 0;
};
constexpr KnownWord kKnownWords[] = {
    {"annotation", Word::skipped_destination},
    {"atnauthor", Word::skipped_destination},
    {"atnid", Word::skipped_destination},
    {"bin", Word::bin},
    {"bkmkend", Word::skipped_destination},
    {"bkmkstart", Word::skipped_destination},
    {"bullet", Word::character, 0x2022},
    {"cell", Word::tab},
    {"colorschememapping", Word::skipped_destination},
    {"colortbl", Word::skipped_destination},
    {"datastore", Word::skipped_destination},
    {"deff", Word::default_font},
    {"docvar", Word::skipped_destination},
    {"emdash", Word::character, 0x2014},
    {"emspace", Word::character, 0x2003},
    {"endash", Word::character, 0x2013},
    {"enspace", Word::character, 0x2002},
    {"f", Word::font},
    {"filetbl", Word::skipped_destination},
    {"fldinst", Word::skipped_destination},
    {"fonttbl", Word::font_table},
    {"footer", Word::skipped_destination},
    {"footerf", Word::skipped_destination},
    {"footerl", Word::skipped_destination},
    {"footerr", Word::skipped_destination},
    {"footnote", Word::skipped_destination},
    {"fs", Word::font_size},
    {"generator", Word::skipped_destination},
    {"header", Word::skipped_destination},
    {"headerf", Word::skipped_destination},
    {"headerl", Word::skipped_destination},
    {"headerr", Word::skipped_destination},
    {"info", Word::skipped_destination},
    {"latentstyles", Word::skipped_destination},
    {"ldblquote", Word::character, 0x201C},
    {"line", Word::paragraph},
    {"listoverridetable", Word::skipped_destination},
    {"listtable", Word::skipped_destination},
    {"lquote", Word::character, 0x2018},
    {"nonshppict", Word::skipped_destination},
    {"object", Word::skipped_destination},
    {"page", Word::paragraph},
    {"par", Word::paragraph},
    {"pgdsctbl", Word::skipped_destination},
    {"pict", Word::skipped_destination},
    {"plain", Word::plain},
    {"pn", Word::skipped_destination},
    {"qmspace", Word::character, 0x2005},
    {"rdblquote", Word::character, 0x201D},
    {"revtbl", Word::skipped_destination},
    {"row", Word::paragraph},
    {"rquote", Word::character, 0x2019},
    {"rsidtbl", Word::skipped_destination},
    {"sect", Word::paragraph},
    {"shpinst", Word::skipped_destination},
    {"stylesheet", Word::skipped_destination},
    {"tab", Word::tab},
    {"template", Word::skipped_destination},
    {"themedata", Word::skipped_destination},
    {"u", Word::unicode},
    {"uc", Word::fallback_count},
    {"userprops", Word::skipped_destination},
    {"xmlnstbl", Word::skipped_destination},
};
// The known words in open addressing by a hash of their letters: a word read is compared with one of them,
// seldom two.
constexpr std::uint32_t word_hash(std::string_view word) {
  std::uint32_t h = static_cast<std::uint32_t>(word.size());
  for (const char c : word) h = h * 31 + static_cast<unsigned char>(c);
  return h;
}
constexpr std::size_t kWordSlots = 128;
constexpr auto kWordSlotTable = [] {
  std::array<std::uint8_t, kWordSlots> slots{};  // 1 + the place in kKnownWords; 0 for none
  for (std::size_t i = 0; i < std::size(kKnownWords); ++i) {
    std::size_t at = word_hash(kKnownWords[i].word) % kWordSlots;
    while (slots[at] != 0) at = (at + 1) % kWordSlots;
    slots[at] = static_cast<std::uint8_t>(i + 1);
  }
  return slots;
}();
static_assert(std::size(kKnownWords) < kWordSlots / 2);

const KnownWord& known_word(std::string_view word) {
  static constexpr KnownWord kOther{"", Word::other};
  for (std::size_t at = word_hash(word) % kWordSlots; kWordSlotTable[at] != 0; at = (at + 1) % kWordSlots) {
    const KnownWord& known = kKnownWords[kWordSlotTable[at] - 1];
    if (known.word == word) return known;
  }
  return kOther;
}

int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_letter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

int RtfReader::font_kind(std::int32_t number) const {
  if (number < 0) number = default_font_;
  if (number < 0) return kOtherFont;
  if (number < static_cast<std::int32_t>(fonts_low_.size())) {
    const std::int8_t k = fonts_low_[static_cast<std::size_t>(number)];
    return k == kUnnamed ? kOtherFont : k - 2;
  }
  for (const auto& [n, kind] : fonts_high_)
    if (n == number) return kind;
  return kOtherFont;
}

void RtfReader::name_font() {
  if (entry_ < 0) return;
  // The name ends at ';'; blanks around it are no part of it.
  while (!name_.empty() && name_.back() == ' ') name_.pop_back();
  const std::size_t first = name_.find_first_not_of(' ');
  const int kind = tsendrel_font_of(first == std::string::npos ? std::string_view{}
                                                               : std::string_view(name_).substr(first));
  if (kind != kOtherFont) any_tsendrel_ = true;
  if (entry_ < static_cast<std::int32_t>(fonts_low_.size()))
    fonts_low_[static_cast<std::size_t>(entry_)] = static_cast<std::int8_t>(kind + 2);
  else
    fonts_high_.emplace_back(entry_, static_cast<std::int8_t>(kind));
  entry_ = -1;
  name_.clear();
}

// Tells the text its style when it changed since the text was last told.
void RtfReader::styled() {
  const Group& g = groups_[static_cast<std::size_t>(depth_)];
  if (g.font == styled_font_ && g.size == styled_size_) return;
  styled_font_ = g.font;
  styled_size_ = g.size;
  text_.style(font_kind(g.font), g.size);
}

void RtfReader::text_byte(unsigned char b) {
  Group& g = groups_[static_cast<std::size_t>(depth_)];
  if (skip_ > 0) {
    --skip_;
    return;
  }
  if (g.dest == Dest::font_table) {
    if (b == ';')
      name_font();
    else if (name_.size() < 64)
      name_ += static_cast<char>(b);
    return;
  }
  if (g.dest != Dest::text) return;
  styled();
  if (b == '\t')
    text_.tab();
  else
    text_.bytes(&b, 1);
}

void RtfReader::text_run(const unsigned char* p, std::size_t n) {
  const Group& g = groups_[static_cast<std::size_t>(depth_)];
  if (skip_ > 0 || g.dest != Dest::text) {
    for (std::size_t i = 0; i < n; ++i) text_byte(p[i]);
    return;
  }
  styled();
  text_.bytes(p, n);
}

void RtfReader::unicode(std::int32_t n) {
  Group& g = groups_[static_cast<std::size_t>(depth_)];
  const auto unit = static_cast<char16_t>(n < 0 ? n + 65536 : n);
  skip_ = g.uc;
  if (g.dest != Dest::text) return;
  if (unit >= 0xD800 && unit < 0xDC00) {
    high_surrogate_ = unit;
    return;
  }
  char32_t c = unit;
  if (unit >= 0xDC00 && unit < 0xE000) {
    if (!high_surrogate_) return;
    c = 0x10000 + ((static_cast<char32_t>(high_surrogate_) - 0xD800) << 10) + (unit - 0xDC00);
  }
  high_surrogate_ = 0;
  styled();
  text_.character(c);
}

void RtfReader::open_group() {
  skip_ = 0;
  if (depth_ + 1 >= kDepth) {
    ++beyond_;
    return;
  }
  groups_[static_cast<std::size_t>(depth_ + 1)] = groups_[static_cast<std::size_t>(depth_)];
  ++depth_;
}

void RtfReader::close_group() {
  skip_ = 0;
  ignorable_ = false;
  if (beyond_ > 0) {
    --beyond_;
    return;
  }
  if (depth_ == 0) {
    if (!stray_brace_told_) text_.warn("a closing brace with no group open: ignored");
    stray_brace_told_ = true;
    return;
  }
  if (groups_[static_cast<std::size_t>(depth_)].dest == Dest::font_table && !name_.empty()) name_font();
  --depth_;
}

void RtfReader::control_symbol(unsigned char c) {
  Group& g = groups_[static_cast<std::size_t>(depth_)];
  switch (c) {
    case '\\':
    case '{':
    case '}':
      text_byte(c);
      break;
    case '*':
      ignorable_ = true;
      break;
    case '~':
      if (skip_ > 0) {
        --skip_;
      } else if (g.dest == Dest::text) {
        styled();
        text_.character(0xA0);
      }
      break;
    case '_':
      if (skip_ > 0) {
        --skip_;
      } else if (g.dest == Dest::text) {
        styled();
        text_.character(0x2011);
      }
      break;
    case '\n':
    case '\r':
      if (g.dest == Dest::text) text_.paragraph();
      break;
    default:  // \- (optional hyphen), \| and the others: nothing of the text
      if (skip_ > 0) --skip_;
      break;
  }
}

void RtfReader::control_word() {
  const std::string_view word(word_, static_cast<std::size_t>(word_length_));
  const bool has_number = digits_ > 0;
  const auto value = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(negative_ ? -number_ : number_, -2147483647, 2147483647));
  Group& g = groups_[static_cast<std::size_t>(depth_)];
  // The words of every font switch first.
  if (skip_ == 0 && g.dest == Dest::text && word_[0] == 'f' && word_length_ <= 2) {
    if (word_length_ == 1) {
      g.font = value;
      ignorable_ = false;
      return;
    }
    if (word_[1] == 's') {
      g.size = has_number ? value : 24;
      ignorable_ = false;
      return;
    }
  }
  const KnownWord& known = known_word(word);
  if (known.kind == Word::bin) {
    if (value > 0) {
      binary_left_ = value;
      state_ = State::binary;
    }
    return;
  }
  if (known.kind == Word::unicode && has_number) {
    if (skip_ > 0) --skip_;
    unicode(value);
    return;
  }
  // A control word stands for one character of a \uN's fallback.
  if (skip_ > 0) {
    --skip_;
    return;
  }
  switch (known.kind) {
    case Word::font:
      if (g.dest == Dest::font_table) {
        if (!name_.empty()) name_font();
        entry_ = value;
        name_.clear();
      } else {
        g.font = value;
      }
      break;
    case Word::font_size:
      g.size = has_number ? value : 24;
      break;
    case Word::plain:
      g.font = -1;
      g.size = 24;
      break;
    case Word::fallback_count:
      g.uc = std::clamp(value, 0, 16);
      break;
    case Word::default_font:
      default_font_ = value;
      break;
    case Word::font_table:
      g.dest = Dest::font_table;
      break;
    default:
      // Within a skipped destination nothing else matters.
      if (g.dest != Dest::text) break;
      if (ignorable_ || known.kind == Word::skipped_destination) {
        g.dest = Dest::skip;
      } else if (known.kind == Word::paragraph) {
        text_.paragraph();
      } else if (known.kind == Word::tab) {
        styled();
        text_.tab();
      } else if (known.kind == Word::character) {
        styled();
        text_.character(known.c);
      }
  }
  ignorable_ = false;
}

void RtfReader::feed(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    switch (state_) {
      case State::text: {
        if (c == '\\') {
          state_ = State::escape;
          ++i;
        } else if (c == '{') {
          open_group();
          ++i;
        } else if (c == '}') {
          close_group();
          ++i;
        } else if (c == '\r' || c == '\n') {
          ++i;
        } else {
          // A run of plain text, handed over whole.
          std::size_t end = i + 1;
          while (end < n && p[end] != '\\' && p[end] != '{' && p[end] != '}' && p[end] != '\r' &&
                 p[end] != '\n')
            ++end;
          text_run(p + i, end - i);
          i = end;
        }
        break;
      }
      case State::escape:
        ++i;
        if (is_letter(c)) {
          word_[0] = static_cast<char>(c);
          word_length_ = 1;
          number_ = 0;
          negative_ = false;
          digits_ = 0;
          state_ = State::word;
        } else if (c == '\'') {
          hex_ = 0;
          hex_digits_ = 0;
          state_ = State::hex;
        } else {
          state_ = State::text;
          control_symbol(c);
        }
        break;
      case State::word:
        if (is_letter(c)) {
          if (word_length_ < static_cast<int>(sizeof word_)) word_[word_length_++] = static_cast<char>(c);
          ++i;
        } else if (c == '-' && !negative_) {
          negative_ = true;
          state_ = State::number;
          ++i;
        } else if (c >= '0' && c <= '9') {
          state_ = State::number;
        } else {
          if (c == ' ') ++i;  // the blank that ends a control word belongs to it
          state_ = State::text;
          control_word();
        }
        break;
      case State::number:
        if (c >= '0' && c <= '9') {
          if (digits_ < 12) number_ = number_ * 10 + (c - '0');
          ++digits_;
          ++i;
        } else {
          if (c == ' ') ++i;
          state_ = State::text;
          control_word();
        }
        break;
      case State::hex: {
        const int v = hex_value(c);
        if (v < 0) {
          state_ = State::text;  // a broken \'h: what follows is read as it stands
          break;
        }
        hex_ = hex_ * 16 + v;
        ++i;
        if (++hex_digits_ == 2) {
          state_ = State::text;
          text_byte(static_cast<unsigned char>(hex_));
        }
        break;
      }
      case State::binary: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::int64_t>(binary_left_, static_cast<std::int64_t>(n - i)));
        i += take;
        binary_left_ -= static_cast<std::int64_t>(take);
        if (binary_left_ == 0) state_ = State::text;
        break;
      }
    }
  }
}

void RtfReader::finish() {
  if (state_ == State::word || state_ == State::number) {
    state_ = State::text;
    control_word();
  }
  if (depth_ + beyond_ > 0 || state_ != State::text)
    text_.warn("the document ends inside " + std::to_string(depth_ + beyond_) +
               " open group(s): it may have been cut short");
  if (!any_tsendrel_) text_.warn("the font table names no Tsendrel font: the text is copied as it stands");
}

}  // namespace tarvex
