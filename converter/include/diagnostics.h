// Diagnostics: what a conversion tells beyond its status lines, for the front ends that show it: why a
// file could not be opened (the system's reason), and the problems of an input with their places.
// Hands each diagnostic to the sink the front end gave its conversion context; the places come from one
// more pass over the input, which holds none of it. Without a sink nothing is read again, formatted or
// kept, so the windows and the benchmarks pay nothing for them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace tarvex {

struct Diagnostic {
  enum class Kind { reason, warning };
  Kind kind;
  const char* path;  // the file the diagnostic is about, as the user named it
  int line;          // from 1; 0 when the diagnostic has no place in the file
  int column;        // from 1, in characters of the line as the user's file holds it
  const char* text;
  // The problems it stands for: one, or for the last warning of a file of more problems than the
  // conversion keeps, how many more there were (that warning has no place).
  std::int64_t count = 1;
};

struct DiagnosticSink {
  void (*tell)(void* user, const Diagnostic& diagnostic) = nullptr;
  void* user = nullptr;
  // Whether the front end shows warnings: without, a conversion neither keeps nor places its problems
  // (reading nothing again), and the sink gets only reasons.
  bool warnings = true;

  bool active() const { return tell != nullptr; }
  bool places() const { return tell != nullptr && warnings; }
  void operator()(const Diagnostic& diagnostic) const {
    if (tell) tell(user, diagnostic);
  }
  // Hands the reason for a failure (the text of a saved errno) to the sink, if any.
  void report_reason(const char* path, int saved_errno) const;
};

// A place in a file: line and column from 1. Lines end at LF (a CR LF is one line end); a column counts
// bytes, or the characters of UTF-8 text; a UTF-8 byte-order mark at the very start takes none.
struct Place {
  int line;
  int column;
};

// The places and texts of a file's offsets, read in one pass from its start without holding the file.
// Offsets are asked for in ascending order of their first byte, as a conversion finds its problems; it
// keeps only the bytes from the last first byte asked for up to the furthest last byte. A first byte
// before the previous one reads from the start again.
class PlaceReader {
 public:
  explicit PlaceReader(tsd::Stream bytes);  // opened in binary mode, at its start
  explicit PlaceReader(std::string_view bytes);
  bool usable() const { return !from_stream_ || stream_.is_open(); }
  // Columns count UTF-8 characters from now on, not bytes.
  void count_characters() { characters_ = true; }
  // The place of `first`, and in `text` the bytes from `first` to `last` included, without CRs. 0, or -1
  // when the bytes could not be read.
  int find(std::uint64_t first, std::uint64_t last, Place& place, std::string& text);

 private:
  std::span<const unsigned char> chunk();
  void consume(std::size_t n);
  int restart();
  void count_to(std::uint64_t offset);
  void keep_through(std::uint64_t last);

  tsd::Stream stream_;
  bool from_stream_ = false;
  std::string_view held_;
  unsigned char single_ = 0;  // a byte that the stream's get() handed out when its window was empty
  bool single_waiting_ = false;
  std::uint64_t read_ = 0;  // the offset of the next byte of the source
  std::string window_;      // the bytes from `base_` up to `read_`, kept for the texts
  std::uint64_t base_ = 0;
  std::uint64_t at_ = 0;  // the lines are counted up to here: base_ <= at_ <= read_
  int line_ = 1;
  std::uint64_t line_start_ = 0;
  std::uint64_t mark_ = 0;
  bool mark_known_ = false;
  std::uint64_t continuations_ = 0;  // UTF-8 continuation bytes from line_start_ up to at_
  bool characters_ = false;
  static bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }
};

// "1,204": a count with a comma between thousands, as the summary lines show counts.
std::string grouped(std::int64_t count);

}  // namespace tarvex
