// The syllable grammar of Extended Wylie: a run of letters, vowels, signs, "+" and "." (the apostrophes
// straight) read into Unicode stacks in canonical order, by the rules of ewts_tables.h: the letters of a
// syllable split into prefix, root stack, suffixes and the a-chung's endings; standard and "+" stacks; a
// vowelless syllable's fixed readings. Every doubtful spelling is a warning at its place in the word.
// `EwtsWordReader` is its face: the stream reader reads each word with it, and the EWTS writer checks its
// spellings against it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ewts_letters.h"
#include "ewts_tables.h"
#include "text_reader.h"

namespace tarvex {

// The grammar's warnings; %1 and %2 stand for the EWTS they are about.
namespace ewts_warnings {
inline constexpr std::string_view kUnexpectedRun = "unexpected characters \"%1\"";
inline constexpr std::string_view kBadPrefix = "prefix \"%1\" cannot stand before \"%2\"";
inline constexpr std::string_view kBadSuffix = "\"%1\" cannot be a suffix";
inline constexpr std::string_view kNotPrefix = "\"%1\" cannot be a prefix";
inline constexpr std::string_view kBadSecondSuffix = "\"%2\" cannot follow the suffix \"%1\"";
inline constexpr std::string_view kAfterSecondSuffix = "letter \"%1\" after the second suffix";
inline constexpr std::string_view kLonePlus = "\"+\" not followed by a letter or vowel";
inline constexpr std::string_view kLetterAfterVowel = "letter \"%1\" subjoined after a vowel";
inline constexpr std::string_view kRepeatedSign = "second \"%1\" on one stack dropped";
inline constexpr std::string_view kNonstandardStack = "\"%1\" is not a standard stack: write \"%2\"";
inline constexpr std::string_view kStackWithoutVowel = "stack \"%1\" has no vowel";
inline constexpr std::string_view kShouldBe = "\"%1\" should probably be \"%2\"";
inline constexpr std::string_view kAspirate = "\"%1\" should be written \"%2\"";
}  // namespace ewts_warnings

class EwtsWordReader {
 public:
  using Kind = ewts::TokenKind;
  using Token = ewts::Token;

  // Converts `word` (syllable characters, the apostrophes already straight), appending its UTF-8 to `out`
  // and its warnings to `warnings` (positions in the word).
  WordResult read(std::string_view word, std::string& out, std::vector<WordWarning>& warnings);
  // The same for a writer that checks a spelling: how many warnings reading it gave.
  int read(std::string_view word, std::string& out);
  // The same for tokens already lexed (by another scheme, in the grammar's terms: lex_token), each at its
  // place in `spelling`, the Extended Wylie that the warnings quote.
  WordResult read(std::string_view spelling, std::span<const Token> tokens, std::string& out,
                  std::vector<WordWarning>& warnings);
  int read(std::string_view spelling, std::span<const Token> tokens, std::string& out);

 private:
  enum class Join : unsigned char { none, plus, dot };

  struct Letter {
    unsigned char letter;
    Join join;  // what stands between it and the letter before
    std::uint16_t pos;
    std::uint16_t len;
    bool late = false;             // joined by "+" after a vowel or sign: written after them, as typed
    unsigned char vowels_before = 0;  // of its stack's vowels, how many were typed before it (`late`)
  };

  // A run of letters and what sits on its last stack.
  struct Group {
    int first = 0;  // into the segment's letters
    int count = 0;
    std::array<unsigned char, 4> vowels{};
    int vowel_count = 0;
    std::array<unsigned char, 6> signs{};
    int sign_count = 0;
    bool tsa_phru = false;  // `^`, once or more
  };

  // A stack to write: letters of the segment, and the group whose vowels and signs it carries (or none).
  struct Stack {
    int first;
    int count;
    int group;
  };

  // Tokens to stacks (ewts_syllables.cpp).
  WordResult read_tokens();
  void tokenize();
  void classify();
  static bool after_visarga(const Token& t) { return ewts_signs[t.index].after_visarga; }
  void segment(std::size_t begin, std::size_t end);
  void emit(const Stack& s);
  // The stacks of a syllable's letters: prefixes, roots, suffixes, the a-chung (ewts_stacks.cpp).
  void analyse();
  void head(int g);
  void vowelless();
  void validate_prefix(int prefix, int root_stack);
  void validate_suffixes(const std::vector<int>& suffixes);
  void push(int first, int count, int group) { stacks_.push_back({first, count, group}); }
  void push_singles(int first, int count);
  int stack_length(int first, int end) const;
  void push_stacks(int first, int count, int group);
  bool standard(int first, int count) const;
  bool valid_stack(int first, int count) const;
  bool is_prefix(int letter) const;
  bool prefix_allows(int prefix_letter, int first, int count) const;
  std::string name(int first, int count, bool plus) const;
  std::string_view spelled(int first, int count) const;
  bool suffixes_ok(int first, int count) const;
  void warn(std::size_t pos, std::size_t len, std::string_view form, std::string_view a = {},
            std::string_view b = {}) {
    warnings_->push_back({pos, len, warning_text(form, a, b)});
  }

  std::string_view word_;
  std::string* out_ = nullptr;
  std::vector<WordWarning>* warnings_ = nullptr;
  std::vector<Token> tokens_;
  std::vector<Letter> letters_;
  std::vector<Group> groups_;
  std::vector<Stack> stacks_;
  std::vector<std::vector<int>> after_;
  std::vector<char32_t> code_points_;
  std::vector<WordWarning> checked_;  // the warnings of a spelling checked
  WordResult result_;
  bool in_syllable_ = false;
  bool syllable_bad_ = false;
};

}  // namespace tarvex
