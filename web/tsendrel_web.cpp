// The engine's entry for the browser and Node (tsendrel.mjs): the route table, and one conversion of a
// file that the caller wrote into the in-memory file system, through the same batch loop as tarvex-cli's
// "tarvex-cli NAME", so that the output's bytes and name, the status lines, the warnings and the summary
// line are the command line's. Results go back as JSON, which the module parses.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "conversion_context.h"
#include "diagnostics.h"
#include "option_rules.h"
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

// What one conversion told, in order, as tarvex-cli writes it to standard error (every warning shown):
// each line with its kind ("status", "warning" or "reason"), and a warning with its place.
struct Told {
  std::string lines;  // a JSON array's elements

  void add(std::string_view kind, std::string_view text, const Diagnostic* warning = nullptr) {
    if (!lines.empty()) lines += ',';
    lines += "{\"kind\":";
    add_json_string(lines, kind);
    lines += ",\"text\":";
    add_json_string(lines, text);
    if (warning) {
      lines += ",\"line\":" + std::to_string(warning->line) + ",\"col\":" + std::to_string(warning->column) +
               ",\"count\":" + std::to_string(warning->count) + ",\"message\":";
      add_json_string(lines, warning->text);
    }
    lines += '}';
  }
};

void tell_status(void* user, const char* text) {
  static_cast<Told*>(user)->add("status", text);
}

void tell_diagnostic(void* user, const Diagnostic& d) {
  Told& told = *static_cast<Told*>(user);
  if (d.kind == Diagnostic::Kind::reason) {
    told.add("reason", std::string("tarvex-cli: ") + d.path + ": " + d.text);
    return;
  }
  told.add("warning",
           std::string(d.path) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
               ": warning: " + d.text,
           &d);
}

void report_start(const char* message) {
  start_message += message;
}

}  // namespace

extern "C" {

// Loads the embedded tables: an empty text, or the start-up message.
EMSCRIPTEN_KEEPALIVE const char* tsendrel_start() {
  if (load_converter_tables(kTablesFolder, tables, report_start) == 0)
    start_message.clear();
  else if (start_message.empty())
    start_message = "The key tables did not load.";
  return start_message.c_str();
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
    const RouteOptions options = options_of(route);
    answer += std::string(",\"options\":{\"family\":") + (options.font_family ? "true" : "false") +
              ",\"sizes\":" + (options.sizes ? "true" : "false") +
              ",\"unicodeFont\":" + (options.unicode_font ? "true" : "false") +
              ",\"keepCr\":" + (options.keep_cr ? "true" : "false") + "}";
    answer += route.id == kDefaultRouteId ? ",\"default\":true}" : ",\"default\":false}";
  }
  answer += ']';
  return answer.c_str();
}

// The options of a conversion checked by the engine's option rules (null for a route part not given): the
// route's id, the family and the sizes, or the refusal in tarvex-cli's words.
EMSCRIPTEN_KEEPALIVE const char* tsendrel_options(const char* from, const char* to, const char* family,
                                                  const char* size, const char* small_size,
                                                  const char* unicode_font) {
  auto given = [](const char* text) { return text ? std::optional<std::string_view>(text) : std::nullopt; };
  std::string why;
  int normal = 0, small = 0;
  const Route* route = chosen_route(std::nullopt, given(from), given(to), why);
  const int chosen_family = route ? font_family_named(family, why) : kNoFamily;
  const bool valid = route && chosen_family != kNoFamily && point_size("--size", size, normal, why) == 0 &&
                     point_size("--small-size", small_size, small, why) == 0 &&
                     sizes_agree(normal, small, why) == 0 && unicode_font_named(unicode_font, why) == 0;
  answer = "{\"error\":";
  add_json_string(answer, valid ? std::string_view() : std::string_view(why));
  if (valid)
    answer += ",\"route\":" + std::to_string(route->id) + ",\"family\":" + std::to_string(chosen_family) +
              ",\"size\":" + std::to_string(normal) + ",\"smallSize\":" + std::to_string(small);
  answer += '}';
  return answer.c_str();
}

// Converts NAME of the current folder as "tarvex-cli [options] NAME" does; the sizes are already checked
// as the command line checks them. The answer: the output's path (empty when none was written), the
// lines told, and the summary's counts.
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
  answer += ",\"lines\":[" + told.lines + "]";
  answer += ",\"counted\":" + std::string(result.counted ? "true" : "false") +
            ",\"syllables\":" + std::to_string(result.syllables) +
            ",\"notConverted\":" + std::to_string(result.not_converted) + "}";
  return answer.c_str();
}

}  // extern "C"
