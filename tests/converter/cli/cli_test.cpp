// tarvex-cli run as a subprocess: the examples end to end with the bundled tables, standard input and
// output, the wild-card search, exit statuses, and a round trip of glyph codes back to syllables.
#include <filesystem>
#include <regex>

#include "convert_file.h"
#include "driver_support.h"
#include "font_code_pass.h"
#include "support/process.h"
#include "tools/sample_tables.h"

using namespace tarvex;

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

class cli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(kCli)) << kCli << " is not built"; }

  // Runs tarvex-cli in the test's folder with `args` (already quoted where needed).
  CliRun run(const std::string& args, const std::string& stdin_file = tsd::testing::kNullDevice) {
    const std::string command = tsd::testing::change_folder(dir.path()) + " && " + quoted(kCli) + " " + args +
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
    const char* syllables;
  } cases[] = {
      {"aspiration.txt", "", "aspiration.rtf", "43"},
      {"colophon.txt", "-f korlam", "colophon.rtf", "17"},
      {"glossary.txt", "--keep-cr", "glossary.rtf", "18"},
      {"greeting.kvt", "-t kvts-rtf", "greeting.rtf", "18"},
  };
  for (const Case& c : cases) {
    copy_example(c.file);
    const CliRun r = run(std::string("-d ") + quoted(kData) + " " + c.options + " " + c.file);
    EXPECT_EQ(r.status, 0) << c.file << "\n" << r.err;
    EXPECT_EQ(r.err, native(std::string("Input file path: ./") + c.file + "\nOutput file path: ./" +
                            c.output + "\n./" + c.file + ": " + c.syllables +
                            " syllables, 0 not converted\n1 file(s) processed\n"));
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
  EXPECT_EQ(r.err, native("Input file path: texts/a.txt\nOutput file path: texts/a.rtf\ntexts/a.txt: 1 "
                          "syllable, 0 not converted\n"
                          "Input file path: texts/more/c.TXT\nOutput file path: texts/more/c.rtf\n"
                          "texts/more/c.TXT: 1 syllable, 0 not converted\n2 file(s) processed\n"));
  EXPECT_TRUE(fs::exists(dir.file("texts/more/c.rtf")));
  EXPECT_FALSE(fs::exists(dir.file("texts/b.rtf")));
}

TEST_F(cli, exit_status_is_1_when_any_file_fails_or_is_skipped) {
  dir.write("a.txt", "ka");
  const CliRun r = run("-d " + quoted(kData) + " a.txt missing.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.err.find(native("Could not open ./missing.txt\ntarvex-cli: ./missing.txt: No such file or directory\n"
                        "2 file(s) processed\n")),
      std::string::npos)
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
      "same directory as tarvex.exe. Copy from installation diskettes if necessary. Exiting.\ntarvex-cli: " +
          native(dir.path() + "/keyfont") + ": No such file or directory\n");
}

TEST_F(cli, sizes_must_be_whole_numbers_from_8_to_99_with_the_small_size_not_above_the_normal) {
  dir.write("a.txt", "ka");
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"--size 7", "--size needs a whole number from 8 to 99, not '7'"},
      {"--size -5", "--size needs a whole number from 8 to 99, not '-5'"},
      {"--size 100", "--size needs a whole number from 8 to 99, not '100'"},
      {"--size 12abc", "--size needs a whole number from 8 to 99, not '12abc'"},
      {"--size \"\"", "--size needs a whole number from 8 to 99, not ''"},
      {"--size 008", "--size needs a whole number from 8 to 99, not '008'"},
      {"--size \" 9\"", "--size needs a whole number from 8 to 99, not ' 9'"},
      {"--small-size 7", "--small-size needs a whole number from 8 to 99, not '7'"},
      {"--small-size=+9", "--small-size needs a whole number from 8 to 99, not '+9'"},
      {"--small-size 30", "the small size (30) must not exceed the normal size (28)"},
      {"--size 20 --small-size 24", "the small size (24) must not exceed the normal size (20)"},
  };
  for (const Case& c : cases) {
    const CliRun r = run("-d " + quoted(kData) + " " + c.args + " a.txt");
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err,
              std::string("tarvex-cli: ") + c.message + "\nTry 'tarvex-cli --help' for more information.\n")
        << c.args;
    EXPECT_FALSE(fs::exists(dir.file("a.rtf"))) << c.args;
  }
  const CliRun ok = run("-d " + quoted(kData) + " --size 8 --small-size 8 a.txt");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_NE(read_file(dir.file("a.rtf")).find("\\fs16 "), std::string::npos);
  const CliRun leading_zero = run("-d " + quoted(kData) + " --size 09 --small-size 08 a.txt");
  EXPECT_EQ(leading_zero.status, 0) << leading_zero.err;
  EXPECT_NE(read_file(dir.file("a.rtf")).find("\\fs18 "), std::string::npos);
}

TEST_F(cli, values_attach_to_short_options_and_long_options_may_be_shortened) {
  dir.write("a.txt", "ka\n\nga\n");
  struct Case {
    const char* args;
    const char* output;
  } cases[] = {
      {"-twylie-kvts -o out a.txt", "KA\r\n\r\nGA\r\n"},
      {"--ty=wylie-kvts -oout a.txt", "KA\r\n\r\nGA\r\n"},
      {"--type wylie-kvts --out out a.txt", "KA\r\n\r\nGA\r\n"},
  };
  for (const Case& c : cases) {
    fs::remove(dir.file("out"));
    const CliRun r = run("-d " + quoted(kData) + " " + c.args);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_EQ(read_file(dir.file("out")), c.output) << c.args;
  }
  const CliRun kept = run("-d " + quoted(kData) + " --keep --si=20 --sm 16 -o kept.rtf a.txt");
  EXPECT_EQ(kept.status, 0) << kept.err;
  EXPECT_NE(read_file(dir.file("kept.rtf")).find("\\f75\\fs40 "), std::string::npos);
  EXPECT_NE(read_file(dir.file("kept.rtf")).find("\\par "), std::string::npos);
  for (const char* ambiguous : {"--s 20 a.txt", "--k=1 a.txt", "-q5 a.txt"}) {
    const CliRun r = run("-d " + quoted(kData) + " " + ambiguous);
    EXPECT_EQ(r.status, 2) << ambiguous;
  }
}

TEST_F(cli, files_and_tables_that_do_not_open_name_the_reason) {
  dir.write("a.txt", "ka");
  const CliRun missing = run("-d " + quoted(kData) + " missing.txt");
  EXPECT_NE(missing.err.find(native(
                "Could not open ./missing.txt\ntarvex-cli: ./missing.txt: No such file or directory\n")),
            std::string::npos)
      << missing.err;
  const CliRun no_folder = run("-d " + quoted(kData) + " -o no/such/a.rtf a.txt");
  EXPECT_NE(no_folder.err.find("If so, close the file in the application.\n"
                               "tarvex-cli: no/such/a.rtf: "),
            std::string::npos)
      << no_folder.err;

  fs::create_directory(dir.file("tables"));
  const std::string tables = dir.file("tables");
  const std::string keyfont = read_file(kData + "/keyfont");
  struct Case {
    std::string keyfont;
    std::string keymap;
    std::string reason;
  } cases[] = {
      {"", "", tables + "/keyfont: it holds no record"},
      {"k 0 x\n", "", tables + "/keyfont: record 1 is malformed"},
      {keyfont, "", tables + "/keymap: No such file or directory"},
      {keyfont, "k 1 k\nk 1 k\n", tables + "/keymap: key k appears twice in the left column"},
  };
  for (const Case& c : cases) {
    fs::remove(tables + "/keymap");
    dir.write("tables/keyfont", c.keyfont);
    if (!c.keymap.empty()) dir.write("tables/keymap", c.keymap);
    const CliRun r = run("-d " + quoted(tables) + " a.txt");
    EXPECT_EQ(r.status, 2) << c.reason;
    EXPECT_NE(r.err.find("Exiting.\ntarvex-cli: " + native(c.reason) + "\n"), std::string::npos) << r.err;
  }
}

TEST_F(cli, standard_input_and_output_are_named_not_their_temporary_files) {
  dir.write("in.txt", "ka\n");
  const CliRun r = run("-d " + quoted(kData) + " -t wylie-kvts -", dir.file("in.txt"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Input file path: <stdin>\nOutput file path: <stdout>\n1 file(s) processed\n");
  dir.write("bad.txt", "\xff");
  const CliRun bad = run("-d " + quoted(kData) + " -o out.rtf -", dir.file("bad.txt"));
  EXPECT_EQ(bad.err,
            "Input file path: <stdin>\nOutput file path: out.rtf\n"
            "Error: File begins with non-text characters. Skipping file.\n1 file(s) processed\n");
}

TEST_F(cli, help_and_version_fail_when_their_output_cannot_be_written) {
#ifdef _WIN32
  GTEST_SKIP() << "no full device to write to";
#else
  for (const char* option : {"--help", "--version", "-h"})
    EXPECT_EQ(tsd::testing::run_status(quoted(kCli) + " " + option + " >/dev/full 2>/dev/null"), 1) << option;
#endif
}

TEST_F(cli, a_batch_keeps_its_own_files_and_a_failure_keeps_the_old_output) {
  dir.write("z.txt", "ka kha/\n");
  dir.write("z.rtf", "MINE\n");
  const CliRun own = run("-d " + quoted(kData) + " z.txt z.rtf");
  EXPECT_EQ(own.status, 1);
  EXPECT_EQ(read_file(dir.file("z.rtf")), "MINE\n");
  dir.write("y.txt", "kha/\n");
  dir.write("y", "ga/\n");
  const CliRun two = run("-d " + quoted(kData) + " y.txt y");
  EXPECT_EQ(two.status, 1);
  EXPECT_NE(two.err.find(
                native("Output file ./y.rtf was already written from ./y.txt in this batch. Skipping file.")),
            std::string::npos)
      << two.err;
  dir.write("c.txt", "ka [[[[ kha\n");
  dir.write("c.rtf", "OLD\n");
  EXPECT_EQ(run("-d " + quoted(kData) + " c.txt").status, 1);
  EXPECT_EQ(read_file(dir.file("c.rtf")), "OLD\n");
}

TEST_F(cli, warnings_have_the_gnu_form_a_limit_per_file_and_a_summary) {
  dir.write("notes.txt", "bkra shis\nka b+ha\n");
  const CliRun one = run("-d " + quoted(kData) + " notes.txt");
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, native("Input file path: ./notes.txt\nOutput file path: ./notes.rtf\n") +
                         native("./notes.txt") + ":2:4: warning: cannot convert syllable \"b+ha\"\n" +
                         native("./notes.txt") + ": 4 syllables, 1 not converted\n1 file(s) processed\n");

  std::string many;
  for (int i = 0; i < 25; ++i) many += "b+ha ";
  dir.write("many.txt", many);
  struct Case {
    const char* options;
    int shown;
    const char* hidden;  // the line after the warnings, or none
  } cases[] = {
      {"", 20, ": 5 more warnings not shown\n"},
      {"--max-warnings 3", 3, ": 22 more warnings not shown\n"},
      {"--max-warnings=30", 25, nullptr},
      {"--max-warnings 0", 0, ": 25 more warnings not shown\n"},
      {"-q", 0, nullptr},
      {"--quiet --max-warnings 3", 0, nullptr},
      {"--max-warnings 99999999999999999999", 25, nullptr},
  };
  for (const Case& c : cases) {
    const CliRun r = run("-d " + quoted(kData) + " " + c.options + " many.txt");
    int shown = 0;
    for (std::size_t at = 0; (at = r.err.find(": warning: ", at)) != std::string::npos; ++at) ++shown;
    EXPECT_EQ(shown, c.shown) << c.options;
    const std::string summary = native("./many.txt") + ": 25 syllables, 25 not converted\n";
    EXPECT_NE(r.err.find(c.hidden ? native("./many.txt") + c.hidden + summary : summary), std::string::npos)
        << c.options << "\n"
        << r.err;
  }
  for (const char* value : {"x", "-1", "+3", "\" 3\"", "3x", "\"\""})
    EXPECT_EQ(run("-d " + quoted(kData) + " --max-warnings " + value + " many.txt").status, 2) << value;
}

TEST_F(cli, warnings_for_standard_input_name_it) {
  dir.write("in.txt", "ka b+ha\n");
  const CliRun r = run("-d " + quoted(kData) + " -o out.rtf -", dir.file("in.txt"));
  EXPECT_NE(
      r.err.find(
          "<stdin>:1:4: warning: cannot convert syllable \"b+ha\"\n<stdin>: 2 syllables, 1 not converted\n"),
      std::string::npos)
      << r.err;
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
  ConversionRequest request = h2test::test_request(route_id("wylie-rtf"));
  ConversionContext context = h2test::test_context();
  context.key_tables = &tables;
  tsd::testing::TempDir dir;
  int checked = 0;
  for (const char* example : {"aspiration.txt", "colophon.txt", "glossary.txt"}) {
    const std::string syllables = dir.file("syllables");
    ASSERT_EQ(convert_file_until(context, (kExamples + "/" + example).c_str(), syllables.c_str(), request,
                                 Stage::syllables),
              0);
    for (const std::string& word : syllable_words(read_file(syllables))) {
      tsd::SyllableState state;
      tsd::Stream in = h2test::stream_with(word);
      tsd::Stream out = tsd::Stream::temporary();
      ASSERT_EQ(font_code_pass(in, out, 0, tables, state, context.status), 0);
      EXPECT_EQ(decoder.decode(h2test::contents(out)), sample_tables::decoded_keys(word))
          << example << ": " << word;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50);
}

}  // namespace

namespace {

using Lines = std::vector<std::string>;

constexpr const char* kTypeNames[] = {"wylie-rtf",         "kvts-rtf",        "wylie-kvts",
                                      "kvts-wylie",        "wylie-unicode",   "kvts-unicode",
                                      "wylie-unicode-rtf", "kvts-unicode-rtf"};

TEST_F(cli, standard_input_and_output_give_the_bytes_of_the_file_conversion_for_every_type) {
  for (int type = 0; type < 8; ++type) {
    const bool wylie = route_by_id(type)->from == Scheme::wylie;
    const std::string input = copy_example(wylie ? "aspiration.txt" : "greeting.kvt");
    const std::string options = "-d " + quoted(kData) + " -t " + kTypeNames[type];
    const CliRun by_path = run(options + " -o by-path " + input);
    ASSERT_EQ(by_path.status, 0) << kTypeNames[type] << by_path.err;
    const CliRun piped = run(options + " -", dir.file(input));
    EXPECT_EQ(piped.status, 0) << kTypeNames[type] << piped.err;
    EXPECT_EQ(piped.out, read_file(dir.file("by-path"))) << kTypeNames[type];
    const CliRun to_stdout = run(options + " -o - " + input);
    EXPECT_EQ(to_stdout.out, read_file(dir.file("by-path"))) << kTypeNames[type];
    const CliRun from_stdin = run(options + " -o from-stdin -", dir.file(input));
    EXPECT_EQ(read_file(dir.file("from-stdin")), read_file(dir.file("by-path"))) << kTypeNames[type];
    fs::remove(dir.file(input));
  }
}

TEST_F(cli, standard_input_is_checked_and_a_failed_write_to_standard_output_is_reported) {
  struct Case {
    const char* name;
    std::string input;
    const char* output;  // a redirection of standard output, or none
    Lines lines;         // the status lines between the two path lines and the count
  } cases[] = {
      {"non-text start",
       "ka \xC0\xC1\n",
       nullptr,
       {"Error: File begins with non-text characters. Skipping file."}},
      {"byte-order mark then text", "\xEF\xBB\xBFka\n", nullptr, {"<stdin>: 1 syllable, 0 not converted"}},
#ifndef _WIN32
      {"full disk",
       "ka kha\n",
       "/dev/full",
       {"Could not write the output file.\rCheck whether you have enough disk space.",
        "Tsendrel rtf conversion failure.", "<stdin>: 2 syllables, 0 not converted"}},
#endif
  };
  for (const Case& c : cases) {
    dir.write("in.txt", c.input);
    const std::string command =
        tsd::testing::change_folder(dir.path()) + " && " + quoted(kCli) + " -d " + quoted(kData) +
        " - <in.txt >" + (c.output ? c.output : quoted(dir.file(".out"))) + " 2>" + quoted(dir.file(".err"));
    const int status = tsd::testing::run_status(command);
    Lines expected{"Input file path: <stdin>", "Output file path: <stdout>"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    expected.push_back("1 file(s) processed");
    Lines lines;
    std::string err = read_file(dir.file(".err"));
    for (std::size_t at; (at = err.find('\n')) != std::string::npos; err.erase(0, at + 1))
      lines.push_back(err.substr(0, at));
    EXPECT_EQ(lines, expected) << c.name;
    EXPECT_EQ(status, c.lines.size() == 1 && c.lines[0].rfind("<stdin>", 0) == 0 ? 0 : 1) << c.name;
  }
}

TEST_F(cli, jobs_give_the_outputs_and_status_lines_of_one_job) {
  // Converted files, a non-text file, an unreadable one, an output that is an input of the batch, two
  // inputs with one output, and warnings beyond the limit.
  std::string many;
  for (int i = 0; i < 25; ++i) many += "b+ha ";
  const std::map<std::string, std::string> inputs = {
      {"a.txt", "bkra shis bde legs\n"},
      {"b.txt", "\xC0 not text\n"},
      {"c.txt", "ka b+ha kha\n"},
      {"z.txt", "ga nga\n"},
      {"z.rtf", "MINE\n"},
      {"y.txt", "kha\n"},
      {"y", "ga\n"},
      {"many.txt", many},
      {"d.txt", "om ma Ni pad+me hU~M\n"},
  };
  std::string files = "a.txt b.txt unreadable.txt c.txt z.txt z.rtf y.txt y many.txt d.txt";
  std::map<std::string, std::string> first_outputs;
  std::string first_err;
  for (const char* jobs : {"1", "2", "4"}) {
    for (const auto& [name, bytes] : inputs) dir.write(name, bytes);
    for (const char* name : {"a.rtf", "c.rtf", "y.rtf", "many.rtf", "d.rtf"}) fs::remove(dir.file(name));
#ifndef _WIN32
    fs::remove_all(dir.file("unreadable.txt"));
    fs::create_directory(dir.file("unreadable.txt"));
#endif
    const CliRun r = run("-d " + quoted(kData) + " -j " + jobs + " " + files);
    EXPECT_EQ(r.status, 1) << jobs;
    std::map<std::string, std::string> outputs;
    for (const auto& entry : fs::directory_iterator(dir.path()))
      if (entry.path().extension() == ".rtf")
        outputs[entry.path().filename().string()] = read_file(entry.path().string());
    if (first_err.empty()) {
      first_err = r.err;
      first_outputs = outputs;
      EXPECT_NE(r.err.find("10 file(s) processed"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("more warnings not shown"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("was already written from"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
      EXPECT_EQ(outputs["z.rtf"], "MINE\n");
      continue;
    }
    EXPECT_EQ(r.err, first_err) << "-j " << jobs;
    EXPECT_EQ(outputs, first_outputs) << "-j " << jobs;
  }
}

TEST_F(cli, jobs_must_be_a_whole_number_from_one) {
  dir.write("a.txt", "ka\n");
  for (const char* value : {"0", "-1", "x", "2x", "1000", "257", "+2", "\" 2\"", "99999999999999999999"})
    EXPECT_EQ(run("-d " + quoted(kData) + " -j " + value + " a.txt").status, 2) << value;
  EXPECT_EQ(run("-d " + quoted(kData) + " --jobs=3 a.txt").status, 0);
  EXPECT_EQ(run("-d " + quoted(kData) + " -j 256 a.txt").status, 0);
}

// --from and --to name the route that -t names FROM-TO: the same output, given alone, together, or beside
// a -t that agrees with them.
TEST_F(cli, from_and_to_give_the_output_of_the_route_that_t_names) {
  for (const Route& route : routes()) {
    const std::string name(route.name);
    const std::string from(scheme_name(route.from)), to(format_name(route.to));
    std::string input = copy_example(route.from == Scheme::wylie ? "aspiration.txt" : "greeting.kvt");
    const std::string common = "-d " + quoted(kData) + " -o out ";
    // A document in the Tsendrel fonts: the example's own.
    if (route.from == Scheme::tsendrel) {
      ASSERT_EQ(run("-d " + quoted(kData) + " -t kvts-rtf -o document.rtf " + input).status, 0);
      fs::remove(dir.file(input));
      input = "document.rtf";
    }
    const CliRun named = run(common + "-t " + name + " " + input);
    ASSERT_EQ(named.status, 0) << name << named.err;
    const std::string want = read_file(dir.file("out"));
    for (const std::string& options :
         {"--from " + from + " --to " + to, "--to=" + to + " --from=" + from,
          "-t " + name + " --from " + from, "--to " + to + " -t " + name + " --from " + from}) {
      fs::remove(dir.file("out"));
      const CliRun r = run(common + options + " " + input);
      EXPECT_EQ(r.status, 0) << options << r.err;
      EXPECT_EQ(read_file(dir.file("out")), want) << options;
    }
    fs::remove(dir.file(input));
  }
  // Either alone takes the other part from wylie-rtf.
  dir.write("a.txt", "KA\n");
  for (const char* options : {"--from kvts", "--to unicode", "--to kvts"}) {
    const CliRun alone = run("-d " + quoted(kData) + " -o alone " + options + " a.txt");
    ASSERT_EQ(alone.status, 0) << options << alone.err;
    const std::string equal = std::string(options) == "--from kvts"    ? "-t kvts-rtf"
                              : std::string(options) == "--to unicode" ? "-t wylie-unicode"
                                                                       : "-t wylie-kvts";
    const CliRun named = run("-d " + quoted(kData) + " -o named " + equal + " a.txt");
    ASSERT_EQ(named.status, 0) << equal << named.err;
    EXPECT_EQ(read_file(dir.file("alone")), read_file(dir.file("named"))) << options;
  }
}

// A route that does not exist, or -t and --from/--to naming two routes, is bad usage; where no route was
// found the message lists every route there is.
TEST_F(cli, routes_that_do_not_exist_are_refused_with_the_list_of_routes) {
  dir.write("a.txt", "ka\n");
  const struct {
    const char* options;
    bool lists_routes;
  } cases[] = {
      {"-t kvts-kvts", true},
      {"--type=wylie-wylie", true},
      {"--from wylie --to wylie", true},
      {"--from foo", true},
      {"--to bar", true},
      {"--from kvts --to kvts", true},
      {"--from unicode-rtf", true},
      {"-t kvts-rtf --from wylie", false},
      {"-t wylie-rtf --to unicode", false},
      {"--from kvts -t wylie-kvts", false},
  };
  for (const auto& c : cases) {
    const CliRun r = run("-d " + quoted(kData) + " " + c.options + " a.txt");
    EXPECT_EQ(r.status, 2) << c.options;
    EXPECT_EQ(r.err.rfind("tarvex-cli: ", 0), 0u) << c.options << r.err;
    EXPECT_NE(r.err.find("Try 'tarvex-cli --help'"), std::string::npos) << c.options;
    for (const Route& route : routes())
      EXPECT_EQ(r.err.find(std::string(route.name) + ",") != std::string::npos ||
                    r.err.find(std::string(route.name) + " ") != std::string::npos,
                c.lists_routes)
          << c.options << ": " << route.name << "\n"
          << r.err;
    EXPECT_FALSE(fs::exists(dir.file("a.rtf"))) << c.options;
  }
}

// --help lists every route with its description, and the schemes and formats of --from and --to.
TEST_F(cli, help_lists_every_route_and_the_parts_of_from_and_to) {
  const CliRun r = run("--help");
  ASSERT_EQ(r.status, 0);
  for (const Route& route : routes()) {
    const std::size_t at = r.out.find(" " + std::string(route.name) + " ");
    ASSERT_NE(at, std::string::npos) << route.name;
    const std::size_t line_end = r.out.find('\n', at);
    EXPECT_NE(r.out.substr(at, line_end - at).find(route.description), std::string::npos) << route.name;
    EXPECT_NE(r.out.find(scheme_name(route.from)), std::string::npos) << route.name;
    EXPECT_NE(r.out.find(format_name(route.to)), std::string::npos) << route.name;
  }
  for (const char* option : {"--from SCHEME", "--to FORMAT"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  // The default route's line, its description in the column of the others.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\n {24}wylie-rtf +Wylie to Tsendrel \\(default\\)\n")));
}

// --stage stops a route only after a file its chain writes before its last pass.
TEST_F(cli, stage_is_refused_for_a_route_without_that_stage) {
  dir.write("a.txt", "ka\n");
  const struct {
    const char* options;
    int status;
  } cases[] = {
      {"-t wylie-rtf --stage kvts", 0},       {"-t kvts-rtf --stage kvts", 2},
      {"-t kvts-rtf --stage glyphs", 0},      {"--from wylie --to unicode --stage syllables", 0},
      {"-t wylie-unicode --stage glyphs", 2}, {"-t kvts-unicode-rtf --stage glyphs", 0},
      {"-t kvts-wylie --stage syllables", 2}, {"--from wylie --to kvts --stage kvts", 2},
  };
  for (const auto& c : cases) {
    const CliRun r = run("-d " + quoted(kData) + " -o out " + c.options + " a.txt");
    EXPECT_EQ(r.status, c.status) << c.options << r.err;
    EXPECT_EQ(r.err.find("is no stage of") != std::string::npos, c.status == 2) << c.options << r.err;
  }
}

}  // namespace
