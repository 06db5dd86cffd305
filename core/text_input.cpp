#include "text_input.h"

namespace tsd {

namespace {

// The characters of a text as they are, counting how many were taken.
class Chars {
 public:
  static constexpr int end = -1;
  explicit Chars(std::string_view text) : text_(text) {}
  int get() { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_++]) : end; }
  void unget(int c) {
    if (c != end) --at_;
  }
  std::size_t taken() const { return at_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::size_t parse_decimal(std::string_view text, long bound, long& value) {
  Chars in(text);
  return read_decimal(in, bound, value) ? in.taken() : 0;
}

bool parse_whole_number(std::string_view text, long bound, long& value) {
  return !text.empty() && is_digit(text[0]) && parse_decimal(text, bound, value) == text.size();
}

}  // namespace tsd
