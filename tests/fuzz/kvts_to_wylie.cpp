// KVTS text of any bytes through the KVTS to Wylie pass.
#include "scheme_pass.h"
#include "scheme_passes.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tsd::fuzz::run_scheme_pass(kvts_to_wylie, data, size);
}
