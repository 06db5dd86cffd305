#include "keymap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "trace.h"

namespace tsd {
namespace {

// Short texts shown by the add-in's trace sink after the report.
constexpr int kShownLevel = -1;
constexpr int kSilentLevel = 1;

constexpr int kReportSize = 320;

void report_duplicate(ReportHook report, unsigned char key) {
  char text[kReportSize];
  const int length = std::snprintf(text, sizeof text,
                                   "The character %c has appeared at least twice in the left column\n"
                                   "of the keymap file.  This is incorrect.  Please make sure that there\n"
                                   "are no repeat characters in the left column of the keymap file.\n"
                                   "\nPress a key to continue ...\n",
                                   key);
  report.write(report.user, text, static_cast<std::size_t>(length));
  trace_text(kShownLevel, "A character appeared twice in the left column");
}

void report_not_found(ReportHook report, unsigned char internal) {
  char text[kReportSize];
  const int length = std::snprintf(text, sizeof text,
                                   "The character %c in the right column of the keymap file is not\n"
                                   "in the internal keymap.  Please correct this.\n"
                                   "\nPress a key to continue ...\n",
                                   internal);
  report.write(report.user, text, static_cast<std::size_t>(length));
  trace_text(kShownLevel, "A character in the right column is not in the internal keymap.");
}

// tib_keys has one entry per 7-bit code; a key beyond it would index past the table.
void report_not_seven_bit(ReportHook report, unsigned char key) {
  char text[kReportSize];
  const int length = std::snprintf(text, sizeof text,
                                   "The character with code %d in the left column of the keymap file\n"
                                   "is not a 7-bit character.  Please correct this.\n",
                                   key);
  report.write(report.user, text, static_cast<std::size_t>(length));
  trace_text(kShownLevel, "A character in the left column is not a 7-bit character.");
}

template <int Forms, class In>
int load_lines(In& in, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
               TableProblem* problem, ReportHook report) {
  char why[128];
  const auto fail = [&] {
    if (problem) problem->why = why;
    return -1;
  };
  bool listed[128] = {};
  char line[kKeymapLineSize];
  // The keymap ends at the first line of two characters or fewer, newline included.
  while (Get_line(line, kKeymapLineSize, &in) > 2) {
    const auto key = static_cast<unsigned char>(line[0]);
    const auto internal = static_cast<unsigned char>(line[2]);
    if (key >= 128) {
      report_not_seven_bit(report, key);
      std::snprintf(why, sizeof why, "the key with code %d is not a 7-bit character", key);
      return fail();
    }
    if (listed[key]) {
      report_duplicate(report, key);
      std::snprintf(why, sizeof why, "key %c appears twice in the left column", key);
      return fail();
    }
    listed[key] = true;
    tib_keys[key].ch = static_cast<char>(internal);
    int found = -1;
    for (int i = 0; i < table_size && found < 0; ++i)
      if (static_cast<unsigned char>(tib_chars[i].string[0]) == internal && internal != 0) found = i;
    if (found < 0) {
      report_not_found(report, internal);
      std::snprintf(why, sizeof why, "character %c of the right column begins no keyfont entry", internal);
      return fail();
    }
    tib_keys[key].index = found;
  }
  return 0;
}

}  // namespace

void write_to_standard_error(void*, const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stderr);
}

template <int Forms>
int load_keymap(const char* path, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem, ReportHook report) {
  Stream in = Stream::open_read(path, Stream::Mode::text);
  int result = -1;
  if (in.is_open()) {
    result = load_lines(in, tib_keys, tib_chars, table_size, problem, report);
  } else {
    if (problem) problem->why = std::strerror(errno);
    trace_text(kSilentLevel, "Could not open keymap file.");
  }
  if (problem && result < 0) problem->path = path;
  return result;
}

template <int Forms>
int load_keymap(Stream& in, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem, ReportHook report) {
  return load_lines(in, tib_keys, tib_chars, table_size, problem, report);
}

template <int Forms>
int load_keymap(TextBytes in, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem, ReportHook report) {
  return load_lines(in, tib_keys, tib_chars, table_size, problem, report);
}

#define TSD_KEYMAP_FORMS(Input, Forms) \
  template int load_keymap<Forms>(Input, TibKeys&, const TibChar<Forms>*, int, TableProblem*, ReportHook);
TSD_KEYMAP_FORMS(const char*, kConverterForms)
TSD_KEYMAP_FORMS(const char*, kAddinForms)
TSD_KEYMAP_FORMS(Stream&, kConverterForms)
TSD_KEYMAP_FORMS(Stream&, kAddinForms)
TSD_KEYMAP_FORMS(TextBytes, kConverterForms)
TSD_KEYMAP_FORMS(TextBytes, kAddinForms)
#undef TSD_KEYMAP_FORMS

}  // namespace tsd
