// The hub of a text read as a file is read, by the Unicode or the EWTS reader, through streams in memory:
// what unicode_to_hub and ewts_to_unicode give for a string, without the two temporary files that each of
// them makes (an inode made and freed for each, which cost the targets more than the readers).
#pragma once

#include <string>
#include <string_view>

#include "ewts_reader.h"
#include "fuzz_support.h"
#include "unicode_reader.h"

namespace tsd::fuzz {

inline std::string unicode_hub_of(std::string_view text, bool keep_cr) {
  Stream in = stream_of(text, Stream::Mode::text);
  Stream out = memory_stream();
  if (tarvex::unicode_to_hub(in, out, keep_cr, nullptr) != 0) return {};
  return contents(out);
}

inline std::string ewts_hub_of(std::string_view ewts, tarvex::ReaderReport* report) {
  Stream in = stream_of(ewts, Stream::Mode::text);
  Stream out = memory_stream();
  tarvex::ewts_to_hub(in, out, true, report);
  return contents(out);
}

}  // namespace tsd::fuzz
