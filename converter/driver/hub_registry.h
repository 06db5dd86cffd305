// The registry of the passes that read a route's input and of the writers of the hub: one row each, read
// by the driver for every fact that differs between them (how the input is opened and checked, which
// reader fills the hub, whether the input can be read again to place a writer's problems, which writer
// takes the hub and how its failure is told). A pass without its row fails the registry's test; nothing
// falls back to another reader or writer.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "conversion_context.h"
#include "conversion_request.h"
#include "hub.h"
#include "platform/stream.h"
#include "routes.h"

namespace tarvex {

// What the first bytes of the input must be: ASCII text (our Wylie and KVTS), UTF-8 text (Extended Wylie,
// Unicode) or a document (RTF, DOCX).
enum class InputKind { ascii, utf8, document };

// Reads all of `in` into `hub`, finished: 0; -1 when reading or handing the hub on failed; -2 when the input
// cannot be read at all, that failure logged.
using HubRead = int (*)(const ConversionContext& context, tsd::Stream& in, HubOut& hub, bool keep_cr,
                        ReaderReport* report);

struct InputRow {
  Pass pass;
  InputKind kind;
  tsd::Stream::Mode mode;  // how a path is opened
  HubRead read;            // the reader into the hub; none for a pass that writes a file of its own
  // Whether the reader can run again over the input to find where a writer's problem (at an offset of
  // the hub) came from; a reader that cannot has its writer's problems left in the output and its
  // counts, untold.
  bool traces;
};

// Makes the writer of the hub into `out`; `problems` receives its warnings at offsets of the hub.
using MakeHubWriter = std::unique_ptr<HubWriter> (*)(ConversionContext& context,
                                                     const ConversionRequest& request, tsd::Stream& out,
                                                     ReaderReport* problems);

struct WriterRow {
  Pass pass;
  MakeHubWriter make;
  // Logged when it fails, after the write failure when its output failed; empty: the write failure alone.
  std::string_view failure;
};

// The row of a pass that may start a route, and of a writer of the hub; none when the pass has none.
const InputRow* input_row(Pass pass);
const WriterRow* writer_row(Pass pass);
std::span<const InputRow> input_rows();
std::span<const WriterRow> writer_rows();

}  // namespace tarvex
