// The transliteration tables for tests, as start-up copies them into its record.
#pragma once

#include "translit_tables.h"

inline const tarvex::TranslitTables& shared_translit_tables() {
  return tarvex::built_translit_tables();
}
