// The scan's way through the passes (see fast_scan.h): a stretch the scan leaves to them, the extraction
// of a batch of text, the new words of a stretch learned through the temporary batch files, and the
// problems the extraction found placed in the input.
#pragma once

#include "fast_scan.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

template <typename Last>
auto Scan<Last>::convert_stretch(std::string_view text, std::uint64_t at, bool starts_syllable,
                                 bool to_the_end) -> Stretch {
  const bool open = place_problems_ && open_parenthesis_ >= 0;
  const bool slash = wylie_ && !starts_syllable;
  std::string source = open ? "(\n" : "";
  std::string before = open ? std::string{static_cast<char>(kSmallStart), '\n'} : std::string();
  if (slash) {
    source += '/';
    before += ',';
  }
  const std::size_t prefix = source.size();
  source.append(text);
  ExtractionReport report;
  tsd::Stream* const extracted = extract(source, &report, nullptr);
  if (!extracted) return Stretch::failed;
  tsd::Stream& syllables = *extracted;
  tsd::Stream& file = batch_files_[0];
  const auto reads_on = [](const SourceProblem& problem) {
    return problem.kind == SourceProblem::bracket_open || problem.kind == SourceProblem::brace_closed;
  };
  if (!to_the_end &&
      (report.not_kept > 0 || std::any_of(report.problems.begin(), report.problems.end(), reads_on)))
    return Stretch::reads_on;
  if (place_problems_ && report.not_kept > 0) return Stretch::failed;
  std::string converted = read_all(syllables);
  if (converted.compare(0, before.size(), before) != 0) return Stretch::failed;
  const std::size_t length = converted.size() - before.size();
  converted.append(kReadPast, ' ');
  found_.syllables += report.syllables;
  found_.marked += report.marked;
  if (place_problems_ && !place_stretch_problems(report.problems, file, prefix, at)) return Stretch::failed;
  back_.bytes(reinterpret_cast<const unsigned char*>(converted.data()) + before.size(), length);
  return Stretch::at_rest;
}

template <typename Last>
auto Scan<Last>::extract(std::string_view text, ExtractionReport* report, std::string* kvts) -> tsd::Stream* {
  tsd::Stream& source = batch_file(0, 0);
  tsd::Stream& syllables = batch_file(2, 1);
  if (!source.is_open() || !syllables.is_open()) return nullptr;
  source.write(text);
  if (source.rewind() != 0 || source.error()) return nullptr;
  tsd::Stream* read = &source;
  if (wylie_) {
    tsd::Stream& pre_pass = batch_file(1, 0);
    if (!pre_pass.is_open() || wylie_to_kvts(source, pre_pass) != 0 || pre_pass.rewind() != 0) return nullptr;
    read = &pre_pass;
  }
  if (kvts) {
    *kvts = read_all(*read);
    if (read->rewind() != 0) return nullptr;
  }
  if (extract_syllables(*read, syllables, tables_, check_syllables_, report, &extraction_cache_) != 0 ||
      syllables.rewind() != 0)
    return nullptr;
  return &syllables;
}

template <typename Last>
auto Scan<Last>::ends_in_source(const std::vector<SourceProblem>& problems, tsd::Stream& source,
                                std::vector<std::uint64_t>& ends) const -> bool {
  ends = first_and_last_bytes(problems);
  if (!wylie_) return true;
  if (source.rewind() != 0) return false;
  wylie_places_in_any_order(source, ends);
  return true;
}

template <typename Last>
auto Scan<Last>::place_stretch_problems(const std::vector<SourceProblem>& problems, tsd::Stream& source,
                                        std::size_t prefix, std::uint64_t at) -> bool {
  std::vector<std::uint64_t> ends;
  if (!ends_in_source(problems, source, ends)) return false;
  bool parenthesis = false;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const std::uint64_t first = ends[2 * i];
    const std::uint64_t last = ends[2 * i + 1];
    if (problems[i].kind == SourceProblem::parenthesis_open) {
      // The "(" before the stretch stays the first open one, unless the stretch closed it.
      parenthesis = true;
      if (first >= prefix)
        open_parenthesis_ = static_cast<std::int64_t>(input_offset_at(at + first - prefix));
      continue;
    }
    if (first < prefix || last < first) return false;
    const std::uint64_t from = input_offset_at(at + first - prefix);
    found_.add({problems[i].kind, problems[i].value, from, input_offset_at(at + last - prefix) - from + 1});
  }
  if (!parenthesis) open_parenthesis_ = -1;
  return true;
}

template <typename Last>
auto Scan<Last>::batch_file(int slot, int which) -> tsd::Stream& {
  tsd::Stream& file = batch_files_[static_cast<std::size_t>(slot)];
  if (!file.is_open() || file.empty() != 0) file = temporaries_(which);
  return file;
}

template <typename Last>
auto Scan<Last>::convert_words(const std::vector<NewWord>& fresh) -> bool {
  std::string text;
  std::vector<std::uint64_t> word_starts;  // where each word's own bytes start in the text
  for (const NewWord& w : fresh) {
    if (wylie_ && !w.starts_syllable) text += '/';
    word_starts.push_back(text.size());
    text.append(reinterpret_cast<const char*>(w.text), static_cast<std::size_t>(w.length));
    text += w.name ? "\n\n" : "\n";
  }
  ExtractionReport report;
  std::string kvts;
  tsd::Stream* const extracted = extract(text, place_problems_ ? &report : nullptr, &kvts);
  if (!extracted) return false;
  // Every problem of the new words is placed in its word, or the fast path declines.
  if (report.not_kept > 0) return false;
  const auto problems = problems_of_words(report.problems, batch_files_[0], word_starts, fresh);
  if (!problems) return false;
  tsd::Stream& syllables = *extracted;
  const std::string converted = read_all(syllables);
  const auto kvts_lines = lines_of(kvts);
  const auto syllable_lines = lines_of(converted);
  if (syllable_lines.size() != fresh.size()) return false;
  std::size_t line = 0;
  std::vector<std::string_view> learned;
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    if (line >= kvts_lines.size()) return false;
    std::string_view from = kvts_lines[line];
    line += fresh[i].name ? 2 : 1;
    std::string_view to = syllable_lines[i];
    if (wylie_ && !fresh[i].starts_syllable) {
      if (from.empty() || from[0] != ',' || to.empty() || to[0] != ',') return false;
      from.remove_prefix(1);
      to.remove_prefix(1);
    }
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
      word_problems_.insert(word_problems_.end(), problems->list.begin() + static_cast<std::ptrdiff_t>(first),
                            problems->list.begin() + static_cast<std::ptrdiff_t>(last));
    back_.prepare(w);
    learned.push_back(to);
  }
  return back_.check(learned, batch_file(3, 2));
}

template <typename Last>
auto Scan<Last>::problems_of_words(const std::vector<SourceProblem>& found, tsd::Stream& source,
                                   const std::vector<std::uint64_t>& word_starts,
                                   const std::vector<NewWord>& fresh) const
    -> std::optional<ProblemsOfWords> {
  ProblemsOfWords words;
  words.ranges.assign(fresh.size(), {0, 0});
  words.unplaced.assign(fresh.size(), false);
  if (found.empty()) return words;
  std::vector<std::uint64_t> ends;
  if (!ends_in_source(found, source, ends)) return std::nullopt;
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

}  // namespace
}  // namespace tarvex::fast
