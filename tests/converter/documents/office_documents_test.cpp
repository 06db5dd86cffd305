// Documents saved again by LibreOffice: an example and a stretch of the Kangyur volume written as
// Tsendrel RTF, opened by soffice and saved as DOCX and as RTF; the three documents read back to the same
// Unicode. LibreOffice ends the last paragraph of its RTF with \par and drops an empty last paragraph
// from its DOCX, so line breaks at the very end are not compared. Skipped without soffice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "convert_file.h"
#include "document_reader.h"
#include "driver_support.h"
#include "routes.h"
#include "support/process.h"

using namespace tarvex;

namespace {

std::string read_back(const std::string& document, tsd::testing::TempDir& dir, std::string& told) {
  ConversionContext context = h2test::test_context();
  context.key_tables = &h2test::bundled_key_tables();
  h2test::StatusCapture status(context);
  const std::string out = dir.file("back.bo.txt");
  std::filesystem::remove(out);
  const ConversionRequest request = h2test::test_request(route_id("tsendrel-unicode"));
  if (convert_file(context, document.c_str(), out.c_str(), request) != 0) return "(not read)";
  std::string text = tsd::testing::read_file(out);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (const std::string& line : status.captured) told += line + "\n";
  return text;
}

TEST(office_documents, saved_again_as_docx_and_rtf_they_read_back_the_same) {
#ifdef _WIN32
  GTEST_SKIP() << "LibreOffice runs on the Linux side only";
#endif
  if (tsd::testing::run_status("soffice --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
  tsd::testing::TempDir dir;
  ConversionContext context = h2test::test_context();
  context.key_tables = &h2test::bundled_key_tables();
  h2test::StatusCapture status(context);
  ConversionRequest request = h2test::test_request(route_id("wylie-rtf"));
  std::vector<std::string> names = {"colophon"};
  ASSERT_EQ(convert_file(context, TSENDREL_SOURCE_DIR "/examples/colophon.txt",
                         dir.file("colophon.rtf").c_str(), request),
            0);
  // Three hundred lines of the volume, each kept a line, in the other family.
  std::ifstream volume(TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035.wylie.txt", std::ios::binary);
  if (volume) {
    std::string stretch, line;
    for (int i = 0; i < 300 && std::getline(volume, line); ++i) stretch += line + "\n";
    dir.write("stretch.txt", stretch);
    request.conversion_type = route_id("ewts-rtf");
    request.keep_cr = 1;
    request.font_base = kKorlamBase;
    ASSERT_EQ(
        convert_file(context, dir.file("stretch.txt").c_str(), dir.file("stretch.rtf").c_str(), request), 0);
    names.push_back("stretch");
  }
  std::string files;
  for (const std::string& name : names) files += " " + name + ".rtf";
  for (const char* format : {"docx", "rtf"})
    ASSERT_EQ(tsd::testing::run_status("cd " + tsd::testing::quoted(dir.path()) +
                                       " && HOME=" + tsd::testing::quoted(dir.path()) +
                                       " soffice --headless --convert-to " + format + " --outdir " + format +
                                       files + " >/dev/null 2>&1"),
              0)
        << format;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string told;
    const std::string ours = read_back(dir.file(name + ".rtf"), dir, told);
    EXPECT_GT(ours.size(), 100u);
    if (reads_docx()) {
      EXPECT_EQ(read_back(dir.file("docx/" + name + ".docx"), dir, told), ours) << told;
    }
    EXPECT_EQ(read_back(dir.file("rtf/" + name + ".rtf"), dir, told), ours) << told;
  }
}

}  // namespace
