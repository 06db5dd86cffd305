#include "rtf_reader.h"

#include <algorithm>
#include <string_view>

namespace tarvex {

namespace {

constexpr std::int8_t kUnnamed = 0;  // fonts_low_ holds kind + 2: 0 is a number the table never named

// Destinations that hold no text of the document, skipped whole even without `\*`.
constexpr std::string_view kSkipped[] = {
    "colortbl",
    "stylesheet",
    "info",
    "pict",
    "header",
    "headerl",
    "headerr",
    "headerf",
    "footer",
    "footerl",
    "footerr",
    "footerf",
    "footnote",
    "fldinst",
    "object",
    "listtable",
    "listoverridetable",
    "revtbl",
    "rsidtbl",
    "generator",
    "xmlnstbl",
    "themedata",
    "latentstyles",
    "colorschememapping",
    "datastore",
    "pgdsctbl",
    "nonshppict",
    "shpinst",
    "filetbl",
    "userprops",
    "docvar",
    "template",
    "pn",
    "annotation",
    "atnid",
    "atnauthor",
    "bkmkstart",
    "bkmkend",
};

// Control words that stand for one character.
struct Named {
  std::string_view word;
  char32_t c;
};
constexpr Named kNamedCharacters[] = {
    {"emdash", 0x2014},    {"endash", 0x2013},    {"lquote", 0x2018}, {"rquote", 0x2019},
    {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"bullet", 0x2022}, {"emspace", 0x2003},
    {"enspace", 0x2002},   {"qmspace", 0x2005},
};

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
  if (word == "bin") {
    if (value > 0) {
      binary_left_ = value;
      state_ = State::binary;
    }
    return;
  }
  if (word == "u" && has_number) {
    if (skip_ > 0) --skip_;
    unicode(value);
    return;
  }
  // A control word stands for one character of a \uN's fallback.
  if (skip_ > 0) {
    --skip_;
    return;
  }
  if (word == "f") {
    if (g.dest == Dest::font_table) {
      if (!name_.empty()) name_font();
      entry_ = value;
      name_.clear();
    } else {
      g.font = value;
    }
  } else if (word == "fs") {
    g.size = has_number ? value : 24;
  } else if (word == "plain") {
    g.font = -1;
    g.size = 24;
  } else if (word == "uc") {
    g.uc = std::clamp(value, 0, 16);
  } else if (word == "deff") {
    default_font_ = value;
  } else if (word == "fonttbl") {
    g.dest = Dest::font_table;
  } else if (g.dest != Dest::text) {
    // Within a skipped destination nothing else matters.
  } else if (ignorable_ || std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped)) {
    g.dest = Dest::skip;
  } else if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row") {
    text_.paragraph();
  } else if (word == "tab" || word == "cell") {
    styled();
    text_.tab();
  } else {
    for (const Named& n : kNamedCharacters)
      if (word == n.word) {
        styled();
        text_.character(n.c);
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
