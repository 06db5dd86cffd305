// Wylie text of any bytes through the Wylie to KVTS pass.
#include "scheme_pass.h"
#include "scheme_passes.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tsd::fuzz::run_scheme_pass(wylie_to_kvts, data, size);
}
