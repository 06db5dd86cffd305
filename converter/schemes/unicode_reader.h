// The Unicode reader: reads UTF-8 text (Tibetan, and any other text beside it) and writes the hub: the
// discouraged precomposed Tibetan letters and vowels decomposed, the signs of each letter or stack put in
// canonical order, line breaks laid out by `HubLines`. Other text is copied as it stands. Invalid UTF-8
// and control characters become U+FFFD; each problem is told in the report with its offset in the input.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

// Reads `in` to its end (a byte-order mark at its start already stepped over, or skipped here), writing the
// hub to `out`. 0, or -1 when reading or writing failed.
int unicode_to_hub(tsd::Stream& in, tsd::Stream& out, bool keep_cr, ReaderReport* report);
// The same into `out`, finished (0, or -1 when reading or handing the hub on failed). Runs that need
// nothing but copying are copied whole; without `whole_runs` every character goes the careful way (the
// tests compare the two).
int unicode_to_hub(tsd::Stream& in, HubOut& out, bool keep_cr, ReaderReport* report, bool whole_runs = true);

// The reader fed from memory a run of bytes at a time (the text that the document readers decode), into
// `out`; its report's offsets count the bytes fed.
class UnicodeFeed {
 public:
  UnicodeFeed(HubOut& out, bool keep_cr, ReaderReport* report);
  ~UnicodeFeed();
  UnicodeFeed(const UnicodeFeed&) = delete;
  UnicodeFeed& operator=(const UnicodeFeed&) = delete;
  void take(const unsigned char* p, std::size_t n);
  // The end of the text: 0, or -1 when handing the hub on failed.
  int finish();

 private:
  struct Reader;
  std::unique_ptr<Reader> reader_;
  HubOut& out_;
  std::uint64_t fed_ = 0;
};

// The hub of some UTF-8 text, every line break kept unless `keep_cr` is false (for tests and round trips).
std::string unicode_to_hub(std::string_view text, ReaderReport* report = nullptr, bool keep_cr = true);

}  // namespace tarvex
