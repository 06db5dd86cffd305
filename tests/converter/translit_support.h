// The transliteration tables for tests: init_translit_tables fills only the first record of a process,
// and any test of the program may have made that call.
#pragma once

#include "translit_tables.h"

inline const tarvex::TranslitTables& shared_translit_tables() {
  return tarvex::built_translit_tables();
}
