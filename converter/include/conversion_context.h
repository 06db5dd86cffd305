// The conversion context: everything a conversion uses besides its request and its two streams. The
// tables are shared and read-only (loaded once, pointed to); the composer state and the sinks are the
// context's own, so that conversions with contexts of their own may run side by side on other threads.
// Each front end makes one and passes it down. Reads nothing itself; the passes write status lines and
// diagnostics to its sinks.
#pragma once

#include <cstdarg>

#include "composer.h"
#include "diagnostics.h"
#include "document.h"
#include "log_status.h"
#include "platform/stream.h"

namespace tarvex {

struct ConverterTables;
struct TranslitTables;
class GlyphTable;
class StackKeys;

// Makes the temporary files of a conversion: `which` is 0 (pre-pass file), 1 (syllable file) or 2
// (glyph-code file). A stream that is not open means the file could not be created. Tests give their own
// to simulate failures; without one the files are anonymous temporary files.
struct TemporaryFiles {
  tsd::Stream (*make)(void* user, int which) = nullptr;
  void* user = nullptr;

  tsd::Stream operator()(int which) const { return make ? make(user, which) : tsd::Stream::temporary(); }
};

struct ConversionContext {
  // Shared and read-only.
  const ConverterKeyTables* key_tables = nullptr;
  const TranslitTables* translit_tables = nullptr;
  // What each glyph of key_tables is in Unicode, for the readers of documents; null: one per document.
  const GlyphTable* glyph_table = nullptr;
  // The composer keys of the hub's stacks, for the writer of Tsendrel RTF; null: one per document.
  const StackKeys* stack_keys = nullptr;
  const FontEntry* rtf_fonts = nullptr;
  int font_count = 0;
  // The context's own.
  tsd::SyllableState composer{};
  StatusSink status;
  DiagnosticSink diagnostics;
  TemporaryFiles temporaries;
  // Whether the fast path tries first; without it the passes alone convert, as tests and the benchmark
  // compare the two.
  bool fast_path = true;

  void log_status(const char* format, ...) const __attribute__((format(printf, 2, 3)));
};

// A context on loaded tables, with status lines to standard error and no diagnostics.
ConversionContext make_context(const ConverterTables& tables);

}  // namespace tarvex
