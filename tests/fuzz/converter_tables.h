// The converter's bundled tables, loaded once for every run, and the request that the windows fill from
// the user's choices: for the harnesses that convert whole files. Reads the data folder of the source tree.
#pragma once

#include "batch.h"
#include "fuzz_support.h"
#include "startup.h"
#include "status_capture.h"

namespace tsd::fuzz {

inline const tarvex::ConverterTables& converter_tables() {
  static const tarvex::ConverterTables* tables = [] {
    auto* loaded = new tarvex::ConverterTables;
    if (tarvex::load_converter_tables(TSENDREL_SOURCE_DIR "/data", *loaded, nullptr) != 0) fail("the tables load");
    return loaded;
  }();
  return *tables;
}

inline tarvex::ConversionRequest request_for(const tarvex::BatchChoices& choices) {
  tarvex::ConversionContext context = tarvex::make_context(converter_tables());
  tarvex::ConversionRequest r;
  StatusLines status(context);
  if (tarvex::fill_request(r, choices, context) != 0) fail("the choices are good ones");
  return r;
}

}  // namespace tsd::fuzz
