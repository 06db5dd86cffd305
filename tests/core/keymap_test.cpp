#include "keymap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "support/keyfont_text.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "trace.h"

namespace {

using tsd::testing::Record;
using tsd::testing::TempDir;

// Loads `keymap_text` against a table of the entries k, kr, g, a; table_size may hide the last ones.
struct KeymapLoad {
  tsd::TibKeys keys{};
  int result = 0;
  std::string report;              // what the report hook was handed
  std::vector<std::string> shown;  // texts the trace sink shows at a negative level
  tsd::TableProblem problem;
};

std::vector<std::string>* shown_texts = nullptr;

void collect_report(void* user, const char* text, std::size_t length) {
  static_cast<std::string*>(user)->append(text, length);
}

using Table = std::array<tsd::TibChar<tsd::kAddinForms>, tsd::kTibCharsCapacity>;

const Table& small_table() {
  static const Table table = [] {
    Table t{};
    const std::string keyfont =
        Record("k", 75).text() + Record("kr", 80).text() + Record("g", 71).text() + Record("a", 97).text();
    EXPECT_EQ(tsd::load_keyfont(tsd::TextBytes(keyfont), t.data(), tsd::kTibCharsCapacity, nullptr), 4);
    return t;
  }();
  return table;
}

// Runs `load_form(keys, problem, hook)` with the trace sink and the report hook collecting.
template <class LoadForm>
KeymapLoad run(LoadForm load_form) {
  KeymapLoad out;
  shown_texts = &out.shown;
  tsd::set_trace_sink([](int, const char* text) { shown_texts->emplace_back(text); }, 0);
  out.result = load_form(out.keys, &out.problem, tsd::ReportHook{collect_report, &out.report});
  tsd::set_trace_sink(nullptr, 0);
  return out;
}

KeymapLoad load(const std::string& keymap_text, int table_size = 4) {
  return run([&](tsd::TibKeys& keys, tsd::TableProblem* problem, tsd::ReportHook hook) {
    return tsd::load_keymap(tsd::TextBytes(keymap_text), keys, small_table().data(), table_size, problem,
                            hook);
  });
}

TEST(load_keymap, maps_each_key_to_the_first_entry_of_its_character) {
  const auto m = load("k k\r\nq\tg\nK-k anything after the third character\n");
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.keys['k'].ch, 'k');
  EXPECT_EQ(m.keys['k'].index, 0);  // "k", not "kr"
  EXPECT_EQ(m.keys['q'].ch, 'g');
  EXPECT_EQ(m.keys['q'].index, 2);
  EXPECT_EQ(m.keys['K'].index, 0);  // two keys may share one entry
  EXPECT_EQ(m.keys['x'].ch, 0);
}

TEST(load_keymap, ends_at_the_first_short_line_or_the_end_of_the_file) {
  struct Case {
    const char* text;
    bool g_mapped;
  } cases[] = {
      {"", false},
      {"\nq g\n", false},
      {"k k\nz\nq g\n", false},  // "z\n" has two characters: the keymap ends there
      {"k k\nq g", true},        // the last line needs no newline
  };
  for (const auto& c : cases) {
    const auto m = load(c.text);
    EXPECT_EQ(m.result, 0) << c.text;
    EXPECT_EQ(m.keys['q'].ch == 'g', c.g_mapped) << c.text;
    EXPECT_TRUE(m.report.empty());
  }
}

TEST(load_keymap, a_key_listed_twice_fails_with_its_report) {
  const auto m = load("k k\nq g\na a\nr k\nk g\n");
  EXPECT_EQ(m.result, -1);
  EXPECT_EQ(m.report,
            "The character k has appeared at least twice in the left column\n"
            "of the keymap file.  This is incorrect.  Please make sure that there\n"
            "are no repeat characters in the left column of the keymap file.\n"
            "\nPress a key to continue ...\n");
  EXPECT_EQ(m.shown, std::vector<std::string>{"A character appeared twice in the left column"});
  EXPECT_EQ(m.keys['r'].ch, 'k');  // lines before the fault stay loaded
}

TEST(load_keymap, a_right_column_character_that_begins_no_entry_fails) {
  const char* const not_found =
      "in the internal keymap.  Please correct this.\n"
      "\nPress a key to continue ...\n";
  struct Case {
    std::string text;
    int table_size;
    char missing;
  } cases[] = {
      {"k k\nq z\n", 4, 'z'},
      {"k a\n", 3, 'a'},                    // "a" lies beyond the loaded entries
      {"k \n\n", 4, '\n'},                  // two characters and a newline: the right column is the newline
      {std::string("k \0\n", 4), 4, '\0'},  // the report holds the NUL as the character
  };
  for (const auto& c : cases) {
    const auto m = load(c.text, c.table_size);
    EXPECT_EQ(m.result, -1);
    EXPECT_EQ(m.report, std::string("The character ") + c.missing +
                            " in the right column of the keymap file is not\n" + not_found);
    EXPECT_EQ(m.shown,
              std::vector<std::string>{"A character in the right column is not in the internal keymap."});
  }
}

TEST(load_keymap, a_key_beyond_seven_bits_is_refused) {
  const auto m = load("k k\n\xe9 k\n");
  EXPECT_EQ(m.result, -1);
  EXPECT_NE(m.report.find("code 233"), std::string::npos);
  EXPECT_EQ(m.shown.size(), 1u);
}

TEST(load_keymap, a_missing_file_fails_without_showing_anything) {
  TempDir dir;
  const std::string path = dir.file("absent");
  const auto m = run([&](tsd::TibKeys& keys, tsd::TableProblem* problem, tsd::ReportHook hook) {
    return tsd::load_keymap(path.c_str(), keys, small_table().data(), 4, problem, hook);
  });
  EXPECT_EQ(m.result, -1);
  EXPECT_TRUE(m.shown.empty());
  EXPECT_TRUE(m.report.empty());
  EXPECT_EQ(m.problem.path, path);
  EXPECT_EQ(m.problem.why, "No such file or directory");
}

// The path, the stream and the bytes forms read one file alike (CR LF as LF), and the default hook writes
// the report, NUL bytes and all, to standard error.
TEST(load_keymap, reads_a_file_its_stream_and_its_bytes_alike) {
  const std::string inputs[] = {
      "k k\r\nq g\r\n",         "k k\rq g\n", "k k\r\n\r\nq g\n", "k k\nk g\n",
      std::string("k \0\n", 4), "\xe9 k\r\n", "k a\nz #\n",       "",
  };
  for (const std::string& text : inputs) {
    TempDir dir;
    const std::string path = dir.write("keymap", text);
    const auto same = [&](const KeymapLoad& a, const KeymapLoad& b) {
      EXPECT_EQ(a.result, b.result) << text;
      EXPECT_EQ(a.report, b.report) << text;
      EXPECT_EQ(a.shown, b.shown) << text;
      EXPECT_EQ(a.problem.why, b.problem.why) << text;
      for (int key = 0; key < 128; ++key) {
        EXPECT_EQ(a.keys[key].ch, b.keys[key].ch) << text << " key " << key;
        EXPECT_EQ(a.keys[key].index, b.keys[key].index) << text << " key " << key;
      }
    };
    const KeymapLoad from_bytes = load(text);
    std::string standard_error;
    KeymapLoad from_path = run([&](tsd::TibKeys& keys, tsd::TableProblem* problem, tsd::ReportHook) {
      ::testing::internal::CaptureStderr();
      const int result = tsd::load_keymap(path.c_str(), keys, small_table().data(), 4, problem);
      standard_error = ::testing::internal::GetCapturedStderr();
      return result;
    });
    from_path.report = standard_error;
    const KeymapLoad from_stream =
        run([&](tsd::TibKeys& keys, tsd::TableProblem* problem, tsd::ReportHook hook) {
          tsd::Stream in = tsd::Stream::open_read(path.c_str(), tsd::Stream::Mode::text);
          return tsd::load_keymap(in, keys, small_table().data(), 4, problem, hook);
        });
    same(from_bytes, from_path);
    same(from_bytes, from_stream);
    EXPECT_EQ(from_path.problem.path, from_path.result < 0 ? path : "");
    EXPECT_EQ(from_stream.problem.path, "");
  }
}

TEST(Get_line, splits_lines_longer_than_the_buffer) {
  TempDir dir;
  tsd::Stream in =
      tsd::Stream::open_read(dir.write("f", std::string(140, 'x') + "\nab").c_str(), tsd::Stream::Mode::text);
  char line[tsd::kKeymapLineSize];
  EXPECT_EQ(tsd::Get_line(line, sizeof line, &in), 131);
  EXPECT_EQ(tsd::Get_line(line, sizeof line, &in), 10);  // nine x and the newline
  EXPECT_STREQ(line, "xxxxxxxxx\n");
  EXPECT_EQ(tsd::Get_line(line, sizeof line, &in), 2);
  EXPECT_EQ(tsd::Get_line(line, sizeof line, &in), 0);
}

TEST(Get_line, stops_the_program_on_a_null_argument) {
  tsd::Stream* const no_stream = nullptr;
  EXPECT_DEATH(tsd::Get_line(nullptr, 10, no_stream),
               "Assertion failed: line != NULL, file Get_line, line " TSD_DIGITS);
  char line[4];
  EXPECT_DEATH(tsd::Get_line(line, 4, no_stream),
               "Assertion failed: fp != NULL, file Get_line, line " TSD_DIGITS);
}

TEST(load_keymap, names_why_a_keymap_does_not_load) {
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {
      {"k k\nk g\n", "key k appears twice in the left column"},
      {"\xe9 k\n", "the key with code 233 is not a 7-bit character"},
      {"k #\n", "character # of the right column begins no keyfont entry"},
  };
  for (const Case& c : cases) {
    const auto m = load(c.text);
    EXPECT_EQ(m.result, -1) << c.text;
    EXPECT_EQ(m.problem.why, c.why) << c.text;
  }
  EXPECT_TRUE(load("k k\n").problem.why.empty());
}

}  // namespace
