// Shared by the tests of the font-code pass, the RTF writer, the driver and the batch loops: the small key
// tables of tests/vectors/font_code_pass, a context on them, a filled request, captured status lines and
// the vector files.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "conversion_context.h"
#include "conversion_request.h"
#include "platform/stream.h"
#include "rtf_writer.h"
#include "support/escapes.h"
#include "support/temp_dir.h"
#include "translit_tables.h"

namespace h2test {

using namespace tarvex;

inline std::string vectors_dir(std::string_view pass) {
  return std::string(TSENDREL_SOURCE_DIR "/tests/vectors/") + std::string(pass);
}

// The small tables: each letter's base form is its capital in font 0, vowel signs sit in "vowa", and the
// stacks "gr", "sgr", "sk" are in font 4.
inline const ConverterKeyTables& test_key_tables() {
  static const ConverterKeyTables* tables = [] {
    auto* t = new ConverterKeyTables;
    const std::string dir = vectors_dir("font_code_pass");
    const int result =
        tsd::load_key_tables((dir + "/keyfont").c_str(), (dir + "/keymap").c_str(), *t, nullptr);
    EXPECT_EQ(result, 0) << "the test key tables did not load";
    return t;
  }();
  return *tables;
}

// The tables the programs ship with (data/), loaded once.
inline const ConverterKeyTables& bundled_key_tables() {
  static const ConverterKeyTables* tables = [] {
    auto* t = new ConverterKeyTables;
    const std::string data = TSENDREL_SOURCE_DIR "/data/";
    EXPECT_EQ(tsd::load_key_tables((data + "keyfont").c_str(), (data + "keymap").c_str(), *t, nullptr), 0);
    return t;
  }();
  return *tables;
}

inline const TranslitTables& test_translit_tables() {
  return built_translit_tables();
}

inline const FontEntry* test_fonts() {
  static FontEntry fonts[kRtfFontCount];
  static const int count = build_font_table(fonts);
  (void)count;
  return fonts;
}

inline ConversionRequest test_request(int type) {
  ConversionRequest r;
  r.conversion_type = type;
  r.font_base = kEkorlamBase;
  return r;
}

// A context on the small key tables, the transliteration tables and the RTF font table.
inline ConversionContext test_context() {
  ConversionContext context;
  context.key_tables = &test_key_tables();
  context.translit_tables = &test_translit_tables();
  context.rtf_fonts = test_fonts();
  context.font_count = kRtfFontCount;
  return context;
}

// Collects every status line logged to a context while it lives (or to its own sink, for a pass).
class StatusCapture {
 public:
  StatusCapture() = default;
  explicit StatusCapture(ConversionContext& context) : context_(&context), previous_(context.status) {
    context.status = sink();
  }
  ~StatusCapture() {
    if (context_) context_->status = previous_;
  }
  StatusCapture(const StatusCapture&) = delete;
  StatusCapture& operator=(const StatusCapture&) = delete;

  StatusSink sink() {
    return {[](void* capture, const char* line) {
              static_cast<StatusCapture*>(capture)->captured.emplace_back(line);
            },
            this};
  }
  std::vector<std::string> captured;

 private:
  ConversionContext* context_ = nullptr;
  StatusSink previous_;
};

using tsd::testing::escape;
using tsd::testing::unescape;

// One case of a vector file:
//   case: name
//   <option>: value      (any other key, e.g. keep_cr: 1)
//   input: bytes
//   output: bytes
//   status: line         (once per expected status line, in order)
// Values are escaped as unescape() reads them; "define NAME: value" makes @NAME@ stand for value in the
// lines below it. Lines starting with "#" and empty lines are ignored.
struct VectorCase {
  std::string file;
  int line = 0;
  std::string name;
  std::map<std::string, std::string> options;
  std::string input;
  std::string output;
  std::vector<std::string> status;

  int option(const std::string& key, int fallback) const {
    auto it = options.find(key);
    return it == options.end() ? fallback : std::stoi(it->second);
  }
};

inline void PrintTo(const VectorCase& c, std::ostream* os) {
  *os << c.file << ":" << c.line;
}

// A vector's test is named after the case, so that ctest shows what it checks.
inline std::string case_name(const ::testing::TestParamInfo<VectorCase>& info) { return info.param.name; }

inline std::vector<VectorCase> read_vectors(std::string_view pass) {
  std::vector<VectorCase> cases;
  std::map<std::string, std::string> defines;
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(vectors_dir(pass)))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& path : files) {
    const std::string text = tsd::testing::read_file(path.string());
    std::size_t start = 0;
    int line_number = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      ++line_number;
      if (line.empty() || line[0] == '#') continue;
      for (const auto& [name, value] : defines) {
        const std::string token = "@" + name + "@";
        for (std::size_t at; (at = line.find(token)) != std::string::npos;)
          line.replace(at, token.size(), value);
      }
      const std::size_t colon = line.find(": ");
      const std::string key = line.substr(0, colon == std::string::npos ? line.size() - 1 : colon);
      const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
      if (key.rfind("define ", 0) == 0) {
        defines[key.substr(7)] = value;
      } else if (key == "case") {
        cases.push_back(VectorCase{path.filename().string(), line_number, value, {}, {}, {}, {}});
      } else if (cases.empty()) {
        ADD_FAILURE() << path << ":" << line_number << ": a value before the first case";
      } else if (key == "input") {
        cases.back().input = unescape(value);
      } else if (key == "output") {
        cases.back().output = unescape(value);
      } else if (key == "status") {
        cases.back().status.push_back(unescape(value));
      } else {
        cases.back().options[key] = value;
      }
    }
  }
  return cases;
}

// A binary temporary stream holding `bytes`, positioned at its start.
inline tsd::Stream stream_with(std::string_view bytes) {
  tsd::Stream s = tsd::Stream::temporary();
  s.write(bytes);
  s.rewind();
  return s;
}

// Everything a binary stream holds, from its start.
inline std::string contents(tsd::Stream& s) {
  s.rewind();
  std::string out;
  for (int c; (c = s.get()) != tsd::Stream::end;) out += static_cast<char>(c);
  return out;
}

}  // namespace h2test
