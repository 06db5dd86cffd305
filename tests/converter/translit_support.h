// The one TranslitTables record of the test program: init_translit_tables fills only the first record
// that it is given in a process, so every test file must read this one.
#pragma once

#include "translit_tables.h"

inline const TranslitTables& shared_translit_tables() {
  static const TranslitTables tables = [] {
    TranslitTables filled;
    init_translit_tables(filled);
    return filled;
  }();
  return tables;
}
