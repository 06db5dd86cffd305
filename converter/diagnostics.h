// Diagnostics: what a conversion tells beyond its status lines, for the front ends that show it: why a
// file could not be opened (the system's reason), and the problems of an input with their places.
// Reads nothing; hands each diagnostic to the sink the front end installed. Without a sink nothing is
// formatted or kept, so the windows and the benchmarks pay nothing for them.
#pragma once

struct Diagnostic {
  enum class Kind { reason, warning };
  Kind kind;
  const char* path;  // the file the diagnostic is about, as the user named it
  int line;          // from 1; 0 when the diagnostic has no place in the file
  int column;        // from 1, in characters of the line as the user's file holds it
  const char* text;
};

using DiagnosticSink = void (*)(const Diagnostic& diagnostic);
void set_diagnostic_sink(DiagnosticSink sink);
DiagnosticSink current_diagnostic_sink();

// Hands the reason for a failure (the text of a saved errno) to the sink, if any.
void report_reason(const char* path, int saved_errno);
