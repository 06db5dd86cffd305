// The document readers against their vectors (tests/vectors/documents): each RTF read into the hub with
// the bundled tables gives the Unicode and the warnings, placed by paragraph and character, of its line,
// whether the glyph table is filled for the document or handed over filled once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "convert_file.h"
#include "document_reader.h"
#include "driver_support.h"
#include "glyph_text.h"
#include "support/escapes.h"
#include "tsv_vectors.h"

using namespace tarvex;

namespace {

constexpr std::string_view kFonts =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Courier;}{\\f5\\fnil Korlam-a;}{\\f9\\fnil Korlam-vowa;}}";

std::string read_document(const std::string& bytes, ReaderReport& report, std::string& why, int& result,
                          const GlyphTable* glyphs = nullptr) {
  tsd::Stream in = h2test::stream_with(bytes);
  tsd::Stream out = tsd::Stream::temporary();
  {
    HubOut hub(out);
    result = document_to_hub(in, hub, h2test::bundled_key_tables(), glyphs, &report, why);
  }
  return h2test::contents(out);
}

// The glyph tables a reader may be handed: none, one filled once from the same tables, one filled from
// other tables (which the reader must not use).
struct GlyphSource {
  const char* name;
  const GlyphTable* glyphs;
};

TEST(document_vectors, rtf_documents_read_as_their_unicode) {
  const auto lines = h2test::read_tsv_vectors("documents");
  ASSERT_GT(lines.size(), 20u);
  static const GlyphTable bundled(h2test::bundled_key_tables());
  static const GlyphTable other(h2test::test_key_tables());
  const GlyphSource sources[] = {
      {"filled for the document", nullptr}, {"filled once", &bundled}, {"filled from other tables", &other}};
  for (const GlyphSource& source : sources) {
    for (const h2test::TsvLine& line : lines) {
      if (line.file != "rtf.tsv") continue;
      const std::string place = line.file + ":" + std::to_string(line.line);
      SCOPED_TRACE(std::string(source.name).append(": ").append(place));
      std::string rtf = line.fields[0];  // RTF as it stands: its backslashes are its own
      if (const std::size_t at = rtf.find("{FONTS}"); at != std::string::npos) rtf.replace(at, 7, kFonts);
      ReaderReport report;
      std::string why;
      int result = 0;
      EXPECT_EQ(read_document(rtf, report, why, result, source.glyphs),
                tsd::testing::unescape(line.fields[1]));
      EXPECT_EQ(result, 0) << why;
      std::vector<std::string> warnings;
      for (const ReaderWarning& w : report.warnings)
        warnings.push_back(std::to_string(w.paragraph) + ":" + std::to_string(w.position) + " " + w.text);
      EXPECT_EQ(warnings, std::vector<std::string>(line.fields.begin() + 2, line.fields.end()));
    }
  }
}

// A DOCX made by hand (tests/vectors/documents/runs.docx): runs in Korlam-a and, by w:hAnsi, in vowa; a run
// in Arial with a tab; a paragraph whose run takes the default font and size of styles.xml (Ekorlam-a,
// 24 points: smaller than the 28 before, so a small passage), a break held inside it, and a w:sym.
TEST(document_vectors, a_docx_document_reads_as_its_runs) {
  if (!reads_docx()) GTEST_SKIP() << "this build reads no DOCX";
  ReaderReport report;
  std::string why;
  int result = 0;
  const std::string docx = tsd::testing::read_file(TSENDREL_SOURCE_DIR "/tests/vectors/documents/runs.docx");
  EXPECT_EQ(read_document(docx, report, why, result), "ཀ་ཀི note\t\n(ཀ\nཀ)");
  EXPECT_EQ(result, 0) << why;
  EXPECT_TRUE(report.warnings.empty());
  EXPECT_EQ(report.syllables, 4);
}

// Files that are no document of ours, or a container that must not be unpacked: a clear reason, no hub.
struct Refused {
  const char* name;
  std::string bytes;
  const char* why;
};

TEST(document_vectors, what_is_no_readable_document_is_refused_with_its_reason) {
  const std::string dir = TSENDREL_SOURCE_DIR "/tests/vectors/documents/";
  const Refused cases[] = {
      {"plain text", "k.k", "neither an RTF nor a DOCX"},
      {"a ZIP cut short", std::string("PK\x03\x04", 4) + "\x14", "no readable ZIP container"},
      {"no document part", tsd::testing::read_file(dir + "no_document.docx"), "holds no word/document.xml"},
      {"a part that would unpack too far", tsd::testing::read_file(dir + "bomb.docx"), "256 MiB"},
      {"a document part that is no XML", tsd::testing::read_file(dir + "broken_xml.docx"),
       "no well-formed XML"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderReport report;
    std::string why;
    int result = 0;
    read_document(c.bytes, report, why, result);
    EXPECT_EQ(result, -2);
    // A build without the DOCX reader refuses every ZIP alike.
    const bool zip = c.bytes.starts_with("PK");
    EXPECT_NE(why.find(zip && !reads_docx() ? "reads no DOCX" : c.why), std::string::npos) << why;
  }
}

}  // namespace

// The driver's look at a document's first bytes: Word 97-2003 and OpenDocument files are refused with the
// command that saves them as DOCX, other files that are no document with their reason.
TEST(document_vectors, the_driver_refuses_what_it_cannot_read_naming_the_way_out) {
  std::string odt = std::string("PK\x03\x04", 4) + std::string(26, '\0') + "mimetype" +
                    "application/vnd.oasis.opendocument.text";
  const struct {
    const char* name;
    std::string bytes;
    const char* told;
  } cases[] = {
      {"letter.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(64, '\0'),
       "is a Word 97-2003 document, which the converter does not read. Save it as DOCX, for example with: "
       "soffice --headless --convert-to docx "},
      {"letter.odt", odt, "is an OpenDocument document"},
      {"letter.txt", "bkra shis", "is neither an RTF nor a DOCX document. Skipping file."},
  };
  tsd::testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionContext context = h2test::test_context();
    context.key_tables = &h2test::bundled_key_tables();
    h2test::StatusCapture status(context);
    const std::string input = dir.write(c.name, c.bytes);
    const ConversionRequest request = h2test::test_request(route_id("tsendrel-unicode"));
    EXPECT_EQ(convert_file(context, input.c_str(), dir.file("out.bo.txt").c_str(), request), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bo.txt")));
    std::string told;
    for (const std::string& line : status.captured) told += line;
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
  }
}
