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

// ཀ་ repeated.
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

// A UTF-8 text file is refused only when it is not text: a NUL byte in its first 4 KB, or more than half of
// its first 4 KB no UTF-8 (or control characters); no output is written and the message says why. Bytes
// that are not UTF-8 in a text of any length are read as U+FFFD with a warning at their line and column.
TEST_F(cli_hub_routes, input_is_refused_only_when_it_is_not_text) {
  const std::string kilobytes_of_ka = [] {
    std::string s;
    while (s.size() < 4200) s += "ka\n";
    return s;
  }();
  std::string high_bytes;
  for (int i = 0; i < 3000; ++i) high_bytes += static_cast<char>(0x80 + (i * 37) % 0x80);
  std::string utf16 = "\xFF\xFE";
  for (int i = 0; i < 200; ++i) utf16 += "\x40\x0F\x0B\x0F";  // ཀ་ as UTF-16: no NUL, half controls
  const char* const kNul = "Error: File begins with non-text characters: a NUL byte in its first 4 KB. Skipping file.\n";
  const char* const kHalf =
      "Error: File begins with non-text characters: more than half of its first 4 KB is not UTF-8 text. "
      "Skipping file.\n";
  const struct {
    const char* name;
    std::string bytes;
    const char* refused;     // the message, or null when the file is read
    const char* broken_at;   // LINE:COLUMN of a warning of a byte that is not UTF-8, or null
  } inputs[] = {
      {"short.txt", "ka kha\nga \xFF nga\nca\ncha\n", nullptr, "2:4"},
      {"latin1.txt", "caf\xE9 ka", nullptr, "1:4"},
      {"first.txt", "\xFFka\n", nullptr, "1:1"},
      {"long.txt", kilobytes_of_ka + "ga \xFF nga\n", nullptr, "1401:4"},
      {"cut.txt", "ka \xE0\xBD", nullptr, "1:4"},
      {"overlong.txt", "\xC0\xAFka", nullptr, "1:1"},
      {"control.txt", "ka\x01kha", nullptr, nullptr},
      {"bom.txt", "\xEF\xBB\xBFka", nullptr, nullptr},
      {"tab.txt", "ka\tkha\r\n", nullptr, nullptr},
      {"utf8.txt", "caf\xC3\xA9 ka", nullptr, nullptr},
      {"null-byte.txt", std::string("ka\0", 3), kNul, nullptr},  // not "nul": a device on Windows
      {"late-null.txt", kilobytes_of_ka.substr(0, 4000) + std::string("\0", 1), kNul, nullptr},
      {"null-past-4k.txt", kilobytes_of_ka + std::string("\0", 1), nullptr, nullptr},
      {"binary.txt", high_bytes, kHalf, nullptr},
      {"utf16.txt", utf16, kHalf, nullptr},
      {"half-broken.txt", std::string(10, '\xFF') + "ka kha ga ", nullptr, "1:1"},
      {"mostly-broken.txt", std::string(11, '\xFF') + "ka kha ga ", kHalf, nullptr},
  };
  for (const char* route : {"ewts-rtf", "ewts-unicode", "ewts-unicode-rtf", "ewts-ewts", "unicode-rtf",
                            "unicode-unicode", "unicode-unicode-rtf", "unicode-ewts"}) {
    // None of these routes takes the fast path: what is checked here is all there is.
    EXPECT_FALSE(route_named(route)->fast) << route;
    for (const auto& input : inputs) {
      dir.write(input.name, input.bytes);
      const std::string_view r_name(route);
      const std::string output = dir.file(std::string(input.name, std::string_view(input.name).find('.')) +
                                          (r_name.ends_with("-unicode") ? ".bo.txt"
                                           : r_name.ends_with("-ewts")  ? ".ewts.txt"
                                                                        : ".rtf"));
      fs::remove(output);
      const CliRun r = run(std::string("-t ") + route + " " + input.name);
      const std::size_t said = r.err.find("Error: File begins with non-text characters");
      if (input.refused)
        EXPECT_NE(r.err.find(input.refused), std::string::npos) << route << " " << input.name << "\n" << r.err;
      else
        EXPECT_EQ(said, std::string::npos) << route << " " << input.name << "\n" << r.err;
      EXPECT_EQ(r.status, input.refused ? 1 : 0) << route << " " << input.name;
      EXPECT_EQ(fs::exists(output), !input.refused) << route << " " << input.name;
      if (input.broken_at) {
        const std::string place = std::string(input.name) + ":" + input.broken_at + ": warning: ";
        EXPECT_NE(r.err.find(place), std::string::npos) << route << " " << input.name << "\n" << r.err;
      }
    }
  }
}

// Wylie and KVTS keep their check of the first 64 bytes: ASCII only.
TEST_F(cli_hub_routes, wylie_and_kvts_refuse_a_start_that_is_not_ascii) {
  dir.write("short.txt", "ka kha\nga \xFF nga\nca\ncha\n");
  dir.write("late.txt", std::string(70, 'k') + "\xFF");
  for (const char* route : {"wylie-rtf", "kvts-unicode", "wylie-ewts"}) {
    const CliRun refused = run(std::string("-t ") + route + " short.txt");
    EXPECT_NE(refused.err.find("Error: File begins with non-text characters. Skipping file.\n"),
              std::string::npos)
        << route << "\n" << refused.err;
    EXPECT_EQ(refused.status, 1) << route;
    const CliRun read = run(std::string("-t ") + route + " late.txt");
    EXPECT_EQ(read.err.find("non-text"), std::string::npos) << route << "\n" << read.err;
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
