#include "keymap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check.h"
#include "trace.h"

namespace tsd {
namespace {

// Short texts shown by the add-in's trace sink after the standard-error report.
constexpr int kShownLevel = -1;
constexpr int kSilentLevel = 1;

void report_duplicate(unsigned char key) {
  std::fprintf(stderr, "The character %c has appeared at least twice in the left column\n", key);
  std::fputs("of the keymap file.  This is incorrect.  Please make sure that there\n", stderr);
  std::fputs("are no repeat characters in the left column of the keymap file.\n", stderr);
  std::fputs("\nPress a key to continue ...\n", stderr);
  trace_text(kShownLevel, "A character appeared twice in the left column");
}

void report_not_found(unsigned char internal) {
  std::fprintf(stderr, "The character %c in the right column of the keymap file is not\n", internal);
  std::fputs("in the internal keymap.  Please correct this.\n", stderr);
  std::fputs("\nPress a key to continue ...\n", stderr);
  trace_text(kShownLevel, "A character in the right column is not in the internal keymap.");
}

// tib_keys has one entry per 7-bit code; a key beyond it would index past the table.
void report_not_seven_bit(unsigned char key) {
  std::fprintf(stderr, "The character with code %d in the left column of the keymap file\n", key);
  std::fputs("is not a 7-bit character.  Please correct this.\n", stderr);
  trace_text(kShownLevel, "A character in the left column is not a 7-bit character.");
}

}  // namespace

int Get_line(char* line, int size, Stream* fp) {
  TSD_CHECK(line != NULL, "Get_line");
  TSD_CHECK(fp != NULL, "Get_line");
  int count = 0;
  while (count < size - 1) {
    const int c = fp->get();
    if (c == Stream::end) break;
    line[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (size > 0) line[count] = '\0';
  return count;
}

template <int Forms>
int load_keymap(const char* path, TibKeys& tib_keys, const TibChar<Forms>* tib_chars, int table_size,
                TableProblem* problem) {
  // Fills `problem` and gives the failure result.
  char why[128];
  const auto fail = [&](const char* text) {
    if (problem) {
      problem->path = path;
      problem->why = text;
    }
    return -1;
  };
  Stream in = Stream::open_read(path, Stream::Mode::text);
  if (!in.is_open()) {
    const char* reason = std::strerror(errno);
    trace_text(kSilentLevel, "Could not open keymap file.");
    return fail(reason);
  }
  bool listed[128] = {};
  char line[kKeymapLineSize];
  // The keymap ends at the first line of two characters or fewer, newline included.
  while (Get_line(line, kKeymapLineSize, &in) > 2) {
    const auto key = static_cast<unsigned char>(line[0]);
    const auto internal = static_cast<unsigned char>(line[2]);
    if (key >= 128) {
      report_not_seven_bit(key);
      std::snprintf(why, sizeof why, "the key with code %d is not a 7-bit character", key);
      return fail(why);
    }
    if (listed[key]) {
      report_duplicate(key);
      std::snprintf(why, sizeof why, "key %c appears twice in the left column", key);
      return fail(why);
    }
    listed[key] = true;
    tib_keys[key].ch = static_cast<char>(internal);
    int found = -1;
    for (int i = 0; i < table_size && found < 0; ++i)
      if (static_cast<unsigned char>(tib_chars[i].string[0]) == internal && internal != 0) found = i;
    if (found < 0) {
      report_not_found(internal);
      std::snprintf(why, sizeof why, "character %c of the right column begins no keyfont entry", internal);
      return fail(why);
    }
    tib_keys[key].index = found;
  }
  return 0;
}

template int load_keymap<kConverterForms>(const char*, TibKeys&, const TibChar<kConverterForms>*, int,
                                          TableProblem*);
template int load_keymap<kAddinForms>(const char*, TibKeys&, const TibChar<kAddinForms>*, int, TableProblem*);

}  // namespace tsd
