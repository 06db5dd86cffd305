#include "hub_rtf.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "font_code_pass.h"
#include "rtf_escape.h"
#include "rtf_pieces.h"
#include "stack_keys.h"
#include "tibetan.h"
#include "word_composer.h"
#include "word_memo.h"

namespace tarvex {

namespace {

constexpr int kMostKeys = 96;
constexpr std::size_t kLongestSyllable = 4096;

// The keys of recent syllables by their UTF-8, so that a syllable is read backwards once.
class SyllableCache {
 public:
  struct Entry {
    std::uint8_t length = 0;  // of the UTF-8; 0: an empty place
    std::int8_t key_count = 0;  // -1: the syllable cannot be typed
    char text[46];
    // Padded: a word's keys are packed from 16 readable bytes.
    std::array<unsigned char, 16> keys{};
  };
  static constexpr std::size_t kLongest = sizeof(Entry::text);

  SyllableCache() : entries_(kPlaces) {}
  // The place for `syllable` (at most kLongest bytes): its entry when it holds it, else one to fill.
  Entry& place(std::string_view syllable, bool& found) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : syllable) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    Entry& e = entries_[hash & (kPlaces - 1)];
    found = e.length == syllable.size() && std::memcmp(e.text, syllable.data(), syllable.size()) == 0;
    return e;
  }

 private:
  static constexpr std::size_t kPlaces = 4096;
  std::vector<Entry> entries_;
};

// The glyph-code bytes of the hub's punctuation, in the order of kPunctuation (". , : ? -").
constexpr char32_t kPunctuationMarks[] = {kTsheg, 0x0F0D, 0x0F14, 0x0F0E, 0x0F0F};

class HubRtf {
 public:
  HubRtf(BlockOutput& doc, const PieceTable& table, const ConverterKeyTables& tables, tsd::SyllableState& state,
         const HubRtfRequest& request, ReaderReport* problems)
      : rtf_(doc, table, request.fonts, request.font_count),
        keys_(tables),
        composer_(tables, state),
        marks_(font_code_marks(tables, state)),
        problems_(problems) {}

  void byte(unsigned char b) {
    const int c = decoder_.feed(b);
    if (c >= 0) character(static_cast<char32_t>(c));
    ++offset_;
  }

  void finish() {
    syllable_end();
    rtf_.finish();
  }

 private:
  void character(char32_t c) {
    const std::uint64_t at = offset_ + 1 - utf8_length(c);
    if (is_tibetan_letter(c) || (is_tibetan_sign(c) && !syllable_.empty())) {
      if (syllable_.empty()) syllable_start_ = at;
      append_utf8(c, syllable_);
      // No syllable is this long: what the hub holds in one is written in parts.
      if (syllable_.size() > kLongestSyllable) syllable_end();
      return;
    }
    syllable_end();
    if (is_tibetan_sign(c)) {
      // A sign with nothing to sit on.
      syllable_start_ = at;
      append_utf8(c, syllable_);
      syllable_end();
      return;
    }
    for (int i = 0; i < 5; ++i)
      if (c == kPunctuationMarks[i]) {
        const LayoutMark& mark = i == 0 ? marks_.separator : marks_.punctuation[static_cast<std::size_t>(i)];
        rtf_.glyphs(mark.bytes.data(), mark.length);
        return;
      }
    if (const char key = keys_.mark_key(c)) {
      const auto k = static_cast<unsigned char>(key);
      compose(&k, 1);
      return;
    }
    if (c == '\n' || c == '\t' || (c == ' ' && !in_roman_)) {
      const auto b = static_cast<unsigned char>(c);
      rtf_.glyphs(&b, 1);
      in_roman_ = false;
      return;
    }
    if (is_tibetan(c)) {
      marker(std::u32string(1, c), at, "no Tsendrel glyph for " + name_of(c));
      return;
    }
    roman_.clear();
    append_rtf_char(c, roman_);
    rtf_.roman(roman_);
    in_roman_ = true;
  }

  // A visarga ends a syllable (ཨཱཿཧཱུྃ is two): each part is written on its own.
  void syllable_end() {
    if (syllable_.empty()) return;
    static constexpr std::string_view kVisarga = "\xE0\xBD\xBF";
    const std::size_t visarga = syllable_.find(kVisarga);
    if (visarga != std::string::npos && visarga + kVisarga.size() < syllable_.size()) {
      const std::string rest = syllable_.substr(visarga + kVisarga.size());
      const std::uint64_t rest_start = syllable_start_ + visarga + kVisarga.size();
      syllable_.resize(visarga + kVisarga.size());
      syllable_part();
      syllable_ = rest;
      syllable_start_ = rest_start;
      syllable_end();
      return;
    }
    syllable_part();
  }

  void syllable_part() {
    in_roman_ = false;
    if (problems_) ++problems_->syllables;
    if (syllable_.size() <= SyllableCache::kLongest) {
      bool found = false;
      SyllableCache::Entry& e = cache_.place(syllable_, found);
      if (found && e.key_count >= 0 && compose(e.keys.data(), e.key_count)) {
        syllable_.clear();
        return;
      }
      if (!found) {
        char keys[kMostKeys];
        std::size_t from = 0, to = 0;
        const int n = typed(keys, keys_.syllable_keys(syllable_, keys, kMostKeys, from, to));
        if (n <= 15) {
          e.length = static_cast<std::uint8_t>(syllable_.size());
          std::memcpy(e.text, syllable_.data(), syllable_.size());
          e.key_count = static_cast<std::int8_t>(n);
          if (n > 0) std::memcpy(e.keys.data(), keys, static_cast<std::size_t>(n));
          if (n >= 0 && compose(e.keys.data(), n)) {
            syllable_.clear();
            return;
          }
        }
      }
    }
    char keys[kMostKeys];
    std::size_t bad_from = 0, bad_to = 0;
    const int n = typed(keys, keys_.syllable_keys(syllable_, keys, kMostKeys, bad_from, bad_to));
    if (n < 0 || !compose(reinterpret_cast<const unsigned char*>(keys), n)) {
      if (n >= 0) bad_from = 0, bad_to = syllable_.size();
      std::u32string text;
      for (std::size_t i = 0; i < syllable_.size();) text += decode(syllable_, i);
      std::string part = syllable_.substr(bad_from, bad_to - bad_from);
      marker(text, syllable_start_ + bad_from, "cannot write \"" + part + "\" in the Tsendrel fonts");
    }
    syllable_.clear();
  }

  // The `n` keys without the word break between ga and ya (g.y): the font-code pass lays it out between
  // words and never types it, and the composer would take it for its symbol key.
  static int typed(char* keys, int n) {
    if (n <= 0) return n;
    char* const end = std::remove(keys, keys + n, static_cast<char>(kWordBreak));
    return static_cast<int>(end - keys);
  }

  // The composer's glyphs for a word's keys, replayed from the word memo where the composer made them
  // before from the same history; false when it refused a key or the glyphs overflowed.
  bool compose(const unsigned char* keys, int n) {
    const bool memo = n <= kMemoKeys && composer_at_rest(composer_.state());
    // Packing reads 16 bytes: short runs are copied into room that has them.
    std::array<unsigned char, 16> padded{};
    if (memo) std::memcpy(padded.data(), keys, static_cast<std::size_t>(n));
    const MemoKeys packed = memo ? pack_run(padded.data(), n) : MemoKeys{};
    if (memo)
      if (const MemoWord* word = composer_.replay(packed)) {
        rtf_.glyphs(word->glyphs.data(), word->glyph_count);
        return true;
      }
    composer_.start(packed);
    for (int i = 0; i < n; ++i)
      if (!composer_.add(keys[i])) {
        composer_.state().depth = 0;
        return false;
      }
    const auto glyphs = composer_.finish();
    rtf_.glyphs(glyphs.data(), glyphs.size());
    return true;
  }

  void marker(const std::u32string& text, std::uint64_t at, const std::string& why) {
    if (problems_) {
      ++problems_->not_converted;
      problems_->warn(at, 1, why);
    }
    roman_ = "[~";
    for (const char32_t c : text) append_rtf_char(c, roman_);
    roman_ += ']';
    rtf_.roman(roman_);
    in_roman_ = false;
  }

  static int utf8_length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }
  static void append_utf8(char32_t c, std::string& s) {
    char bytes[4];
    s.append(bytes, static_cast<std::size_t>(put_utf8(c, bytes)));
  }
  static char32_t decode(const std::string& s, std::size_t& i) {
    Utf8Decoder d;
    int c = Utf8Decoder::kMore;
    while (c == Utf8Decoder::kMore && i < s.size()) c = d.feed(static_cast<unsigned char>(s[i++]));
    return c >= 0 ? static_cast<char32_t>(c) : kReplacement;
  }
  static std::string name_of(char32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
  }

  TsendrelRtf<BlockOutput> rtf_;
  StackKeys keys_;
  WordComposer composer_;
  SyllableCache cache_;
  LayoutMarks marks_;
  ReaderReport* problems_;
  Utf8Decoder decoder_;
  std::uint64_t offset_ = 0;
  std::string syllable_;
  std::uint64_t syllable_start_ = 0;
  std::string roman_;
  bool in_roman_ = false;  // a space after text that is not Tibetan stays in its font
};

}  // namespace

int write_hub_rtf(tsd::Stream& hub, tsd::Stream& out, const ConverterKeyTables& tables,
                  tsd::SyllableState& state, const HubRtfRequest& request, ReaderReport* problems) {
  if (request.font_count < 1 || request.font_count > kMaxRtfFonts) return -1;
  const PieceTable table(request.fonts, request.font_count, request.font_base, request.roman_size,
                         request.tib_size, request.small_tib_size);
  {
    BlockOutput doc(out);
    HubRtf writer(doc, table, tables, state, request, problems);
    tsd::read_rest(hub, [&writer](const unsigned char* p, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) writer.byte(p[i]);
      return true;
    });
    writer.finish();
  }
  return out.flush() == 0 && !out.error() && !hub.error() ? 0 : -1;
}

}  // namespace tarvex
