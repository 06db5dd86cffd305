// The engine's entry for the browser and Node (tsendrel.mjs): the route table, and one conversion of a
// file that the caller wrote into the in-memory file system, through the same batch loop as tarvex-cli's
// "tarvex-cli NAME", so that the output's bytes and name, the status lines, the warnings and the summary
// line are the command line's. Results go back as JSON, which the module parses.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "conversion_context.h"
#include "diagnostics.h"
#include "routes.h"
#include "startup.h"

using namespace tarvex;

namespace {

// Where the build embeds keyfont and keymap (--embed-file).
constexpr char kTablesFolder[] = "/tables";

ConverterTables tables;
std::string start_message;  // why the tables did not load
std::string answer;         // the JSON last handed out; valid until the next call

void add_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

// What one conversion told: its status lines in order (the warnings among them formatted as tarvex-cli
// formats them), and every warning with its place.
struct Told {
  std::string lines;     // a JSON array's elements
  std::string warnings;  // a JSON array's elements
  std::string reasons;   // the system's reasons for failures, "tarvex-cli: PATH: REASON" lines

  void line(std::string_view text) {
    if (!lines.empty()) lines += ',';
    add_json_string(lines, text);
  }
};

void tell_status(void* user, const char* text) {
  static_cast<Told*>(user)->line(text);
}

void tell_diagnostic(void* user, const Diagnostic& d) {
  Told& told = *static_cast<Told*>(user);
  if (d.kind == Diagnostic::Kind::reason) {
    told.reasons += std::string("tarvex-cli: ") + d.path + ": " + d.text + "\n";
    return;
  }
  if (!told.warnings.empty()) told.warnings += ',';
  told.warnings += "{\"line\":" + std::to_string(d.line) + ",\"col\":" + std::to_string(d.column) +
                   ",\"count\":" + std::to_string(d.count) + ",\"message\":";
  add_json_string(told.warnings, d.text);
  told.warnings += '}';
}

void report_start(const char* message) {
  start_message += message;
}

}  // namespace

extern "C" {

// Loads the embedded tables: 0, or -1 with the start-up message in the answer.
EMSCRIPTEN_KEEPALIVE int tsendrel_start() {
  answer.clear();
  if (load_converter_tables(kTablesFolder, tables, report_start) == 0) return 0;
  add_json_string(answer, start_message);
  return -1;
}

// Every route of the table, in its order, as a JSON array.
EMSCRIPTEN_KEEPALIVE const char* tsendrel_routes() {
  answer = "[";
  for (const Route& route : routes()) {
    if (answer.size() > 1) answer += ',';
    answer += "{\"id\":" + std::to_string(route.id) + ",\"name\":";
    add_json_string(answer, route.name);
    answer += ",\"from\":";
    add_json_string(answer, scheme_name(route.from));
    answer += ",\"to\":";
    add_json_string(answer, format_name(route.to));
    answer += ",\"description\":";
    add_json_string(answer, route.description);
    answer += ",\"caption\":";
    add_json_string(answer, route.caption);
    answer += ",\"extension\":";
    add_json_string(answer, route.extension);
    answer += route.id == kDefaultRouteId ? ",\"default\":true}" : ",\"default\":false}";
  }
  answer += ']';
  return answer.c_str();
}

// Converts NAME of the current folder as "tarvex-cli [options] NAME" does; the sizes are already checked
// as the command line checks them. The answer: the output's path (empty when none was written), the
// status lines, the warnings, the reasons and the counts.
EMSCRIPTEN_KEEPALIVE const char* tsendrel_convert(const char* name, int route_id, int family, int size,
                                                  int small_size, int keep_cr, const char* unicode_font) {
  Told told;
  ConversionContext context = make_context(tables);
  context.status = StatusSink{tell_status, &told};
  context.diagnostics = DiagnosticSink{tell_diagnostic, &told};

  BatchChoices choices;
  choices.conversion_type = route_id;
  choices.font_family = family;
  choices.tib_size_text = std::to_string(size);
  choices.small_tib_size_text = std::to_string(small_size);
  choices.keep_cr = keep_cr != 0;
  choices.unicode_font = unicode_font;
  ConversionRequest request;
  fill_request(request, choices, context);

  const std::vector<SelectedFile> files{{".", name}};
  const BatchResult result = convert_selected_files(context, request, files);
  const bool written = result.converted == 1;

  answer = "{\"output\":";
  add_json_string(answer, written ? main_output_path(".", name, route_id) : std::string());
  answer += ",\"lines\":[" + told.lines + "],\"warnings\":[" + told.warnings + "],\"reasons\":";
  add_json_string(answer, told.reasons);
  answer += ",\"counted\":" + std::string(result.counted ? "true" : "false") +
            ",\"syllables\":" + std::to_string(result.syllables) +
            ",\"notConverted\":" + std::to_string(result.not_converted) + "}";
  return answer.c_str();
}

}  // extern "C"
