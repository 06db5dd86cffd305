// The conversion driver: converts one input into one output along the request's route, chaining its
// passes through three temporary files and logging every failure as a status line of its context.
// The conversion proper reads an input stream (text mode) and writes an output stream; the path layer
// around it opens the files, refuses an output that is the input, and puts the new output in the old one's
// place only when the conversion succeeded.
#pragma once

#include <cstdint>
#include <string>

#include "conversion_context.h"
#include "conversion_request.h"
#include "platform/stream.h"
#include "routes.h"

namespace tarvex {

// What a conversion to Tibetan fonts counted, for the summary line of its file.
struct ConversionReport {
  bool counted = false;  // the extraction ran
  std::int64_t syllables = 0;
  std::int64_t not_converted = 0;
};

// 0 when the conversion ran to its end, -1 after a failure was logged. With a diagnostic sink in the
// context, every problem the passes found is handed to it with its place in the input file (for Wylie
// input, in the Wylie). Each conversion starts with the context's composer at rest.
int convert_file(ConversionContext& context, const char* input_path, const char* output_path,
                 const ConversionRequest& request);
int convert_file_until(ConversionContext& context, const char* input_path, const char* output_path,
                       const ConversionRequest& request, Stage stage, ConversionReport* report = nullptr);

// One end of a conversion: the file at `path`, or else the open `stream`, which the lines and diagnostics
// call `name`. An input stream (text mode, at its start) is never rewound, so standard input will do;
// `kept`, when given, holds every byte of it once the conversion has read it (tsd::Stream::keep_bytes_read),
// so that its problems can be placed, and without it none are told. An output stream (text mode, binary
// for an intermediate stage) is flushed and left open, and may hold part of a failed conversion.
struct Endpoint {
  const char* path = nullptr;
  tsd::Stream* stream = nullptr;
  const char* name = nullptr;
  const std::string* kept = nullptr;

  const char* shown() const { return path ? path : name; }
};

// The mode an output is written in: text, or binary for the raw bytes of an intermediate stage.
tsd::Stream::Mode output_mode(const ConversionRequest& request, Stage stage);

// convert_file_until between any two ends.
int convert(ConversionContext& context, const ConversionRequest& request, const Endpoint& input,
            const Endpoint& output, Stage stage = Stage::complete, ConversionReport* report = nullptr);

}  // namespace tarvex
