// Builds keyfont records as text, for tests that write their own small tables.
#pragma once

#include <array>
#include <string>
#include <utility>

namespace tsd::testing {

struct Form {
  int font;
  int code;
};

// One entry: 18 forms and the unused 19th group. By default the base form is (0, code), the vowel signs
// sit in font 32 at 100 + vowel code, and forms 2, 16 and 17 repeat the code in fonts 2, 3 and 4.
struct Record {
  std::string name;
  std::array<Form, 18> forms;

  Record(std::string n, int code) : name(std::move(n)) {
    forms[0] = {0, code};
    for (int v = 1; v <= 15; ++v) forms[v] = {32, 100 + v};
    forms[2] = {2, code};
    forms[16] = {3, code};
    forms[17] = {4, code};
  }
  Record& with(int form, int font, int code) {
    forms[form] = {font, code};
    return *this;
  }
  std::string text() const {
    std::string out = name;
    for (int i = 0; i < 18; ++i) {
      if (i > 0) out.append(" form").append(std::to_string(i));
      out.append(" ").append(std::to_string(forms[i].font)).append(" ").append(std::to_string(forms[i].code));
      if (i == 8) out += "\n ";
    }
    return out + " last 0 0\n";
  }
};

}  // namespace tsd::testing
