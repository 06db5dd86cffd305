// The Extended Wylie (EWTS) writer: reads the hub (Tibetan Unicode in canonical order, other text, line
// breaks) and writes EWTS that our EWTS reader reads back to the same hub, every line break kept. Each
// syllable is spelled by the rules of ewts_tables.h (standard stacks plainly, others with "+", the
// implicit `a` only on the root) and kept only when the reader gives back its characters without a
// warning; what EWTS cannot spell is written as escapes, with a warning at its offset in the hub when it
// is malformed (a sign with no letter, signs out of order).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

// Takes the hub a run of bytes at a time (straight from a reader, through sink()) and writes EWTS to
// `out`. `problems`, when given, counts the syllables written with escapes because they are malformed
// (`not_converted`), and receives a warning for each fault at its offset in the hub.
class EwtsWriter final : public HubWriter {
 public:
  EwtsWriter(tsd::Stream& out, ReaderReport* problems);
  ~EwtsWriter();
  EwtsWriter(const EwtsWriter&) = delete;
  EwtsWriter& operator=(const EwtsWriter&) = delete;

  void take(const unsigned char* bytes, std::size_t n) override;
  HubSink sink() override { return sink_of(*this); }
  bool failed() const override { return out_.error(); }
  // The end of the text: 0, or -1 when a write to `out` failed.
  int finish() override;

 private:
  struct Parts;
  tsd::Stream& out_;
  std::unique_ptr<Parts> parts_;
};

// The EWTS of a hub held in memory (for tests and round trips).
std::string hub_to_ewts(std::string_view hub, ReaderReport* problems = nullptr);

}  // namespace tarvex
