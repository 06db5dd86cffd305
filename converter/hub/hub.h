// The hub: what every reader of Tibetan text (Extended Wylie, Unicode) writes, and every writer for those
// readers reads. It is UTF-8 text: Tibetan in canonical order without the precomposed letters that
// Unicode discourages, other text as it stood, line breaks already laid out (kept, or joined by
// `HubLines`), tabs and spaces. It holds no byte 0..31 but tab and line break. So the hub of a file is
// also its Unicode text output; the Unicode RTF and the Tsendrel RTF are written from it.
//
// Readers tell their problems in a `ReaderReport`: offsets of the user's input as the stream read it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace tarvex {

struct ReaderWarning {
  std::uint64_t offset;  // the first byte of the input that the warning is about
  std::uint64_t length;  // bytes from there, at least 1
  std::string text;      // "\"+\" not followed by a letter or vowel"
  // A document's reader places its warnings itself: paragraph and character in it, from 1 (0: placed
  // by `offset` in the input's text).
  std::uint32_t paragraph = 0;
  std::uint32_t position = 0;
};

struct ReaderReport {
  std::int64_t syllables = 0;      // Tibetan syllables read
  std::int64_t not_converted = 0;  // of them, written with a visible marker or replacement
  // The warnings in the order found, the first `keep` of them; the rest only counted.
  std::vector<ReaderWarning> warnings;
  std::size_t keep = std::size_t{1} << 16;
  std::int64_t not_kept = 0;
  // Whether what reading takes silently (a curly apostrophe for "'", a byte-order mark) is told too.
  bool tell_sloppy = false;

  void warn(std::uint64_t offset, std::uint64_t length, std::string_view text) {
    if (warnings.size() < keep)
      warnings.push_back({offset, length ? length : 1, std::string(text)});
    else
      ++not_kept;
  }

  void warn_in(std::uint32_t paragraph, std::uint32_t position, std::string_view text) {
    if (warnings.size() < keep)
      warnings.push_back({0, 1, std::string(text), paragraph, position});
    else
      ++not_kept;
  }

  // Places in the hub whose origin in the input is wanted (a writer's problems), in ascending order, and
  // the input offsets found for them, in the same order: the reader, run again with them, calls
  // `source()` as it starts each syllable or mark, which keeps nothing else.
  std::vector<std::uint64_t> wanted;
  std::vector<std::uint64_t> origins;
  bool tracing() const { return origins.size() < wanted.size(); }
  // What the reader writes at `hub_offset` of the hub comes from `input_offset` of the input.
  void source(std::uint64_t input_offset, std::uint64_t hub_offset) {
    while (origins.size() < wanted.size() && wanted[origins.size()] < hub_offset) origins.push_back(origin_);
    origin_ = input_offset;
  }
  // At the end of the input: the wanted places left lie in the last syllable.
  void sourced() {
    while (origins.size() < wanted.size()) origins.push_back(origin_);
  }

 private:
  std::uint64_t origin_ = 0;
};

// A short run of the hub (a syllable's UTF-8, up to some 40 bytes) as the writers' tables key it: its
// first and last eight bytes (zero-filled; `tail` 0 up to 8 bytes) and a hash of them with its length.
struct HubRunKey {
  std::uint64_t head = 0, tail = 0, hash = 0;
};
inline HubRunKey hub_run_key(std::string_view run) {
  const std::size_t n = run.size();
  HubRunKey key;
  std::memcpy(&key.head, run.data(), n < 8 ? n : 8);
  if (n > 8) std::memcpy(&key.tail, run.data() + n - (n < 16 ? n - 8 : 8), n < 16 ? n - 8 : 8);
  key.hash = (key.head * 0x9E3779B97F4A7C15u) ^ ((key.tail + n) * 0xC2B2AE3D27D4EB4Fu);
  return key;
}

// What the last character written to the hub was, for the line rule.
enum class HubTail : unsigned char {
  nothing,  // the start of the output, or a line break, space, tab or tsheg: a join adds nothing
  tibetan,  // a letter, sign or digit of a syllable: a join is a tsheg
  other,    // a shad or other mark, or text that is not Tibetan: a join is a space
};

// The line rule of the readers: with keep_cr every line break stays; otherwise a single line break joins
// its lines (a tsheg after a syllable, a space after a mark or other text, nothing after white space or
// a tsheg), the second makes a paragraph break of two line breaks, every further one adds one. The
// same rule as the Wylie and KVTS routes' layout, over Unicode.
class HubLines {
 public:
  explicit HubLines(bool keep_cr) : keep_cr_(keep_cr) {}

  // A line break of the input after text ending in `tail`; writes with out.write(const char*, size).
  template <typename Out>
  void line_break(Out& out, HubTail tail) {
    if (keep_cr_ || breaks_ >= 2) {
      out.write("\n", 1);
      return;
    }
    if (breaks_ == 1) {
      breaks_ = 2;
      out.write("\n\n", 2);
      return;
    }
    breaks_ = 1;
    if (tail == HubTail::tibetan) out.write("\xE0\xBC\x8B", 3);
    if (tail == HubTail::other) out.write(" ", 1);
  }
  // Anything but a line break was written: the next line break joins again.
  void text() { breaks_ = 0; }

 private:
  bool keep_cr_;
  int breaks_ = 0;
};

// Where a reader's hub goes a run of bytes at a time when it goes straight to a writer: `take` returns
// false once the writer failed.
//
// A writer that keeps what it made of recent syllables may also `learn` one: it returns a handle (0: none)
// for the syllable's UTF-8, and the reader may then write a token in its place, which saves the writer
// finding and looking up the syllable again. A token is kHubToken, the handle (4 bytes, in memory order),
// the length of the UTF-8 (1 byte) and the UTF-8 itself; it counts as that UTF-8 in the hub's offsets,
// lies whole in one run, and is read exactly as its UTF-8 would be (where the handle no longer holds, or
// the syllable runs on into its neighbours, the writer reads the UTF-8).
inline constexpr unsigned char kHubToken = 0x01;  // the hub itself holds no byte 0..31 but tab and line break
inline constexpr std::size_t kHubTokenHead = 6;

struct HubSink {
  bool (*take)(void* user, const unsigned char* bytes, std::size_t n) = nullptr;
  void* user = nullptr;
  std::uint32_t (*learn)(void* user, std::string_view syllable) = nullptr;
};

// A writer of the hub, as a row of the driver's registry makes it: it takes the hub a run of bytes at a
// time and writes its format at `finish`; one that keeps what it made of recent syllables also has
// `learn(syllable)` (see HubSink). Readers hand it the hub through `sink()`, which calls the writer's own
// members, not these virtual ones, for every run and syllable.
class HubWriter {
 public:
  virtual ~HubWriter() = default;
  virtual void take(const unsigned char* bytes, std::size_t n) = 0;
  // Its output failed: it takes no more.
  virtual bool failed() const = 0;
  // The end of the hub: 0, or -1 when a write failed.
  virtual int finish() = 0;
  virtual HubSink sink() = 0;
};

// The sink of a writer of the hub: its take(bytes, n), refused once its output has failed (failed()), and
// its learn(syllable) where it has one.
template <typename Writer>
HubSink sink_of(Writer& writer) {
  HubSink sink{[](void* user, const unsigned char* bytes, std::size_t n) {
                 auto& self = *static_cast<Writer*>(user);
                 self.take(bytes, n);
                 return !self.failed();
               },
               &writer};
  if constexpr (requires { writer.learn(std::string_view()); })
    sink.learn = [](void* user, std::string_view syllable) -> std::uint32_t {
      return static_cast<Writer*>(user)->learn(syllable);
    };
  return sink;
}

// The hub written through a buffer to a stream, or straight to a writer, counting its bytes (the hub
// offsets of `ReaderReport`).
class HubOut {
 public:
  explicit HubOut(tsd::Stream& out) : out_(&out) {}
  explicit HubOut(HubSink sink) : sink_(sink) {}
  HubOut(const HubOut&) = delete;
  HubOut& operator=(const HubOut&) = delete;

  void write(const char* p, std::size_t n) {
    if (n > kSize - used_) {
      drain();
      if (n > kSize) {
        hand(p, n);
        written_ += n;
        return;
      }
    }
    std::memcpy(buffer_ + used_, p, n);
    used_ += n;
    written_ += n;
  }
  // Room for `size` bytes (at most 16 KB) written in place; commit(n) keeps the first n of them.
  char* room(std::size_t size) {
    if (size > kSize - used_) drain();
    return buffer_ + used_;
  }
  void commit(std::size_t n) {
    used_ += n;
    written_ += n;
  }
  // A handle for a syllable's UTF-8 from the writer that takes the hub (see HubSink), or 0.
  std::uint32_t learn(std::string_view syllable) {
    return sink_.learn ? sink_.learn(sink_.user, syllable) : 0;
  }
  // A token of `handle` for the first n (below 256) of the `size` bytes of UTF-8 at `utf8`, copying all
  // `size` in place.
  void token(std::uint32_t handle, const void* utf8, std::size_t size, std::size_t n) {
    char* to = room(kHubTokenHead + size);
    to[0] = static_cast<char>(kHubToken);
    std::memcpy(to + 1, &handle, sizeof handle);
    to[5] = static_cast<char>(n);
    std::memcpy(to + kHubTokenHead, utf8, size);
    used_ += kHubTokenHead + n;
    written_ += n;
  }
  std::uint64_t written() const { return written_; }
  // Everything handed on (and a stream flushed): 0, or -1 when a write failed.
  int finish() {
    drain();
    if (!out_) return ok_ ? 0 : -1;
    return ok_ && out_->flush() == 0 && !out_->error() ? 0 : -1;
  }

 private:
  static constexpr std::size_t kSize = 1 << 14;
  void drain() {
    if (used_) hand(buffer_, used_);
    used_ = 0;
  }
  void hand(const char* p, std::size_t n) {
    if (!ok_) return;
    ok_ = out_ ? out_->write(p, n) != tsd::Stream::end
               : sink_.take(sink_.user, reinterpret_cast<const unsigned char*>(p), n);
  }
  tsd::Stream* out_ = nullptr;
  HubSink sink_;
  char buffer_[kSize];
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool ok_ = true;
};

// The whole of `hub` (a stream) through `writer`, finished: 0, or -1 when reading or writing failed.
inline int write_hub(tsd::Stream& hub, HubWriter& writer) {
  tsd::read_rest(hub, [&writer](const unsigned char* p, std::size_t n) {
    writer.take(p, n);
    return true;
  });
  return writer.finish() == 0 && !hub.error() ? 0 : -1;
}

}  // namespace tarvex
