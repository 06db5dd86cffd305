// The floor of converting by looking words up: a loop that only finds where each word ends in a bitmap,
// finds its packed bytes in a table and copies 64 bytes of made-up output (about as many bytes as Unicode
// writes for the word and the blank after it), with what lies between words from a small table too. No layout rules, counts, problems or conversion: what the machine gives such a loop through
// the same streams as the converter, for the conversions end to end to be measured against.
#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace bench {

// Reads `in` to its end and writes the made-up output to `out`; the number of words, or -1 when a read or
// write failed.
std::int64_t bare_word_loop(tsd::Stream& in, tsd::Stream& out);

}  // namespace bench
