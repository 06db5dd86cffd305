// tarvex-cli's Unicode conversions run as a subprocess: each new type on the examples, output names, the
// Unicode RTF read back by LibreOffice, and the Kangyur volume line by line against its Unicode edition.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver_support.h"
#include "support/process.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using tsd::testing::quoted;
using tsd::testing::read_file;

const std::string kCli =
    TSENDREL_BINARY_DIR "/converter/cli/tarvex-cli" + std::string(tsd::testing::kExeSuffix);
const std::string kData = TSENDREL_SOURCE_DIR "/data";
const std::string kExamples = TSENDREL_SOURCE_DIR "/examples";
// The shared corpus lies beside the checkout.
const std::string kCorpus = TSENDREL_SOURCE_DIR "/../shared/corpus";

// The Tibetan letters of UTF-8 text (consonants, vowel signs, subjoined letters, U+0F40 to U+0FBC), one
// string of code points per line; marks, tsheg, spaces and roman text are left out.
std::vector<std::u32string> letters_by_line(const std::string& utf8) {
  std::vector<std::u32string> lines(1);
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '\n') {
      lines.emplace_back();
      ++i;
      continue;
    }
    if (c == 0xE0 && i + 2 < utf8.size()) {
      const char32_t u = (c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
      if (u >= 0x0F40 && u <= 0x0FBC) lines.back() += u;
      i += 3;
      continue;
    }
    ++i;
  }
  return lines;
}

class cli_unicode : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(kCli)) << kCli << " is not built"; }
  int run(const std::string& args) {
    return tsd::testing::run_status(tsd::testing::change_folder(dir.path()) + " && " + quoted(kCli) + " -d " +
                                    quoted(kData) + " " + args + " >" + quoted(dir.file(".out")) + " 2>" +
                                    quoted(dir.file(".err")));
  }
  std::string err() { return read_file(dir.file(".err")); }
  tsd::testing::TempDir dir;
};

TEST_F(cli_unicode, each_type_converts_the_examples) {
  struct Case {
    const char* file;
    const char* type;
    const char* output;
  } cases[] = {
      {"aspiration.txt", "wylie-unicode", "aspiration.bo.txt"},
      {"colophon.txt", "wylie-unicode-rtf", "colophon.rtf"},
      {"glossary.txt", "wylie-unicode --keep-cr", "glossary.bo.txt"},
      {"greeting.kvt", "kvts-unicode", "greeting.bo.txt"},
      {"greeting.kvt", "kvts-unicode-rtf", "greeting.rtf"},
  };
  for (const Case& c : cases) {
    fs::copy_file(kExamples + "/" + std::string(c.file), dir.file(c.file),
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(run(std::string("-t ") + c.type + " " + c.file), 0) << c.type << "\n" << err();
    EXPECT_NE(err().find(tsd::testing::native(std::string("Output file path: ./") + c.output)),
              std::string::npos)
        << err();
    const std::string out = read_file(dir.file(c.output));
    EXPECT_EQ(out.find("[~"), std::string::npos) << c.file << " " << c.type;
    if (std::string_view(c.output).ends_with(".rtf")) {
      EXPECT_EQ(out.rfind("{\\rtf1\\ansi\\uc1 ", 0), 0u) << c.type;
      EXPECT_NE(out.find("Tibetan Machine Uni;"), std::string::npos);
      EXPECT_NE(out.find("\\u3851?"), std::string::npos) << "a tsheg";
    } else {
      // བཀྲ་ཤིས, the tsheg between them and CR LF line ends of a text file.
      EXPECT_NE(out.find("\xE0\xBC\x8B"), std::string::npos) << c.type;
      EXPECT_EQ(out.find('\n') == std::string::npos || out.find("\r\n") != std::string::npos, true);
    }
  }
}

TEST_F(cli_unicode, text_outputs_are_named_bo_txt) {
  dir.write("notes.txt", "ka");
  dir.write("notes", "ga");
  ASSERT_EQ(run("-t wylie-unicode notes.txt"), 0) << err();
  EXPECT_EQ(read_file(dir.file("notes.bo.txt")), "\xE0\xBD\x80");
  ASSERT_EQ(run("-t wylie-unicode notes"), 0) << err();
  EXPECT_EQ(read_file(dir.file("notes.bo.txt")), "\xE0\xBD\x82");
  // Both in one batch: the second would write over the first one's output, and is refused.
  EXPECT_EQ(run("-t wylie-unicode notes.txt notes"), 1);
}

TEST_F(cli_unicode, unicode_font_is_named_in_the_font_table) {
  dir.write("a.txt", "ka");
  ASSERT_EQ(run("-t wylie-unicode-rtf --unicode-font " + quoted("Jomolhari") + " a.txt"), 0) << err();
  EXPECT_NE(read_file(dir.file("a.rtf")).find("{\\f1\\fnil\\fcharset0\\fprq2 Jomolhari;}}"),
            std::string::npos);
  EXPECT_EQ(run("-t wylie-unicode-rtf --unicode-font " + std::string(64, 'x') + " a.txt"), 2);
}

TEST_F(cli_unicode, rtf_read_back_by_libreoffice_gives_the_tibetan_of_the_text) {
#ifdef _WIN32
  GTEST_SKIP() << "LibreOffice runs on the Linux side only";
#endif
  if (tsd::testing::run_status("soffice --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
  fs::copy_file(kExamples + "/aspiration.txt", dir.file("aspiration.txt"));
  ASSERT_EQ(run("-t wylie-unicode aspiration.txt"), 0) << err();
  ASSERT_EQ(run("-t wylie-unicode-rtf aspiration.txt"), 0) << err();
  ASSERT_EQ(tsd::testing::run_status(
                "cd " + quoted(dir.path()) + " && HOME=" + quoted(dir.path()) +
                " soffice --headless --convert-to 'txt:Text (encoded):UTF8' --outdir back aspiration.rtf"
                " >/dev/null 2>&1"),
            0);
  const auto text = letters_by_line(read_file(dir.file("aspiration.bo.txt")));
  const auto back = letters_by_line(read_file(dir.file("back/aspiration.txt")));
  std::u32string all_text, all_back;
  for (const auto& l : text) all_text += l;
  for (const auto& l : back) all_back += l;
  ASSERT_FALSE(all_text.empty());
  EXPECT_TRUE(all_text == all_back) << all_text.size() << " letters written, " << all_back.size()
                                    << " read back";
}

// Lines of the Kangyur volume whose letters differ from its Unicode edition: Sanskrit stacks written with
// `+`, long vowels, the reversed gigu `-i` and the other known differences of Extended Wylie. It may only
// fall.
constexpr int kKangyurLinesDiffering = 73;

TEST_F(cli_unicode, kangyur_volume_gives_the_letters_of_its_unicode_edition_line_by_line) {
  const std::string wylie = kCorpus + "/kangyur-035.wylie.txt";
  if (!fs::exists(wylie)) GTEST_SKIP() << "the shared corpus is not beside the checkout: " << kCorpus;
  // Extended Wylie's `_` is a space after a shad.
  std::string text = read_file(wylie);
  std::replace(text.begin(), text.end(), '_', ' ');
  dir.write("volume.txt", text);
  ASSERT_EQ(run("-t wylie-unicode --keep-cr -o volume.bo.txt volume.txt"), 0) << err();
  std::string ours = read_file(dir.file("volume.bo.txt"));
  std::erase(ours, '\r');
  const auto got = letters_by_line(ours);
  const auto want = letters_by_line(read_file(kCorpus + "/kangyur-035.bo.txt"));
  ASSERT_GE(got.size(), want.size() - 1);
  int differing = 0;
  for (std::size_t i = 0; i < want.size(); ++i)
    if (i >= got.size() || got[i] != want[i]) ++differing;
  EXPECT_LE(differing, kKangyurLinesDiffering) << "of " << want.size() << " lines";
  RecordProperty("lines_differing", differing);
}

}  // namespace
