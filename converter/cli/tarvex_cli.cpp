// tarvex-cli: converts Wylie and KVTS text files as the converter's windows do, from the command line.
// Reads the files named (or standard input), writes each output beside its input (or where -o says) and
// every status line to standard error.
#include <getopt.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "batch.h"
#include "conversion_context.h"
#include "diagnostics.h"
#include "option_rules.h"
#include "platform/data_folder.h"
#include "platform/path.h"
#include "platform/stream.h"
#include "startup.h"
#include "text_input.h"

using namespace tarvex;

namespace {

namespace fs = std::filesystem;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr long kMaxJobs = 256;

// The help's start; the routes and the options after them follow (help_text).
constexpr char kHelpStart[] =
    R"(Usage: tarvex-cli [options] FILE...

Converts text files written in Wylie, KVTS or Extended Wylie (EWTS) transliteration, or in
Unicode Tibetan (UTF-8), into RTF documents set in the Tsendrel Tibetan fonts (Korlam or
Ekorlam), into Unicode Tibetan (UTF-8 text, or an RTF document set in a Unicode Tibetan font),
or converts Wylie text to KVTS and back.
All FILEs form one batch, as if selected together in the converter's main window.

Options:
  -t, --type FROM-TO  the conversion, a route from an input scheme to an output format:
)";

constexpr char kHelpRest[] =
    R"(      --from SCHEME   the input scheme of the route: SCHEMES
      --to FORMAT     the output format of the route: FORMATS
                      (--from and --to name the route FROM-TO; either alone takes the other
                      from the default route, and beside -t they must name its route)
  -f, --font F        Tibetan font family: ekorlam (default) or korlam
      --unicode-font NAME
                      the Unicode Tibetan font of a Unicode RTF, at most 63 characters
                      (default "Tibetan Machine Uni")
      --size N        normal Tibetan point size, a whole number from 8 to 99 (default 28)
      --small-size N  small Tibetan point size for (parenthesised) text, a whole number
                      from 8 to 99 and not above the normal size (default 24)
      --keep-cr       keep carriage returns: every line end stays a line end (for lists
                      such as glossaries); otherwise single line ends join lines and a
                      blank line starts a new paragraph
  -d, --data-dir DIR  folder holding keyfont and keymap (default: the current directory
                      if it holds keyfont, else the installed tables in ../share/tsendrel
                      from the folder of the tarvex-cli program)
  -o, --output PATH   output file; only with one FILE. "-" writes to standard output
  -r, --recursive PATTERN
                      treat each FILE as a folder and convert every file in it and in
                      every folder below it whose name matches PATTERN (* and ?, letters
                      in either case, "*.*" matches every name), as the wild-card window does
  -j, --jobs N        convert the files of a batch on N threads (default: one for each
                      core); outputs and status lines are the same as with -j 1, each
                      file's lines together and in batch order
  -q, --quiet         no warnings, only the status lines and each file's summary
      --max-warnings N
                      show at most N warnings per file (default 20), then how many more
      --stage S       with -o and a conversion to Tsendrel or Unicode: stop after a stage
                      and write its bytes unchanged: kvts (the Wylie pre-pass, a route
                      from Wylie only), syllables (composer key strings) or glyphs (glyph
                      codes of the Tsendrel RTF; for a Unicode RTF, the UTF-8 with its
                      passage markers)
  -h, --help          show this text
      --version       show the version

A value may follow its option as the next argument, attached (-tkvts-rtf) or after "="
(--type=kvts-rtf); a long option may be shortened while it stays unambiguous (--keep).

FILE "-" reads standard input and "-o -" writes standard output, straight through; the
checks of a file apply (a non-text start is refused before anything is written, a failed
write is reported). "-" must be the only FILE, and its output goes to standard output
unless -o names a file. A failed conversion to standard output may have written part of
its output.

Output names: without -o, each output is written beside its input, named as the main
window names it: a three-letter extension is replaced by "rtf" (notes.txt gives
notes.rtf, notes gives notes.rtf, notes.html gives notes.html.rtf); the plain-text
conversions are named the same way, and Unicode text gets ".bo.txt" instead of ".rtf"
(notes.txt and notes give notes.bo.txt). With -r, outputs are named as the wild-card window
names them. An input whose output name would be the input itself (notes.rtf) is refused.

Every status line goes to standard error exactly as the converter's status window shows
it: "Input file path: ...", "Output file path: ...", the problems of each file, and
"N file(s) processed" at the end. A path of 260 characters or more is skipped. A conversion
to Tsendrel also gives each problem of its input a warning with its place, in the Wylie
for Wylie input: "notes.txt:3:4: warning: cannot convert syllable "b+ha"" (syllables
written as "[~...]" markers, bytes dropped, brackets, braces and parentheses left open),
then one summary line per file: "notes.txt: 1,204 syllables, 3 not converted".

Exit status: 0 when every file converted; 1 when any file failed or was skipped, or
when --help or --version could not be written; 2 for bad usage (a size out of range
included), or when keyfont or keymap does not load.
)";

// What the command line shows of a conversion: every status line, and the warnings of the file being
// converted, at most `limit` of them, then how many more there were.
struct Shown {
  bool quiet = false;
  long limit = 20;
  std::string path;  // the file whose warnings are counted
  long long count = 0;
};

void print_hidden_warnings(Shown& shown) {
  if (shown.count > shown.limit && !shown.quiet)
    std::fprintf(stderr, "%s: %lld more warnings not shown\n", shown.path.c_str(), shown.count - shown.limit);
  shown.count = 0;
}

void print_line(void* user, const char* line) {
  print_hidden_warnings(*static_cast<Shown*>(user));
  std::fputs(line, stderr);
  std::fputc('\n', stderr);
}

void report_startup(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
}

// The reason for a failure, after the status lines that report it, in the form of the system's tools.
void print_diagnostic(void* user, const Diagnostic& d) {
  Shown& shown = *static_cast<Shown*>(user);
  if (d.kind == Diagnostic::Kind::reason) {
    std::fprintf(stderr, "tarvex-cli: %s: %s\n", d.path, d.text);
    return;
  }
  if (d.path != shown.path) {
    print_hidden_warnings(shown);
    shown.path = d.path;
  }
  // A warning that stands for many counts as many.
  const bool within = shown.count < shown.limit;
  shown.count += d.count;
  if (within && !shown.quiet) std::fprintf(stderr, "%s:%d:%d: warning: %s\n", d.path, d.line, d.column, d.text);
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tarvex-cli: %s\nTry 'tarvex-cli --help' for more information.\n", message.c_str());
  return kExitUsage;
}

// "a, b or c".
std::string listed(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
  return text;
}

// The help, its list of routes and its schemes and formats read from the route table.
std::string help_text() {
  std::size_t width = 0;
  std::vector<std::string_view> schemes, formats;
  for (const Route& route : routes()) {
    width = std::max(width, route.name.size());
    if (std::ranges::find(schemes, scheme_name(route.from)) == schemes.end())
      schemes.push_back(scheme_name(route.from));
    if (std::ranges::find(formats, format_name(route.to)) == formats.end())
      formats.push_back(format_name(route.to));
  }
  std::string text = kHelpStart;
  for (const Route& route : routes()) {
    text += std::string(24, ' ') + std::string(route.name) + std::string(width + 2 - route.name.size(), ' ') +
            std::string(route.description) + (route.id == kDefaultRouteId ? " (default)\n" : "\n");
  }
  std::string rest = kHelpRest;
  rest.replace(rest.find("SCHEMES"), 7, listed(schemes));
  rest.replace(rest.find("FORMATS"), 7, listed(formats));
  return text + rest;
}

// The names of --stage, for the stages a route can stop after.
constexpr std::pair<std::string_view, Stage> kStageNames[] = {
    {"kvts", Stage::pre_pass}, {"syllables", Stage::syllables}, {"glyphs", Stage::glyphs}};

struct Options {
  BatchChoices choices;
  std::optional<std::string> type;  // -t, --from and --to as given
  std::optional<std::string> from;
  std::optional<std::string> to;
  Shown shown;
  int jobs = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  std::optional<std::string> data_dir;
  std::optional<std::string> output;
  std::optional<std::string> pattern;
  Stage stage = Stage::complete;
  bool stage_given = false;
  std::vector<std::string> files;
};

// Ends help and version: their output must have reached standard output.
int printed(int status) {
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? status : kExitFailed;
}

enum LongOnly { kSize = 256, kSmallSize, kKeepCr, kStage, kVersion, kMaxWarnings, kUnicodeFont, kFrom, kTo };

constexpr option kOptions[] = {
    {"type", required_argument, nullptr, 't'},
    {"from", required_argument, nullptr, kFrom},
    {"to", required_argument, nullptr, kTo},
    {"font", required_argument, nullptr, 'f'},
    {"size", required_argument, nullptr, kSize},
    {"small-size", required_argument, nullptr, kSmallSize},
    {"keep-cr", no_argument, nullptr, kKeepCr},
    {"data-dir", required_argument, nullptr, 'd'},
    {"output", required_argument, nullptr, 'o'},
    {"recursive", required_argument, nullptr, 'r'},
    {"stage", required_argument, nullptr, kStage},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"quiet", no_argument, nullptr, 'q'},
    {"max-warnings", required_argument, nullptr, kMaxWarnings},
    {"unicode-font", required_argument, nullptr, kUnicodeFont},
    {"jobs", required_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0},
};

// Why --stage cannot stop `route` after `stage`, or nothing when it can.
std::optional<std::string> stage_refused(const Route& route, Stage stage) {
  if (stops_at(route, stage)) return std::nullopt;
  std::vector<std::string_view> stages;
  for (const auto& [name, each] : kStageNames)
    if (stops_at(route, each)) stages.push_back(name);
  for (const auto& [name, each] : kStageNames)
    if (each == stage)
      return "--stage " + std::string(name) + " is no stage of " + std::string(route.name) +
             (stages.empty() ? ", which has none" : ", whose stages are " + listed(stages));
  return std::nullopt;
}

// Parses the arguments; returns an exit status when the program ends here (help, version, bad usage).
std::optional<int> parse(int argc, char** argv, Options& options) {
  int tib_size = kDefaultTibSize, small_size = kDefaultSmallTibSize;
  opterr = 0;  // the messages below name the option as the user wrote it
  for (int c; (c = getopt_long(argc, argv, ":t:f:d:o:r:j:hq", kOptions, nullptr)) != -1;) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 'h':
        std::fputs(help_text().c_str(), stdout);
        return printed(kExitConverted);
      case kVersion:
        std::printf("tarvex-cli %s\n", TSENDREL_VERSION);
        return printed(kExitConverted);
      case kKeepCr:
        options.choices.keep_cr = true;
        break;
      case 'q':
        options.shown.quiet = true;
        break;
      case kMaxWarnings: {
        long n = 0;
        if (!tsd::parse_whole_number(value, LONG_MAX, n))
          return usage_error("--max-warnings needs a whole number, not '" + value + "'");
        options.shown.limit = n;
        break;
      }
      case 'j': {
        long n = 0;
        if (!tsd::parse_whole_number(value, LONG_MAX, n) || n < 1 || n > kMaxJobs)
          return usage_error("-j needs a whole number from 1 to " + std::to_string(kMaxJobs) + ", not '" +
                             value + "'");
        options.jobs = static_cast<int>(n);
        break;
      }
      case 't':
        options.type = value;
        break;
      case kFrom:
        options.from = value;
        break;
      case kTo:
        options.to = value;
        break;
      case 'f':
      {
        std::string why;
        options.choices.font_family = font_family_named(value, why);
        if (options.choices.font_family == kNoFamily) return usage_error(why);
        break;
      }
      case kSize:
      case kSmallSize: {
        const bool normal = c == kSize;
        std::string why;
        if (point_size(normal ? "--size" : "--small-size", value, normal ? tib_size : small_size, why) != 0)
          return usage_error(why);
        (normal ? options.choices.tib_size_text : options.choices.small_tib_size_text) = value;
        break;
      }
      case kUnicodeFont: {
        std::string why;
        if (unicode_font_named(value, why) != 0) return usage_error(why);
        options.choices.unicode_font = value;
        break;
      }
      case 'd':
        options.data_dir = value;
        break;
      case 'o':
        options.output = value;
        break;
      case 'r':
        options.pattern = value;
        break;
      case kStage: {
        const auto named = std::ranges::find(kStageNames, value, &std::pair<std::string_view, Stage>::first);
        if (named == std::end(kStageNames)) {
          std::vector<std::string_view> names;
          for (const auto& [name, stage] : kStageNames) names.push_back(name);
          return usage_error("unknown stage '" + value + "'; the stages are " + listed(names));
        }
        options.stage = named->second;
        options.stage_given = true;
        break;
      }
      case ':':
        return usage_error("option '" + std::string(argv[optind - 1]) + "' needs a value");
      default:
        if (optopt != 0)
          return usage_error(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
        return usage_error("unknown or ambiguous option '" + std::string(argv[optind - 1]) + "'");
    }
  }
  for (int i = optind; i < argc; ++i) options.files.emplace_back(argv[i]);
  std::string why;
  if (sizes_agree(tib_size, small_size, why) != 0) return usage_error(why);
  const Route* route = chosen_route(options.type, options.from, options.to, why);
  if (!route) return usage_error(why);
  options.choices.conversion_type = route->id;
  if (options.files.empty()) return usage_error("no input FILE given");
  const bool reads_stdin = std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
  if (reads_stdin && options.files.size() > 1)
    return usage_error("\"-\" (standard input) must be the only FILE");
  if (options.output && options.files.size() > 1) return usage_error("-o needs exactly one FILE");
  if (options.pattern && options.output) return usage_error("-o cannot be used with -r");
  if (options.pattern && reads_stdin) return usage_error("-r needs folders, not standard input");
  if (options.pattern) {
    for (const std::string& folder : options.files) {
      std::error_code error;
      if (!fs::is_directory(folder, error))
        return usage_error("-r needs folders: '" + folder + "' is not one");
    }
  }
  if (options.stage_given) {
    if (!options.output && !reads_stdin) return usage_error("--stage needs -o");
    if (const auto refused = stage_refused(*route, options.stage)) return usage_error(*refused);
  }
  return std::nullopt;
}

std::string data_folder(const Options& options) {
  return options.data_dir ? *options.data_dir : tsd::default_data_folder();
}

// The folder and name of a FILE as the main window would hold them.
SelectedFile selected(const std::string& file) {
  const std::size_t cut = file.find_last_of(tsd::path_separator);
  if (cut == std::string::npos) return {".", file};
  return {file.substr(0, cut), file.substr(cut + 1)};
}

int exit_status(const BatchResult& result) {
  return result.converted == result.processed ? kExitConverted : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  // What the program prints and reads is the same bytes on every platform.
  tsd::binary_stdio();
  Options options;
  if (const auto done = parse(argc, argv, options)) return *done;

  const std::string data = data_folder(options);
  ConverterTables tables;
  tsd::TableProblem problem;
  if (load_converter_tables(data.c_str(), tables, report_startup, &problem) != 0) {
    if (!problem.path.empty())
      std::fprintf(stderr, "tarvex-cli: %s: %s\n", problem.path.c_str(), problem.why.c_str());
    return kExitUsage;
  }
  ConversionContext context = make_context(tables);
  context.status = StatusSink{print_line, &options.shown};
  // With -q no warning is shown, so none is placed: the input is not read again for them.
  context.diagnostics = DiagnosticSink{print_diagnostic, &options.shown, !options.shown.quiet};

  ConversionRequest request;
  fill_request(request, options.choices, context);

  if (options.pattern) {
    std::vector<std::string> found;
    for (const std::string& folder : options.files) search_files(folder, *options.pattern, found);
    return exit_status(convert_found_files(context, request, found, {}, options.jobs));
  }

  const bool reads_stdin = options.files.front() == "-";
  const bool to_stdout = options.output ? *options.output == "-" : reads_stdin;
  if (!reads_stdin && !options.output) {
    std::vector<SelectedFile> files;
    for (const std::string& file : options.files) files.push_back(selected(file));
    return exit_status(convert_selected_files(context, request, files, options.jobs));
  }

  // Standard input and output are converted straight through; the bytes of standard input are kept for
  // placing its warnings and for reading it again where the fast path declines (with -q, nothing is kept
  // and the passes convert it).
  tsd::Stream standard_input, standard_output;
  std::string kept;
  Endpoint input{options.files.front().c_str()};
  if (reads_stdin) {
    standard_input = tsd::Stream::adopt(stdin, tsd::Stream::Mode::text, false);
    if (!options.shown.quiet) standard_input.keep_bytes_read(&kept);
    input = Endpoint{nullptr, &standard_input, "<stdin>", options.shown.quiet ? nullptr : &kept};
  }
  Endpoint output{to_stdout ? nullptr : options.output->c_str()};
  if (to_stdout) {
    standard_output = tsd::Stream::adopt(stdout, output_mode(request, options.stage), false);
    output = Endpoint{nullptr, &standard_output, "<stdout>"};
  }
  return exit_status(convert_to_output(context, request, input, output, options.stage));
}
