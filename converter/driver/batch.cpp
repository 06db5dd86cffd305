#include "batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "diagnostics.h"
#include "platform/dir_search.h"
#include "platform/file_identity.h"
#include "platform/path.h"
#include "text_input.h"

namespace tarvex {

namespace {

constexpr int kMinSize = 8;
constexpr int kMaxSize = 99;
constexpr int kNameExtra = 6;  // the separator, ".rtf" and the NUL
constexpr int kPathExtra = 4;

void call(const std::function<void()>& hook) {
  if (hook) hook();
}

// A size field's number as scanf's "%d" reads it; false when there is none. Values beyond any sensible
// size are held at a bound so that doubling them stays in range.
bool parse_size(const std::string& text, int& value) {
  long n = 0;
  if (tsd::parse_decimal(text, INT_MAX / 4, n) == 0) return false;
  value = static_cast<int>(n);
  return true;
}

// One file of a batch, as planned before any file starts: its paths and the checks that keep a batch from
// writing over its own files. An output may be neither another input of the batch (its own input the driver
// refuses, in its own words) nor a file that an earlier conversion of the batch wrote. Files are compared
// by name and by identity, so other spellings and links of one file are caught too; an output that does not
// exist yet is compared by its folder's identity and its name.
struct PlannedFile {
  std::string input;
  std::string output;        // empty when the path is too long
  bool named_first = false;  // the input's line comes before its length is checked
  std::string refusal;       // why the output may never be written
  // The earlier files with the same output: the first of them that converted refuses this one.
  std::vector<std::size_t> same_output;
};

enum class Outcome { converted, failed, skipped };

class Planner {
 public:
  explicit Planner(const std::vector<std::string>& inputs) : inputs_(inputs) {
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      input_names_.emplace(inputs_[i], i);
      tsd::FileIdentity id;
      if (tsd::identify_file(inputs_[i].c_str(), id)) input_ids_.emplace(id, i);
    }
  }

  // Plans file `index`, which writes `output`; files are planned in batch order.
  void plan(std::size_t index, PlannedFile& file) {
    tsd::FileIdentity output_id, input_id;
    const bool exists = tsd::identify_file(file.output.c_str(), output_id);
    if (file.output == file.input ||
        (exists && tsd::identify_file(file.input.c_str(), input_id) && input_id == output_id))
      return;
    std::optional<std::size_t> other;
    if (const auto n = input_names_.find(file.output); n != input_names_.end())
      other = n->second;
    else if (const auto i = input_ids_.find(output_id); exists && i != input_ids_.end())
      other = i->second;
    if (other) {
      file.refusal = "Output file " + file.output + " is the input file " + inputs_[*other] +
                     " of this batch. Skipping file.";
      return;
    }
    tsd::FilePlace place;
    const bool placed = tsd::identify_place(file.output.c_str(), place);
    add(output_names_, file.output, index, file.same_output);
    if (exists) add(output_ids_, output_id, index, file.same_output);
    if (placed) add(output_places_, place, index, file.same_output);
    std::sort(file.same_output.begin(), file.same_output.end());
    file.same_output.erase(std::unique(file.same_output.begin(), file.same_output.end()),
                           file.same_output.end());
  }

 private:
  // Notes the earlier files under `key`, then `index` among them.
  template <typename Key>
  static void add(std::map<Key, std::vector<std::size_t>>& files, const Key& key, std::size_t index,
                  std::vector<std::size_t>& earlier) {
    std::vector<std::size_t>& under = files[key];
    earlier.insert(earlier.end(), under.begin(), under.end());
    under.push_back(index);
  }

  const std::vector<std::string>& inputs_;
  std::map<std::string, std::size_t> input_names_;
  std::map<tsd::FileIdentity, std::size_t> input_ids_;
  std::map<std::string, std::vector<std::size_t>> output_names_;
  std::map<tsd::FileIdentity, std::vector<std::size_t>> output_ids_;
  std::map<tsd::FilePlace, std::vector<std::size_t>> output_places_;
};

// The file's summary after its own lines, when the extraction ran: "notes.txt: 1,204 syllables, 3 not
// converted".
void log_summary(const ConversionContext& context, const std::string& input, const ConversionReport& report) {
  if (!report.counted) return;
  context.log_status("%s: %s syllable%s, %s not converted", input.c_str(), grouped(report.syllables).c_str(),
                     report.syllables == 1 ? "" : "s", grouped(report.not_converted).c_str());
}

void add_counts(BatchResult& result, const ConversionReport& report) {
  if (!report.counted) return;
  ++result.counted;
  result.syllables += report.syllables;
  result.not_converted += report.not_converted;
}

// Logs the lines of one planned file and converts it, its counts into `report`. `outcome_of` gives the
// outcome of an earlier file, once that file is done.
template <typename OutcomeOf>
Outcome convert_planned(ConversionContext& context, const ConversionRequest& request,
                        const std::vector<PlannedFile>& plan, std::size_t index, OutcomeOf outcome_of,
                        ConversionReport& report) {
  const PlannedFile& file = plan[index];
  if (file.named_first) context.log_status("Input file path: %s", file.input.c_str());
  if (file.output.empty()) {
    context.log_status("Input file path is too long. Skipping...");
    return Outcome::skipped;
  }
  if (!file.named_first) context.log_status("Input file path: %s", file.input.c_str());
  context.log_status("Output file path: %s", file.output.c_str());
  if (!file.refusal.empty()) {
    context.log_status("%s", file.refusal.c_str());
    return Outcome::skipped;
  }
  for (const std::size_t earlier : file.same_output) {
    if (outcome_of(earlier) == Outcome::converted) {
      context.log_status("Output file %s was already written from %s in this batch. Skipping file.",
                         file.output.c_str(), plan[earlier].input.c_str());
      return Outcome::skipped;
    }
  }
  const int converted =
      convert_file_until(context, file.input.c_str(), file.output.c_str(), request, Stage::complete, &report);
  log_summary(context, file.input, report);
  return converted == 0 ? Outcome::converted : Outcome::failed;
}

// What one file of a batch on several threads logged, kept until every earlier file has been shown.
struct FileLines {
  struct Entry {
    bool diagnostic;
    Diagnostic::Kind kind;
    std::string path;
    int line;
    int column;
    std::string text;
    std::int64_t count;
  };
  std::vector<Entry> entries;

  static void status(void* user, const char* text) {
    static_cast<FileLines*>(user)->entries.push_back({false, Diagnostic::Kind::reason, {}, 0, 0, text, 0});
  }
  static void diagnostic(void* user, const Diagnostic& d) {
    static_cast<FileLines*>(user)->entries.push_back(
        {true, d.kind, d.path, d.line, d.column, d.text, d.count});
  }
  void show(const ConversionContext& context) const {
    for (const Entry& e : entries) {
      if (e.diagnostic)
        context.diagnostics(Diagnostic{e.kind, e.path.c_str(), e.line, e.column, e.text.c_str(), e.count});
      else
        context.log_status("%s", e.text.c_str());
    }
  }
};

// Converts the planned files on `jobs` threads, each with a copy of `context` of its own (the shared
// tables, a composer at rest, sinks that keep the lines of its file). This thread shows each file's lines
// as soon as it and every file before it are done.
std::vector<Outcome> convert_on_threads(const ConversionContext& context, const ConversionRequest& request,
                                        const std::vector<PlannedFile>& plan, int jobs,
                                        std::vector<ConversionReport>& reports) {
  std::vector<Outcome> outcomes(plan.size());
  std::vector<FileLines> lines(plan.size());
  std::vector<char> done(plan.size(), 0);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};
  const auto outcome_of = [&](std::size_t index) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return done[index] != 0; });
    return outcomes[index];
  };
  const auto work = [&] {
    for (std::size_t index; (index = next++) < plan.size();) {
      ConversionContext own = context;
      own.status = StatusSink{&FileLines::status, &lines[index]};
      if (context.diagnostics.active())
        own.diagnostics = DiagnosticSink{&FileLines::diagnostic, &lines[index], context.diagnostics.warnings};
      // Files are taken in batch order, so the earlier files one waits for are already being converted.
      const Outcome outcome = convert_planned(own, request, plan, index, outcome_of, reports[index]);
      {
        std::lock_guard lock(mutex);
        outcomes[index] = outcome;
        done[index] = 1;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < jobs && static_cast<std::size_t>(i) < plan.size(); ++i) threads.emplace_back(work);
  for (std::size_t index = 0; index < plan.size(); ++index) {
    outcome_of(index);
    lines[index].show(context);
    lines[index] = FileLines{};
  }
  for (std::thread& thread : threads) thread.join();
  return outcomes;
}

BatchResult convert_plan(ConversionContext& context, const ConversionRequest& request,
                         const std::vector<PlannedFile>& plan, int jobs) {
  std::vector<Outcome> outcomes;
  std::vector<ConversionReport> reports(plan.size());
  if (jobs > 1 && plan.size() > 1) {
    outcomes = convert_on_threads(context, request, plan, jobs, reports);
  } else {
    for (std::size_t index = 0; index < plan.size(); ++index)
      outcomes.push_back(convert_planned(
          context, request, plan, index, [&](std::size_t earlier) { return outcomes[earlier]; },
          reports[index]));
  }
  BatchResult result;
  for (const ConversionReport& report : reports) add_counts(result, report);
  for (const Outcome outcome : outcomes) {
    ++result.processed;
    if (outcome == Outcome::converted) ++result.converted;
    if (outcome == Outcome::failed) ++result.failed;
    if (outcome == Outcome::skipped) ++result.skipped;
  }
  context.log_status("%d file(s) processed", result.processed);
  return result;
}
}  // namespace

int fill_request(ConversionRequest& request, const BatchChoices& choices, const ConversionContext& context,
                 const BatchHooks& hooks) {
  int bad = 0;
  request.check_syllables = 1;
  request.keep_cr = choices.keep_cr ? 1 : 0;
  request.font_base = kKorlamBase;
  if (choices.font_family == kEkorlam) request.font_base = kEkorlamBase;
  if (route_by_id(choices.conversion_type)) request.conversion_type = choices.conversion_type;
  const std::size_t font_length = std::min<std::size_t>(choices.unicode_font.size(), kMaxUnicodeFontName);
  std::memcpy(request.unicode_font, choices.unicode_font.data(), font_length);
  request.unicode_font[font_length] = '\0';
  request.roman_size = kRomanSize;

  // A field without a number is a bad size, and its default stands in for it.
  int tib_size = kDefaultTibSize;
  const bool tib_number = parse_size(choices.tib_size_text, tib_size);
  if (!tib_number || tib_size < kMinSize || tib_size > kMaxSize) {
    ++bad;
    context.log_status("Bad tibetan point size.");
    context.log_status("Please set to a number between 8 and 99");
  }
  request.tib_size = tib_size * 2;

  int small_size = kDefaultSmallTibSize;
  const bool small_number = parse_size(choices.small_tib_size_text, small_size);
  if (!small_number || small_size < kMinSize || small_size > kMaxSize || small_size > tib_size) {
    ++bad;
    call(hooks.clear_status);
    context.log_status("Bad small tibetan point size.");
    context.log_status("Please set to a number between 8 and 99 and greater than the tibetan point size.");
  }
  request.small_tib_size = small_size * 2;
  return bad;
}

int conversion_of_row(int row) {
  const Route* route = route_of_row(row);
  return route ? route->id : -1;
}

namespace {

const Route& route_or_default(int conversion_type) {
  const Route* route = route_by_id(conversion_type);
  return route ? *route : *route_by_id(kDefaultRouteId);
}

// The input's name without the extension its output replaces: three letters after a dot, as always, or a
// document's ".docx" on the routes that read documents (so "letter.docx" gives "letter.bo.txt").
std::string_view output_stem(std::string_view name, const Route& route) {
  if (name.size() >= 4 && name[name.size() - 4] == '.')
    name.remove_suffix(4);
  else if (route.from == Scheme::tsendrel && name.ends_with(".docx"))
    name.remove_suffix(5);
  return name;
}

}  // namespace

std::string main_output_path(std::string_view directory, std::string_view name, int conversion_type) {
  const Route& route = route_or_default(conversion_type);
  return tsd::join_path(directory, output_stem(name, route)) + "." + std::string(route.extension);
}

std::string wildcard_output_path(std::string_view input_path, int conversion_type) {
  const Route& route = route_or_default(conversion_type);
  return std::string(output_stem(input_path, route)) + "." + std::string(route.extension);
}

BatchResult convert_selected_files(ConversionContext& context, const ConversionRequest& request,
                                   const std::vector<SelectedFile>& files, int jobs) {
  std::vector<std::string> inputs;
  for (const SelectedFile& file : files) inputs.push_back(tsd::join_path(file.directory, file.name));
  Planner planner(inputs);
  std::vector<PlannedFile> plan(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const SelectedFile& file = files[i];
    plan[i].input = inputs[i];
    if (file.directory.size() + file.name.size() + kNameExtra >= kMaxPath) continue;
    plan[i].output = main_output_path(file.directory, file.name, request.conversion_type);
    planner.plan(i, plan[i]);
  }
  return convert_plan(context, request, plan, jobs);
}

BatchResult convert_selected(ConversionContext& context, ConversionRequest& request,
                             const BatchChoices& choices, const std::vector<SelectedFile>& files,
                             const BatchHooks& hooks) {
  call(hooks.clear_status);
  fill_request(request, choices, context, hooks);
  return convert_selected_files(context, request, files);
}

BatchResult convert_found_files(ConversionContext& context, const ConversionRequest& request,
                                const std::vector<std::string>& paths, const BatchHooks& hooks, int jobs) {
  call(hooks.clear_status);
  Planner planner(paths);
  std::vector<PlannedFile> plan(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    plan[i].input = paths[i];
    plan[i].named_first = true;
    if (paths[i].size() + kPathExtra >= kMaxPath) continue;
    plan[i].output = wildcard_output_path(paths[i], request.conversion_type);
    planner.plan(i, plan[i]);
  }
  return convert_plan(context, request, plan, jobs);
}

BatchResult convert_to_output(ConversionContext& context, const ConversionRequest& request,
                              const Endpoint& input, const Endpoint& output, Stage stage) {
  BatchResult result;
  result.processed = 1;
  const auto too_long = [](const Endpoint& end) { return end.path && std::strlen(end.path) >= kMaxPath; };
  if (too_long(input) || too_long(output)) {
    context.log_status("Input file path is too long. Skipping...");
    ++result.skipped;
  } else {
    context.log_status("Input file path: %s", input.shown());
    context.log_status("Output file path: %s", output.shown());
    ConversionReport report;
    ++(convert(context, request, input, output, stage, &report) == 0 ? result.converted : result.failed);
    if (stage == Stage::complete) {
      log_summary(context, input.shown(), report);
      add_counts(result, report);
    }
  }
  context.log_status("%d file(s) processed", result.processed);
  return result;
}

BatchResult convert_to_output(ConversionContext& context, const ConversionRequest& request,
                              const std::string& input, const std::string& output, Stage stage) {
  return convert_to_output(context, request, Endpoint{input.c_str()}, Endpoint{output.c_str()}, stage);
}

bool name_matches(std::string_view pattern, std::string_view name) {
  // "x.*" also matches "x": the directory search treats a missing extension as an empty one.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos && name_matches(pattern.substr(0, pattern.size() - 2), name))
    return true;
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int search_files(const std::string& directory, std::string_view pattern, std::vector<std::string>& found,
                 const BatchHooks& hooks) {
  std::string prefix = directory;
  if (prefix.empty() || !tsd::is_path_separator(prefix.back())) prefix.push_back(tsd::path_separator);
  std::vector<tsd::DirEntry> entries;
  int count = 0;
  if (tsd::list_directory(prefix, entries) == 0) {
    for (const tsd::DirEntry& entry : entries) {
      if (!entry.is_file || !name_matches(pattern, entry.name)) continue;
      found.push_back(prefix + entry.name);
      ++count;
      call(hooks.pending_events);
    }
    for (const tsd::DirEntry& entry : entries) {
      if (entry.is_directory)
        count += search_files(prefix + entry.name + tsd::path_separator, pattern, found, hooks);
      call(hooks.pending_events);
    }
  }
  call(hooks.pending_events);
  return count;
}

}  // namespace tarvex
