#include "hub_rtf.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "font_code_pass.h"
#include "memo_table.h"
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
constexpr char32_t kVisarga = 0x0F7F;  // ends a syllable: what follows it is written as another

// The keys of recent syllables by their UTF-8, so that a syllable is read backwards once; its keys also
// packed as the word memo finds them, and, once composed from a composer at rest outside passages and
// small text, the RTF text of its glyphs with what it read of the key history and how it moved it on.
// Its places are lent by the thread (memo_table.h), as the word memo's are.
class SyllableCache {
 public:
  struct Entry {
    std::uint8_t length = 0;        // of the UTF-8; 0: an empty place
    std::int8_t key_count = 0;      // -1: the syllable cannot be typed
    bool whole = false;             // one word of the composer (no g.y break)
    std::uint8_t rtf_length = 0;    // 0: its RTF text not known
    std::uint8_t tsheg_length = 0;  // of its RTF text and a tsheg's after it in `rtf`; 0: not held
    char text[35];
    // What a syllable met again reads, above; what composing it reads, below.
    HistoryEffect history;
    char rtf[48];
    // Padded: a word's keys are packed from 16 readable bytes.
    std::array<unsigned char, 16> keys{};
    MemoKeys packed;
  };
  static constexpr std::size_t kLongest = sizeof(Entry::text);

  // The place for `syllable` (1 to kLongest bytes): its entry when it holds it, else one to fill. Each
  // syllable has two places, the one used less recently refilled: syllables used often that share a
  // place would otherwise push each other out and be read backwards again at every turn. A byte of the
  // hash beside each place saves loading the entry that cannot hold it.
  Entry& place(std::string_view syllable, bool& found) {
    const std::uint64_t hash = hub_run_key(syllable).hash;
    Entry* e = entries_.find(hash, [&](const Entry& e) {
      return e.length == syllable.size() && same_text(e.text, syllable.data(), syllable.size());
    });
    found = e != nullptr;
    return found ? *e : entries_.place(hash);
  }
  // The handle of an entry (never 0), and the entry of a handle when it still holds `syllable`.
  std::uint32_t handle(const Entry& e) const { return static_cast<std::uint32_t>(entries_.index_of(e)) + 1; }
  Entry* held(std::uint32_t handle, std::string_view syllable) {
    const std::size_t index = (handle - 1) & (Places::kPlaces - 1);
    Entry& e = entries_.at(index);
    if (e.length != syllable.size() || !same_text(e.text, syllable.data(), syllable.size())) return nullptr;
    entries_.use(index);
    return &e;
  }

 private:
  // Equal runs of n bytes (1..kLongest), compared eight at a time, the last eight overlapping.
  static bool same_text(const char* a, const char* b, std::size_t n) {
    if (n < 4) return a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1];
    if (n < 8) {
      std::uint32_t x, y, u, v;
      std::memcpy(&x, a, 4);
      std::memcpy(&y, b, 4);
      std::memcpy(&u, a + n - 4, 4);
      std::memcpy(&v, b + n - 4, 4);
      return ((x ^ y) | (u ^ v)) == 0;
    }
    std::uint64_t x, y, diff = 0;
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      diff |= x ^ y;
    }
    std::memcpy(&x, a + n - 8, 8);
    std::memcpy(&y, b + n - 8, 8);
    return (diff | (x ^ y)) == 0;
  }
  using Places = MemoTable<Entry, MemoShape{11, 2, MemoOrder::fixed_places, true}>;
  Places entries_;
};

// The hub's punctuation, in the order of the layout's punctuation keys (". , : ? -").
constexpr char32_t kPunctuationMarks[] = {kTsheg, 0x0F0D, 0x0F14, 0x0F0E, 0x0F0F};

class HubRtf {
 public:
  HubRtf(BlockOutput& doc, const PieceTable& table, const ConverterKeyTables& tables,
         tsd::SyllableState& state, const HubRtfRequest& request, ReaderReport* problems)
      : table_(table),
        rtf_(doc, table, request.fonts, request.font_count),
        own_keys_(request.stack_keys && request.stack_keys->reads(tables) ? nullptr
                                                                          : std::make_unique<StackKeys>(tables)),
        keys_(own_keys_ ? *own_keys_ : *request.stack_keys),
        composer_(tables, state),
        marks_(font_code_marks(tables, state)),
        problems_(problems) {
    marks_text_[0] = PlainMark(table, marks_.separator);
    for (std::size_t i = 1; i < marks_text_.size(); ++i)
      marks_text_[i] = PlainMark(table, marks_.punctuation[i]);
  }

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
      if (p[i] == kHubToken) {
        i = token(p, i, n);
        continue;
      }
      if (p[i] == ' ' && !in_roman_ && !decoder_.holding() && syllable_.empty()) {
        glyph(' ');
        ++i;
        ++offset_;
        continue;
      }
      if (decoder_.holding() || !syllable_.empty() || n - i < 3 || p[i] != 0xE0) {
        byte(p[i++]);
        continue;
      }
      const char32_t c = tibetan_at(p + i);
      if (const int mark = punctuation_of(c); mark >= 0) {
        punctuation(mark);
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
      if (n - end < 3 || p[end] == kHubToken) {  // the syllable may go on
        byte(p[i++]);
        continue;
      }
      syllable(std::string_view(reinterpret_cast<const char*>(p + i), end - i), offset_);
      offset_ += end - i;
      i = end;
    }
  }

  // A handle for a syllable that the writer reads as one (see HubSink), or 0.
  std::uint32_t learn(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    if (n == 0 || n > SyllableCache::kLongest || n % 3 != 0 || p[0] != 0xE0 ||
        !is_tibetan_letter(tibetan_at(p)))
      return 0;
    for (std::size_t i = 3; i < n; i += 3)
      if (p[i] != 0xE0 || !in_syllable(tibetan_at(p + i)) || tibetan_at(p + i - 3) == kVisarga) return 0;
    bool found = false;
    SyllableCache::Entry& e = cache_.place(text, found);
    if (!found && !fill(e, text)) return 0;
    return e.key_count >= 0 ? cache_.handle(e) : 0;
  }

  void finish() {
    syllable_end();
    history_.settle();
    flush();
    rtf_.finish();
  }

 private:
  // The token at p[i] (it lies whole in the run): its syllable through the entry of its handle where it
  // stands alone, else its UTF-8 read as it stands. Returns where it ends.
  std::size_t token(const unsigned char* p, std::size_t i, std::size_t n) {
    const std::size_t from = i + kHubTokenHead;
    const std::size_t end = from + p[i + 5];
    const std::string_view text(reinterpret_cast<const char*>(p + from), end - from);
    // The commonest neighbour, a tsheg, ends the syllable; so does anything but a syllable's character.
    const bool tsheg = n - end >= 3 && p[end] == 0xE0 && p[end + 1] == 0xBC && p[end + 2] == 0x8B;
    const bool alone = !decoder_.holding() && syllable_.empty() && end < n &&
                       (tsheg || (p[end] != kHubToken &&
                                  !(p[end] == 0xE0 && (n - end < 3 || in_syllable(tibetan_at(p + end))))));
    std::uint32_t handle;
    std::memcpy(&handle, p + i + 1, sizeof handle);
    if (alone) {
      SyllableCache::Entry* e = cache_.held(handle, text);
      // The syllable and the tsheg after it in one copy where it can be.
      if (e && tsheg && e->tsheg_length && replay_text(*e, e->tsheg_length)) {
        in_roman_ = false;
        if (problems_) ++problems_->syllables;
        offset_ += text.size() + 3;
        return end + 3;
      }
      // Else through its entry, or by its text where the handle no longer holds: still whole.
      syllable_part(text, offset_, e);
      offset_ += text.size();
      return end;
    }
    for (std::size_t k = from; k < end; ++k) byte(p[k]);
    return end;
  }

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

  // The tsheg and the shads: the glyphs that the layout writes for them, as RTF text where it can be.
  static int punctuation_of(char32_t c) {
    for (int i = 0; i < 5; ++i)
      if (c == kPunctuationMarks[i]) return i;
    return -1;
  }
  void punctuation(int mark) {
    in_roman_ = false;
    const PlainMark& text = marks_text_[static_cast<std::size_t>(mark)];
    if (text.length > 0 && pending_ == 0 && rtf_.plain()) {
      rtf_.plain_text(text.text.data(), text.text.size(), static_cast<std::size_t>(text.length));
      return;
    }
    const LayoutMark& glyphs =
        mark == 0 ? marks_.separator : marks_.punctuation[static_cast<std::size_t>(mark)];
    emit(glyphs.bytes.data(), glyphs.length);
  }
  // A glyph byte that is its own RTF text where the document is plain: blank, tab, line break.
  void glyph(unsigned char b) {
    in_roman_ = false;
    if (pending_ == 0 && rtf_.plain() && b != '\n')
      rtf_.plain_text(reinterpret_cast<const char*>(&b), 1, 1);
    else
      emit(&b, 1);
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
    if (const int mark = punctuation_of(c); mark >= 0) {
      punctuation(mark);
      return;
    }
    if (const char key = keys_.mark_key(c)) {
      in_roman_ = false;
      const auto k = static_cast<unsigned char>(key);
      compose(&k, 1);
      return;
    }
    if (c == '\n' || c == '\t' || (c == ' ' && !in_roman_)) {
      glyph(static_cast<unsigned char>(c));
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
    // Every character of a syllable is a Tibetan letter or sign: three bytes.
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i + 3 < text.size();) {
      if (tibetan_at(p + i) != kVisarga) {
        i += 3;
        continue;
      }
      syllable_part(text.substr(0, i + 3), start);
      text.remove_prefix(i + 3);
      p += i + 3;
      start += i + 3;
      i = 0;
    }
    syllable_part(text, start);
  }

  // A syllable without a visarga before its end; `known`, when given, its entry in the cache.
  void syllable_part(std::string_view text, std::uint64_t start, SyllableCache::Entry* known = nullptr) {
    in_roman_ = false;
    if (problems_) ++problems_->syllables;
    if (known && compose_entry(*known)) return;
    if (!known && text.size() <= SyllableCache::kLongest) {
      bool found = false;
      SyllableCache::Entry& e = cache_.place(text, found);
      if ((found || fill(e, text)) && compose_entry(e)) return;
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

  // The syllable's keys read off the key table into its place: false when it has too many to keep.
  bool fill(SyllableCache::Entry& e, std::string_view text) {
    char keys[kMostKeys];
    std::size_t from = 0, to = 0;
    const int n = keys_.syllable_keys(text, keys, kMostKeys, from, to);
    if (n > 15) return false;
    e.length = static_cast<std::uint8_t>(text.size());
    std::memcpy(e.text, text.data(), text.size());
    e.key_count = static_cast<std::int8_t>(n);
    if (n > 0) std::memcpy(e.keys.data(), keys, static_cast<std::size_t>(n));
    e.packed = pack_run(e.keys.data(), n > 0 ? n : 0);
    e.whole = n > 0 && !std::memchr(keys, kGyBreak, static_cast<std::size_t>(n));
    e.rtf_length = e.tsheg_length = 0;
    return true;
  }

  // A kept syllable written: its RTF text replayed, or its keys composed; false when it cannot be typed.
  bool compose_entry(SyllableCache::Entry& e) {
    if (e.key_count < 0) return false;
    if (e.rtf_length && replay_text(e)) return true;
    if (!(e.whole ? compose(e.keys.data(), e.key_count, &e.packed)
                  : compose_syllable(e.keys.data(), e.key_count, e.packed)))
      return false;
    remember_text(e);
    return true;
  }

  // A syllable's remembered RTF text (its first `length` bytes), where the document is in plain text and
  // the composer at rest with a key history that holds what the syllable read: the text copied and the
  // history moved on as the word memo's replay moves it.
  bool replay_text(const SyllableCache::Entry& e) { return replay_text(e, e.rtf_length); }
  bool replay_text(const SyllableCache::Entry& e, std::uint8_t length) {
    flush();
    if (!rtf_.plain() || !history_.ready() || !history_.holds(e.history)) return false;
    history_.replay(e.history);
    composer_.replayed();
    rtf_.plain_text(e.rtf, sizeof e.rtf, length);
    return true;
  }

  // After a syllable composed as one word from the word memo: its RTF text, for replay_text.
  void remember_text(SyllableCache::Entry& e) {
    if (!e.whole || !used_) return;
    flush();
    if (!rtf_.plain() || !composer_at_rest(composer_.state())) return;
    const int n =
        table_.render_plain(used_->glyphs.data(), used_->glyph_count, e.rtf, static_cast<int>(sizeof e.rtf));
    if (n <= 0) return;
    e.rtf_length = static_cast<std::uint8_t>(n);
    e.history = used_->effect;
    const PlainMark& tsheg = marks_text_[0];
    if (tsheg.length > 0 && n + tsheg.length <= static_cast<int>(sizeof e.rtf)) {
      std::memcpy(e.rtf + n, tsheg.text.data(), static_cast<std::size_t>(tsheg.length));
      e.tsheg_length = static_cast<std::uint8_t>(n + tsheg.length);
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
    history_.settle();
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
    used_ = nullptr;
    if (memo)
      if (const MemoWord* word = composer_.replay(packed)) {
        emit(word->glyphs.data(), word->glyph_count);
        used_ = word;
        return true;
      }
    composer_.start(packed);
    for (int i = 0; i < n; ++i)
      if (!composer_.add(keys[i])) {
        composer_.state().depth = 0;
        return false;
      }
    const auto glyphs = composer_.finish();
    used_ = composer_.learned();
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

  const PieceTable& table_;
  TsendrelRtf<BlockOutput> rtf_;
  std::unique_ptr<StackKeys> own_keys_;
  const StackKeys& keys_;
  WordComposer composer_;
  SyllableCache cache_;
  const MemoWord* used_ = nullptr;  // the remembered word that compose() wrote last, if any
  ReplayedHistory history_{composer_.state()};
  LayoutMarks marks_;
  // The RTF text of the tsheg's glyphs and the shads' (in the order of kPunctuationMarks) where the
  // document is plain.
  struct PlainMark {
    PlainMark() = default;
    PlainMark(const PieceTable& table, const LayoutMark& mark)
        : length(table.render_plain(mark.bytes.data(), mark.length, text.data(),
                                    static_cast<int>(text.size()))) {}
    std::array<char, 32> text{};  // a mark whose text is longer is written from its glyphs
    int length = -1;              // -1: none
  };
  std::array<PlainMark, 5> marks_text_;
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

std::uint32_t HubRtfWriter::learn(std::string_view syllable) {
  return parts_ ? parts_->writer.learn(syllable) : 0;
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
  return write_hub(hub, writer);
}

}  // namespace tarvex
