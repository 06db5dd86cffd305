#include "problem_places.h"

#include <cstring>

#include "hub_registry.h"
#include "scheme_passes.h"

namespace tarvex {

namespace {

// The words of a stream, one at a time from its start: runs of bytes between white space, a bracketed or
// braced passage counting as part of its word whatever it holds. In the extraction's source (`names`), a
// "@" name also takes the white byte after it, which the extraction swallows, and NUL bytes start no
// word, since they leave nothing. So the n-th word of the syllable file comes from the n-th word of the
// source.
class WordReader {
 public:
  WordReader(tsd::Stream& in, bool names) : in_(in), names_(names) {
    if (names) skip_byte_order_mark(in);  // as the driver skipped it
  }

  // The next word's first and last offset; false after the last word. Pulled a word at a time beside
  // another reader, so a get() loop rather than run_windows.
  bool next(std::uint64_t& first, std::uint64_t& last) {
    bool in_word = false;
    int close = 0;  // the end of the passage being read
    bool name = false;
    for (;;) {
      const std::uint64_t at = in_.read_offset();
      const int c = in_.get();
      if (c == tsd::Stream::end) return in_word;
      const bool white = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
      if (close != 0 || name) {
        if (c == close) close = 0;
        if (name && white) name = false;
        last = at;
        continue;
      }
      if (white) {
        if (in_word) return true;
        continue;
      }
      if (!in_word) {
        if (names_ && c == 0) continue;
        first = at;
        in_word = true;
      }
      last = at;
      if (c == '[') close = ']';
      if (c == '{') close = '}';
      if (c == '@' && names_) name = true;
    }
  }

 private:
  tsd::Stream& in_;
  const bool names_;
};

std::string problem_text(const SourceProblem& problem, const std::string& syllable);

}  // namespace

// Places the words that the font-code pass wrote as text at their words in the extraction's source: the
// pre-pass file, or else the input read again. The raw words come in the order of the syllable file, so
// one pass over each file pairs them.
void place_raw_words(const std::vector<RawWord>& raw, tsd::Stream& syllables, tsd::Stream* pre_pass,
                     const InputAgain& input, ExtractionReport& found) {
  tsd::Stream again;
  if (pre_pass ? pre_pass->rewind() != 0 : !(again = input.open()).is_open()) return;
  syllables.rewind();
  WordReader written(syllables, false);
  WordReader read(pre_pass ? *pre_pass : again, true);
  std::uint64_t next_first = 0, next_last = 0;
  bool more_written = written.next(next_first, next_last);
  std::uint64_t counted = 0;  // the words of the syllable file that start at or before the raw word
  std::uint64_t paired = 0;   // the words of the source read so far
  std::uint64_t first = 0, last = 0;
  for (const RawWord& word : raw) {
    for (; more_written && next_first <= word.offset; ++counted)
      more_written = written.next(next_first, next_last);
    while (paired < counted && read.next(first, last)) ++paired;
    if (counted == 0 || paired < counted) continue;
    const std::uint64_t from = pre_pass ? first : input.raw_offset(first);
    const std::uint64_t to = pre_pass ? last : input.raw_offset(last);
    found.add({word.refused ? SourceProblem::word_refused : SourceProblem::word_overflowed, 0, from,
               to - from + 1});
  }
}

namespace {

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

}  // namespace

// Hands every problem of the extraction to the diagnostic sink with its place in the input. The offsets
// are in the extraction's source: the input itself, or for Wylie the KVTS of the pre-pass, whose offsets
// the Wylie pass maps back. Runs only when there are problems to tell; tells none when the input cannot be
// read again. Those the conversion did not keep are told as their number.
void tell_problems(const ConversionContext& context, const char* input_name, const InputAgain& input,
                   bool wylie, ExtractionReport& found) {
  std::vector<SourceProblem>& problems = found.problems;
  std::stable_sort(problems.begin(), problems.end(),
                   [](const SourceProblem& a, const SourceProblem& b) { return a.offset < b.offset; });
  std::vector<std::uint64_t> ends;
  if (wylie) {
    tsd::Stream again = input.open();
    if (!again.is_open()) return;
    skip_byte_order_mark(again);
    ends = ends_in_input(
        problems, {}, [&again](std::span<std::uint64_t> at) { wylie_places_in_any_order(again, at); },
        [&input](std::uint64_t at) { return input.raw_offset(at); });
  } else {
    // The extraction read the input itself, whose offsets it counted as the input's own bytes.
    ends = ends_in_input(
        problems, {}, [](std::span<std::uint64_t>) {}, [](std::uint64_t at) { return at; });
  }
  PlaceReader places = input.places();
  Place place{};
  std::string bytes;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    if (places.find(ends[2 * i], ends[2 * i + 1], place, bytes) != 0) return;
    const std::string text = problem_text(problems[i], bytes);
    context.diagnostics(
        Diagnostic{Diagnostic::Kind::warning, input_name, place.line, place.column, text.c_str()});
  }
  if (found.not_kept > 0) {
    const std::string text = std::to_string(found.not_kept) +
                             " more problems, not placed: a conversion keeps the places of the first " +
                             std::to_string(found.keep);
    context.diagnostics(
        Diagnostic{Diagnostic::Kind::warning, input_name, 0, 0, text.c_str(), found.not_kept});
  }
}

// Hands the problems of a route from Extended Wylie or Unicode to the diagnostic sink with their places:
// the reader's at their offsets in the input; a writer's at places of the hub, traced back to the input by
// reading it again (the reader then keeps nothing but the origins asked for).
void tell_hub_problems(const ConversionContext& context, const char* input_name, const InputAgain& input,
                       Pass reader, bool keep_cr, ReaderReport& read, ReaderReport& written) {
  std::vector<ReaderWarning> problems = std::move(read.warnings);
  // A writer's problems are told at their origin, found by reading the input again. A document cannot be
  // read so: its writer's problems stay in the output (escapes, markers) and its counts, as they always
  // did, and its reader's own warnings mark where the text went wrong; a warning without a place is none.
  if (!written.warnings.empty() && input_row(reader)->traces && input.available()) {
    tsd::Stream again = input.open();
    if (!again.is_open()) return;
    skip_byte_order_mark(again);
    ReaderReport trace;
    trace.keep = 0;
    for (const ReaderWarning& w : written.warnings) trace.wanted.push_back(w.offset);
    std::sort(trace.wanted.begin(), trace.wanted.end());
    // The hub itself is not wanted: it goes nowhere rather than into memory.
    HubOut nowhere(HubSink{[](void*, const unsigned char*, std::size_t) { return true; }, nullptr});
    // Lines laid out as the conversion laid them out, so that the hub's offsets are the same.
    input_row(reader)->read(context, again, nowhere, keep_cr, &trace);
    // The writer found its problems in the order of the hub, so the origins come in the same order.
    for (std::size_t i = 0; i < written.warnings.size() && i < trace.origins.size(); ++i) {
      ReaderWarning w = written.warnings[i];
      w.offset = input.raw_offset(trace.origins[i]);
      problems.push_back(std::move(w));
    }
  }
  // A document's reader placed its own by paragraph and character.
  const auto placed = std::stable_partition(problems.begin(), problems.end(),
                                            [](const ReaderWarning& w) { return w.paragraph != 0; });
  for (auto w = problems.begin(); w != placed; ++w)
    context.diagnostics(Diagnostic{Diagnostic::Kind::warning, input_name, static_cast<int>(w->paragraph),
                                   static_cast<int>(w->position), w->text.c_str()});
  problems.erase(problems.begin(), placed);
  if (!problems.empty()) {
    if (!input.available()) return;
    std::stable_sort(problems.begin(), problems.end(),
                     [](const ReaderWarning& a, const ReaderWarning& b) { return a.offset < b.offset; });
    PlaceReader places = input.places();
    places.count_characters();
    Place place{};
    std::string bytes;
    for (const ReaderWarning& problem : problems) {
      if (places.find(problem.offset, problem.offset + problem.length - 1, place, bytes) != 0) return;
      context.diagnostics(
          Diagnostic{Diagnostic::Kind::warning, input_name, place.line, place.column, problem.text.c_str()});
    }
  }
  const std::int64_t not_kept = read.not_kept + written.not_kept;
  if (not_kept > 0) {
    const std::string text = std::to_string(not_kept) +
                             " more problems, not placed: a conversion keeps the places of the first " +
                             std::to_string(read.keep);
    context.diagnostics(Diagnostic{Diagnostic::Kind::warning, input_name, 0, 0, text.c_str(), not_kept});
  }
}

}  // namespace tarvex
