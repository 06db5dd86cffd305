// The batch loops: output naming, the two path-length rules, the counter, the filling of the request from
// the size texts, and search_files over a temporary tree.
#include <climits>
#include <filesystem>

#include "batch.h"
#include "driver_support.h"
#include "startup.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;
using h2test::StatusCapture;
using Lines = std::vector<std::string>;

TEST(batch, main_window_output_names_drop_a_three_letter_extension) {
  struct Case {
    const char* name;
    const char* output;
  } cases[] = {
      {"notes.txt", "d/notes.rtf"}, {"notes", "d/notes.rtf"}, {"notes.html", "d/notes.html.rtf"},
      {"notes.rtf", "d/notes.rtf"}, {"a.b", "d/a.b.rtf"},     {"ab.c", "d/ab.c.rtf"},
      {"x.kvt", "d/x.rtf"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(main_output_path("d", c.name), tsd::testing::native(c.output)) << c.name;
}

TEST(batch, wild_card_output_names_replace_a_three_letter_extension) {
  struct Case {
    const char* input;
    const char* output;
  } cases[] = {
      {"/d/notes.txt", "/d/notes.rtf"}, {"/d/notes", "/d/notes.rtf"}, {"/d/notes.html", "/d/notes.html.rtf"},
      {"/d.x/notes", "/d.x/notes.rtf"}, {"abc", "abc.rtf"},
  };
  for (const Case& c : cases) EXPECT_EQ(wildcard_output_path(c.input), c.output) << c.input;
}

TEST(batch, names_match_as_the_directory_search_does) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.*", "notes.txt", true},        {"*.*", "notes", true},     {"*.txt", "NOTES.TXT", true},
      {"*.txt", "notes.txt.bak", false}, {"?.txt", "a.txt", true},   {"?.txt", "ab.txt", false},
      {"n*s*.t?t", "notes.txt", true},   {"notes.*", "notes", true}, {"notes.*", "notesx", false},
      {"*", "anything", true},           {"", "a", false},           {"Notes.Txt", "notes.TXT", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(name_matches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

class batch_loops : public ::testing::Test {
 protected:
  ConversionContext context = h2test::test_context();
  ConversionRequest request = h2test::test_request(route_id("kvts-wylie"));
  tsd::testing::TempDir dir;
};

TEST_F(batch_loops, main_window_names_logs_and_counts_every_file) {
  dir.write("a.txt", "KA");
  dir.write("b.rtf", "GA");
  StatusCapture status(context);
  const BatchResult r = convert_selected_files(
      context, request, {{dir.path(), "a.txt"}, {dir.path(), "b.rtf"}, {dir.path(), "missing"}});
  EXPECT_EQ(status.captured,
            (Lines{"Input file path: " + dir.file("a.txt"), "Output file path: " + dir.file("a.rtf"),
                   "Input file path: " + dir.file("b.rtf"), "Output file path: " + dir.file("b.rtf"),
                   "Input file name must not be identical to output file name.",
                   "Input file path: " + dir.file("missing"), "Output file path: " + dir.file("missing.rtf"),
                   "Could not open " + dir.file("missing"), "3 file(s) processed"}));
  EXPECT_EQ(tsd::testing::read_file(dir.file("a.rtf")), "ka");
  EXPECT_EQ(tsd::testing::read_file(dir.file("b.rtf")), "GA");
  EXPECT_EQ(r.processed, 3);
  EXPECT_EQ(r.converted, 1);
  EXPECT_EQ(r.failed, 2);
}

// The result sums the counts of the files whose syllables were counted, on one thread or several.
TEST_F(batch_loops, the_result_sums_the_summary_lines_counts) {
  request = h2test::test_request(route_id("kvts-unicode"));
  dir.write("a.txt", "KA KHA QQ");
  dir.write("b.txt", "GA");
  for (const int jobs : {1, 2}) {
    StatusCapture status(context);
    const BatchResult r = convert_selected_files(
        context, request, {{dir.path(), "a.txt"}, {dir.path(), "missing"}, {dir.path(), "b.txt"}}, jobs);
    EXPECT_EQ(r.counted, 2) << jobs;
    EXPECT_EQ(r.syllables, 4) << jobs;
    EXPECT_EQ(r.not_converted, 1) << jobs;
    EXPECT_EQ(status.captured[2], dir.file("a.txt") + ": 3 syllables, 1 not converted") << jobs;
  }
}

TEST_F(batch_loops, main_window_skips_when_directory_name_and_six_reach_260) {
  const std::string d = dir.path();
  const std::string fits(kMaxPath - 7 - d.size(), 'n');  // 259 with the 6
  const std::string too_long = fits + "n";
  StatusCapture status(context);
  const BatchResult r = convert_selected_files(context, request, {{d, too_long}, {d, fits}});
  ASSERT_EQ(status.captured.size(), 5u);
  EXPECT_EQ(status.captured[0], "Input file path is too long. Skipping...");
  EXPECT_EQ(status.captured[1], "Input file path: " + tsd::join_path(d, fits));
  EXPECT_EQ(status.captured[4], "2 file(s) processed");
  EXPECT_EQ(r.skipped, 1);
}

TEST_F(batch_loops, wild_card_logs_the_input_then_skips_when_path_and_four_reach_260) {
  const std::string fits = dir.path() + "/" + std::string(kMaxPath - 5 - dir.path().size() - 1, 'n');
  const std::string too_long = fits + "n";
  StatusCapture status(context);
  int cleared = 0;
  BatchHooks hooks;
  hooks.clear_status = [&] { ++cleared; };
  const BatchResult r = convert_found_files(context, request, {too_long, fits}, hooks);
  EXPECT_EQ(cleared, 1);
  ASSERT_EQ(status.captured.size(), 6u);
  EXPECT_EQ(status.captured[0], "Input file path: " + too_long);
  EXPECT_EQ(status.captured[1], "Input file path is too long. Skipping...");
  EXPECT_EQ(status.captured[2], "Input file path: " + fits);
  EXPECT_EQ(status.captured[3], "Output file path: " + fits + ".rtf");
  EXPECT_EQ(status.captured[5], "2 file(s) processed");
  EXPECT_EQ(r.skipped, 1);
}

TEST_F(batch_loops, empty_selection_logs_zero_files) {
  StatusCapture status(context);
  convert_found_files(context, request, {});
  EXPECT_EQ(status.captured, Lines{"0 file(s) processed"});
}

TEST_F(batch_loops, each_context_receives_its_own_lines_and_the_previous_sink_returns) {
  ConversionContext other = h2test::test_context();
  StatusCapture other_lines(other);
  {
    StatusCapture seen(context);
    convert_found_files(context, request, {});
    EXPECT_EQ(seen.captured, Lines{"0 file(s) processed"});
  }
  StatusCapture after(context);
  context.log_status("after");
  EXPECT_EQ(after.captured, Lines{"after"});
  EXPECT_TRUE(other_lines.captured.empty());
}

struct SizeCase {
  const char* tib;
  const char* small;
  int tib_half_points;
  int small_half_points;
  bool bad_tib;
  bool bad_small;
};

// The last two: white space of the C locale before the sign and anything after the digits, as "%d" reads
// them; an overlong number held where doubling it stays in range.
TEST(batch, fill_request_checks_the_size_texts) {
  constexpr int kHeld = 2 * (INT_MAX / 4);
  const SizeCase cases[] = {
      {"28", "24", 56, 48, false, false},
      {"8", "8", 16, 16, false, false},
      {"99", "99", 198, 198, false, false},
      {"7", "24", 14, 48, true, true},
      {"28", "7", 56, 14, false, true},
      {"28", "28", 56, 56, false, false},
      {"28", "30", 56, 60, false, true},
      {"28", "56", 56, 112, false, true},
      {"", "24", 56, 48, true, false},
      {"28", "", 56, 48, false, true},
      {" 30", "2x", 60, 4, false, true},
      {"-5", "24", -10, 48, true, true},
      {"\t\v30", "+24 pt", 60, 48, false, false},
      {"99999999999", "24", kHeld, 48, true, false},
  };
  ConversionContext context = make_context(ConverterTables{});
  for (const SizeCase& c : cases) {
    ConversionRequest request;
    BatchChoices choices;
    choices.tib_size_text = c.tib;
    choices.small_tib_size_text = c.small;
    int cleared = 0;
    BatchHooks hooks;
    hooks.clear_status = [&] { ++cleared; };
    StatusCapture status(context);
    fill_request(request, choices, context, hooks);
    Lines expected;
    if (c.bad_tib) expected = {"Bad tibetan point size.", "Please set to a number between 8 and 99"};
    if (c.bad_small) {
      expected.push_back("Bad small tibetan point size.");
      expected.push_back("Please set to a number between 8 and 99 and greater than the tibetan point size.");
    }
    EXPECT_EQ(status.captured, expected) << c.tib << "/" << c.small;
    EXPECT_EQ(cleared, c.bad_small ? 1 : 0) << c.tib << "/" << c.small;
    EXPECT_EQ(request.tib_size, c.tib_half_points) << c.tib;
    EXPECT_EQ(request.small_tib_size, c.small_half_points) << c.small;
  }
}

TEST(batch, fill_request_keeps_the_type_without_a_selection_and_maps_the_family) {
  ConverterTables tables;
  ConversionContext context = make_context(tables);
  ConversionRequest request;
  BatchChoices choices;
  StatusCapture status(context);
  fill_request(request, choices, context);
  EXPECT_EQ(request.conversion_type, 0);
  EXPECT_EQ(request.font_base, 35);
  choices.conversion_type = 3;
  choices.font_family = kKorlam;
  choices.keep_cr = true;
  fill_request(request, choices, context);
  EXPECT_EQ(request.conversion_type, 3);
  EXPECT_EQ(request.font_base, 1);
  EXPECT_EQ(request.keep_cr, 1);
  choices.conversion_type = -1;
  choices.font_family = kNoFamily;
  fill_request(request, choices, context);
  EXPECT_EQ(request.conversion_type, 3);
  EXPECT_EQ(request.font_base, 1);
  EXPECT_EQ(request.check_syllables, 1);
  EXPECT_EQ(request.roman_size, 24);
  EXPECT_EQ(context.rtf_fonts, tables.rtf_fonts.data());
  EXPECT_EQ(context.key_tables, &tables.key_tables);
}

TEST(batch, convert_selected_clears_then_fills_then_converts) {
  tsd::testing::TempDir dir;
  dir.write("a.txt", "KA");
  ConversionContext context = h2test::test_context();
  ConversionRequest request;
  BatchChoices choices;
  choices.conversion_type = route_id("kvts-wylie");
  choices.tib_size_text = "5";
  Lines events;
  BatchHooks hooks;
  hooks.clear_status = [&] { events.push_back("<clear>"); };
  context.status = {[](void* lines, const char* line) { static_cast<Lines*>(lines)->emplace_back(line); },
                    &events};
  const BatchResult r = convert_selected(context, request, choices, {{dir.path(), "a.txt"}}, hooks);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "<clear>");
  EXPECT_EQ(events[1], "Bad tibetan point size.");
  EXPECT_EQ(events.back(), "1 file(s) processed");
  EXPECT_EQ(r.converted, 1);
}

TEST(batch, search_files_lists_matching_files_first_then_searches_every_subdirectory) {
  tsd::testing::TempDir dir;
  for (const char* d : {"sub", "sub/deeper", "x.txt", "zz"}) fs::create_directory(dir.file(d));
  for (const char* f :
       {"b.TXT", "a.txt", "c.kvt", "sub/d.txt", "sub/deeper/e.txt", "x.txt/inner.txt", "zz/y.doc"})
    dir.write(f, "KA");
  std::vector<std::string> found;
  int events = 0;
  BatchHooks hooks;
  hooks.pending_events = [&] { ++events; };
  EXPECT_EQ(search_files(dir.path() + "/", "*.txt", found, hooks), 5);
  const auto p = [&](const char* name) { return dir.path() + "/" + tsd::testing::native(name); };
  EXPECT_EQ(found, (std::vector<std::string>{p("a.txt"), p("b.TXT"), p("sub/d.txt"), p("sub/deeper/e.txt"),
                                             p("x.txt/inner.txt")}));
  EXPECT_GT(events, 5);
}

TEST(batch, search_files_does_not_follow_linked_directories) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine cannot create directory links";
#endif
  tsd::testing::TempDir dir;
  fs::create_directory(dir.file("sub"));
  dir.write("sub/a.txt", "KA");
  fs::create_directory_symlink(dir.path(), dir.file("sub/loop"));
  std::vector<std::string> found;
  EXPECT_EQ(search_files(dir.path() + "/", "*.*", found), 1);
}

TEST(batch, search_files_in_a_missing_directory_finds_nothing) {
  std::vector<std::string> found;
  EXPECT_EQ(search_files("/no/such/folder/", "*.*", found), 0);
  EXPECT_TRUE(found.empty());
}

}  // namespace
