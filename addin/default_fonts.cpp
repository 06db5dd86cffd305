#include <cstdio>
#include <cstring>
#include <string_view>

#include "addin.h"
#include "text_input.h"

namespace tibet {
namespace {

constexpr const char* kNeedNameAndSize =
    "You need to enter a font name followed by a blank space and then a point size.";
constexpr const char* kBadSize = "The point size must be between 1 and 1638.";

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Like atoi, but an overlong number stays out of range instead of wrapping.
long decimal_value(std::string_view text) {
  long value = 0;
  tsd::parse_decimal(text, kMaxPointSize + 1, value);
  return value;
}

bool valid_point_size(long size) {
  return size >= kMinPointSize && size <= kMaxPointSize;
}

// The reply up to its first blank.
std::string_view first_word(std::string_view reply) {
  std::size_t end = 0;
  while (end < reply.size() && !is_blank(reply[end])) ++end;
  return reply.substr(0, end);
}

}  // namespace

// Asks for a reply; false when the prompt was cancelled or failed.
bool Addin::ask(const char* prompt, const char* title, const char* default_reply, char (&reply)[kReplySize]) {
  reply[0] = '\0';
  const bool answered = host_.prompt(prompt, title, default_reply, reply, kReplySize);
  reply[kReplySize - 1] = '\0';
  return answered;
}

void Addin::tibfont() {
  char default_reply[32];
  std::snprintf(default_reply, sizeof default_reply, "%c %d", font_names[defaults.family_base][0],
                defaults.tibetan_size);
  char reply[kReplySize];
  if (!ask("Enter K for Korlam and E for Ekorlam.  Follow the K or E with a blank space and then a point "
           "size.",
           "Default Tibetan Font", default_reply, reply)) {
    return;
  }
  const std::string_view text(reply);
  const std::string_view word = first_word(text);
  std::size_t at = word.size();
  while (at < text.size() && is_blank(text[at])) ++at;
  if (word.empty() || at == text.size()) {
    show_error(kNeedNameAndSize);
    return;
  }
  const long size = decimal_value(text.substr(at));
  if (!valid_point_size(size)) {
    show_error(kBadSize);
    return;
  }
  defaults.tibetan_size = static_cast<std::int16_t>(size);
  switch (word[0]) {
    case 'K':
    case 'k':
      defaults.family_base = 0;
      break;
    case 'E':
    case 'e':
      defaults.family_base = fonts_per_family;
      break;
    default:
      show_error("You must enter K or E.  Please check your spelling.");
      return;
  }
  if (syllable_state.mode != 0) host_.set_font(font_names[defaults.family_base].data(), defaults.tibetan_size);
  save_font_defaults();
}

void Addin::altfont() {
  char default_reply[kAltFontSize + 16];
  std::snprintf(default_reply, sizeof default_reply, "%s %d", defaults.alt_font, defaults.alt_size);
  char reply[kReplySize];
  if (!ask("Enter your default English font.  Follow the font name with a blank space and then a point size.",
           "Default English Font", default_reply, reply)) {
    return;
  }
  const std::string_view text(reply);
  // The last blank, not counting the first character, ends the name; names may hold blanks.
  std::size_t blank = text.size();
  for (std::size_t i = text.size(); i-- > 1;) {
    if (is_blank(text[i])) {
      blank = i;
      break;
    }
  }
  if (blank == text.size()) {
    show_error(kNeedNameAndSize);
    return;
  }
  const std::string_view name = text.substr(0, blank);
  if (name.size() >= static_cast<std::size_t>(kAltFontSize)) {
    show_error("The font name must be at most 63 characters.");
    return;
  }
  const long size = decimal_value(text.substr(blank + 1));
  if (!valid_point_size(size)) {
    show_error(kBadSize);
    return;
  }
  defaults.alt_size = static_cast<std::int16_t>(size);
  std::memcpy(defaults.alt_font, name.data(), name.size());
  defaults.alt_font[name.size()] = '\0';
  if (syllable_state.mode == 0) host_.set_font(defaults.alt_font, defaults.alt_size);
  save_font_defaults();
}

}  // namespace tibet
