// The ACIP writer: reads the hub (Tibetan Unicode in canonical order, other text, line breaks) and writes
// ACIP that the ACIP reader reads back to the same hub where ACIP can say it. Each syllable's spelling is
// kept only when the reader gives back its characters (letters plainly where they read so, else with "+"
// and "-", the vowel `A` where the reader needs it); a syllable ACIP cannot spell is copied as Unicode
// (which the reader copies back). Each line is read back as a whole: where it differs (spacing ACIP cannot
// say, text that is not Tibetan) a warning tells what, at its offset in the hub.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hub.h"
#include "platform/stream.h"

namespace tarvex {

namespace acip_problems {
inline constexpr std::string_view kNoSpelling = "no ACIP spelling for \"%1\": copied as Unicode";
inline constexpr std::string_view kLineDiffers = "ACIP cannot say \"%1\": it reads back as \"%2\"";
}  // namespace acip_problems

class AcipWriter final : public HubWriter {
 public:
  AcipWriter(tsd::Stream& out, ReaderReport* problems);
  ~AcipWriter();
  AcipWriter(const AcipWriter&) = delete;
  AcipWriter& operator=(const AcipWriter&) = delete;

  void take(const unsigned char* bytes, std::size_t n) override;
  HubSink sink() override { return sink_of(*this); }
  bool failed() const override { return out_.error(); }
  int finish() override;

 private:
  struct Parts;
  tsd::Stream& out_;
  std::unique_ptr<Parts> parts_;
};

// The ACIP of a hub held in memory (for tests and round trips).
std::string hub_to_acip(std::string_view hub, ReaderReport* problems = nullptr);

}  // namespace tarvex
