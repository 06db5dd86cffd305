// tsendrel._engine: the conversion engine for Python. A conversion runs on its own context over the tables
// loaded once at import, without the GIL, so that threads convert side by side; its options are checked by
// the engine's option rules (a refusal raises ValueError with their words), and what it tells comes back as
// records that tsendrel/__init__.py turns into its types. Adds no rule of conversion of its own.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "batch.h"
#include "conversion_context.h"
#include "convert_file.h"
#include "diagnostics.h"
#include "option_rules.h"
#include "platform/path.h"
#include "routes.h"
#include "startup.h"
#include "text_output.h"

namespace py = pybind11;
using namespace tarvex;

namespace {

ConverterTables tables;
std::mutex start_lock;
std::string start_message;

// What a conversion told: its status lines, and its warnings and reasons with their places.
struct Told {
  // path, line, column, message, count
  std::vector<std::tuple<std::string, int, int, std::string, std::int64_t>> warnings;
  std::vector<std::string> lines;
};

void tell_status(void* user, const char* text) {
  static_cast<Told*>(user)->lines.emplace_back(text);
}

void tell_diagnostic(void* user, const Diagnostic& d) {
  static_cast<Told*>(user)->warnings.emplace_back(d.path ? d.path : "", d.line, d.column, d.text, d.count);
}

void report_start(const char* message) {
  start_message += message;
}

void start(const std::string& folder) {
  const std::lock_guard lock(start_lock);
  if (tables.loaded) return;
  tsd::TableProblem problem;
  if (load_converter_tables(folder.c_str(), tables, report_start, &problem) != 0) {
    std::string why = start_message.empty() ? "the key tables did not load" : start_message;
    if (!problem.path.empty()) why = problem.path + ": " + problem.why;
    throw std::runtime_error(why);
  }
}

// The request of a route and options, checked by the option rules: ValueError with their words.
struct Checked {
  const Route* route;
  ConversionRequest request;
};

Checked checked(std::string_view from, std::string_view to, bool keep_cr, std::string_view font,
                std::string_view size, std::string_view small_size, std::optional<std::string_view> unicode_font) {
  if (!tables.loaded) throw std::runtime_error("tsendrel: the key tables are not loaded");
  std::string why;
  const Route* route = chosen_route(std::nullopt, from, to, why);
  int normal = 0, small = 0;
  BatchChoices choices;
  if (route) choices.font_family = font_family_named(font, why);
  const bool valid = route && choices.font_family != kNoFamily &&
                     point_size("--size", size, normal, why) == 0 &&
                     point_size("--small-size", small_size, small, why) == 0 &&
                     sizes_agree(normal, small, why) == 0 &&
                     (!unicode_font || unicode_font_named(*unicode_font, why) == 0);
  if (!valid) throw py::value_error(why);
  choices.conversion_type = route->id;
  choices.keep_cr = keep_cr;
  choices.tib_size_text = std::string(size);
  choices.small_tib_size_text = std::string(small_size);
  if (unicode_font) choices.unicode_font = std::string(*unicode_font);
  Checked result{route, {}};
  ConversionContext context = make_context(tables);
  fill_request(result.request, choices, context);
  return result;
}

ConversionContext context_telling(Told& told) {
  ConversionContext context = make_context(tables);
  context.status = StatusSink{tell_status, &told};
  context.diagnostics = DiagnosticSink{tell_diagnostic, &told};
  return context;
}

bool writes_text(const Route& route) {
  return route.to != Format::rtf && route.to != Format::unicode_rtf;
}

// The bytes of `data`: a str as UTF-8, or any object with a buffer of bytes. A str with lone surrogates
// (bytes that were not UTF-8, read with surrogate escapes) goes in as those bytes, or as the surrogates'
// own three bytes, which the readers replace: the input is the engine's to judge, never refused here.
struct InputBytes {
  const char* data = nullptr;
  std::size_t size = 0;
  py::buffer_info buffer;  // holds a buffer's export while it is read
  py::object encoded;      // holds the bytes of a str that is not plain UTF-8
};

InputBytes input_bytes(const py::handle& data) {
  InputBytes in;
  if (PyUnicode_Check(data.ptr())) {
    Py_ssize_t n = 0;
    in.data = PyUnicode_AsUTF8AndSize(data.ptr(), &n);
    if (!in.data) {
      PyErr_Clear();
      PyObject* bytes = PyUnicode_AsEncodedString(data.ptr(), "utf-8", "surrogateescape");
      if (!bytes) {
        PyErr_Clear();
        bytes = PyUnicode_AsEncodedString(data.ptr(), "utf-8", "surrogatepass");
      }
      if (!bytes) throw py::error_already_set();
      in.encoded = py::reinterpret_steal<py::object>(bytes);
      in.data = PyBytes_AS_STRING(bytes);
      n = PyBytes_GET_SIZE(bytes);
    }
    in.size = static_cast<std::size_t>(n);
    return in;
  }
  if (!PyObject_CheckBuffer(data.ptr())) throw py::type_error("tsendrel: the input is str or bytes");
  in.buffer = py::reinterpret_borrow<py::buffer>(data).request();
  if (in.buffer.ndim > 1 || in.buffer.itemsize != 1) throw py::type_error("tsendrel: the input is str or bytes");
  in.data = static_cast<const char*>(in.buffer.ptr);
  in.size = static_cast<std::size_t>(in.buffer.size);
  return in;
}

// What a thread keeps from one conversion to the next: the input's bytes and the output, emptied, their
// memory kept. Fresh memory for each conversion cost a page fault for every 4 KB of them, a fifth of the
// time of the RTF routes; what a very large conversion took is given back.
struct ThreadBuffers {
  static constexpr std::size_t kKept = std::size_t{64} << 20;
  std::string input;
  tsd::Stream outputs[2] = {fresh(true), fresh(false)};  // text, then RTF

  // Text leaves with its line feeds as they are; an RTF document is written as its file is.
  static tsd::Stream fresh(bool text) {
    return tsd::Stream::memory(text ? tsd::Stream::Mode::binary : tsd::Stream::Mode::text);
  }
  tsd::Stream& output(bool text) {
    tsd::Stream& out = outputs[text ? 0 : 1];
    if (out.empty() != 0) out = fresh(text);
    return out;
  }
  // Once converted, before the output is made an object: a large input is not held beside it.
  void give_back_input() {
    if (input.capacity() > kKept) std::string().swap(input);
  }
  void give_back_output(bool text) {
    tsd::Stream& out = outputs[text ? 0 : 1];
    if (out.held().size() > kKept) out = fresh(text);
  }
};
thread_local ThreadBuffers buffers;

// The output's bytes as the result's output: str for text (invalid UTF-8 kept as surrogate escapes),
// else bytes.
py::object output_of(std::string_view bytes, bool text) {
  PyObject* made = text ? tsendrel_python::decoded_output(bytes)
                        : PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
  if (!made) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

py::list warnings_of(const Told& told, bool with_lines) {
  py::list out;
  if (with_lines)
    for (const std::string& line : told.lines) out.append(py::make_tuple("", 0, 0, line, 1));
  for (const auto& [path, line, column, text, count] : told.warnings)
    out.append(py::make_tuple(path, line, column, text, count));
  return out;
}

py::object counts(bool counted, std::int64_t n) {
  return counted ? py::object(py::int_(n)) : py::object(py::none());
}

// One conversion in memory: (ok, output, warnings, syllables, not_converted).
py::tuple convert_data(const py::handle& data, std::string_view from, std::string_view to, bool keep_cr,
                  std::string_view font, std::string_view size, std::string_view small_size,
                  std::optional<std::string_view> unicode_font, const std::string& name, bool tell_sloppy) {
  Checked choice = checked(from, to, keep_cr, font, size, small_size, unicode_font);
  choice.request.tell_sloppy = tell_sloppy ? 1 : 0;
  const InputBytes in = input_bytes(data);
  const bool text = writes_text(*choice.route);
  tsd::Stream& output = buffers.output(text);
  Told told;
  ConversionReport report;
  int result = -1;
  {
    py::gil_scoped_release release;
    // The bytes are kept, as standard input's are, so that the fast path may read them again and the
    // warnings are placed; the input stream reads them where they are.
    std::string& kept = buffers.input;
    kept.assign(in.data, in.size);
    const auto mode = choice.route->from == Scheme::tsendrel ? tsd::Stream::Mode::binary : tsd::Stream::Mode::text;
    tsd::Stream input = kept.empty() ? tsd::Stream::holding(kept, mode)
                                     : tsd::Stream::adopt(fmemopen(kept.data(), kept.size(), "r"), mode, true);
    ConversionContext context = context_telling(told);
    if (input.is_open() && output.is_open())
      result = tarvex::convert(context, choice.request, Endpoint{nullptr, &input, name.c_str(), &kept},
                               Endpoint{nullptr, &output, "<output>"}, Stage::complete, &report);
    else
      told.lines.emplace_back("Program could not open temporary file. Check for system problem.");
  }
  buffers.give_back_input();
  const bool ok = result == 0;
  const std::string_view bytes = output.held();
  if (ok && output.error()) throw std::runtime_error("tsendrel: the output was lost");
  py::object answer = py::make_tuple(ok, ok ? output_of(bytes, text) : py::none(), warnings_of(told, true),
                                     counts(ok && report.counted, report.syllables),
                                     counts(ok && report.counted, report.not_converted));
  buffers.give_back_output(text);
  return answer;
}

py::tuple batch_answer(const BatchResult& result, const Told& told) {
  return py::make_tuple(result.processed, result.converted, result.failed, result.skipped,
                        counts(result.counted > 0, result.syllables), counts(result.counted > 0, result.not_converted),
                        told.lines, warnings_of(told, false));
}

// One file into one named output, as tarvex-cli -o converts it.
py::tuple convert_one_file(const std::string& input, const std::string& output, std::string_view from,
                       std::string_view to, bool keep_cr, std::string_view font, std::string_view size,
                       std::string_view small_size, std::optional<std::string_view> unicode_font) {
  const Checked choice = checked(from, to, keep_cr, font, size, small_size, unicode_font);
  Told told;
  BatchResult result;
  {
    py::gil_scoped_release release;
    ConversionContext context = context_telling(told);
    result = convert_to_output(context, choice.request, input, output);
  }
  return batch_answer(result, told);
}

// The files of a batch as the main window holds them: folder and name.
std::vector<SelectedFile> selected_files(const std::vector<std::string>& paths) {
  std::vector<SelectedFile> files;
  for (const std::string& path : paths) {
    const std::size_t cut = path.find_last_of(tsd::path_separator);
    files.push_back(cut == std::string::npos ? SelectedFile{".", path}
                                             : SelectedFile{path.substr(0, cut), path.substr(cut + 1)});
  }
  return files;
}

// Files each into an output beside it, as "tarvex-cli FILE..." converts them, on `jobs` threads.
py::tuple convert_batch(const std::vector<std::string>& paths, std::string_view from, std::string_view to,
                        bool keep_cr, std::string_view font, std::string_view size, std::string_view small_size,
                        std::optional<std::string_view> unicode_font, int jobs) {
  const Checked choice = checked(from, to, keep_cr, font, size, small_size, unicode_font);
  if (jobs < 1) throw py::value_error("jobs must be 1 or more");
  const std::vector<SelectedFile> files = selected_files(paths);
  Told told;
  BatchResult result;
  {
    py::gil_scoped_release release;
    ConversionContext context = context_telling(told);
    result = convert_selected_files(context, choice.request, files, jobs);
  }
  return batch_answer(result, told);
}

// The output a file of `route` is given beside its input, as tarvex-cli names it.
std::string output_name(const std::string& path, std::string_view from, std::string_view to) {
  std::string why;
  const Route* route = chosen_route(std::nullopt, from, to, why);
  if (!route) throw py::value_error(why);
  return wildcard_output_path(path, route->id);
}

py::list route_list() {
  py::list out;
  for (const Route& route : routes()) {
    const RouteOptions options = options_of(route);
    py::dict reads;
    reads["font"] = options.font_family;
    reads["size"] = options.sizes;
    reads["small_size"] = options.sizes;
    reads["unicode_font"] = options.unicode_font;
    reads["keep_cr"] = options.keep_cr;
    out.append(py::make_tuple(route.id, std::string(route.name), std::string(scheme_name(route.from)),
                              std::string(format_name(route.to)), std::string(route.description),
                              std::string(route.caption), std::string(route.extension), writes_text(route),
                              route.id == kDefaultRouteId, reads));
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_engine, module) {
  module.doc() = "The Tsendrel conversion engine (use the tsendrel package, not this module).";
  module.def("start", &start, py::arg("data_dir"));
  module.def("routes", &route_list);
  module.def("convert", &convert_data, py::arg("data"), py::arg("frm"), py::arg("to"), py::arg("keep_cr"),
             py::arg("font"), py::arg("size"), py::arg("small_size"), py::arg("unicode_font"), py::arg("name"),
             py::arg("tell_sloppy") = false);
  module.def("convert_file", &convert_one_file, py::arg("input"), py::arg("output"), py::arg("frm"), py::arg("to"),
             py::arg("keep_cr"), py::arg("font"), py::arg("size"), py::arg("small_size"),
             py::arg("unicode_font"));
  module.def("convert_files", &convert_batch, py::arg("paths"), py::arg("frm"), py::arg("to"), py::arg("keep_cr"),
             py::arg("font"), py::arg("size"), py::arg("small_size"), py::arg("unicode_font"), py::arg("jobs"));
  module.def("output_name", &output_name, py::arg("path"), py::arg("frm"), py::arg("to"));
  module.attr("default_unicode_font") = std::string(kDefaultUnicodeFont);
}
