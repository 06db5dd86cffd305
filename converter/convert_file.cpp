#include "convert_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics.h"
#include "extract.h"
#include "font_code_pass.h"
#include "log_status.h"
#include "platform/file_identity.h"
#include "platform/new_file.h"
#include "scheme_passes.h"
#include "unicode_pass.h"
#include "unicode_rtf_writer.h"

namespace tarvex {

namespace {

constexpr char kWriteFailed[] = "Could not write the output file.\rCheck whether you have enough disk space.";
constexpr int kCheckedLength = 64;

TemporaryFileFactory temporary_factory = nullptr;

tsd::Stream make_temporary(int which) {
  return temporary_factory ? temporary_factory(which) : tsd::Stream::temporary();
}

// The streams of one conversion, closed in the driver's order: input, output, pre-pass file, syllable
// file, glyph-code file. The output is a new file that takes the output's place only when the conversion
// succeeded, so a failure leaves an earlier output as it was.
struct Files {
  tsd::Stream input;
  tsd::NewFile new_output;
  tsd::Stream& output = new_output.stream();
  tsd::Stream pre_pass;
  tsd::Stream syllables;
  tsd::Stream glyphs;

  ~Files() { finish(false); }

  // 0, or the new output's failure (tsd::NewFile::kWriteFailed, kNotReplaced).
  int finish(bool succeeded) {
    input.close();
    int output_result = 0;
    if (succeeded)
      output_result = new_output.commit();
    else
      new_output.abandon();
    pre_pass.close();
    syllables.close();
    glyphs.close();
    return output_result;
  }
};

void log_output_not_opened(const char* output_path) {
  const int reason = errno;
  log_status("Program could not open output file %s", output_path);
  log_status("Please check whether this file is being used by another application.");
  log_status("If so, close the file in the application.");
  report_reason(output_path, reason);
}

void log_input_not_opened(const char* input_path) {
  const int reason = errno;
  log_status("Could not open %s", input_path);
  report_reason(input_path, reason);
}

// Steps over a UTF-8 byte-order mark at the very start, which editors such as Notepad write before plain
// ASCII text; true when there was one. Otherwise the stream is back at its start.
bool skip_byte_order_mark(tsd::Stream& input) {
  static constexpr int kMark[] = {0xEF, 0xBB, 0xBF};
  for (const int byte : kMark) {
    if (input.get() != byte) {
      input.rewind();
      return false;
    }
  }
  return true;
}

// After its writer: flushed and back at its start, or a write failure logged.
bool rewind_written(tsd::Stream& file) {
  if (file.rewind() == 0 && !file.error()) return true;
  log_status("%s", kWriteFailed);
  return false;
}

// Copies an intermediate file to the output unchanged.
bool copy_stage(tsd::Stream& from, tsd::Stream& to) {
  for (int c; (c = from.get()) != tsd::Stream::end;)
    if (to.put(c) == tsd::Stream::end) break;
  if (to.flush() == 0 && !to.error() && !from.error()) return true;
  log_status("%s", kWriteFailed);
  return false;
}

// After the extraction: the Unicode pass straight into the output, or into the glyph-code file's place
// and then the Unicode RTF writer. Their failures are logged as those of the font-code pass and the RTF
// writer.
int unicode_passes(Files& files, const ConversionRequest& request, Stage stage) {
  const bool rtf =
      request.conversion_type == kWylieToUnicodeRtf || request.conversion_type == kKvtsToUnicodeRtf;
  tsd::Stream& text = rtf ? files.glyphs : files.output;
  if (unicode_pass(files.syllables, text, request.keep_cr,
                   rtf ? UnicodePassages::markers : UnicodePassages::text) < 0) {
    log_status("Tsendrel text conversion failure.");
    return -1;
  }
  if (files.syllables.error()) {
    log_status("%s", kWriteFailed);
    return -1;
  }
  if (!rtf) return 0;
  if (!rewind_written(files.glyphs)) return -1;
  if (stage == Stage::glyphs) return copy_stage(files.glyphs, files.output) ? 0 : -1;
  if (write_unicode_rtf(files.glyphs, files.output, request.unicode_font, request.roman_size,
                        request.tib_size, request.small_tib_size) < 0) {
    if (files.output.error() || files.glyphs.error()) log_status("%s", kWriteFailed);
    log_status("Tsendrel rtf conversion failure.");
    return -1;
  }
  return 0;
}

int run_passes(Files& files, const ConversionRequest& request, Stage stage, ExtractionReport& found,
               bool& extracted, std::vector<RawWord>& raw_words) {
  const int type = request.conversion_type;
  if (type == kKvtsToWylie || type == kWylieToKvts) {
    if (type == kKvtsToWylie)
      kvts_to_wylie(files.input, files.output);
    else
      wylie_to_kvts(files.input, files.output);
    if (files.output.flush() != 0 || files.output.error()) {
      log_status("%s", kWriteFailed);
      return -1;
    }
    return 0;
  }

  tsd::Stream* source = &files.input;
  if (starts_with_wylie(type)) {
    wylie_to_kvts(files.input, files.pre_pass);
    if (!rewind_written(files.pre_pass)) return -1;
    if (stage == Stage::pre_pass) return copy_stage(files.pre_pass, files.output) ? 0 : -1;
    source = &files.pre_pass;
  } else {
    files.pre_pass.close();
  }

  extract_syllables(*source, files.syllables, *request.translit_tables, request.check_syllables, &found);
  extracted = true;
  if (!rewind_written(files.syllables)) return -1;
  if (stage == Stage::syllables) return copy_stage(files.syllables, files.output) ? 0 : -1;

  if (writes_unicode(type)) return unicode_passes(files, request, stage);
  if (font_code_pass(files.syllables, files.glyphs, request.keep_cr, *request.key_tables, tsd::syllable_state,
                     true, current_diagnostic_sink() ? &raw_words : nullptr) < 0) {
    log_status("Tsendrel text conversion failure.");
    return -1;
  }
  if (files.syllables.error()) {
    log_status("%s", kWriteFailed);
    return -1;
  }
  if (!rewind_written(files.glyphs)) return -1;
  if (stage == Stage::glyphs) return copy_stage(files.glyphs, files.output) ? 0 : -1;

  if (write_rtf(files.glyphs, files.output, request.rtf_fonts, request.font_count, request.font_base,
                request.roman_size, request.tib_size, request.small_tib_size) < 0) {
    if (files.output.error() || files.glyphs.error()) log_status("%s", kWriteFailed);
    log_status("Tsendrel rtf conversion failure.");
    return -1;
  }
  return 0;
}

// The words of a stream: runs of bytes between white space, a bracketed or braced passage counting as
// part of its word whatever it holds. In the extraction's source (`names`), a "@" name also takes the
// white byte after it, which the extraction swallows, and NUL bytes start no word, since they leave
// nothing. So the n-th word of the syllable file comes from the n-th word of the source. Each word is
// its first and last offset.
std::vector<std::pair<std::uint64_t, std::uint64_t>> words_of(tsd::Stream& in, bool names) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> words;
  in.rewind();
  if (names) skip_byte_order_mark(in);  // as the driver skipped it
  bool in_word = false;
  int close = 0;  // the end of the passage being read
  bool name = false;
  for (;;) {
    const std::uint64_t at = in.read_offset();
    const int c = in.get();
    if (c == tsd::Stream::end) break;
    const bool white = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    if (close != 0 || name) {
      if (c == close) close = 0;
      if (name && white) name = false;
      words.back().second = at;
      continue;
    }
    if (white) {
      in_word = false;
      continue;
    }
    if (!in_word) {
      if (names && c == 0) continue;
      words.push_back({at, at});
      in_word = true;
    }
    words.back().second = at;
    if (c == '[') close = ']';
    if (c == '{') close = '}';
    if (c == '@' && names) name = true;
  }
  return words;
}

// Places the words that the font-code pass wrote as text at their words in the extraction's source.
void place_raw_words(const std::vector<RawWord>& raw, tsd::Stream& syllables, tsd::Stream& source,
                     std::vector<SourceProblem>& problems) {
  const auto written = words_of(syllables, false);
  const auto read = words_of(source, true);
  for (const RawWord& word : raw) {
    const auto after =
        std::upper_bound(written.begin(), written.end(), std::pair{word.offset, ~std::uint64_t{0}});
    const auto index = static_cast<std::size_t>(after - written.begin());
    if (index == 0 || index > read.size()) continue;
    const auto [first, last] = read[index - 1];
    problems.push_back({word.refused ? SourceProblem::word_refused : SourceProblem::word_overflowed, 0, first,
                        last - first + 1});
  }
}

std::string problem_text(const SourceProblem& problem, const std::string& syllable) {
  switch (problem.kind) {
    case SourceProblem::syllable_marked:
      return "cannot convert syllable \"" + syllable + "\"";
    case SourceProblem::byte_dropped:
      return problem.value == 0
                 ? std::string("NUL byte dropped")
                 : "byte " + std::to_string(problem.value) + " dropped: it is no character of the text";
    case SourceProblem::bracket_open:
      return "bracket '[' is never closed";
    case SourceProblem::brace_closed:
      return "brace '{' is never closed; the converter closes it at the end of the file";
    case SourceProblem::parenthesis_open:
      return "parenthesis '(' is never closed; the small size runs to the end of the file";
    case SourceProblem::word_refused:
      return "cannot compose word \"" + syllable + "\"; it is written as text";
    case SourceProblem::word_overflowed:
      return "word \"" + syllable + "\" has too many glyphs; it is written as text";
  }
  return {};
}

// Hands every problem of the extraction to the diagnostic sink with its place in the input. The offsets
// are in the extraction's source: the input itself, or for Wylie the KVTS of the pre-pass, whose offsets
// the Wylie pass maps back. Runs only when there are problems to tell.
void tell_problems(const char* input_path, bool wylie, std::vector<SourceProblem>& problems) {
  std::stable_sort(problems.begin(), problems.end(),
                   [](const SourceProblem& a, const SourceProblem& b) { return a.offset < b.offset; });
  // The first and last byte of each problem, in ascending order for the map.
  std::vector<std::uint64_t> ends;
  for (const SourceProblem& p : problems) {
    ends.push_back(p.offset);
    ends.push_back(p.offset + (p.length > 0 ? p.length - 1 : 0));
  }
  if (wylie) {
    std::vector<std::size_t> order(ends.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return ends[a] < ends[b]; });
    std::vector<std::uint64_t> sorted;
    for (const std::size_t i : order) sorted.push_back(ends[i]);
    tsd::Stream input = tsd::Stream::open_read(input_path, tsd::Stream::Mode::text);
    if (!skip_byte_order_mark(input)) input.rewind();
    wylie_places(input, sorted);
    for (std::size_t k = 0; k < order.size(); ++k) ends[order[k]] = sorted[k];
  }
  const LineIndex lines(read_bytes(input_path));
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const Place place = lines.place(ends[2 * i]);
    const std::string text = problem_text(problems[i], lines.text(ends[2 * i], ends[2 * i + 1]));
    current_diagnostic_sink()(
        Diagnostic{Diagnostic::Kind::warning, input_path, place.line, place.column, text.c_str()});
  }
}

}  // namespace

void set_temporary_file_factory(TemporaryFileFactory factory) {
  temporary_factory = factory;
}

int convert_file(const char* input_path, const char* output_path, const ConversionRequest& request) {
  return convert_file_until(input_path, output_path, request, Stage::complete);
}

int convert_file_until(const char* input_path, const char* output_path, const ConversionRequest& request,
                       Stage stage, ConversionReport* report) {
  // Two spellings of one existing file are refused too: opening the output would empty the input.
  if (std::strcmp(input_path, output_path) == 0 || tsd::same_existing_file(input_path, output_path)) {
    log_status("Input file name must not be identical to output file name.");
    return -1;
  }
  if (request.conversion_type < kWylieToTsendrel || request.conversion_type > kKvtsToUnicodeRtf) {
    log_status("Unknown conversion type %d.", request.conversion_type);
    return -1;
  }
  const bool scheme_only = request.conversion_type == kWylieToKvts || request.conversion_type == kKvtsToWylie;
  if ((!scheme_only && !request.translit_tables) ||
      (request.conversion_type <= kKvtsToTsendrel && (!request.key_tables || !request.rtf_fonts))) {
    log_status("The conversion tables are not loaded.");
    return -1;
  }

  Files files;
  errno = 0;
  files.input = tsd::Stream::open_read(input_path, tsd::Stream::Mode::text);
  if (!files.input.is_open()) {
    log_input_not_opened(input_path);
    return -1;
  }

  const bool byte_order_mark = skip_byte_order_mark(files.input);
  for (int i = 0; i < kCheckedLength; ++i) {
    const int c = files.input.get();
    if (c == tsd::Stream::end) break;
    if (c > 127) {
      log_status("Error: File begins with non-text characters. Skipping file.");
      return -1;
    }
  }
  // A path that opens but cannot be read (a directory) is no input file.
  if (files.input.error() || files.input.rewind() != 0 ||
      (byte_order_mark && !skip_byte_order_mark(files.input))) {
    log_input_not_opened(input_path);
    return -1;
  }

  const bool raw_stage = stage != Stage::complete && !scheme_only;
  if (files.new_output.open(output_path, raw_stage ? tsd::Stream::Mode::binary : tsd::Stream::Mode::text) !=
      0) {
    log_output_not_opened(output_path);
    return -1;
  }

  tsd::Stream* temporaries[] = {&files.pre_pass, &files.syllables, &files.glyphs};
  for (int i = 0; i < 3; ++i) {
    *temporaries[i] = make_temporary(i);
    if (!temporaries[i]->is_open()) {
      log_status(i == 0 ? "Program could not open temporary file. Check for system problem."
                        : "Program could not open temporary file. Check for system problem.\n");
      return -1;
    }
  }

  ExtractionReport found;
  bool extracted = false;
  std::vector<RawWord> raw_words;
  int result = run_passes(files, request, stage, found, extracted, raw_words);
  if (report) *report = ConversionReport{extracted, found.syllables, found.marked};
  if (!raw_words.empty()) {
    tsd::Stream& source = starts_with_wylie(request.conversion_type) ? files.pre_pass : files.input;
    place_raw_words(raw_words, files.syllables, source, found.problems);
  }
  if (extracted && !found.problems.empty() && current_diagnostic_sink())
    tell_problems(input_path, starts_with_wylie(request.conversion_type), found.problems);
  if (result == 0 && files.input.error()) {
    log_status("Could not read %s", input_path);
    result = -1;
  }
  switch (files.finish(result == 0)) {
    case tsd::NewFile::kWriteFailed:
      log_status("%s", kWriteFailed);
      return -1;
    case tsd::NewFile::kNotReplaced:
      log_output_not_opened(output_path);
      return -1;
    default:
      return result;
  }
}

}  // namespace tarvex
