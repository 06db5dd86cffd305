// tarvex-cli's routes from Extended Wylie and Unicode, run as a subprocess: the output each names and
// writes, warnings placed at FILE:LINE:COLUMN in characters (the reader's and, traced back, the writer's),
// the summary's counts, input that is not UTF-8 text refused, and CR LF line ends in text output.
#include <filesystem>

#include "driver_support.h"
#include "support/process.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using tsd::testing::native;
using tsd::testing::quoted;
using tsd::testing::read_file;

const std::string kCli =
    TSENDREL_BINARY_DIR "/converter/cli/tarvex-cli" + std::string(tsd::testing::kExeSuffix);
const std::string kData = TSENDREL_SOURCE_DIR "/data";

struct CliRun {
  int status;
  std::string err;
};

class cli_hub_routes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(kCli)) << kCli << " is not built"; }
  CliRun run(const std::string& args) {
    const int status =
        tsd::testing::run_status(tsd::testing::change_folder(dir.path()) + " && " + quoted(kCli) + " -d " +
                                 quoted(kData) + " " + args + " <" + quoted(tsd::testing::kNullDevice) + " >" +
                                 quoted(dir.file(".out")) + " 2>" + quoted(dir.file(".err")));
    return {status, read_file(dir.file(".err"))};
  }
  tsd::testing::TempDir dir;
};

// ཀ་ repeated: a first line long enough that the start check (64 bytes) reads only it.
std::string tibetan_line(int syllables) {
  std::string line;
  for (int i = 0; i < syllables; ++i) line += "\xE0\xBD\x80\xE0\xBC\x8B";
  return line;
}

// Line 2: ག་ཀྐྐ་, a byte that is not UTF-8, ཀཱུ (signs out of order). Line 3: ཨཱཿཀྐྐ (a stack after a
// visarga). ཀྐྐ is a stack that the Tsendrel fonts do not have.
const std::string kUnicodeInput = tibetan_line(11) + "\n" +
                                  "\xE0\xBD\x82\xE0\xBC\x8B\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\xE0\xBC\x8B\xFF"
                                  "\xE0\xBD\x80\xE0\xBD\xB4\xE0\xBD\xB1\n"
                                  "\xE0\xBD\xA8\xE0\xBD\xB1\xE0\xBD\xBF\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\n";

TEST_F(cli_hub_routes, each_route_names_its_output_places_its_warnings_and_counts) {
  dir.write("a.txt", "ka kha\npa’i Q nga/ k+k+ka\n");
  dir.write("u.bo.txt", kUnicodeInput);
  const std::string reader_warnings =
      "./u.bo.txt:2:7: warning: invalid UTF-8: written as U+FFFD\n"
      "./u.bo.txt:2:9: warning: vowel signs out of canonical order: put in order\n";
  const std::string writer_warnings[] = {
      "./u.bo.txt:2:3: warning: cannot write \"\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\" in the Tsendrel fonts\n",
      "./u.bo.txt:3:4: warning: cannot write \"\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\" in the Tsendrel fonts\n"};
  const struct {
    const char* args;
    const char* input;
    const char* output;
    std::string warnings;
    const char* counts;
  } cases[] = {
      {"-t ewts-rtf", "a.txt", "a.rtf",
       "./a.txt:2:6: warning: unexpected character \"Q\"\n"
       "./a.txt:2:13: warning: cannot write \"\xE0\xBD\x80\xE0\xBE\x90\xE0\xBE\x90\" in the Tsendrel fonts\n",
       "5 syllables, 1 not converted"},
      {"-t ewts-unicode", "a.txt", "a.bo.txt", "./a.txt:2:6: warning: unexpected character \"Q\"\n",
       "5 syllables, 0 not converted"},
      {"-t ewts-unicode-rtf", "a.txt", "a.rtf", "./a.txt:2:6: warning: unexpected character \"Q\"\n",
       "5 syllables, 0 not converted"},
      {"-t unicode-rtf", "u.bo.txt", "u.bo.rtf", writer_warnings[0] + reader_warnings + writer_warnings[1],
       "16 syllables, 3 not converted"},
      {"-t unicode-rtf --keep-cr", "u.bo.txt", "u.bo.rtf",
       writer_warnings[0] + reader_warnings + writer_warnings[1], "16 syllables, 3 not converted"},
      {"-t unicode-unicode", "u.bo.txt", "u.bo.bo.txt", reader_warnings, "16 syllables, 1 not converted"},
      {"-t unicode-unicode-rtf", "u.bo.txt", "u.bo.rtf", reader_warnings, "16 syllables, 1 not converted"},
  };
  for (const auto& c : cases) {
    fs::remove(dir.file(c.output));
    const CliRun r = run(std::string(c.args) + " " + c.input);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err, native(std::string("Input file path: ./") + c.input + "\nOutput file path: ./" + c.output +
                            "\n") +
                         native(c.warnings) + native(std::string("./") + c.input) + ": " + c.counts +
                         "\n1 file(s) processed\n")
        << c.args;
    EXPECT_TRUE(fs::exists(dir.file(c.output))) << c.args;
  }
}

TEST_F(cli_hub_routes, text_output_has_crlf_line_ends_and_rtf_is_a_document) {
  dir.write("a.txt", "ka\nkha\n");
  dir.write("u.bo.txt", "\xE0\xBD\x80\n\xE0\xBD\x81\n");
  ASSERT_EQ(run("-t ewts-unicode --keep-cr a.txt").status, 0);
  EXPECT_EQ(read_file(dir.file("a.bo.txt")), "\xE0\xBD\x80\r\n\xE0\xBD\x81\r\n");
  ASSERT_EQ(run("-t unicode-unicode --keep-cr u.bo.txt").status, 0);
  EXPECT_EQ(read_file(dir.file("u.bo.bo.txt")), "\xE0\xBD\x80\r\n\xE0\xBD\x81\r\n");
  // Lines joined: a tsheg between syllables.
  ASSERT_EQ(run("-t unicode-unicode u.bo.txt").status, 0);
  EXPECT_EQ(read_file(dir.file("u.bo.bo.txt")), "\xE0\xBD\x80\xE0\xBC\x8B\xE0\xBD\x81\xE0\xBC\x8B");
  for (const char* args : {"-t ewts-rtf a.txt", "-t ewts-unicode-rtf a.txt", "-t unicode-rtf u.bo.txt",
                           "-t unicode-unicode-rtf u.bo.txt"}) {
    ASSERT_EQ(run(args).status, 0) << args;
    const std::string rtf = read_file(dir.file(std::string_view(args).ends_with("a.txt") ? "a.rtf" : "u.bo.rtf"));
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi", 0), 0u) << args;
    EXPECT_EQ(rtf.back(), '}') << args;
    EXPECT_EQ(rtf.find("[~"), std::string::npos) << args;
  }
}

// Input whose first bytes are not UTF-8 text is refused, and no output is written; a byte-order mark and
// text that is UTF-8 are taken.
TEST_F(cli_hub_routes, input_that_is_not_utf8_text_is_refused) {
  const struct {
    const char* name;
    std::string bytes;
    bool refused;
  } inputs[] = {
      {"latin1.txt", "caf\xE9 ka", true},
      {"ff.txt", "\xFF\xFEka", true},
      {"control.txt", "ka\x01kha", true},
      {"null-byte.txt", std::string("ka\0", 3), true},  // not "nul": a device on Windows
      {"cut.txt", "ka \xE0\xBD", true},
      {"overlong.txt", "\xC0\xAFka", true},
      {"bom.txt", "\xEF\xBB\xBFka", false},
      {"tab.txt", "ka\tkha\r\n", false},
      {"utf8.txt", "caf\xC3\xA9 ka", false},
  };
  for (const char* route : {"ewts-rtf", "ewts-unicode", "ewts-unicode-rtf", "unicode-rtf", "unicode-unicode",
                            "unicode-unicode-rtf"}) {
    for (const auto& input : inputs) {
      dir.write(input.name, input.bytes);
      const std::string output = dir.file(std::string(input.name, std::string_view(input.name).find('.')) +
                                          (std::string_view(route).ends_with("-unicode") ? ".bo.txt" : ".rtf"));
      fs::remove(output);
      const CliRun r = run(std::string("-t ") + route + " " + input.name);
      const bool said = r.err.find("Error: File begins with non-text characters. Skipping file.\n") !=
                        std::string::npos;
      EXPECT_EQ(said, input.refused) << route << " " << input.name << "\n" << r.err;
      EXPECT_EQ(r.status, input.refused ? 1 : 0) << route << " " << input.name;
      EXPECT_EQ(fs::exists(output), !input.refused) << route << " " << input.name;
    }
  }
}

// A .bo.txt cleaned up keeps its name and takes another .bo: the input is never written over.
TEST_F(cli_hub_routes, unicode_text_output_beside_its_input_is_named_bo_bo_txt) {
  dir.write("a.bo.txt", "\xE0\xBD\x80");
  const CliRun r = run("-t unicode-unicode a.bo.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("a.bo.txt")), "\xE0\xBD\x80");
  EXPECT_EQ(read_file(dir.file("a.bo.bo.txt")), "\xE0\xBD\x80");
  EXPECT_NE(r.err.find(native("Output file path: ./a.bo.bo.txt")), std::string::npos) << r.err;
}

}  // namespace
