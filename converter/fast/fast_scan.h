// The scan of the fast path: reads the input through the input window (fast_input.h) in blocks cut after
// white space, cuts them into words with the word lexer (fast_lexer.h), finds each word in the table of
// words met before, learns new words a stretch at a time through the passes (the word learner,
// fast_learner.h), places the problems of the words it knows, and hands every item to the back. Reads the
// input; writes the back and the problems found.
#pragma once

#include "fast_input.h"
#include "fast_learner.h"
#include "fast_lexer.h"
#include "fast_words.h"

namespace tarvex::fast {
// Internal to the fast path (fast_path.cpp alone includes these headers), as the compiler best inlines it.
namespace {

// Reads the input in blocks cut after white space (or before a bracket), and hands each item to the back:
// words through the table of words met before, white space and marks as the syllable file has them.
template <typename Last>
class Scan {
 public:
  Scan(tsd::Stream& in, bool wylie, const TranslitTables& tables, int check_syllables, Last& back,
       ExtractionReport& found, bool place_problems, const TemporaryFiles& temporaries)
      : place_problems_(place_problems),
        learner_(window_, wylie, tables, check_syllables, back, found, place_problems, temporaries),
        wylie_(wylie),
        back_(back),
        found_(found),
        window_(in, place_problems),
        lexer_(window_.text(), wylie) {}

  // False when the input holds something that the scan declines.
  // Out of line: inlined into its one caller, the scan's loop has fewer registers (5% more instructions).
  [[gnu::noinline]] bool run() {
    std::size_t have = 0;
    bool eof = false;
    window_.start();
    for (;;) {
      if (have < kChunk && !eof)
        eof = !window_.read(kChunk - have, window_.consumed() + have,
                            [&](const unsigned char* p, std::size_t n) {
                              std::memcpy(window_.text() + have, p, n);
                              have += n;
                            });
      if (window_.error()) return false;
      // White space past the bytes ends any word there.
      std::memset(window_.text() + have, ' ', kSlack);
      lexer_.mark_word_ends(have + kSlack);
      const unsigned char* const start = lexer_.text();
      const unsigned char* upto = start + have;
      if (!eof)
        while (upto > start && lexer_.scheme().kinds[upto[-1]] != Source::white) --upto;
      // A buffer without white space goes through the passes with the rest of the input.
      const unsigned char* stop = upto == start && !eof ? to_the_end(start, start + have, false).at
                                                        : items(start, upto, start + have, eof);
      if (!stop) return false;
      const auto used = static_cast<std::size_t>(stop - start);
      if (used == 0 && (eof || have >= kChunk)) {
        if (have != 0) return false;
        break;
      }
      // The byte before the text tells whether a syllable starts at its first word.
      window_.drop(used, have);
      have -= used;
      if (eof && have == 0) break;
    }
    if (!learner_.checks_flushed()) return false;
    back_.finish();
    if (place_problems_ && open_parenthesis_ >= 0)
      found_.add({SourceProblem::parenthesis_open, 0, static_cast<std::uint64_t>(open_parenthesis_), 1});
    return true;
  }

 private:
  static constexpr std::size_t kChunk = InputWindow::kChunk;
  static constexpr std::size_t kSlack = InputWindow::kSlack;
  // Words found at once before they are written.
  static constexpr std::size_t kStretchWords = 1 << 16;
  // Words too long for a key remembered at once, apart from the table.
  static constexpr std::size_t kLongWords = 1 << 12;
  // The words learned ahead of where they are met: those too long for a key, and those nearly as long,
  // which prose rarely has but mantras do (in KVTS mostly 14 or 15 bytes).
  static constexpr int kShortestAhead = 12;
  static constexpr int kLongestAhead = 1 << 10;

  // A word too long for a key, remembered by its bytes apart from the table: its record, or null, and
  // its length in n.
  [[gnu::noinline]] Word* long_word_at(const unsigned char* p, int& n) {
    n = lexer_.run_length(p);
    const auto found = long_words_.find(long_key(p, n));
    return found == long_words_.end() ? nullptr : found->second;
  }
  std::string long_key(const unsigned char* p, int n) const {
    std::string key(1, wylie_ && lexer_.starts_syllable(p) ? 's' : '-');
    key.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
    return key;
  }

  // Converts the items that start before `upto`; each word and passage lies whole before `have_end`.
  // Returns where it stopped (before an item that the passes convert with more than the buffer holds),
  // or null when it declines. Words found in the table are written as they are met. At a word never met
  // before, the stretch that starts there is read twice: first for its words, found in the table or met
  // for the first time and then learned together, then for what it writes.
  const unsigned char* items(const unsigned char* p, const unsigned char* upto, const unsigned char* have_end,
                             bool eof) {
    while (p < upto) {
      const Written known = write_items<false>(p, upto, have_end);
      p = known.at;
      if (known.end == Ending::end) return p;
      if (known.end == Ending::passes) {
        const Passed passed = through_passes(p, have_end, eof);
        if (!passed.at || passed.stopped) return passed.at;
        p = passed.at;
        continue;
      }
      // A new word of kShortestAhead bytes or more is a stretch alone: the like words of the rest of the
      // buffer join its batch, and the words after it, mostly known, are read once.
      const unsigned char* const stretch_end =
          lexer_.scheme().kinds[*p] == Source::word && lexer_.run_length(p) >= kShortestAhead
              ? find_words<true>(p, upto, have_end)
              : find_words<false>(p, upto, have_end);
      if (ahead_due_) meet_words_ahead(stretch_end, upto);
      if (!fresh_.empty() && !learner_.learn(fresh_)) return nullptr;
      p = write_items<true>(p, stretch_end, have_end).at;
      words_.retire();
    }
    return p;
  }

  // The words of the stretch at p, in tokens_, as the scan meets them in write_items; those never met
  // before also in fresh_. Returns where the stretch ends: at most kStretchWords words on, or before an
  // item that the passes convert; with kAlone, after the first word.
  template <bool kAlone>
  const unsigned char* find_words(const unsigned char* p, const unsigned char* upto,
                                  const unsigned char* have_end) {
    token_count_ = 0;
    fresh_.clear();
    ahead_due_ = false;
    if (long_words_.size() >= kLongWords) {
      for (const auto& [key, w] : long_words_) back_.forget(*w);
      long_words_.clear();
      long_used_ = 0;
    }
    while (p < upto && token_count_ < (kAlone ? 1 : kStretchWords)) {
      const Source kind = lexer_.scheme().kinds[*p];
      if (kind == Source::word || kind == Source::name) {
        const bool name = kind == Source::name;
        PackedRun key;
        int n = lexer_.key_at(p, name, key);
        if (n == 0 && name) return p;
        Word* w = n == 0 ? long_word_at(p, n) : words_.find(key);
        if (!name && lexer_.scheme().kinds[p[n]] == Source::odd) return p;
        if (!w)
          w = &meet(
              NewWord{key, p, n, lexer_.starts_syllable(p), name,
                      key.length() == 0 ? &long_record(p, n) : nullptr});
        tokens_[token_count_++] = w;
        p += n;
        // A name swallows the byte that ends it.
        if (name && p < have_end) ++p;
        continue;
      }
      if (kind == Source::odd) return p;
      if (kind == Source::bracket) {
        const auto* close = static_cast<const unsigned char*>(
            std::memchr(p + 1, ']', static_cast<std::size_t>(have_end - p - 1)));
        if (!close) return p;
        p = close;
      }
      ++p;
    }
    return p;
  }

  // A word met for the first time: a record for it, learned before the stretch is written.
  [[gnu::noinline]] Word& meet(NewWord w) {
    if (!w.record) w.record = &words_.add(w.key);
    if (w.length >= kShortestAhead) ahead_due_ = true;
    fresh_.push_back(w);
    return *w.record;
  }
  // Words of kShortestAhead bytes or more are mostly met once (mantras): when the stretch meets a new one,
  // those in the rest of the buffer join its batch, found 64 bytes at a time from the bits of word ends,
  // rather than each starting a stretch of its own when met.
  [[gnu::noinline]] void meet_words_ahead(const unsigned char* from, const unsigned char* upto) {
    const unsigned char* const start = std::max<const unsigned char*>(
        from, ahead_until_ > window_.consumed() ? window_.at_index(ahead_until_) : lexer_.text());
    const auto last = static_cast<std::size_t>(upto - lexer_.text());
    // Words met at once: so few that those too long for a key are not forgotten before they are met, nor
    // the others pushed out of the table.
    std::size_t room = kLongWords / 2 - std::min(long_words_.size(), kLongWords / 2);
    // The words of kShortestAhead bytes or more that start in the 64 bytes from `at`.
    const auto meet_in = [&](std::size_t at) {
      const unsigned char* const ends = lexer_.stops() + at / 8;
      // Bit i: the byte at + i lies in a word; then, the kShortestAhead bytes from there do.
      const std::uint64_t in_word = ~load_8(ends);
      std::uint64_t runs = in_word;
      std::uint64_t past = ~load_8(ends + 8);
      // Runs of 2, 4, 8 and then 12 bytes.
      static_assert(kShortestAhead == 12);
      for (const int shift : {1, 2, 4, 4}) {
        runs &= runs >> shift | past << (64 - shift);
        past &= past >> shift;
      }
      // Whether the byte before `at` lies in a word (the byte before the text is white space).
      const std::uint64_t before = at > 0 ? ~ends[-1] >> 7 & 1 : 0;
      for (std::uint64_t starts = runs & ~(in_word << 1 | before); starts != 0; starts &= starts - 1) {
        const unsigned char* const p =
            lexer_.text() + at + static_cast<std::size_t>(std::countr_zero(starts));
        if (p < start || p >= upto || p[-1] == '@' || room == 0) continue;
        const int n = lexer_.run_length(p);
        if (n > kLongestAhead) continue;
        const bool starts_here = lexer_.starts_syllable(p);
        PackedRun key;
        Word* record = nullptr;
        if (n > kLongestPackedRun) {
          if (long_words_.contains(long_key(p, n))) continue;
          record = &long_record(p, n);
        } else {
          key = lexer_.key_of(p, n, starts_here);
          if (words_.find(key)) continue;
        }
        meet(NewWord{key, p, n, starts_here, false, record});
        --room;
      }
    };
    // 12 bytes in a word hold 8 from the start of a half byte of the ends: a byte of them that is 0, or
    // the high half of one with the low half of the next. Most blocks of text hold none.
    const auto may_start = [](const unsigned char* ends) {
      constexpr std::uint64_t kOnes = 0x0101010101010101;
      const auto zero_byte = [](std::uint64_t x) { return ((x - kOnes) & ~x & kOnes << 7) != 0; };
      const std::uint64_t here = load_8(ends);
      return zero_byte(here) || zero_byte(here >> 4 | std::uint64_t{ends[8]} << 60) || ends[8] == 0;
    };
    std::size_t at = static_cast<std::size_t>(start - lexer_.text()) / 64 * 64;
    for (; at < last && room > 0; at += 64) {
      const unsigned char* const ends = lexer_.stops() + at / 8;
#ifdef TARVEX_SSE2
      // 128 bytes at once: a bit for each byte of their ends, with the half after it.
      if (at + 192 <= last) {
        const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ends + 1));
        const __m128i halves = _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi8(static_cast<char>(0xF0))),
                                            _mm_and_si128(next, _mm_set1_epi8(0x0F)));
        const __m128i zero = _mm_setzero_si128();
        const auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bits, zero), _mm_cmpeq_epi8(halves, zero))));
        if ((found & 0x1FF) != 0) meet_in(at);
        at += 64;
        if ((found >> 8) != 0 || ends[16] == 0) meet_in(at);
        continue;
      }
#endif
      if (may_start(ends)) meet_in(at);
    }
    ahead_until_ = window_.consumed() + std::min(at, last);
  }

  // A record for a new word too long for a key, from those kept for such words until they are forgotten.
  [[gnu::noinline]] Word& long_record(const unsigned char* p, int n) {
    if (long_used_ == long_records_.size() * kLongRecordsAtOnce)
      long_records_.emplace_back(new Word[kLongRecordsAtOnce]);
    Word& record = long_records_[long_used_ / kLongRecordsAtOnce][long_used_ % kLongRecordsAtOnce];
    ++long_used_;
    record = Word{};
    long_words_[long_key(p, n)] = &record;
    return record;
  }

  // Why write_items stopped: at the end, at a word not in the table, or at an item that the passes
  // convert.
  enum class Ending { end, new_word, passes };
  struct Written {
    const unsigned char* at;
    Ending end;
  };

  // Writes the items from p to `end`: with the words that find_words found (kFound), or else with those
  // that the table finds, up to the first it does not.
  template <bool kFound>
  [[gnu::always_inline]] Written write_items(const unsigned char* p, const unsigned char* end,
                                             const unsigned char* have_end) {
    Word* const* token = tokens_.get();
    // The word at p and its length, or null when the table does not know it (the length of a name that
    // the passes convert, 0).
    const auto word_at = [&](const unsigned char* at, int& n, bool name) -> Word* {
      if constexpr (kFound) {
        Word* w = *token++;
        n = input_length(*w);
        if (n == 0) [[unlikely]]
          n = lexer_.run_length(at);
        return w;
      } else {
        PackedRun key;
        n = lexer_.key_at(at, name, key);
        if (n == 0) [[unlikely]]
          return name ? nullptr : long_word_at(at, n);
        return words_.find(key);
      }
    };
    // Counted here and added once, out of the loop.
    std::uint64_t syllables = 0;
    std::uint64_t marked = 0;
    const auto stop = [&](const unsigned char* at, Ending ending) {
      found_.syllables += syllables;
      found_.marked += marked;
      return Written{at, ending};
    };
    while (p < end) {
      const int c = *p;
      const Source kind = lexer_.scheme().kinds[c];
      if (kind == Source::word) [[likely]] {
        int n = 0;
        Word* w = word_at(p, n, false);
        const unsigned char after = p[n];
        // A word glued to a byte that the passes convert goes with it; so does one whose problems the
        // scan cannot place.
        if (after != ' ' && lexer_.scheme().kinds[after] == Source::odd) [[unlikely]]
          return stop(p, Ending::passes);
        if (!w) return stop(p, Ending::new_word);
        if (place_problems_ && w->problem_count != 0 && !place(*w, p)) return stop(p, Ending::passes);
        syllables += w->syllables;
        marked += w->marked;
        p += n;
        // Most words end at a blank.
        if (after == ' ' && p < end) {
          back_.word_and_blank(*w);
          ++p;
        } else {
          back_.word(*w);
        }
        continue;
      }
      switch (kind) {
        case Source::white:
          back_.byte(static_cast<unsigned char>(c));
          break;
        case Source::word:  // taken above
          break;
        case Source::dot:
          // "g.y" is "g", a word break and "y".
          back_.byte(tsheg_breaks_within(p[-1], p[1]) ? kHyphenMarker : ' ');
          break;
        case Source::mark:
          // The extraction tells of the first "(" that no ")" closes.
          if (place_problems_ && c == '(' && open_parenthesis_ < 0) open_parenthesis(p);
          if (c == ')') open_parenthesis_ = -1;
          back_.byte(lexer_.scheme().marks[c]);
          break;
        case Source::bracket: {
          const auto* close = static_cast<const unsigned char*>(
              std::memchr(p + 1, ']', static_cast<std::size_t>(have_end - p - 1)));
          if (!close) return stop(p, Ending::passes);
          back_.bytes(p, static_cast<std::size_t>(close - p + 1));
          p = close + 1;
          continue;
        }
        case Source::name: {
          int n = 0;
          Word* w = word_at(p, n, true);
          if (!w) return stop(p, n == 0 ? Ending::passes : Ending::new_word);
          back_.word(*w);
          p += n;
          if (p < end) ++p;  // the byte that ends the name, which the extraction swallows
          continue;
        }
        case Source::odd:
          return stop(p, Ending::passes);
      }
      ++p;
    }
    return stop(p, Ending::end);
  }

  [[gnu::noinline]] void open_parenthesis(const unsigned char* p) {
    open_parenthesis_ = static_cast<std::int64_t>(window_.input_offset(p));
  }

  // The word's problems at the word at p; false when they cannot be placed there.
  [[gnu::noinline]] bool place(const Word& w, const unsigned char* p) {
    if (w.problem_count == kUnplaced) return false;
    const std::uint64_t at = window_.input_offset(p);
    for (int i = 0; i < w.problem_count; ++i) {
      const WordProblem& problem = learner_.problem(w.problems_at + static_cast<std::uint32_t>(i));
      found_.add({problem.kind, problem.value, at + problem.offset, problem.length});
    }
    return true;
  }

  // Where a stretch through the passes left the scan: after it, or before it (`stopped`) to read more
  // of the input first; null when the scan declines.
  struct Passed {
    const unsigned char* at;
    bool stopped;
  };

  // The item at p, which the scan leaves to the passes, with what follows it up to white space where the
  // passes are at rest, through the passes; where they read on past the bytes read, with the rest of the
  // input.
  [[gnu::noinline]] Passed through_passes(const unsigned char* p, const unsigned char* have_end, bool eof) {
    if (const unsigned char* cut = lexer_.rest_after(p, have_end)) {
      const std::string_view text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(cut - p + 1));
      switch (learner_.convert_stretch(text, window_.index_of(p), lexer_.starts_syllable(p), false,
                                       open_parenthesis_)) {
        case Stretch::at_rest:
          return {cut + 1, false};
        case Stretch::failed:
          return {nullptr, false};
        case Stretch::reads_on:
          break;
      }
    } else if (!eof && p > lexer_.text()) {
      return {p, true};
    }
    return to_the_end(p, have_end, eof);
  }

  // The bytes from p and the rest of the input, through the passes.
  Passed to_the_end(const unsigned char* p, const unsigned char* have_end, bool eof) {
    std::string text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(have_end - p));
    if (!eof) {
      window_.read(SIZE_MAX, window_.index_of(have_end), [&text](const unsigned char* bytes, std::size_t n) {
        text.append(reinterpret_cast<const char*>(bytes), n);
      });
      if (window_.error()) return {nullptr, false};
    }
    if (learner_.convert_stretch(text, window_.index_of(p), lexer_.starts_syllable(p), true,
                                 open_parenthesis_) != Stretch::at_rest)
      return {nullptr, false};
    return {have_end, false};
  }

  using Stretch = typename WordLearner<Last>::Stretch;

  const bool place_problems_;
  // What learns new words; its data lies apart from the scan's.
  WordLearner<Last> learner_;
  const bool wylie_;
  Last& back_;
  ExtractionReport& found_;
  WordTable words_;
  InputWindow window_;
  WordLexer lexer_;
  std::int64_t open_parenthesis_ = -1;
  // The words of the stretch being written, and those of them met for the first time.
  std::unique_ptr<Word* []> tokens_ { new Word*[kStretchWords] };
  std::size_t token_count_ = 0;
  std::vector<NewWord> fresh_;
  std::unordered_map<std::string, Word*> long_words_;
  static constexpr std::size_t kLongRecordsAtOnce = 256;
  std::vector<std::unique_ptr<Word[]>> long_records_;
  std::size_t long_used_ = 0;
  bool ahead_due_ = false;         // a new word of kShortestAhead bytes or more in the stretch
  std::uint64_t ahead_until_ = 0;  // the index up to which words ahead were met
};

}  // namespace
}  // namespace tarvex::fast
