// ACIP of any bytes through the ACIP reader, lines kept and joined, and its hub through the ACIP writer:
// the reader must succeed, write UTF-8 with no control byte but tab and line break and warn only about
// bytes of the input; the writer's ACIP must read back to the same hub wherever it told no problem.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "acip_reader.h"
#include "acip_writer.h"
#include "fuzz_support.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view acip = tsd::fuzz::text_of(data, size);
  for (const bool keep_cr : {true, false}) {
    ReaderReport report;
    const std::string hub = acip_to_unicode(acip, &report, keep_cr);
    tsd::fuzz::require(tsd::fuzz::valid_utf8(hub), "the hub is UTF-8");
    tsd::fuzz::require(
        std::none_of(hub.begin(), hub.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n'; }),
        "the hub holds no control byte but tab and line break");
    for (const ReaderWarning& w : report.warnings)
      tsd::fuzz::require(w.length >= 1 && w.offset + w.length <= std::max<std::size_t>(size, 1),
                         "every warning lies inside the input");
    ReaderReport problems;
    const std::string written = hub_to_acip(hub, &problems);
    if (problems.warnings.empty())
      tsd::fuzz::require(acip_to_unicode(written) == hub, "ACIP written without a problem reads back");
  }
  return 0;
}
