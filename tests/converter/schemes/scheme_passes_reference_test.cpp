// The scheme passes against a plain form of their rules (a character at a time, one of push-back), on
// large random texts, on texts with CR LF read in text mode, and on the Kangyur volume and its KVTS.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "scheme_passes.h"
#include "support/temp_dir.h"

using namespace tarvex;

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  int get() { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_++]) : -1; }
  void unget(int c) {
    if (c >= 0) --at_;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool is_space(int c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

char swap_case(int c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
  return static_cast<char>(c);
}

// Copies a passage after its "[" up to and including the "]"; returns the last byte copied.
int copy_passage(Reader& in, std::string& out) {
  out += '[';
  int last = '[';
  for (int c = in.get(); c >= 0; c = in.get()) {
    out += static_cast<char>(c);
    last = c;
    if (c == ']') break;
  }
  return last;
}

// The start of the text counts as a syllable start, like a blank before it.
std::string reference_wylie_to_kvts(std::string_view text) {
  Reader in(text);
  std::string out;
  int prev = ' ';
  for (int c = in.get(); c >= 0; prev = c, c = in.get()) {
    const bool start = is_space(prev);
    const bool vowel_start = start || prev == 'A';
    switch (c) {
      case 'a':
        out += start ? "AA" : "A";
        break;
      case 'e':
      case 'i':
      case 'o':
      case 'u':
        if (vowel_start) out += 'A';
        out += swap_case(c);
        break;
      case 'E':
        out += vowel_start ? "AEE" : "EE";
        break;
      case 'I':
        out += vowel_start ? "Ai" : "i";
        break;
      case 'O':
        out += vowel_start ? "AOO" : "OO";
        break;
      case 'A':
        break;
      case '/':
        out += ',';
        break;
      case '.':
      case 's': {
        const bool held = c == '.' ? prev == 'g' : prev == 't';
        if (!held) {
          out += c == '.' ? ' ' : 'S';
          break;
        }
        const int joined = c == '.' ? 'y' : 'h';
        const int n = in.get();
        if (n == joined) {
          out += c == '.' ? "-Y" : "S";
          c = n;
        } else {
          out += c == '.' ? ' ' : 'Z';
          in.unget(n);
        }
        break;
      }
      case '[':
        c = copy_passage(in, out);
        break;
      default:
        out += swap_case(c);
    }
  }
  return out;
}

std::string reference_kvts_to_wylie(std::string_view text) {
  Reader in(text);
  std::string out;
  int prev = ' ';
  // A long vowel when the next byte repeats `vowel`, else the short one with the next byte pushed back.
  const auto vowel = [&](int v, std::string_view before_long, std::string_view before_short) {
    const int n = in.get();
    if (n == v) {
      out += before_long;
      out += static_cast<char>(v);
    } else {
      out += before_short;
      out += swap_case(v);
      in.unget(n);
    }
  };
  for (int c = in.get(); c >= 0; prev = c, c = in.get()) {
    switch (c) {
      case 'E':
      case 'O':
        vowel(c, "", "");
        break;
      case ',':
        out += '/';
        break;
      case '-': {
        if (prev != 'G') {
          out += '-';
          break;
        }
        const int n = in.get();
        if (n == 'Y') {
          out += ".y";
          c = n;
        } else {
          out += '-';
          in.unget(n);
        }
        break;
      }
      case 'S':
        out += prev == 'T' ? "sh" : "s";
        break;
      case 'Z':
        out += prev == 'T' ? "s" : "z";
        break;
      case '[':
        c = copy_passage(in, out);
        break;
      case 'A': {
        const bool start = is_space(prev);
        const int n = in.get();
        switch (n) {
          case 'A':
            out += start ? "a" : "A";
            break;
          case 'I':
            out += start ? "i" : "Ai";
            break;
          case 'U':
            out += start ? "u" : "Au";
            break;
          case 'i':
            out += start ? "I" : "AI";
            break;
          case 'm':
            out += "aM";
            break;
          case '-':
            out += prev == 'G' ? "." : "-";
            break;
          case 'E':
          case 'O':
            vowel(n, start ? "" : "A", start ? "" : "A");
            break;
          default:
            out += 'a';
            in.unget(n);
            continue;  // the "A" stays the previous character of what follows
        }
        c = n;
        break;
      }
      default:
        out += swap_case(c);
    }
  }
  return out;
}

std::string run(int (*pass)(tsd::Stream&, tsd::Stream&), tsd::Stream& src) {
  tsd::Stream dst = tsd::Stream::temporary();
  EXPECT_EQ(pass(src, dst), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  return out;
}

std::string run_binary(int (*pass)(tsd::Stream&, tsd::Stream&), std::string_view input) {
  tsd::Stream src = tsd::Stream::temporary();
  src.write(input.data(), input.size());
  src.rewind();
  return run(pass, src);
}

// Text mode reads CR LF as LF, which is what the pass sees.
std::string without_cr_lf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

// Bytes drawn mostly from those the rules treat apart, so that every look-ahead meets every follower.
std::string random_text(std::size_t size, unsigned seed, std::string_view alphabet) {
  std::mt19937 random(seed);
  std::string text;
  text.reserve(size);
  while (text.size() < size) {
    const unsigned roll = random() % 64;
    if (roll == 0) {
      text += static_cast<char>(random());
    } else if (roll == 1) {
      // A long passage now and then, to run across the stream's buffer.
      text += '[';
      text.append(random() % 3 == 0 ? 70000 : random() % 40, "ka tsE"[random() % 6]);
      if (random() % 8 != 0) text += ']';
    } else {
      text += alphabet[random() % alphabet.size()];
    }
  }
  return text;
}

constexpr std::string_view kWylieAlphabet = "aeiouEIOAtsgh.y/[] \n\tkbrmdpTSZ";
constexpr std::string_view kKvtsAlphabet = "AEOIUimTSZGY-,[] \n\taekbrKB";

struct Pass {
  const char* name;
  int (*pass)(tsd::Stream&, tsd::Stream&);
  std::string (*reference)(std::string_view);
  std::string_view alphabet;
};

const Pass kPasses[] = {
    {"wylie_to_kvts", wylie_to_kvts, reference_wylie_to_kvts, kWylieAlphabet},
    {"kvts_to_wylie", kvts_to_wylie, reference_kvts_to_wylie, kKvtsAlphabet},
};

TEST(scheme_passes, follow_their_rules_on_large_random_texts) {
  for (const Pass& p : kPasses) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const std::string input = random_text(700000, seed, p.alphabet);
      EXPECT_TRUE(run_binary(p.pass, input) == p.reference(input)) << p.name << ", seed " << seed;
    }
  }
}

TEST(scheme_passes, follow_their_rules_on_short_texts_of_every_ending) {
  // Every text of one to three bytes from those that matter: each look-ahead at the end of the source.
  for (const Pass& p : kPasses) {
    const std::string bytes = std::string(p.alphabet.substr(0, 10)) + "[] ";
    std::vector<std::string> texts = {""};
    for (std::size_t from = 0, length = 1; length <= 3; ++length) {
      const std::size_t to = texts.size();
      for (std::size_t i = from; i < to; ++i)
        for (const char b : bytes) texts.push_back(texts[i] + b);
      from = to;
    }
    for (const std::string& text : texts)
      EXPECT_EQ(run_binary(p.pass, text), p.reference(text)) << p.name << " of \"" << text << "\"";
  }
}

TEST(scheme_passes, follow_their_rules_on_text_mode_input_with_cr_lf) {
  tsd::testing::TempDir dir;
  for (const Pass& p : kPasses) {
    std::string input = random_text(300000, 7, std::string(p.alphabet) + "\r\n\r");
    // A CR LF across each boundary of the stream's 64 KiB buffer.
    for (std::size_t at = 65535; at + 1 < input.size(); at += 65536) input.replace(at, 2, "\r\n");
    const std::string path = dir.write("input.txt", input);
    tsd::Stream src = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
    EXPECT_TRUE(run(p.pass, src) == p.reference(without_cr_lf(input))) << p.name;
  }
}

TEST(scheme_passes, follow_their_rules_on_the_kangyur_volume) {
  const std::string path = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035.wylie.txt";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "the shared corpus is not beside the checkout";
  tsd::Stream src = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
  const std::string wylie = without_cr_lf(tsd::testing::read_file(path));
  const std::string kvts = run(wylie_to_kvts, src);
  EXPECT_TRUE(kvts == reference_wylie_to_kvts(wylie));
  EXPECT_TRUE(run_binary(kvts_to_wylie, kvts) == reference_kvts_to_wylie(kvts));
}

}  // namespace
