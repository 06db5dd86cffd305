// The Tsendrel RTF of the hub: each syllable through its composer keys (the Unicode key table read
// backwards) and the composer, as the font-code pass composes a word; the tsheg and the shads with the
// glyphs the font-code pass lays out; digits and marks through their keys; text that is not Tibetan in
// the roman font. A syllable that cannot be typed with the loaded tables is written as the error marker
// "[~...]" holding its Unicode, with a warning at its offset in the hub.
#pragma once

#include <memory>

#include "document.h"
#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

class StackKeys;

struct HubRtfRequest {
  const FontEntry* fonts;
  int font_count;
  int font_base;
  int roman_size;
  int tib_size;
  int small_tib_size;
  // The keys of the stacks built once from the tables; without them (or when they were built from other
  // tables) the writer builds its own.
  const StackKeys* stack_keys = nullptr;
};

// Returns 0, or -1 when a write to `out` or a read of `hub` failed (neither is closed). `problems`, when
// given, counts the syllables written and those written as markers, and receives a warning for each
// marker at its offset in the hub.
int write_hub_rtf(tsd::Stream& hub, tsd::Stream& out, const ConverterKeyTables& tables,
                  tsd::SyllableState& state, const HubRtfRequest& request, ReaderReport* problems);

// The same writer taking the hub a run of bytes at a time, straight from a reader (its sink()).
class HubRtfWriter final : public HubWriter {
 public:
  HubRtfWriter(tsd::Stream& out, const ConverterKeyTables& tables, tsd::SyllableState& state,
               const HubRtfRequest& request, ReaderReport* problems);
  ~HubRtfWriter();
  HubRtfWriter(const HubRtfWriter&) = delete;
  HubRtfWriter& operator=(const HubRtfWriter&) = delete;

  // The hub's bytes, tokens among them (see HubSink).
  void take(const unsigned char* bytes, std::size_t n) override;
  // A handle for a syllable's UTF-8 (see HubSink), or 0.
  std::uint32_t learn(std::string_view syllable);
  HubSink sink() override { return sink_of(*this); }
  bool failed() const override { return out_.error(); }
  // The end of the document: 0, or -1 when a write to `out` failed.
  int finish() override;

 private:
  struct Parts;
  tsd::Stream& out_;
  std::unique_ptr<Parts> parts_;
};

}  // namespace tarvex
