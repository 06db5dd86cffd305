// tarvex-cli run as a subprocess: the examples end to end with the bundled tables, standard input and
// output, the wild-card search, exit statuses, and a round trip of glyph codes back to syllables.
#include <filesystem>

#include "convert_file.h"
#include "driver_support.h"
#include "font_code_pass.h"
#include "support/process.h"
#include "tools/sample_tables.h"

namespace {

namespace fs = std::filesystem;
using tsd::testing::native;
using tsd::testing::quoted;
using tsd::testing::read_file;

const std::string kCli =
    TSENDREL_BINARY_DIR "/converter/cli/tarvex-cli" + std::string(tsd::testing::kExeSuffix);
const std::string kData = TSENDREL_SOURCE_DIR "/data";
const std::string kExamples = TSENDREL_SOURCE_DIR "/examples";

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

#ifdef _WIN32
const std::string kChangeFolder = "cd /d ";
#else
const std::string kChangeFolder = "cd ";
#endif

class cli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(kCli)) << kCli << " is not built"; }

  // Runs tarvex-cli in the test's folder with `args` (already quoted where needed).
  CliRun run(const std::string& args, const std::string& stdin_file = tsd::testing::kNullDevice) {
    const std::string command = kChangeFolder + quoted(dir.path()) + " && " + quoted(kCli) + " " + args +
                                " <" + quoted(stdin_file) + " >" + quoted(dir.file(".out")) + " 2>" +
                                quoted(dir.file(".err"));
    return CliRun{tsd::testing::run_status(command), read_file(dir.file(".out")),
                  read_file(dir.file(".err"))};
  }
  std::string copy_example(const std::string& name) {
    fs::copy_file(kExamples + "/" + name, dir.file(name));
    return name;
  }
  tsd::testing::TempDir dir;
};

TEST_F(cli, examples_convert_end_to_end_with_the_bundled_tables) {
  struct Case {
    const char* file;
    const char* options;
    const char* output;
  } cases[] = {
      {"aspiration.txt", "", "aspiration.rtf"},
      {"colophon.txt", "-f korlam", "colophon.rtf"},
      {"glossary.txt", "--keep-cr", "glossary.rtf"},
      {"greeting.kvt", "-t kvts-rtf", "greeting.rtf"},
  };
  for (const Case& c : cases) {
    copy_example(c.file);
    const CliRun r = run(std::string("-d ") + quoted(kData) + " " + c.options + " " + c.file);
    EXPECT_EQ(r.status, 0) << c.file << "\n" << r.err;
    EXPECT_EQ(r.err, native(std::string("Input file path: ./") + c.file + "\nOutput file path: ./" +
                            c.output + "\n1 file(s) processed\n"));
    const std::string rtf = read_file(dir.file(c.output));
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi \\deff69\\deflang1033 {\\fonttbl", 0), 0u) << c.file;
    EXPECT_EQ(rtf.back(), '}') << c.file;
    // Every syllable of the examples converts: no error marker, no refused word.
    EXPECT_EQ(rtf.find("[~"), std::string::npos) << c.file;
  }
}

TEST_F(cli, glossary_lines_stay_lines_only_with_keep_cr) {
  copy_example("glossary.txt");
  const auto paragraphs = [](const std::string& rtf) {
    int n = 0;
    for (std::size_t at = 0; (at = rtf.find("\\par \r\n", at)) != std::string::npos; ++at) ++n;
    return n;
  };
  ASSERT_EQ(run("-d " + quoted(kData) + " --keep-cr -o kept.rtf glossary.txt").status, 0);
  ASSERT_EQ(run("-d " + quoted(kData) + " -o joined.rtf glossary.txt").status, 0);
  EXPECT_EQ(paragraphs(read_file(dir.file("kept.rtf"))), 8);
  EXPECT_EQ(paragraphs(read_file(dir.file("joined.rtf"))), 0);
}

TEST_F(cli, wylie_to_kvts_and_back_through_standard_input_and_output) {
  const CliRun kvts = run("-d " + quoted(kData) + " -t wylie-kvts -", kExamples + "/aspiration.txt");
  EXPECT_EQ(kvts.status, 0) << kvts.err;
  EXPECT_EQ(kvts.out.rfind("BSOD NAMS 'DI YIS THAMS CAD GZIGS PA NYID,\r\n", 0), 0u) << kvts.out;
  dir.write("in.kvt", kvts.out);
  const CliRun wylie = run("-d " + quoted(kData) + " -t kvts-wylie -o - in.kvt");
  EXPECT_EQ(wylie.status, 0) << wylie.err;
  std::string expected;
  for (const char ch : read_file(kExamples + "/aspiration.txt")) {
    if (ch == '\n') expected.push_back('\r');
    expected.push_back(ch);
  }
  EXPECT_EQ(wylie.out, expected);
}

TEST_F(cli, recursive_search_names_outputs_as_the_wild_card_window) {
  fs::create_directories(dir.file("texts/more"));
  dir.write("texts/a.txt", "ka");
  dir.write("texts/b.kvt", "ka");
  dir.write("texts/more/c.TXT", "ga");
  const CliRun r = run("-d " + quoted(kData) + " -r " + quoted("*.txt") + " texts");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      r.err,
      native("Input file path: texts/a.txt\nOutput file path: texts/a.rtf\n"
             "Input file path: texts/more/c.TXT\nOutput file path: texts/more/c.rtf\n2 file(s) processed\n"));
  EXPECT_TRUE(fs::exists(dir.file("texts/more/c.rtf")));
  EXPECT_FALSE(fs::exists(dir.file("texts/b.rtf")));
}

TEST_F(cli, exit_status_is_1_when_any_file_fails_or_is_skipped) {
  dir.write("a.txt", "ka");
  const CliRun r = run("-d " + quoted(kData) + " a.txt missing.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(native("Could not open ./missing.txt\n2 file(s) processed\n")), std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(dir.file("a.rtf")));
  const CliRun skipped = run("-d " + quoted(kData) + " " + std::string(300, 'x') + ".txt");
  EXPECT_EQ(skipped.status, 1);
  EXPECT_EQ(skipped.err, "Input file path is too long. Skipping...\n1 file(s) processed\n");
}

TEST_F(cli, bad_usage_and_missing_tables_exit_with_2) {
  dir.write("a.txt", "ka");
  for (const char* args :
       {"", "--type nonsense a.txt", "-o x.rtf a.txt a.txt", "--bogus a.txt", "--stage glyphs a.txt",
        "-t wylie-kvts --stage glyphs -o x a.txt", "-r '*.*' a.txt", "-"}) {
    const CliRun r = run(std::string(args) + (std::string(args) == "-" ? " a.txt" : ""));
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("tarvex-cli: "), std::string::npos) << args;
  }
  const CliRun r = run("-d " + quoted(dir.path()) + " a.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(
      r.err,
      "Could not initialize character table from file keyfont.  Please make sure that file keyfont is in the "
      "same directory as tarvex.exe. Copy from installation diskettes if necessary. Exiting.\n");
}

TEST_F(cli, bad_size_is_logged_and_the_batch_goes_on) {
  dir.write("a.txt", "ka");
  const CliRun r = run("-d " + quoted(kData) + " --size 7 a.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.rfind("Bad tibetan point size.\nPlease set to a number between 8 and 99\n"
                        "Bad small tibetan point size.\n",
                        0),
            0u)
      << r.err;
  EXPECT_NE(read_file(dir.file("a.rtf")).find("\\fs14 "), std::string::npos);
}

TEST_F(cli, help_documents_every_option) {
  const CliRun r = run("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* option : {"--type", "--font", "--size", "--small-size", "--keep-cr", "--data-dir",
                             "--output", "--recursive", "--stage", "--help", "--version", "Exit status"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

// The key strings of a syllable file, without passages, blanks, punctuation and markers.
std::vector<std::string> syllable_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '[' || c == '{') {
      i = std::min(text.find(c == '[' ? ']' : '}', i), text.size());
    } else if (std::string_view(" \t\n,:?-\x17\x18\x19").find(c) == std::string_view::npos) {
      word += c;
      continue;
    }
    if (!word.empty()) words.push_back(word);
    word.clear();
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// Each syllable of the examples, through the font-code pass with the sample tables and decoded again,
// gives back its keys.
TEST(cli_round_trip, glyph_codes_decode_to_the_syllables_of_the_examples) {
  static ConverterKeyTables tables;
  ASSERT_EQ(tsd::load_key_tables((kData + "/keyfont").c_str(), (kData + "/keymap").c_str(), tables, nullptr),
            0);
  const sample_tables::GlyphDecoder decoder(tables);
  ConversionRequest request = h2test::test_request(kWylieToTsendrel);
  request.key_tables = &tables;
  tsd::testing::TempDir dir;
  int checked = 0;
  for (const char* example : {"aspiration.txt", "colophon.txt", "glossary.txt"}) {
    const std::string syllables = dir.file("syllables");
    ASSERT_EQ(
        convert_file_until((kExamples + "/" + example).c_str(), syllables.c_str(), request, Stage::syllables),
        0);
    for (const std::string& word : syllable_words(read_file(syllables))) {
      tsd::SyllableState state;
      tsd::Stream in = h2test::stream_with(word);
      tsd::Stream out = tsd::Stream::temporary();
      ASSERT_EQ(font_code_pass(in, out, 0, tables, state), 0);
      EXPECT_EQ(decoder.decode(h2test::contents(out)), sample_tables::decoded_keys(word))
          << example << ": " << word;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50);
}

}  // namespace
