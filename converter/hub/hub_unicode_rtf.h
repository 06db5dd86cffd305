// The Unicode RTF writer of the hub: the hub's UTF-8 taken a run of bytes at a time, straight from a reader,
// into the Unicode RTF (unicode_rtf_writer.h) with the roman runs and the small passages marked as the
// Unicode passes mark them. Reads the hub; writes the RTF document.
#pragma once

#include "hub.h"
#include "platform/stream.h"
#include "tibetan.h"
#include "unicode_rtf_writer.h"

namespace tarvex {

// The Unicode RTF of the hub taken a run of bytes at a time, straight from a reader (its sink()): every
// character outside the Tibetan block but white space is set in the roman font, and Tibetan within
// parentheses in the small size.
class HubUnicodeRtfWriter final : public HubWriter {
 public:
  HubUnicodeRtfWriter(tsd::Stream& out, const char* unicode_font, int roman_size, int tib_size,
                      int small_tib_size);
  void take(const unsigned char* bytes, std::size_t n) override;
  HubSink sink() override { return sink_of(*this); }
  bool failed() const override { return out_.error(); }
  // The end of the document: 0, or -1 when a write to `out` failed.
  int finish() override;

 private:
  void character(char32_t c);

  tsd::Stream& out_;
  UnicodeRtf<tsd::Stream> rtf_;
  Utf8Decoder decoder_;
  bool roman_ = false;
  int parentheses_ = 0;  // open parentheses: their Tibetan is small
};

}  // namespace tarvex
