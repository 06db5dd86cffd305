// A user's input file of any bytes through the driver for every conversion type that the fast path
// takes, once with the fast path and once through the passes alone: the same result, output bytes, status
// lines, warnings (each with its line and column, when a diagnostic sink takes them), counts and composer
// state left behind. The choices and sizes come from the first three bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "batch.h"
#include "convert_file.h"
#include "converter_tables.h"
#include "diagnostics.h"
#include "fast_path.h"
#include "fuzz_support.h"
#include "startup.h"
#include "status_capture.h"

using namespace tarvex;

namespace {

using namespace tsd;

void collect_warning(void* warnings, const Diagnostic& d) {
  static_cast<std::vector<std::string>*>(warnings)->push_back(
      std::to_string(static_cast<int>(d.kind)) + " " + std::to_string(d.line) + ":" + std::to_string(d.column) +
      " " + std::to_string(d.count) + " " + (d.text ? d.text : ""));
}

// What one conversion leaves for the user to see.
struct Outcome {
  int result = 0;
  std::string output;
  std::vector<std::string> status;
  std::vector<std::string> warnings;
  ConversionReport report;
  SyllableState composer;
};

Outcome convert_once(const std::string& input, const ConversionRequest& request, bool fast, bool warnings) {
  const std::string output = fuzz::folder().file("output");
  std::filesystem::remove(output);
  ConversionContext context = make_context(fuzz::converter_tables());
  context.fast_path = fast;
  Outcome o;
  {
    fuzz::StatusLines status(context);
    if (warnings) context.diagnostics = DiagnosticSink{collect_warning, &o.warnings};
    o.result = convert_file_until(context, input.c_str(), output.c_str(), request, Stage::complete, &o.report);
    o.status = status.lines;
  }
  o.composer = context.composer;
  if (std::filesystem::exists(output)) {
    Stream written = Stream::open_read(output.c_str(), Stream::Mode::binary);
    o.output = fuzz::contents(written);
  }
  return o;
}

void agree(const std::string& input, const ConversionRequest& request, bool warnings) {
  const Outcome fast = convert_once(input, request, true, warnings);
  const Outcome passes = convert_once(input, request, false, warnings);
  fuzz::require(fast.result == passes.result, "the same result");
  fuzz::require(fast.output == passes.output, "the same output bytes");
  fuzz::require(fast.status == passes.status, "the same status lines");
  fuzz::require(fast.warnings == passes.warnings, "the same warnings in the same places");
  fuzz::require(fast.report.counted == passes.report.counted && fast.report.syllables == passes.report.syllables &&
                    fast.report.not_converted == passes.report.not_converted,
                "the same counts");
  fuzz::require(fast.composer.key_history == passes.composer.key_history &&
                    fast.composer.keys_remembered == passes.composer.keys_remembered &&
                    fast.composer.depth == passes.composer.depth,
                "the same composer state");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<int> types = [] {
    std::vector<int> taken;
    for (int type = 0; type < 64; ++type)
      if (fast_path_takes(type)) taken.push_back(type);
    if (taken.empty()) fuzz::fail("the fast path takes some conversion types");
    return taken;
  }();
  if (size < 3) return 0;
  const unsigned choice = data[1];
  BatchChoices choices;
  choices.keep_cr = (choice & 1) != 0;
  choices.font_family = (choice & 2) != 0 ? kKorlam : kEkorlam;
  const int tib_size = 8 + data[2] % 92;
  choices.tib_size_text = std::to_string(tib_size);
  choices.small_tib_size_text = std::to_string(8 + data[2] / 92 * (tib_size - 8) / 2);
  ConversionRequest request = fuzz::request_for(choices);
  request.check_syllables = (choice >> 2) & 1;
  // Without a diagnostic sink the fast path places no problems, and takes words that it writes as text.
  const bool warnings = ((choice >> 3) & 1) == 0;
  const std::string input = fuzz::write_file("input.txt", data + 3, size - 3);
  // The first byte chooses one type, or with its top bit every type in turn.
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (data[0] < 128 && i != data[0] % types.size()) continue;
    request.conversion_type = types[i];
    agree(input, request, warnings);
  }
  return 0;
}
