// The conversion driver: converts one input file (text mode) into one output file (text mode) by the
// request's conversion type, chaining the passes through three anonymous temporary files and logging every
// failure as a status line.
#pragma once

#include <cstdint>

#include "conversion_request.h"
#include "platform/stream.h"

namespace tarvex {

// 0 when the conversion ran to its end, -1 after a failure was logged.
int convert_file(const char* input_path, const char* output_path, const ConversionRequest& request);

// Where a conversion to Tibetan fonts stops when only an intermediate file is wanted: the bytes of that
// file are written to the output unchanged (in binary mode).
enum class Stage { pre_pass, syllables, glyphs, complete };

// What a conversion to Tibetan fonts counted, for the summary line of its file.
struct ConversionReport {
  bool counted = false;  // the extraction ran
  std::int64_t syllables = 0;
  std::int64_t not_converted = 0;
};

// With a diagnostic sink installed, every problem the passes found is handed to it with its place in the
// input file (for Wylie input, in the Wylie).
int convert_file_until(const char* input_path, const char* output_path, const ConversionRequest& request,
                       Stage stage, ConversionReport* report = nullptr);

// Makes the temporary files of a conversion: `which` is 0 (pre-pass file), 1 (syllable file) or 2
// (glyph-code file). A stream that is not open means the file could not be created. Tests install their own
// to simulate failures; null restores anonymous temporary files.
using TemporaryFileFactory = tsd::Stream (*)(int which);
void set_temporary_file_factory(TemporaryFileFactory factory);

}  // namespace tarvex
