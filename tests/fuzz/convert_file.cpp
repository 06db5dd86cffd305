// A user's input file of any bytes through the driver, for every conversion type that the driver knows
// (found at start), with the choices, the sizes and the stage taken from the first three bytes. A success
// leaves the output; a failure leaves no output (there was none before) and nothing else behind; an RTF
// output's groups nest and close; Wylie gives the same document as the KVTS it converts to; every warning
// lies inside the input.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "batch.h"
#include "convert_file.h"
#include "converter_tables.h"
#include "diagnostics.h"
#include "fuzz_support.h"
#include "routes.h"
#include "startup.h"
#include "status_capture.h"

using namespace tarvex;

namespace {

using namespace tsd;

// The input of the conversion running, for the diagnostic sink's checks, and whether it is read as a
// document (whose warnings are placed at a paragraph and a character of its text, not a line of its bytes).
std::string_view current_input;
bool current_is_document = false;

// Every warning is placed inside the user's input: on one of its lines, at most one column past the end
// of that line (where an unclosed passage ends), and says what it is about.
void check_diagnostic(void*, const Diagnostic& d) {
  if (d.kind != Diagnostic::Kind::warning) return;
  fuzz::require(d.text != nullptr && d.text[0] != '\0', "a warning says something");
  fuzz::require(d.line >= 1 && d.column >= 1, "a warning has a place");
  if (current_is_document) return;
  std::size_t start = 0;
  for (int line = 1; line < d.line; ++line) {
    const std::size_t end = current_input.find('\n', start);
    fuzz::require(end != std::string_view::npos, "a warning's line is a line of the input");
    start = end + 1;
  }
  std::size_t length = current_input.find('\n', start);
  length = (length == std::string_view::npos ? current_input.size() : length) - start;
  fuzz::require(static_cast<std::size_t>(d.column) <= length + 1, "a warning's column is on its line");
}

std::string file_bytes(const std::string& path) {
  Stream written = Stream::open_read(path.c_str(), Stream::Mode::binary);
  return fuzz::contents(written);
}

struct Type {
  int number;
  bool rtf;       // its complete output is an RTF document
  bool document;  // its input is a document in the Tsendrel fonts
};

// The conversion types of the driver: every number that it does not call unknown. Each must convert a
// line of plain syllables (the routes from documents, that line's Tsendrel RTF).
std::vector<Type> known_types() {
  const ConversionRequest base = fuzz::request_for({});
  ConversionContext context = make_context(fuzz::converter_tables());
  const std::string input = fuzz::folder().write("probe.txt", "ka kha ga\n");
  const std::string document = fuzz::folder().file("probe.rtf");
  const std::string output = fuzz::folder().file("probe.out");
  {
    fuzz::StatusLines status(context);
    if (convert_file(context, input.c_str(), document.c_str(), base) != 0)
      fuzz::fail("the default route writes the probe's Tsendrel RTF");
  }
  std::vector<Type> types;
  for (int type = 0; type < 64; ++type) {
    ConversionRequest r = base;
    r.conversion_type = type;
    const Route* route = route_by_id(type);
    const bool reads_documents = route && route->from == Scheme::tsendrel;
    fuzz::StatusLines status(context);
    const int result = convert_file(context, (reads_documents ? document : input).c_str(), output.c_str(), r);
    if (!status.lines.empty() && status.lines[0].rfind("Unknown conversion type", 0) == 0) continue;
    if (result != 0) {
      std::fprintf(stderr, "conversion type %d: %s\n", type,
                   status.lines.empty() ? "" : status.lines[0].c_str());
      fuzz::fail("every conversion type converts a line of plain syllables");
    }
    types.push_back({type, file_bytes(output).rfind("{\\rtf1", 0) == 0, reads_documents});
  }
  std::fprintf(stderr, "conversion types:");
  for (const Type& t : types) std::fprintf(stderr, " %d%s", t.number, t.rtf ? " (RTF)" : "");
  std::fprintf(stderr, "\n");
  std::filesystem::remove(input);
  std::filesystem::remove(document);
  std::filesystem::remove(output);
  if (types.size() < 4) fuzz::fail("the driver knows the four conversions");
  return types;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<Type> types = known_types();
  if (size < 3) return 0;
  const Type& type = types[data[0] % types.size()];
  const unsigned choice = data[1];
  BatchChoices choices;
  choices.keep_cr = (choice & 1) != 0;
  choices.font_family = (choice & 2) != 0 ? kKorlam : kEkorlam;
  const int tib_size = 8 + data[2] % 92;
  choices.tib_size_text = std::to_string(tib_size);
  choices.small_tib_size_text = std::to_string(8 + data[2] / 92 * (tib_size - 8) / 2);
  ConversionRequest request = fuzz::request_for(choices);
  request.conversion_type = type.number;
  request.check_syllables = (choice >> 2) & 1;
  const Stage stage = static_cast<Stage>((choice >> 3) & 3);

  const std::string input = fuzz::write_file("input.txt", data + 3, size - 3);
  const std::string output = fuzz::folder().file("output.rtf");
  std::filesystem::remove(output);
  ConversionContext context = make_context(fuzz::converter_tables());
  int result;
  {
    fuzz::StatusLines status(context);
    current_input = fuzz::text_of(data + 3, size - 3);
    current_is_document = type.document;
    context.diagnostics = DiagnosticSink{check_diagnostic, nullptr};
    ConversionReport report;
    result = convert_file_until(context, input.c_str(), output.c_str(), request, stage, &report);
    context.diagnostics = DiagnosticSink{};
    fuzz::require(result == 0 || !status.lines.empty(), "a failed conversion is logged");
    fuzz::require(report.not_converted >= 0 && report.not_converted <= report.syllables,
                  "at most every syllable is not converted");
  }
  fuzz::require(result == 0 || result == -1, "convert_file returns 0 or -1");
  int others = 0;
  for (const auto& entry : std::filesystem::directory_iterator(fuzz::folder().path()))
    if (entry.path() != input && entry.path() != output) ++others;
  fuzz::require(others == 0, "a conversion leaves nothing behind");
  fuzz::require(std::filesystem::exists(output) == (result == 0), "only a success leaves the output");
  if (result != 0 || stage != Stage::complete) return 0;
  const std::string bytes = file_bytes(output);
  if (type.rtf) {
    fuzz::require(bytes.rfind("{\\rtf1", 0) == 0, "an RTF output starts with its header");
    fuzz::require(fuzz::groups_balanced(bytes), "the RTF's groups nest and close");
  }
  if (type.number == route_id("wylie-rtf")) {
    // The same text by way of a KVTS file that the user converts in turn.
    const std::string kvts = fuzz::folder().file("kvts.txt");
    const std::string again = fuzz::folder().file("again.rtf");
    fuzz::StatusLines status(context);
    request.conversion_type = route_id("wylie-kvts");
    if (convert_file(context, input.c_str(), kvts.c_str(), request) == 0) {
      request.conversion_type = route_id("kvts-rtf");
      if (convert_file(context, kvts.c_str(), again.c_str(), request) == 0)
        fuzz::require(file_bytes(again) == bytes, "Wylie converts as the KVTS it is written as");
    }
    std::filesystem::remove(kvts);
    std::filesystem::remove(again);
  }
  return 0;
}
