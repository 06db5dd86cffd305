// The hub that the readers write, handed straight into a string; and the hub of a text read as a file is
// read, by the Unicode or the EWTS reader, from a stream in memory: what unicode_to_hub and ewts_to_unicode
// give for a string, without the two temporary files that each of them makes (an inode made and freed for
// each, which cost the targets more than the readers).
#pragma once

#include <string>
#include <string_view>

#include "ewts_reader.h"
#include "fuzz_support.h"
#include "unicode_reader.h"

namespace tsd::fuzz {

// A hub written into `text` with no stream between: a stream's 64 KB buffer, zeroed for each, lands on
// fresh pages under the sanitizers' allocator, a fifth of the RTF reader target's time.
struct HubText {
  std::string text;
  tarvex::HubSink sink() {
    return {[](void* user, const unsigned char* p, std::size_t n) {
              static_cast<std::string*>(user)->append(reinterpret_cast<const char*>(p), n);
              return true;
            },
            &text};
  }
};

inline std::string unicode_hub_of(std::string_view text, bool keep_cr) {
  Stream in = stream_of(text, Stream::Mode::text);
  HubText hub;
  tarvex::HubOut out(hub.sink());
  if (tarvex::unicode_to_hub(in, out, keep_cr, nullptr) != 0) return {};
  return hub.text;
}

inline std::string ewts_hub_of(std::string_view ewts, tarvex::ReaderReport* report) {
  Stream in = stream_of(ewts, Stream::Mode::text);
  HubText hub;
  tarvex::HubOut out(hub.sink());
  tarvex::ewts_to_hub(in, out, true, report);
  return hub.text;
}

}  // namespace tsd::fuzz
