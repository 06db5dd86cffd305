// The fast path's word learner: runs what the scan (fast_scan.h) leaves to the passes (a stretch, or the
// words met for the first time) through the Wylie pre-pass and the extraction, in memory from the passes'
// state where it starts; fills in the new words' records with their syllable-file bytes, counts and
// problems; places a stretch's problems in the input. Reads the text the scan hands it and the input
// window's offsets; writes the words' records, the stretch's bytes to the back, the problems found, and
// temporary files that take what the passes' would.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fast_input.h"
#include "fast_words.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

// Out of the scan's way: it holds what only learning reads, and the scan calls it only at what it does not
// know, so that the scan's loop keeps its own data to itself.
template <typename Last>
class WordLearner {
 public:
  WordLearner(const InputWindow& window, bool wylie, const TranslitTables& tables, int check_syllables,
              Last& back, ExtractionReport& found, bool place_problems, const TemporaryFiles& temporaries)
      : place_problems_(place_problems),
        temporaries_(temporaries),
        wylie_(wylie),
        tables_(tables),
        check_syllables_(check_syllables),
        back_(back),
        found_(found),
        window_(window) {}

  // What a stretch through the passes came to: the passes at rest after it, the extraction reading on
  // in a passage (the stretch must run further), or a failure.
  enum class Stretch { at_rest, reads_on, failed };

  // Converts `text`, whose first byte is the byte at index `at`, through the Wylie pre-pass and the
  // extraction, from their state before it: the pre-pass's syllable start, and the first "(" left open
  // before it (`open_parenthesis`, its input offset or -1, which the stretch updates). Counts and places
  // what the extraction found, and hands the syllable-file bytes to the back. Unless it runs to the end
  // of the input, a passage that the extraction reads on in leaves everything as it was.
  Stretch convert_stretch(std::string_view text, std::uint64_t at, bool starts_syllable, bool to_the_end,
                          std::int64_t& open_parenthesis) {
    const WylieStart start = wylie_start(starts_syllable);
    ExtractionState state;
    if (place_problems_ && open_parenthesis >= 0) state.open_parenthesis = ExtractionState::kBefore;
    ExtractionReport report;
    pieces_.assign(1, WyliePiece{text, start});
    const std::optional<std::string_view> syllables = extract(text, state, &report, nullptr);
    if (!syllables) return Stretch::failed;
    const auto reads_on = [](const SourceProblem& problem) {
      return problem.kind == SourceProblem::bracket_open || problem.kind == SourceProblem::brace_closed;
    };
    if (!to_the_end &&
        (report.not_kept > 0 || std::any_of(report.problems.begin(), report.problems.end(), reads_on)))
      return Stretch::reads_on;
    if (place_problems_ && report.not_kept > 0) return Stretch::failed;
    found_.syllables += report.syllables;
    found_.marked += report.marked;
    if (place_problems_ && !place_stretch_problems(report.problems, state, at, open_parenthesis))
      return Stretch::failed;
    stretch_bytes_.assign(*syllables);
    stretch_bytes_.append(kReadPast, ' ');
    back_.bytes(reinterpret_cast<const unsigned char*>(stretch_bytes_.data()), syllables->size());
    return Stretch::at_rest;
  }

  // The words met for the first time in the stretch, through the passes; false when the passes did not
  // give what the scan expects.
  [[gnu::noinline]] bool learn(const std::vector<NewWord>& fresh) {
    return convert_words(fresh) &&
           std::all_of(fresh.begin(), fresh.end(), [](const NewWord& w) { return w.record->learned; });
  }

  // The problems of a learned word, placed in its own bytes (Word::problems_at, problem_count).
  const WordProblem& problem(std::uint32_t i) const { return word_problems_[i]; }

  // Whether every temporary file written took its bytes.
  bool checks_flushed() {
    for (tsd::Stream& file : checks_)
      if (file.is_open() && (file.flush() != 0 || file.error())) return false;
    return true;
  }

 private:
  // Where the Wylie pre-pass starts a word or stretch: after white space, or after punctuation.
  WylieStart wylie_start(bool starts_syllable) const {
    return wylie_ && !starts_syllable ? WylieStart::after_punctuation : WylieStart::syllable;
  }

  // `text` through the Wylie pre-pass (for Wylie, `pieces_` of it, each from its start) and the extraction
  // (from `state`, left as the extraction ends), in memory: the syllable-file bytes, valid until the next
  // call, or nothing when a pass or a temporary file failed. `kvts`, when given, gets the text the
  // extraction read.
  std::optional<std::string_view> extract(std::string_view text, ExtractionState& state,
                                          ExtractionReport* report, std::string_view* kvts) {
    std::string_view read = text;
    if (wylie_ && wylie_to_kvts(pieces_, pre_pass_, read, &piece_starts_) != 0) return std::nullopt;
    if (kvts) *kvts = read;
    std::string_view syllables;
    if (extract_syllables(read, state, tables_, check_syllables_, report, &extraction_cache_, extraction_,
                          syllables) != 0)
      return std::nullopt;
    // What the passes write to their temporary files is written to such files too, so that one that fails
    // fails the scan as it fails the passes.
    if (!written_to(0, read) || !written_to(1, syllables)) return std::nullopt;
    return syllables;
  }

  // Offsets in the KVTS of the last text extracted made offsets in that text (for Wylie through the
  // pre-pass's steps, read again).
  void places_in_source(std::span<std::uint64_t> ends) const {
    if (wylie_) wylie_places_in_pieces(pieces_, piece_starts_, ends);
  }

  // The extraction's problems in a stretch that started at index `at` and ended in `state`: each placed in
  // the input, and the first open "(" kept for the end.
  bool place_stretch_problems(const std::vector<SourceProblem>& problems, const ExtractionState& state,
                              std::uint64_t at, std::int64_t& open_parenthesis) {
    // The "(" that the stretch left open, placed with the problems.
    const bool opened = state.open_parenthesis >= 0;
    const std::uint64_t open_at[] = {static_cast<std::uint64_t>(state.open_parenthesis)};
    const std::vector<std::uint64_t> ends = ends_in_input(
        problems, opened ? open_at : std::span<const std::uint64_t>{},
        [this](std::span<std::uint64_t> offsets) { places_in_source(offsets); },
        [this, at](std::uint64_t offset) { return window_.input_offset_at(at + offset); });
    for (std::size_t i = 0; i < problems.size(); ++i) {
      const std::uint64_t first = ends[2 * i];
      const std::uint64_t last = ends[2 * i + 1];
      if (last < first) return false;
      found_.add({problems[i].kind, problems[i].value, first, last - first + 1});
    }
    // The "(" before the stretch stays the first open one, unless the stretch closed it.
    if (opened)
      open_parenthesis = static_cast<std::int64_t>(ends.back());
    else if (state.open_parenthesis == ExtractionState::kNone)
      open_parenthesis = -1;
    return true;
  }

  // `bytes` written to temporary file `which` as the passes make it: false when it failed. Made once (one
  // that cannot be made fails here as it fails the passes) and emptied each time after where it can be.
  bool written_to(int which, std::string_view bytes) {
    tsd::Stream& file = checks_[static_cast<std::size_t>(which)];
    // Emptied where its bytes are all in memory, else written on; flushed at the end (checks_flushed).
    if (!file.is_open())
      file = temporaries_(which);
    else
      file.empty();
    if (!file.is_open()) return false;
    file.write(bytes);
    return !file.error();
  }

  // Each word on a line of its own through the Wylie pre-pass (from after punctuation where it starts no
  // syllable) and the extraction.
  bool convert_words(const std::vector<NewWord>& fresh) {
    // In Wylie a word that starts no syllable is a piece of the pre-pass's text of its own, from after
    // punctuation; the words that start one around it, each on a line of its own, go together.
    std::string text;
    std::vector<std::uint64_t> word_starts;                  // where each word's own bytes start in the text
    std::vector<std::pair<std::size_t, WylieStart>> starts;  // where each piece starts
    for (const NewWord& w : fresh) {
      const WylieStart start = wylie_start(w.starts_syllable);
      if (starts.empty() || start == WylieStart::after_punctuation || starts.back().second != start)
        starts.push_back({text.size(), start});
      word_starts.push_back(text.size());
      text.append(reinterpret_cast<const char*>(w.text), static_cast<std::size_t>(w.length));
      text += w.name ? "\n\n" : "\n";
    }
    pieces_.clear();
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const std::size_t end = i + 1 < starts.size() ? starts[i + 1].first : text.size();
      const std::string_view piece = std::string_view(text).substr(starts[i].first, end - starts[i].first);
      pieces_.push_back({piece, starts[i].second});
    }
    ExtractionReport report;
    ExtractionState state;
    std::string_view kvts;
    const std::optional<std::string_view> extracted =
        extract(text, state, place_problems_ ? &report : nullptr, &kvts);
    if (!extracted) return false;
    // Every problem of the new words is placed in its word, or the fast path declines.
    if (report.not_kept > 0) return false;
    const auto problems = problems_of_words(report.problems, word_starts, fresh);
    if (!problems) return false;
    const auto kvts_lines = lines_of(kvts);
    const auto syllable_lines = lines_of(*extracted);
    if (syllable_lines.size() != fresh.size()) return false;
    std::size_t line = 0;
    std::vector<std::string_view> learned;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      if (line >= kvts_lines.size()) return false;
      const std::string_view from = kvts_lines[line];
      line += fresh[i].name ? 2 : 1;
      const std::string_view to = syllable_lines[i];
      Word& w = *fresh[i].record;
      if (to.size() > static_cast<std::size_t>(kSyllableRoom)) {
        back_.spill(w, to);
      } else {
        w.length = static_cast<std::uint8_t>(to.size());
        std::memcpy(w.bytes.data(), to.data(), to.size());
      }
      // The extraction copies a name as it stands and counts nothing in it.
      const int syllables = fresh[i].name ? 0 : syllables_in(from);
      int marked = 0;
      for (std::size_t at = to.find("[~"); at != std::string_view::npos; at = to.find("[~", at + 2)) ++marked;
      // A word of more syllables than its record counts is left unlearned: the scan declines.
      if (syllables > UINT16_MAX || marked > UINT16_MAX) continue;
      w.learned = true;
      w.syllables = static_cast<std::uint16_t>(syllables);
      w.marked = static_cast<std::uint16_t>(marked);
      const auto [first, last] = problems->ranges[i];
      w.problems_at = static_cast<std::uint32_t>(word_problems_.size());
      w.problem_count = problems->unplaced[i] ? kUnplaced : static_cast<std::uint16_t>(last - first);
      if (!problems->unplaced[i])
        word_problems_.insert(word_problems_.end(),
                              problems->list.begin() + static_cast<std::ptrdiff_t>(first),
                              problems->list.begin() + static_cast<std::ptrdiff_t>(last));
      back_.prepare(w);
      learned.push_back(to);
    }
    tsd::Stream& check = checks_[2];
    if (!check.is_open() || check.empty() != 0) check = temporaries_(2);
    return back_.check(learned, check);
  }

  // The problems that the extraction found in the text of new words, each word's placed in its own input
  // bytes (for Wylie through the pre-pass's steps, read again).
  struct ProblemsOfWords {
    std::vector<WordProblem> list;                            // by word
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // each word's part of the list
    std::vector<bool> unplaced;                               // a problem outside the word's bytes
  };
  std::optional<ProblemsOfWords> problems_of_words(const std::vector<SourceProblem>& found,
                                                   const std::vector<std::uint64_t>& word_starts,
                                                   const std::vector<NewWord>& fresh) const {
    ProblemsOfWords words;
    words.ranges.assign(fresh.size(), {0, 0});
    words.unplaced.assign(fresh.size(), false);
    if (found.empty()) return words;
    std::vector<std::uint64_t> ends = first_and_last_bytes(found);
    places_in_source(ends);
    std::vector<std::pair<std::size_t, WordProblem>> placed;
    for (std::size_t i = 0; i < found.size(); ++i) {
      const std::uint64_t first = ends[2 * i];
      const std::uint64_t last = ends[2 * i + 1];
      const auto after = std::upper_bound(word_starts.begin(), word_starts.end(), first);
      if (after == word_starts.begin()) return std::nullopt;
      const auto word = static_cast<std::size_t>(after - word_starts.begin() - 1);
      const std::uint64_t start = word_starts[word];
      const bool inside =
          (found[i].kind == SourceProblem::syllable_marked || found[i].kind == SourceProblem::byte_dropped) &&
          last >= first && last < start + static_cast<std::uint64_t>(fresh[word].length);
      if (!inside) {
        words.unplaced[word] = true;
        continue;
      }
      placed.push_back({word, WordProblem{found[i].kind, static_cast<std::uint8_t>(found[i].value),
                                          static_cast<std::uint32_t>(first - start),
                                          static_cast<std::uint32_t>(last - first + 1)}});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [word, problem] : placed) {
      auto& range = words.ranges[word];
      if (range.first == range.second) range = {words.list.size(), words.list.size()};
      words.list.push_back(problem);
      ++range.second;
    }
    for (std::size_t i = 0; i < fresh.size(); ++i)
      if (words.ranges[i].second - words.ranges[i].first >= kUnplaced) words.unplaced[i] = true;
    return words;
  }

  const bool place_problems_;
  const TemporaryFiles& temporaries_;
  // The temporary files 0 to 2 that the passes would write, written as they would be.
  std::array<tsd::Stream, 3> checks_;
  // The passes' streams in memory, and what they were last given and gave.
  tsd::MemoryPass pre_pass_;
  tsd::MemoryPass extraction_;
  std::vector<WyliePiece> pieces_;
  std::vector<std::size_t> piece_starts_;  // where each piece's KVTS starts
  std::string stretch_bytes_;
  const bool wylie_;
  const TranslitTables& tables_;
  const int check_syllables_;
  ExtractionCache extraction_cache_;  // of these tables and check, for every batch and stretch
  Last& back_;
  ExtractionReport& found_;
  const InputWindow& window_;
  std::vector<WordProblem> word_problems_;
};

}  // namespace
}  // namespace tarvex::fast
