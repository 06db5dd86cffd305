#include "batch.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "diagnostics.h"
#include "platform/dir_search.h"
#include "platform/file_identity.h"
#include "platform/path.h"
#include "startup.h"

namespace tarvex {

namespace {

constexpr int kMinSize = 8;
constexpr int kMaxSize = 99;
constexpr int kNameExtra = 6;  // the separator, ".rtf" and the NUL
constexpr int kPathExtra = 4;

// Delivers the status lines of one batch to its hook, and restores the previous hook afterwards.
class StatusLines {
 public:
  explicit StatusLines(const BatchHooks& hooks) : active_(static_cast<bool>(hooks.status_line)) {
    if (!active_) return;
    previous_fn_ = current_log_status();
    previous_hook_ = current_;
    current_ = &hooks.status_line;
    set_log_status(&deliver);
  }
  ~StatusLines() {
    if (!active_) return;
    current_ = previous_hook_;
    set_log_status(previous_fn_);
  }
  StatusLines(const StatusLines&) = delete;
  StatusLines& operator=(const StatusLines&) = delete;

 private:
  using Hook = std::function<void(const char*)>;
  static void deliver(const char* line) { (*current_)(line); }

  static inline const Hook* current_ = nullptr;
  bool active_;
  LogStatusFn previous_fn_ = nullptr;
  const Hook* previous_hook_ = nullptr;
};

void call(const std::function<void()>& hook) {
  if (hook) hook();
}

// Reads a decimal integer as scanf's "%d" would (leading blanks, a sign, digits); false when there is none.
// Values beyond any sensible size are held at a bound so that doubling them stays in range.
bool parse_size(const std::string& text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  long long n = 0;
  constexpr long long kBound = INT_MAX / 4;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    n = std::min(n * 10 + (text[i] - '0'), kBound);
  value = static_cast<int>(negative ? -n : n);
  return true;
}

// Keeps a batch from writing over its own files: an output may be neither another input of the batch (its
// own input the driver refuses, in its own words) nor a file that an earlier conversion of the batch wrote.
// Files are compared by name and by identity, so other spellings and links of one file are caught too.
class OwnFiles {
 public:
  explicit OwnFiles(std::vector<std::string> inputs) : inputs_(std::move(inputs)) {
    for (std::size_t i = 0; i < inputs_.size(); ++i) remember(inputs_[i], i, input_names_, input_ids_);
  }

  // True after logging why `output` may not be written from input `from` (an index of the inputs).
  bool refuses(std::size_t from, const std::string& output) const {
    tsd::FileIdentity output_id, input_id;
    const bool exists = tsd::identify_file(output.c_str(), output_id);
    if (output == inputs_[from] ||
        (exists && tsd::identify_file(inputs_[from].c_str(), input_id) && input_id == output_id))
      return false;
    if (const auto other = find(output, exists, output_id, input_names_, input_ids_)) {
      log_status("Output file %s is the input file %s of this batch. Skipping file.", output.c_str(),
                 inputs_[*other].c_str());
      return true;
    }
    if (const auto earlier = find(output, exists, output_id, written_names_, written_ids_)) {
      log_status("Output file %s was already written from %s in this batch. Skipping file.", output.c_str(),
                 inputs_[*earlier].c_str());
      return true;
    }
    return false;
  }

  void wrote(std::size_t from, const std::string& output) {
    remember(output, from, written_names_, written_ids_);
  }

 private:
  using Names = std::map<std::string, std::size_t>;
  using Ids = std::map<tsd::FileIdentity, std::size_t>;

  static void remember(const std::string& path, std::size_t input, Names& names, Ids& ids) {
    names.emplace(path, input);
    tsd::FileIdentity id;
    if (tsd::identify_file(path.c_str(), id)) ids.emplace(id, input);
  }
  static std::optional<std::size_t> find(const std::string& path, bool exists, const tsd::FileIdentity& id,
                                         const Names& names, const Ids& ids) {
    if (const auto n = names.find(path); n != names.end()) return n->second;
    if (const auto i = ids.find(id); exists && i != ids.end()) return i->second;
    return std::nullopt;
  }

  std::vector<std::string> inputs_;
  Names input_names_;
  Ids input_ids_;
  Names written_names_;
  Ids written_ids_;
};

BatchResult& count(BatchResult& result, int converted) {
  if (converted == 0)
    ++result.converted;
  else
    ++result.failed;
  return result;
}

// The file's summary after its own lines, when the extraction ran: "notes.txt: 1,204 syllables, 3 not
// converted".
void log_summary(const std::string& input, const ConversionReport& report) {
  if (!report.counted) return;
  log_status("%s: %s syllable%s, %s not converted", input.c_str(), grouped(report.syllables).c_str(),
             report.syllables == 1 ? "" : "s", grouped(report.not_converted).c_str());
}

void convert_one(const ConversionRequest& request, OwnFiles& own, std::size_t index, const std::string& input,
                 const std::string& output, BatchResult& result) {
  if (own.refuses(index, output)) {
    ++result.skipped;
    return;
  }
  ConversionReport report;
  const int converted = convert_file_until(input.c_str(), output.c_str(), request, Stage::complete, &report);
  log_summary(input, report);
  if (converted == 0) own.wrote(index, output);
  count(result, converted);
}

}  // namespace

int fill_request(ConversionRequest& request, const BatchChoices& choices, const ConverterTables& tables,
                 const BatchHooks& hooks) {
  StatusLines lines(hooks);
  int bad = 0;
  request.check_syllables = 1;
  request.keep_cr = choices.keep_cr ? 1 : 0;
  request.font_base = kKorlamBase;
  if (choices.font_family == kEkorlam) request.font_base = kEkorlamBase;
  if (choices.conversion_type >= kWylieToTsendrel && choices.conversion_type <= kKvtsToUnicodeRtf)
    request.conversion_type = choices.conversion_type;
  const std::size_t font_length = std::min<std::size_t>(choices.unicode_font.size(), kMaxUnicodeFontName);
  std::memcpy(request.unicode_font, choices.unicode_font.data(), font_length);
  request.unicode_font[font_length] = '\0';
  request.roman_size = kRomanSize;

  // A field without a number is a bad size, and its default stands in for it.
  int tib_size = kDefaultTibSize;
  const bool tib_number = parse_size(choices.tib_size_text, tib_size);
  if (!tib_number || tib_size < kMinSize || tib_size > kMaxSize) {
    ++bad;
    log_status("Bad tibetan point size.");
    log_status("Please set to a number between 8 and 99");
  }
  request.tib_size = tib_size * 2;

  int small_size = kDefaultSmallTibSize;
  const bool small_number = parse_size(choices.small_tib_size_text, small_size);
  if (!small_number || small_size < kMinSize || small_size > kMaxSize || small_size > tib_size) {
    ++bad;
    call(hooks.clear_status);
    log_status("Bad small tibetan point size.");
    log_status("Please set to a number between 8 and 99 and greater than the tibetan point size.");
  }
  request.small_tib_size = small_size * 2;

  request.translit_tables = &tables.translit_tables;
  request.rtf_fonts = tables.rtf_fonts.data();
  request.font_count = tables.font_count;
  request.key_tables = &tables.key_tables;
  return bad;
}

int conversion_of_row(int row) {
  if (row >= kWylieToTsendrel && row <= kKvtsToWylie) return row;
  if (row == 4) return kWylieToUnicodeRtf;
  if (row == 5) return kKvtsToUnicodeRtf;
  return -1;
}

namespace {

// The extension of an output, without its dot.
const char* output_extension(int conversion_type) {
  return conversion_type == kWylieToUnicode || conversion_type == kKvtsToUnicode ? "bo.txt" : "rtf";
}

}  // namespace

std::string main_output_path(std::string_view directory, std::string_view name, int conversion_type) {
  if (name.size() >= 4 && name[name.size() - 4] == '.') name.remove_suffix(4);
  return tsd::join_path(directory, name) + "." + output_extension(conversion_type);
}

std::string wildcard_output_path(std::string_view input_path, int conversion_type) {
  std::string output(input_path);
  if (output.size() >= 4 && output[output.size() - 4] == '.')
    output.replace(output.size() - 3, 3, output_extension(conversion_type));
  else
    output = output + "." + output_extension(conversion_type);
  return output;
}

BatchResult convert_selected_files(const ConversionRequest& request, const std::vector<SelectedFile>& files,
                                   const BatchHooks& hooks) {
  StatusLines lines(hooks);
  BatchResult result;
  std::vector<std::string> inputs;
  for (const SelectedFile& file : files) inputs.push_back(tsd::join_path(file.directory, file.name));
  OwnFiles own(inputs);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const SelectedFile& file = files[i];
    ++result.processed;
    if (file.directory.size() + file.name.size() + kNameExtra >= kMaxPath) {
      log_status("Input file path is too long. Skipping...");
      ++result.skipped;
      continue;
    }
    log_status("Input file path: %s", inputs[i].c_str());
    const std::string output = main_output_path(file.directory, file.name, request.conversion_type);
    log_status("Output file path: %s", output.c_str());
    convert_one(request, own, i, inputs[i], output, result);
  }
  log_status("%d file(s) processed", result.processed);
  return result;
}

BatchResult convert_selected(ConversionRequest& request, const BatchChoices& choices,
                             const ConverterTables& tables, const std::vector<SelectedFile>& files,
                             const BatchHooks& hooks) {
  StatusLines lines(hooks);
  call(hooks.clear_status);
  fill_request(request, choices, tables, hooks);
  return convert_selected_files(request, files, hooks);
}

BatchResult convert_found_files(const ConversionRequest& request, const std::vector<std::string>& paths,
                                const BatchHooks& hooks) {
  StatusLines lines(hooks);
  call(hooks.clear_status);
  BatchResult result;
  OwnFiles own(paths);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& input = paths[i];
    ++result.processed;
    log_status("Input file path: %s", input.c_str());
    if (input.size() + kPathExtra >= kMaxPath) {
      log_status("Input file path is too long. Skipping...");
      ++result.skipped;
      continue;
    }
    const std::string output = wildcard_output_path(input, request.conversion_type);
    log_status("Output file path: %s", output.c_str());
    convert_one(request, own, i, input, output, result);
  }
  log_status("%d file(s) processed", result.processed);
  return result;
}

BatchResult convert_to_output(const ConversionRequest& request, const std::string& input,
                              const std::string& output, const BatchHooks& hooks, Stage stage) {
  StatusLines lines(hooks);
  BatchResult result;
  result.processed = 1;
  if (input.size() >= kMaxPath || output.size() >= kMaxPath) {
    log_status("Input file path is too long. Skipping...");
    ++result.skipped;
  } else {
    log_status("Input file path: %s", input.c_str());
    log_status("Output file path: %s", output.c_str());
    ConversionReport report;
    count(result, convert_file_until(input.c_str(), output.c_str(), request, stage, &report));
    if (stage == Stage::complete) log_summary(input, report);
  }
  log_status("%d file(s) processed", result.processed);
  return result;
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
