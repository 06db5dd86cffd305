#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "script.h"

namespace {

struct ScriptCase {
  const char* script;
  int status;
  const char* errors;
};

// Plays `script` with no add-in behind the lookup; returns what was written to the error stream.
std::string play(const char* script, int& status) {
  wordhost::WordModel model;
  std::FILE* errors = std::tmpfile();
  std::istringstream in(script);
  status = wordhost::run_script(
      in, model, [](const char*) -> void* { return nullptr; }, errors);
  std::rewind(errors);
  std::string text;
  for (int c; (c = std::fgetc(errors)) != EOF;) text += static_cast<char>(c);
  std::fclose(errors);
  return text;
}

TEST(script, each_script_ends_with_its_status_and_message) {
  const ScriptCase cases[] = {
      // Lines that need no add-in come first; the add-in is started at the end all the same.
      {"reply Times\n# a comment\n\ncancel\n", 2, "wordhost: the library exports no wdAutoOpen\n"},
      {"# first\n  frobnicate now\n", 1, "wordhost: line 2: unknown command \"frobnicate\"\n"},
      {"reply x\r\noption 1 2\r\n", 1, "wordhost: line 2: expected option GROUP FIELD VALUE\n"},
      {"fail 0x807C 0\n", 1, "wordhost: line 1: expected fail ID [N]\n"},
      {"type ka\n", 2, "wordhost: the library exports no wdAutoOpen\n"},
  };
  for (const ScriptCase& c : cases) {
    int status = -1;
    EXPECT_EQ(play(c.script, status), c.errors) << c.script;
    EXPECT_EQ(status, c.status) << c.script;
  }
}

}  // namespace
