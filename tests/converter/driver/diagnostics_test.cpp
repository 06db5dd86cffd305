// Runs the diagnostics vectors (tests/vectors/diagnostics/*.txt): the warnings a conversion hands to the
// diagnostic sink, with their places in the input, and the counts of the file's summary; also the places
// of the Wylie map alone, the line index, and the one pass over a file that places as the line index does.
#include "diagnostics.h"
#include "convert_file.h"
#include "driver_support.h"
#include "extract.h"
#include "line_index.h"
#include "scheme_passes.h"

using namespace tarvex;

namespace {

using h2test::VectorCase;

void collect(void* lines, const Diagnostic& d) {
  if (d.kind == Diagnostic::Kind::warning)
    static_cast<std::vector<std::string>*>(lines)->push_back(std::to_string(d.line) + ":" +
                                                             std::to_string(d.column) + ": " + d.text);
}

// Collects the warnings handed to the context's diagnostic sink while it lives.
class SinkGuard {
 public:
  SinkGuard(ConversionContext& context, std::vector<std::string>& lines) : context_(context) {
    context.diagnostics = DiagnosticSink{collect, &lines};
  }
  ~SinkGuard() { context_.diagnostics = DiagnosticSink{}; }

 private:
  ConversionContext& context_;
};

class diagnostics_vectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(diagnostics_vectors, give_each_problem_once_at_its_place) {
  const VectorCase& c = GetParam();
  ConversionContext context = h2test::test_context();
  tsd::testing::TempDir dir;
  const std::string input = dir.write("in.txt", c.input);
  std::vector<std::string> lines;
  ConversionReport report;
  {
    SinkGuard guard(context, lines);
    h2test::StatusCapture status(context);
    convert_file_until(context, input.c_str(), dir.file("out.rtf").c_str(),
                       h2test::test_request(c.option("type", 1)), Stage::complete, &report);
  }
  std::vector<std::string> wanted;
  for (const auto& l : c.status) wanted.push_back(h2test::escape(l));
  for (auto& l : lines) l = h2test::escape(l);
  EXPECT_EQ(lines, wanted) << c.file << ":" << c.line;
  EXPECT_TRUE(report.counted);
  EXPECT_EQ(report.syllables, c.option("syllables", -1)) << c.file << ":" << c.line;
  EXPECT_EQ(report.not_converted, c.option("not_converted", -1)) << c.file << ":" << c.line;
}

INSTANTIATE_TEST_SUITE_P(cases, diagnostics_vectors, ::testing::ValuesIn(h2test::read_vectors("diagnostics")),
                         h2test::case_name);

TEST(diagnostics, the_outputs_do_not_change_with_a_sink) {
  tsd::testing::TempDir dir;
  const std::string input = dir.write("in.txt", "ka b+ha (om\n[x] {y\n");
  std::string outputs[2];
  for (int with_sink = 0; with_sink < 2; ++with_sink) {
    ConversionContext context = h2test::test_context();
    std::vector<std::string> lines;
    h2test::StatusCapture status(context);
    const std::string output = dir.file("out" + std::to_string(with_sink));
    if (with_sink) {
      SinkGuard guard(context, lines);
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(route_id("wylie-rtf")));
    } else {
      convert_file(context, input.c_str(), output.c_str(), h2test::test_request(route_id("wylie-rtf")));
    }
    outputs[with_sink] = tsd::testing::read_file(output);
    if (with_sink) {
      EXPECT_EQ(lines.size(), 4u);
    }
  }
  EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(wylie_places, each_kvts_byte_maps_to_the_wylie_character_that_wrote_it) {
  struct Case {
    const char* wylie;
    std::vector<std::uint64_t> kvts;
    std::vector<std::uint64_t> places;
  } cases[] = {
      // "a" at a syllable start writes "AA": both bytes come from it.
      {"a ka", {0, 1, 2, 3, 4}, {0, 0, 1, 2, 3}},
      // "tsh" writes "TS": the "S" waits for the "h", whose step writes it.
      {"tsha x", {0, 1, 2, 3, 4}, {0, 2, 3, 4, 5}},
      // the "A" of Wylie writes nothing.
      {"kAi", {0, 1, 2}, {0, 2, 2}},
      // a bracketed passage is copied byte for byte.
      {"[ab] e", {0, 3, 4, 5, 6}, {0, 3, 4, 5, 5}},
      // offsets past the end stay at the last character.
      {"ka", {1, 9}, {1, 1}},
  };
  for (Case& c : cases) {
    tsd::Stream src = h2test::stream_with(c.wylie);
    std::vector<std::uint64_t> offsets = c.kvts;
    wylie_places(src, offsets);
    EXPECT_EQ(offsets, c.places) << c.wylie;
  }
}

TEST(line_index, places_offsets_by_lf_with_crlf_and_byte_order_mark) {
  const h2test::LineIndex lines(
      "\xEF\xBB\xBF"
      "ab\r\ncd\n\nx");
  struct Case {
    std::uint64_t offset;
    int line;
    int column;
  } cases[] = {{3, 1, 1}, {4, 1, 2}, {7, 2, 1}, {8, 2, 2}, {10, 3, 1}, {11, 4, 1}};
  for (const Case& c : cases) {
    const Place p = lines.place(c.offset);
    EXPECT_EQ(p.line, c.line) << c.offset;
    EXPECT_EQ(p.column, c.column) << c.offset;
  }
  EXPECT_EQ(lines.text(3, 8), "ab\ncd");
}

// Every diagnostics vector again with the input read as standard input is: through a stream, its bytes
// kept while the conversion reads them, the places then found in those bytes.
TEST_P(diagnostics_vectors, are_the_same_from_kept_bytes) {
  const VectorCase& c = GetParam();
  ConversionContext context = h2test::test_context();
  tsd::testing::TempDir dir;
  const std::string path = dir.write("in.txt", c.input);
  tsd::Stream input = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
  std::string kept;
  input.keep_bytes_read(&kept);
  tsd::Stream output = tsd::Stream::temporary();
  std::vector<std::string> lines;
  {
    SinkGuard guard(context, lines);
    h2test::StatusCapture status(context);
    convert(context, h2test::test_request(c.option("type", 1)), Endpoint{nullptr, &input, "<stdin>", &kept},
            Endpoint{nullptr, &output, "<stdout>"});
  }
  std::vector<std::string> wanted;
  for (const auto& l : c.status) wanted.push_back(h2test::escape(l));
  for (auto& l : lines) l = h2test::escape(l);
  EXPECT_EQ(lines, wanted) << c.file << ":" << c.line;
}

// Kept bytes are placed once all are read: an input longer than the first block read, which is kept before
// the conversion starts, has its problems placed as from its file.
TEST(diagnostics, kept_bytes_past_the_first_block_are_placed_as_the_file) {
  struct Case {
    int type;
    const char* line;
  } cases[] = {
      {route_id("wylie-rtf"),
       "ka b+ha ga kikikikikikikikikikikikikikikiki#kikikikikikikikikikikikikikikiki#ki\r\n"},
      {route_id("kvts-rtf"),
       "KA OM GA KIKIKIKIKIKIKIKIKIKIKIKIKIKIKIKI#KIKIKIKIKIKIKIKIKIKIKIKIKIKIKIKI#KI\r\n"},
      {route_id("wylie-unicode"), "ka b+ha\r\n\r\nga \xC3\xA9 x\n"},
  };
  for (const Case& c : cases) {
    // A first line that leaves the non-ASCII bytes past the check of how the input starts.
    std::string text = std::string(70, '-') + "\r\n";
    while (text.size() < 300000) text += c.line;
    tsd::testing::TempDir dir;
    const std::string path = dir.write("in.txt", text);
    std::vector<std::string> warnings[2];
    for (int from_kept = 0; from_kept < 2; ++from_kept) {
      ConversionContext context = h2test::test_context();
      SinkGuard guard(context, warnings[from_kept]);
      h2test::StatusCapture status(context);
      tsd::Stream input = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
      std::string kept;
      input.keep_bytes_read(&kept);
      tsd::Stream output = tsd::Stream::temporary();
      const Endpoint in = from_kept ? Endpoint{nullptr, &input, "<stdin>", &kept} : Endpoint{path.c_str()};
      convert(context, h2test::test_request(c.type), in, Endpoint{nullptr, &output, "<stdout>"});
    }
    EXPECT_GT(warnings[0].size(), 1000u) << c.line;
    EXPECT_EQ(warnings[1], warnings[0]) << c.line;
  }
}

// A file of more problems than a conversion keeps: the first are told at their places, the rest as one
// warning that stands for them all, whether the fast path or the passes converted it; the output is the
// same either way.
TEST(diagnostics, problems_past_those_kept_are_told_as_their_number) {
  ExtractionReport limits;
  std::string text = std::string(70, '-') + "\n";
  const std::size_t lines = limits.keep / 3 + 2;  // three dropped bytes a line
  for (std::size_t i = 0; i < lines; ++i) text += "ka \x80\x81\x82 kha\n";
  tsd::testing::TempDir dir;
  const std::string path = dir.write("in.txt", text);
  std::string outputs[2];
  for (const bool fast : {true, false}) {
    ConversionContext context = h2test::test_context();
    context.fast_path = fast;
    struct Told {
      std::size_t placed = 0;
      std::int64_t counted = 0;
      std::vector<Diagnostic> unplaced;
    } told;
    context.diagnostics = DiagnosticSink{[](void* user, const Diagnostic& d) {
                                           auto& t = *static_cast<Told*>(user);
                                           t.counted += d.count;
                                           if (d.line > 0)
                                             ++t.placed;
                                           else
                                             t.unplaced.push_back(d);
                                         },
                                         &told};
    h2test::StatusCapture status(context);
    const std::string out = dir.file(fast ? "fast.txt" : "passes.txt");
    ASSERT_EQ(
        convert_file(context, path.c_str(), out.c_str(), h2test::test_request(route_id("wylie-unicode"))), 0);
    outputs[fast] = tsd::testing::read_file(out);
    EXPECT_EQ(told.placed, limits.keep) << fast;
    ASSERT_EQ(told.unplaced.size(), 1u) << fast;
    EXPECT_EQ(told.unplaced[0].count, static_cast<std::int64_t>(3 * lines - limits.keep)) << fast;
    EXPECT_EQ(told.counted, static_cast<std::int64_t>(3 * lines)) << fast;
  }
  EXPECT_EQ(outputs[0], outputs[1]);
}

// The one pass over a file gives what the line index over all its bytes gives, for offsets in any order:
// ascending, overlapping, before the last one asked for, past the end; from a file and from bytes held.
TEST(place_reader, gives_the_places_and_texts_of_the_line_index) {
  // Long enough to cross the stream's buffer several times, with lines of every length and CR LFs.
  std::string long_text;
  for (int i = 0; long_text.size() < 300000; ++i) {
    long_text += std::string(static_cast<std::size_t>(i % 97), i % 3 ? 'k' : '\xE0');
    long_text += i % 5 ? "\r\n" : "\n";
  }
  const std::uint64_t end = long_text.size();
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // first and last byte of each
  } cases[] = {
      {"byte-order mark and CR LF",
       "\xEF\xBB\xBF"
       "ab\r\ncd\n\nx",
       {{0, 0}, {1, 2}, {2, 4}, {3, 8}, {4, 4}, {5, 6}, {7, 7}, {10, 10}, {11, 11}}},
      {"byte-order mark alone", "\xEF\xBB\xBF", {{0, 2}, {3, 3}}},
      {"the start of a byte-order mark only",
       "\xEF\xBB"
       "a\nb",
       {{0, 2}, {2, 2}, {4, 4}}},
      {"multibyte characters take a column a byte",
       "ka \xE0\xBD\x80\xE0\xBD\x81 ga\r\n\xC3\xA9t\xC3\xA9 b+ha",
       {{3, 8}, {4, 5}, {10, 11}, {14, 15}, {16, 19}, {21, 24}}},
      {"overlapping ranges",
       "GA KIKI\xE9KI GA\r\nOM\r\n",
       {{3, 11}, {7, 7}, {7, 12}, {8, 17}, {13, 13}, {14, 15}, {16, 16}}},
      {"a range before the last one", "ka\r\nga\r\nb+ha\nx", {{8, 11}, {4, 5}, {0, 1}, {12, 12}, {4, 12}}},
      {"ranges at and past the end", "KA\r\nOM", {{4, 5}, {5, 5}, {6, 6}, {5, 9}, {9, 12}, {7, 8}, {0, 0}}},
      {"after a line feed at the end", "KA\n", {{2, 2}, {3, 3}, {3, 5}}},
      {"a last byte before the first", "abc\ndef", {{5, 4}, {6, 6}}},
      {"nothing", "", {{0, 0}, {0, 3}, {2, 2}}},
      {"across the buffer",
       long_text,
       {{65530, 65545},
        {65535, 65536},
        {70000, 200000},
        {70001, 70001},
        {131071, 131073},
        {199999, 200001},
        {end - 3, end + 2},
        {end + 5, end + 5},
        {1000, 1010}}},
  };
  for (const Case& c : cases) {
    const h2test::LineIndex index{std::string(c.bytes)};
    tsd::testing::TempDir dir;
    const std::string path = dir.write("in.txt", c.bytes);
    PlaceReader from_file(tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::binary));
    PlaceReader from_bytes{std::string_view(c.bytes)};
    for (PlaceReader* reader : {&from_file, &from_bytes}) {
      const char* source = reader == &from_file ? "file" : "bytes";
      ASSERT_TRUE(reader->usable()) << c.name;
      for (const auto& [first, last] : c.ranges) {
        Place place{};
        std::string text = "left over";
        ASSERT_EQ(reader->find(first, last, place, text), 0) << c.name << " " << source << " " << first;
        const Place wanted = index.place(first);
        EXPECT_EQ(place.line, wanted.line) << c.name << " " << source << " " << first;
        EXPECT_EQ(place.column, wanted.column) << c.name << " " << source << " " << first;
        EXPECT_EQ(text, index.text(first, last)) << c.name << " " << source << " " << first << "-" << last;
      }
    }
  }
}

TEST(place_reader, fails_without_its_file) {
  tsd::testing::TempDir dir;
  PlaceReader reader(tsd::Stream::open_read(dir.file("missing.txt").c_str(), tsd::Stream::Mode::binary));
  Place place{};
  std::string text;
  EXPECT_FALSE(reader.usable());
  EXPECT_EQ(reader.find(0, 0, place, text), -1);
}

// An input that cannot be read again once converted (here removed while open, which Windows refuses) has
// its problems untold, and its conversion is that of the same input with them told.
TEST(diagnostics, an_input_not_read_again_changes_nothing_but_the_warnings) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows does not remove a file that is open";
#else
  struct Case {
    int type;
    const char* input;
  } cases[] = {
      {route_id("kvts-rtf"),
       "GA OM\r\nKIKIKIKIKIKIKIKIKIKIKIKIKIKIKIKI#KIKIKIKIKIKIKIKIKIKIKIKIKIKIKIKI#KI GA (x"},
      {route_id("wylie-rtf"),
       "ga b+ha\r\nkikikikikikikikikikikikikikikiki#kikikikikikikikikikikikikikikiki#ki ga (x"},
      {route_id("wylie-unicode"), "ka b+ha\r\nga {x"},
      {route_id("kvts-unicode-rtf"), "KA OM\r\nGA (x"},
  };
  for (const Case& c : cases) {
    tsd::testing::TempDir dir;
    std::string outputs[2];
    std::vector<std::string> status[2], warnings[2];
    for (int removed = 0; removed < 2; ++removed) {
      const std::string input = dir.write("in.txt", c.input);
      ConversionContext context = h2test::test_context();
      // The temporary files are made once the input is open: the moment to take the input away.
      context.temporaries = TemporaryFiles{[](void* path, int which) {
                                             if (path && which == 0)
                                               std::remove(static_cast<const char*>(path));
                                             return tsd::Stream::temporary();
                                           },
                                           removed ? const_cast<char*>(input.c_str()) : nullptr};
      const std::string output = dir.file("out" + std::to_string(removed));
      {
        SinkGuard guard(context, warnings[removed]);
        h2test::StatusCapture capture(context);
        EXPECT_EQ(convert_file(context, input.c_str(), output.c_str(), h2test::test_request(c.type)), 0)
            << c.input;
        status[removed] = capture.captured;
      }
      outputs[removed] = tsd::testing::read_file(output);
    }
    EXPECT_FALSE(warnings[0].empty()) << c.input;
    EXPECT_TRUE(warnings[1].empty()) << c.input;
    EXPECT_EQ(status[1], status[0]) << c.input;
    EXPECT_EQ(outputs[1], outputs[0]) << c.input;
  }
#endif
}

TEST(grouped, puts_a_comma_between_thousands) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1204, "1,204"}, {11461, "11,461"}, {1234567, "1,234,567"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(grouped(n), text);
}

}  // namespace
