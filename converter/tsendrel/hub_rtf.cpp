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
constexpr unsigned char kGyBreak = 25;  // between the keys of ga and ya that stack no more
constexpr std::size_t kLongestSyllable = 4096;

// The keys of recent syllables by their UTF-8, so that a syllable is read backwards once; its keys also
// packed as the word memo finds them.
class SyllableCache {
 public:
  struct Entry {
    std::uint8_t length = 0;    // of the UTF-8; 0: an empty place
    std::int8_t key_count = 0;  // -1: the syllable cannot be typed
    char text[38];
    // Padded: a word's keys are packed from 16 readable bytes.
    std::array<unsigned char, 16> keys{};
    MemoKeys packed;
  };
  static constexpr std::size_t kLongest = sizeof(Entry::text);

  // The place for `syllable` (1 to kLongest bytes): its entry when it holds it, else one to fill.
  Entry& place(std::string_view syllable, bool& found) {
    const std::size_t n = syllable.size();
    Entry& e = entries_[hub_run_key(syllable).hash >> (64 - kPlaceBits)];
    found = e.length == n && std::memcmp(e.text, syllable.data(), n) == 0;
    return e;
  }

 private:
  static constexpr int kPlaceBits = 12;
  std::vector<Entry> entries_{std::size_t{1} << kPlaceBits};
};

// The hub's punctuation, in the order of the layout's punctuation keys (". , : ? -").
constexpr char32_t kPunctuationMarks[] = {kTsheg, 0x0F0D, 0x0F14, 0x0F0E, 0x0F0F};

class HubRtf {
 public:
  HubRtf(BlockOutput& doc, const PieceTable& table, const ConverterKeyTables& tables,
         tsd::SyllableState& state, const HubRtfRequest& request, ReaderReport* problems)
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

  // A run of the hub's bytes. Syllables and tshegs that lie whole in it are taken straight from its
  // bytes; everything else, and what straddles its end, a character at a time.
  void run(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
      if (decoder_.holding() || !syllable_.empty() || n - i < 3 || p[i] != 0xE0) {
        byte(p[i++]);
        continue;
      }
      const char32_t c = tibetan_at(p + i);
      if (c == kTsheg) {
        separator();
        i += 3;
        offset_ += 3;
        continue;
      }
      if (!is_tibetan_letter(c)) {
        byte(p[i++]);
        continue;
      }
      std::size_t end = i + 3;
      while (n - end >= 3 && p[end] == 0xE0 && in_syllable(tibetan_at(p + end))) end += 3;
      if (n - end < 3) {  // the syllable may go on in the next run
        byte(p[i++]);
        continue;
      }
      syllable(std::string_view(reinterpret_cast<const char*>(p + i), end - i), offset_);
      offset_ += end - i;
      i = end;
    }
  }

  void finish() {
    syllable_end();
    flush();
    rtf_.finish();
  }

 private:
  // The character of the three bytes at p (the first is 0xE0): U+0F00..U+0FFF, or 0 for another.
  static char32_t tibetan_at(const unsigned char* p) {
    if ((p[1] & 0xFC) != 0xBC || (p[2] & 0xC0) != 0x80) return 0;
    return 0x0F00 + (static_cast<char32_t>(p[1] & 3) << 6 | (p[2] & 0x3F));
  }
  static bool in_syllable(char32_t c) { return kSyllableChars[c & 0xFF] && is_tibetan(c); }
  static constexpr auto kSyllableChars = [] {
    std::array<bool, 256> chars{};
    for (char32_t c = 0x0F00; c <= 0x0FFF; ++c)
      chars[c - 0x0F00] = is_tibetan_letter(c) || is_tibetan_sign(c);
    return chars;
  }();

  // Glyph bytes go to the document in large runs.
  void emit(const unsigned char* bytes, std::size_t n) {
    if (n > glyphs_.size() - pending_) flush();
    if (n > glyphs_.size()) {
      rtf_.glyphs(bytes, n);
      return;
    }
    std::memcpy(glyphs_.data() + pending_, bytes, n);
    pending_ += n;
  }
  void flush() {
    if (pending_) rtf_.glyphs(glyphs_.data(), pending_);
    pending_ = 0;
  }

  void separator() {
    in_roman_ = false;
    emit(marks_.separator.bytes.data(), marks_.separator.length);
  }

  void character(char32_t c) {
    const std::uint64_t at = offset_ + 1 - utf8_length(c);
    if (is_tibetan_letter(c) || (is_tibetan_sign(c) && !syllable_.empty())) {
      if (syllable_.empty()) syllable_start_ = at;
      append_utf8(syllable_, c);
      // No syllable is this long: what the hub holds in one is written in parts.
      if (syllable_.size() > kLongestSyllable) syllable_end();
      return;
    }
    syllable_end();
    if (is_tibetan_sign(c)) {
      // A sign with nothing to sit on.
      syllable_start_ = at;
      append_utf8(syllable_, c);
      syllable_end();
      return;
    }
    if (c == kTsheg) {
      separator();
      return;
    }
    for (int i = 1; i < 5; ++i)
      if (c == kPunctuationMarks[i]) {
        in_roman_ = false;
        const LayoutMark& mark = marks_.punctuation[static_cast<std::size_t>(i)];
        emit(mark.bytes.data(), mark.length);
        return;
      }
    if (const char key = keys_.mark_key(c)) {
      in_roman_ = false;
      const auto k = static_cast<unsigned char>(key);
      compose(&k, 1);
      return;
    }
    if (c == '\n' || c == '\t' || (c == ' ' && !in_roman_)) {
      const auto b = static_cast<unsigned char>(c);
      emit(&b, 1);
      in_roman_ = false;
      return;
    }
    if (is_tibetan(c)) {
      marker(std::u32string(1, c), at, "no Tsendrel glyph for " + name_of(c));
      return;
    }
    roman_.clear();
    append_rtf_char(c, roman_);
    flush();
    rtf_.roman(roman_);
    in_roman_ = true;
  }

  void syllable_end() {
    if (syllable_.empty()) return;
    syllable(syllable_, syllable_start_);
    syllable_.clear();
  }

  // A visarga ends a syllable (ཨཱཿཧཱུྃ is two): each part is written on its own.
  void syllable(std::string_view text, std::uint64_t start) {
    static constexpr std::string_view kVisarga = "\xE0\xBD\xBF";
    for (std::size_t visarga; (visarga = text.find(kVisarga)) != std::string_view::npos &&
                              visarga + kVisarga.size() < text.size();) {
      const std::size_t cut = visarga + kVisarga.size();
      syllable_part(text.substr(0, cut), start);
      text.remove_prefix(cut);
      start += cut;
    }
    syllable_part(text, start);
  }

  void syllable_part(std::string_view text, std::uint64_t start) {
    in_roman_ = false;
    if (problems_) ++problems_->syllables;
    if (text.size() <= SyllableCache::kLongest) {
      bool found = false;
      SyllableCache::Entry& e = cache_.place(text, found);
      if (found && e.key_count >= 0 && compose_syllable(e.keys.data(), e.key_count, e.packed)) return;
      if (!found) {
        char keys[kMostKeys];
        std::size_t from = 0, to = 0;
        const int n = keys_.syllable_keys(text, keys, kMostKeys, from, to);
        if (n <= 15) {
          e.length = static_cast<std::uint8_t>(text.size());
          std::memcpy(e.text, text.data(), text.size());
          e.key_count = static_cast<std::int8_t>(n);
          if (n > 0) std::memcpy(e.keys.data(), keys, static_cast<std::size_t>(n));
          e.packed = pack_run(e.keys.data(), n > 0 ? n : 0);
          if (n >= 0 && compose_syllable(e.keys.data(), n, e.packed)) return;
        }
      }
    }
    char keys[kMostKeys];
    std::size_t bad_from = 0, bad_to = 0;
    const int n = keys_.syllable_keys(text, keys, kMostKeys, bad_from, bad_to);
    if (n < 0 || !compose_syllable(reinterpret_cast<const unsigned char*>(keys), n)) {
      if (n >= 0) bad_from = 0, bad_to = text.size();
      std::u32string chars;
      for (std::size_t i = 0; i < text.size();) chars += decode(text, i);
      marker(chars, start + bad_from,
             "cannot write \"" + std::string(text.substr(bad_from, bad_to - bad_from)) +
                 "\" in the Tsendrel fonts");
    }
  }

  // A syllable's keys: the g.y break between them parts two words, as the font-code pass lays it out.
  bool compose_syllable(const unsigned char* keys, int n, const MemoKeys& packed = {}) {
    const auto* brk =
        static_cast<const unsigned char*>(std::memchr(keys, kGyBreak, static_cast<std::size_t>(n)));
    if (!brk) return compose(keys, n, packed.length() == n && n > 0 ? &packed : nullptr);
    const int first = static_cast<int>(brk - keys);
    return compose(keys, first) && compose_syllable(brk + 1, n - first - 1);
  }

  // The composer's glyphs for a word's keys, replayed from the word memo where the composer made them
  // before from the same history; false when it refused a key or the glyphs overflowed.
  bool compose(const unsigned char* keys, int n, const MemoKeys* known = nullptr) {
    const bool memo = n <= kMemoKeys && composer_at_rest(composer_.state());
    MemoKeys packed;
    if (memo && known) {
      packed = *known;
    } else if (memo) {
      // Packing reads 16 bytes: short runs are copied into room that has them.
      std::array<unsigned char, 16> padded{};
      std::memcpy(padded.data(), keys, static_cast<std::size_t>(n));
      packed = pack_run(padded.data(), n);
    }
    if (memo)
      if (const MemoWord* word = composer_.replay(packed)) {
        emit(word->glyphs.data(), word->glyph_count);
        return true;
      }
    composer_.start(packed);
    for (int i = 0; i < n; ++i)
      if (!composer_.add(keys[i])) {
        composer_.state().depth = 0;
        return false;
      }
    const auto glyphs = composer_.finish();
    emit(glyphs.data(), glyphs.size());
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
    flush();
    rtf_.roman(roman_);
    in_roman_ = false;
  }

  static int utf8_length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }
  static char32_t decode(std::string_view s, std::size_t& i) {
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
  bool in_roman_ = false;
  std::array<unsigned char, 4096> glyphs_;
  std::size_t pending_ = 0;  // a space after text that is not Tibetan stays in its font
};

}  // namespace

struct HubRtfWriter::Parts {
  Parts(tsd::Stream& out, const ConverterKeyTables& tables, tsd::SyllableState& state,
        const HubRtfRequest& request, ReaderReport* problems)
      : table(request.fonts, request.font_count, request.font_base, request.roman_size, request.tib_size,
              request.small_tib_size),
        doc(out),
        writer(doc, table, tables, state, request, problems) {}
  const PieceTable table;
  BlockOutput doc;
  HubRtf writer;
};

HubRtfWriter::HubRtfWriter(tsd::Stream& out, const ConverterKeyTables& tables, tsd::SyllableState& state,
                           const HubRtfRequest& request, ReaderReport* problems)
    : out_(out) {
  if (request.font_count >= 1 && request.font_count <= kMaxRtfFonts)
    parts_ = std::make_unique<Parts>(out, tables, state, request, problems);
}

HubRtfWriter::~HubRtfWriter() = default;

void HubRtfWriter::take(const unsigned char* bytes, std::size_t n) {
  if (parts_) parts_->writer.run(bytes, n);
}

int HubRtfWriter::finish() {
  if (!parts_) return -1;
  parts_->writer.finish();
  parts_->doc.flush();
  return out_.flush() == 0 && !out_.error() ? 0 : -1;
}

int write_hub_rtf(tsd::Stream& hub, tsd::Stream& out, const ConverterKeyTables& tables,
                  tsd::SyllableState& state, const HubRtfRequest& request, ReaderReport* problems) {
  HubRtfWriter writer(out, tables, state, request, problems);
  tsd::read_rest(hub, [&writer](const unsigned char* p, std::size_t n) {
    writer.take(p, n);
    return true;
  });
  return writer.finish() == 0 && !hub.error() ? 0 : -1;
}

}  // namespace tarvex
