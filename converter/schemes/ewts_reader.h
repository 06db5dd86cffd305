// The Extended Wylie (EWTS) reader: EWTS text in, the hub out (Tibetan Unicode in canonical order, other
// text as it stood, line breaks by the readers' line rule). It reads the input once, in bounded memory,
// and tells every doubtful spelling in the report with its byte offset in the input. Its lexing is its
// own; the window, offsets, spacing, cache, brackets and escapes are the text readers' (text_reader.h) and
// each word's syllables are the grammar's (`EwtsWordReader`, ewts_syllables.h).
#pragma once

#include <string>
#include <string_view>

#include "ewts_syllables.h"
#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

// Reads all of `in` and writes its hub to `out`. With `keep_cr` every line break stays; otherwise lines
// are joined by HubLines. Counts syllables and warns in `report` when it is given. Returns 0, or -1 when
// reading `in` or writing `out` failed.
int ewts_to_hub(tsd::Stream& in, tsd::Stream& out, bool keep_cr, ReaderReport* report);
// The same into `out`, finished (0, or -1 when reading or handing the hub on failed).
int ewts_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report);

// The hub of `ewts` read as a text file, by the same steps: for tests and round trips of a writer.
std::string ewts_to_unicode(std::string_view ewts, ReaderReport* report = nullptr, bool keep_cr = true);

}  // namespace tarvex
