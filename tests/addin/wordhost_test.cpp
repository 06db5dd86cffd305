#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using tsd::testing::read_file;
using tsd::testing::TempDir;

const std::string kVectors = TSENDREL_SOURCE_DIR "/tests/vectors/wordhost";

struct HostRun {
  std::string output;  // standard output and standard error
  int status;
};

HostRun run(const std::string& command) {
  const tsd::testing::Captured captured = tsd::testing::run_captured(command + " 2>&1");
  return HostRun{captured.output, captured.status};
}

using tsd::testing::kNullDevice;

// A data folder holding the test tables.
class Home {
 public:
  Home() {
    for (const char* name : {"keyfont", "keymap"}) fs::copy_file(kVectors + "/home/" + name, dir_.file(name));
  }
  const TempDir& dir() const { return dir_; }
  HostRun wordhost(const std::string& options, const std::string& script) const {
    const std::string path = dir_.write("script", script);
    return run(std::string(WORDHOST_PATH) + " --home " + dir_.path() + " " + options + " " + path);
  }

 private:
  TempDir dir_;
};

// Each NAME.script runs with the options of its first line ("# options: ..."); its standard output and
// its exit status must read as NAME.expected.
TEST(wordhost_vectors, every_script_gives_its_expected_output) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kVectors)) {
    if (entry.path().extension() != ".script") continue;
    ++count;
    const std::string script = read_file(entry.path().string());
    std::string options;
    const std::string marker = "# options:";
    if (script.rfind(marker, 0) == 0)
      options = script.substr(marker.size(), script.find('\n') - marker.size());
    const Home home;
    const HostRun result = home.wordhost(options, script);
    fs::path expected_path = entry.path();
    expected_path.replace_extension(".expected");
    EXPECT_EQ(result.output + "exit " + std::to_string(result.status) + "\n",
              read_file(expected_path.string()))
        << entry.path().filename();
  }
  EXPECT_GT(count, 0);
}

TEST(wordhost, types_a_stack_with_a_vowel_into_the_document) {
  const HostRun result = Home().wordhost("--dump", "button Tibetan On\ntype frki\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "66 Korlam-c 24\n67 Korlam-vowa 24\n");
}

TEST(wordhost, alternate_mode_releases_the_keys_and_restores_the_options) {
  const HostRun result =
      Home().wordhost("--log --dump", "button Tibetan Off\ntype k\nbutton Tibetan On\ntype k\n");
  EXPECT_EQ(result.status, 0);
  const std::string& out = result.output;
  const auto release = out.find("0x01B0 2 328=1/1 4=1/1 3=1/1\n0x017A 2 734=1/1 735=1/1 736=1/1\n");
  ASSERT_NE(release, std::string::npos);
  EXPECT_NE(out.find("0x807C 0 \"Times\" 12\n", release), std::string::npos);
  EXPECT_NE(out.find("107 Times 12\n107 Korlam-a 24\n"), std::string::npos);
}

TEST(wordhost, writes_the_document_as_rtf) {
  const Home home;
  const std::string rtf = home.dir().file("out.rtf");
  const HostRun result = home.wordhost("--rtf " + rtf, "button Tibetan On\ntype frki{\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(
      read_file(rtf),
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Korlam-c;}{\\f1\\fnil\\fcharset0 Korlam-vowa;}}"
      "\r\n\\f0\\fs48 B\\f1\\fs48 C}\r\n");
}

TEST(wordhost, a_failed_start_exits_with_2_after_its_message) {
  TempDir empty;
  const HostRun result = run(std::string(WORDHOST_PATH) + " --home " + empty.path() + " " + kNullDevice);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.output.rfind("message Tsendrel Error: Could not initialize character table from ", 0), 0u);
}

TEST(wordhost, a_library_that_cannot_load_exits_with_2) {
  TempDir empty;
  EXPECT_EQ(
      run(std::string(WORDHOST_PATH) + " --library " + empty.file("none.so") + " " + kNullDevice).status, 2);
}

TEST(wordhost, a_bad_script_line_is_reported_with_its_number) {
  const HostRun result = Home().wordhost("", "type k\n\njump\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "wordhost: line 3: unknown command \"jump\"\n");
}

// --help goes to standard output and names every option: the manual page is made from it.
TEST(wordhost, help_names_every_option_on_standard_output) {
  const tsd::testing::Captured help = tsd::testing::run_captured(std::string(WORDHOST_PATH) + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("Usage: wordhost ", 0), 0u) << help.output;
  for (const char* option : {"--library PATH", "--home DIR", "--log", "--dump", "--rtf OUT", "--help"})
    EXPECT_NE(help.output.find(std::string("\n  ") + option + " "), std::string::npos) << option;
  EXPECT_NE(help.output.find("\nExit status:\n"), std::string::npos);
}

// Without --library the add-in is found by name through wordhost's run path, where it was built.
TEST(wordhost, loads_the_add_in_by_name_where_it_was_built) {
  TempDir elsewhere;
  const HostRun result = run(tsd::testing::change_folder(elsewhere.path()) + " && " + WORDHOST_PATH +
                             " --home " + elsewhere.path() + " " + kNullDevice);
  EXPECT_EQ(result.status, 2);  // the add-in loaded, and found no tables in the empty folder
  EXPECT_EQ(result.output.find("cannot load"), std::string::npos) << result.output;
}

TEST(TIBET, exports_only_the_entries_and_the_commands) {
#ifdef _WIN32
  GTEST_SKIP() << "TIBET.dll's export table is read by the build's windows_exports test";
#endif
  const HostRun result = run("nm -D --defined-only " TIBET_PATH);
  if (result.status != 0) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  std::istringstream lines(result.output);
  for (std::string address, type, name; lines >> address >> type >> name;) names.insert(name);
  EXPECT_EQ(names.size(), 104u);
  for (const char* name : {"wdAutoOpen", "wdAutoRemove", "tibetan", "alternate", "tibfont", "altfont", "a",
                           "hl", "ZC", "A9", "question", "bs", "ctrlx", "altx"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

}  // namespace
