// Problems told at their places in the user's input: the extraction's (a syllable, a byte, a bracket) and
// the font-code pass's raw words, placed through the pre-pass or the input read again; a hub reader's at
// its offsets or paragraphs, and its writer's traced back by running the reader again. Reads the input
// again (`InputAgain`); writes to the context's diagnostic sink.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_context.h"
#include "diagnostics.h"
#include "extract.h"
#include "font_code_pass.h"
#include "hub.h"
#include "platform/crlf_offsets.h"
#include "platform/stream.h"
#include "routes.h"

namespace tarvex {

inline constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// Steps over a byte-order mark at the start of a stream read again, as the conversion stepped over it.
inline void skip_byte_order_mark(tsd::Stream& input) {
  unsigned char head[sizeof kByteOrderMark];
  if (input.peek(head, sizeof head) == sizeof head && std::memcmp(head, kByteOrderMark, sizeof head) == 0)
    for (std::size_t i = 0; i < sizeof head; ++i) input.get();
}

// The input read again, for placing its problems: the file reopened in text mode, or the bytes kept while
// it was read (made once the conversion has read them all). Kept bytes are read back with each CR LF made one
// line feed, as text mode read them, and `raw_offset` turns an offset in what is read back into one in the
// input's own bytes.
class InputAgain {
 public:
  InputAgain(const char* path, const std::string* kept) : path_(path), kept_(kept) {
    if (!path_ && kept_) pairs_ = tsd::CrLfOffsets::of(*kept_);
  }
  bool available() const { return path_ || kept_; }
  tsd::Stream open() const {
    if (path_) return tsd::Stream::open_read(path_, tsd::Stream::Mode::text);
    // Written a run between CR LFs at a time, each LF starting the next run.
    tsd::Stream copy = tsd::Stream::temporary();
    const std::string_view bytes = *kept_;
    std::size_t from = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string_view::npos; at = bytes.find("\r\n", at + 2)) {
      if (at > from) copy.write(bytes.substr(from, at - from));
      from = at + 1;
    }
    if (from < bytes.size()) copy.write(bytes.substr(from));
    copy.rewind();
    return copy;
  }
  // The input's own bytes, for placing offsets in them.
  PlaceReader places() const {
    return path_ ? PlaceReader(tsd::Stream::open_read(path_, tsd::Stream::Mode::binary))
                 : PlaceReader(*kept_);
  }
  std::uint64_t raw_offset(std::uint64_t offset) const { return pairs_.raw(offset); }

 private:
  const char* path_;
  const std::string* kept_;
  tsd::CrLfOffsets pairs_;  // where each CR LF's line feed lies in what is read back
};

// Places the words that the font-code pass wrote as text at their words in the extraction's source: the
// pre-pass file, or else the input read again.
void place_raw_words(const std::vector<RawWord>& raw, tsd::Stream& syllables, tsd::Stream* pre_pass,
                     const InputAgain& input, ExtractionReport& found);

// Hands every problem of the extraction to the diagnostic sink with its place in the input (for Wylie,
// through the pre-pass's map back).
void tell_problems(const ConversionContext& context, const char* input_name, const InputAgain& input,
                   bool wylie, ExtractionReport& found);

// Hands the problems of a route that reads its input into the hub to the diagnostic sink with their places.
void tell_hub_problems(const ConversionContext& context, const char* input_name, const InputAgain& input,
                       Pass reader, bool keep_cr, ReaderReport& read, ReaderReport& written);

}  // namespace tarvex
