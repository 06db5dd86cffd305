// Diagnostics: what a conversion tells beyond its status lines, for the front ends that show it: why a
// file could not be opened (the system's reason), and the problems of an input with their places.
// Reads nothing; hands each diagnostic to the sink the front end gave its conversion context. Without a
// sink nothing is formatted or kept, so the windows and the benchmarks pay nothing for them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

struct Diagnostic {
  enum class Kind { reason, warning };
  Kind kind;
  const char* path;  // the file the diagnostic is about, as the user named it
  int line;          // from 1; 0 when the diagnostic has no place in the file
  int column;        // from 1, in characters of the line as the user's file holds it
  const char* text;
};

struct DiagnosticSink {
  void (*tell)(void* user, const Diagnostic& diagnostic) = nullptr;
  void* user = nullptr;

  bool active() const { return tell != nullptr; }
  void operator()(const Diagnostic& diagnostic) const {
    if (tell) tell(user, diagnostic);
  }
  // Hands the reason for a failure (the text of a saved errno) to the sink, if any.
  void report_reason(const char* path, int saved_errno) const;
};

// A place in a file: line and column from 1. Lines end at LF (a CR LF is one line end); a UTF-8
// byte-order mark at the very start takes no column.
struct Place {
  int line;
  int column;
};

// The line starts of a file's bytes, for turning file offsets into places.
class LineIndex {
 public:
  explicit LineIndex(std::string bytes);
  Place place(std::uint64_t offset) const;
  // The bytes from `first` to `last` included, without CRs.
  std::string text(std::uint64_t first, std::uint64_t last) const;

 private:
  std::string bytes_;
  std::vector<std::uint64_t> starts_;
  std::uint64_t mark_ = 0;  // the byte-order mark's length
};

// Every byte of the file at `path`, or nothing when it cannot be read.
std::string read_bytes(const char* path);

// "1,204": a count with a comma between thousands, as the summary lines show counts.
std::string grouped(std::int64_t count);

}  // namespace tarvex
