// The font-code pass beyond its vectors: take-backs in resolve_glyphs, the typed-key buffer that keeps only
// its newest 176 keys, and write failures.
#include "font_code_pass.h"
#include "driver_support.h"
#include "support/process.h"

#include <algorithm>
#include <array>
#include <random>

using namespace tarvex;

namespace {

std::string run_pass(const std::string& input, std::vector<std::string>* status = nullptr,
                     int* result = nullptr) {
  tsd::SyllableState state;
  tsd::Stream in = h2test::stream_with(input);
  tsd::Stream out = tsd::Stream::temporary();
  h2test::StatusCapture capture;
  const int r = font_code_pass(in, out, 0, h2test::test_key_tables(), state, capture.sink());
  if (result) *result = r;
  if (status) *status = capture.captured;
  return h2test::contents(out);
}

TEST(resolve_glyphs, take_backs_remove_the_last_byte_written_whatever_it_is) {
  struct Case {
    std::string glyphs;
    std::string written;
  } cases[] = {
      {"AB\x14"
       "C",
       "AC"},
      {"\x14\x14"
       "A",
       "A"},
      {"A\x82"
       "B\x81\x14\x14",
       "A\x82"},
      {"'KG\x14\x14\x14\x85Y\x81", "\x85Y\x81"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::array<unsigned char, kGlyphWordSize> out{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.glyphs.data());
    const int n = resolve_glyphs(bytes, static_cast<int>(c.glyphs.size()), out.data());
    EXPECT_EQ(h2test::escape(std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n))),
              h2test::escape(c.written));
  }
}

TEST(font_code_pass, typed_keys_keep_only_the_newest_176) {
  // A digit is no key of the tables and composes nothing, so it stays in the typed-key buffer until a raw
  // passage is written; a thousand of them go round the buffer several times.
  for (int count : {300, 1000}) {
    std::string input;
    std::string digits;
    for (int i = 0; i < count; ++i) {
      digits += static_cast<char>('0' + i % 10);
      input += digits.back();
      input += ' ';
    }
    input += "fs" + std::string(19, '\'');
    const std::string out = run_pass(input);
    const std::size_t start = out.find('\x13');
    ASSERT_NE(start, std::string::npos) << count;
    // 176 keys: the stack key (no text), "s", 19 apostrophes, and the newest 155 digits.
    EXPECT_EQ(out.substr(start),
              "\x13~" + digits.substr(digits.size() - 155) + "S" + std::string(19, '\'') + "\x14")
        << count;
  }
}

TEST(font_code_pass, refused_word_lets_the_next_word_compose_normally) {
  EXPECT_EQ(run_pass("fs" + std::string(19, '\'') + " fska"), "\x13~S" + std::string(19, '\'') +
                                                                  "\x14"
                                                                  ".\x85Y\x81");
}

TEST(font_code_pass, full_disk_is_reported_once) {
  tsd::SyllableState state;
  std::string input;
  for (int i = 0; i < 40000; ++i) input += "ka ";
  tsd::Stream in = h2test::stream_with(input);
  tsd::Stream full = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
  h2test::StatusCapture status;
  EXPECT_EQ(font_code_pass(in, full, 0, h2test::test_key_tables(), state, status.sink()), -1);
  EXPECT_EQ(status.captured,
            std::vector<std::string>{
                "Could not write the output file.\rCheck whether you have enough disk space."});
}

TEST(font_code_pass, small_word_on_a_full_disk_fails_at_the_end) {
  tsd::SyllableState state;
  tsd::Stream in = h2test::stream_with("ka");
  tsd::Stream full = tsd::Stream::adopt(tsd::testing::open_full_device(), tsd::Stream::Mode::binary, true);
  h2test::StatusCapture status;
  EXPECT_EQ(font_code_pass(in, full, 0, h2test::test_key_tables(), state, status.sink()), -1);
  EXPECT_EQ(status.captured.size(), 1u);
}

TEST(font_code_pass, stack_left_open_by_a_previous_file_does_not_spoil_the_punctuation) {
  tsd::SyllableState state;
  tsd::Stream first = h2test::stream_with("fsg");
  tsd::Stream second = h2test::stream_with("ka, ga");
  tsd::Stream out = tsd::Stream::temporary();
  ASSERT_EQ(font_code_pass(first, out, 0, h2test::test_key_tables(), state, {}), 0);
  tsd::Stream out2 = tsd::Stream::temporary();
  ASSERT_EQ(font_code_pass(second, out2, 0, h2test::test_key_tables(), state, {}), 0);
  EXPECT_EQ(h2test::escape(h2test::contents(out2)), "K\\xa2,\\x81 G");
}

TEST(font_code_pass, a_table_with_a_code_0_is_refused_so_no_glyph_string_is_cut_short) {
  // A vowel form of "k" at code 0 in "vowa" would end its glyph string right after the font switch, and
  // the vowel would vanish from the output: the table does not load.
  std::string keyfont;
  {
    tsd::Stream in = tsd::Stream::open_read((h2test::vectors_dir("font_code_pass") + "/keyfont").c_str(),
                                            tsd::Stream::Mode::binary);
    keyfont = h2test::contents(in);
  }
  const std::string form = "k 0 75\nform1 32 105\n";
  const std::size_t at = keyfont.find(form);
  ASSERT_NE(at, std::string::npos);
  keyfont.replace(at, form.size(), "k 0 75\nform1 32 0\n");
  tsd::testing::TempDir dir;
  static ConverterKeyTables tables;
  static std::vector<std::string> reports;
  EXPECT_EQ(tsd::load_key_tables(dir.write("keyfont", keyfont).c_str(),
                                 (h2test::vectors_dir("font_code_pass") + "/keymap").c_str(), tables,
                                 [](const char* message) { reports.emplace_back(message); }),
            -1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind("Record ", 0), 0u) << reports[0];
  EXPECT_NE(reports[0].find("(entry \"k\"), form 1: character code 0 is not allowed"), std::string::npos)
      << reports[0];
}

// Text made of a small vocabulary of key words, as running text repeats its syllables: words that open
// stacks and leave them open, vowels that look back at the history, `g` before a blank, over-long and
// refused words, control keys and bytes the keymap does not know, between every kind of separator.
std::string repetitive_text(unsigned seed, const std::string& alphabet, std::size_t size) {
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::vector<std::string> words;
  for (int i = 0; i < 80; ++i) {
    std::string word;
    const std::size_t length = 1 + (pick(10) == 0 ? pick(40) : pick(8));
    for (std::size_t k = 0; k < length; ++k) {
      const std::size_t r = pick(100);
      word += r < 3 ? static_cast<char>(pick(2) ? 8 : 200) : r < 20 ? '$' : alphabet[pick(alphabet.size())];
    }
    words.push_back(word);
  }
  const std::string separators[] = {
      " ",    " ",    " ",   " ",     " ",
      ",",    "\n",   "\t",  "-",     "\x19",
      "\x17", "\x18", "[x]", "{y z}", " [a long note, with, punctuation - and blanks] "};
  std::string text;
  while (text.size() < size) {
    text += words[pick(pick(2) ? 8 : words.size())];
    text += separators[pick(std::size(separators))];
  }
  return text;
}

struct PassRun {
  std::string out;
  int result = 0;
  std::vector<std::string> status;
  tsd::SyllableState state;
};

PassRun run_with(const std::string& input, const ConverterKeyTables& tables, int keep_cr, bool memoise) {
  PassRun run;
  tsd::Stream in = h2test::stream_with(input);
  tsd::Stream out = tsd::Stream::temporary();
  h2test::StatusCapture capture;
  run.result = font_code_pass(in, out, keep_cr, tables, run.state, capture.sink(), memoise);
  run.status = capture.captured;
  run.out = h2test::contents(out);
  return run;
}

// Words replayed from memory write what the composer writes and leave the composer as it would.
TEST(font_code_pass, remembered_words_give_what_the_composer_gives) {
  static ConverterKeyTables sample;
  const std::string data = TSENDREL_SOURCE_DIR "/data/";
  ASSERT_EQ(tsd::load_key_tables((data + "keyfont").c_str(), (data + "keymap").c_str(), sample, nullptr), 0);
  const struct {
    const ConverterKeyTables& tables;
    std::string alphabet;
  } setups[] = {
      {h2test::test_key_tables(), "fsgrkaiueo'.GKbdmn"},
      {sample, "fbgdkrsmnlyw'aiueoAIEOUMHtcCzZ.+<>="},
  };
  for (const auto& setup : setups) {
    for (unsigned seed = 0; seed < 12; ++seed) {
      const std::string input = repetitive_text(seed, setup.alphabet, 150000);
      const PassRun memo = run_with(input, setup.tables, static_cast<int>(seed & 1), true);
      const PassRun plain = run_with(input, setup.tables, static_cast<int>(seed & 1), false);
      EXPECT_EQ(memo.result, plain.result) << seed;
      EXPECT_EQ(memo.status, plain.status) << seed;
      const auto differ = std::mismatch(memo.out.begin(), memo.out.end(), plain.out.begin(), plain.out.end());
      ASSERT_TRUE(memo.out == plain.out)
          << "seed " << seed << ": from byte " << (differ.first - memo.out.begin()) << " the memo writes "
          << h2test::escape(std::string(differ.first, memo.out.end()).substr(0, 40)) << " and the composer "
          << h2test::escape(std::string(differ.second, plain.out.end()).substr(0, 40));
      EXPECT_EQ(memo.state.key_history, plain.state.key_history) << seed;
      EXPECT_EQ(memo.state.keys_remembered, plain.state.keys_remembered) << seed;
      EXPECT_EQ(memo.state.depth, plain.state.depth) << seed;
    }
  }
}

// Pseudo-random bytes, weighted towards the characters the passes treat specially.
std::string noise(unsigned seed, std::size_t size) {
  static const std::string special = "fsgrkaiu' \n\t,:?-[]{}\x14\x17\x18\x19";
  std::string out;
  unsigned x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    const unsigned r = x >> 8;
    out += (r & 1) ? special[r % special.size()] : static_cast<char>(r >> 3);
  }
  return out;
}

TEST(font_code_pass, any_bytes_give_a_result_and_a_document) {
  for (unsigned seed = 0; seed < 200; ++seed) {
    const std::string input = noise(seed, 2000);
    tsd::SyllableState state;
    tsd::Stream in = h2test::stream_with(input);
    tsd::Stream glyphs = tsd::Stream::temporary();
    h2test::StatusCapture status;
    const int result = font_code_pass(in, glyphs, static_cast<int>(seed & 1), h2test::test_key_tables(),
                                      state, status.sink());
    EXPECT_TRUE(result == 0 || result == -1) << seed;
    EXPECT_EQ(status.captured.size(), result == 0 ? 0u : 1u) << seed;
    glyphs.rewind();
    tsd::Stream rtf = tsd::Stream::temporary();
    EXPECT_EQ(write_rtf(glyphs, rtf, h2test::test_fonts(), kRtfFontCount, kKorlamBase, kRomanSize, 56, 48),
              0);
    EXPECT_EQ(h2test::contents(rtf).back(), '}') << seed;
  }
}

}  // namespace
