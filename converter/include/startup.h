// Start-up of the converter: reads `keyfont` and `keymap` from the data folder and builds the
// transliteration tables and the RTF font table into the record of its front end, which keeps it for the
// life of the program and points its conversion contexts to it.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "conversion_request.h"
#include "keyfont.h"
#include "translit_tables.h"

namespace tarvex {

class GlyphTable;
class StackKeys;

struct ConverterTables {
  ConverterKeyTables key_tables;
  TranslitTables translit_tables;
  // What each glyph of the key tables is in Unicode, for the readers of documents.
  std::shared_ptr<const GlyphTable> glyph_table;
  // The composer keys of the hub's stacks, for the writer of Tsendrel RTF.
  std::shared_ptr<const StackKeys> stack_keys;
  std::array<FontEntry, kRtfFontCount> rtf_fonts{};
  int font_count = 0;
  std::string help_path;  // tarvex.txt in the data folder
  bool loaded = false;
};

// Loads the tables into `tables` from `directory`, once: 0 on success (also when already loaded); -1 after
// handing the start-up message to `show_error_box`, after which the program ends; `problem`, when given,
// then names the file tried and why it did not load.
int load_converter_tables(const char* directory, ConverterTables& tables, tsd::ReportFn show_error_box,
                          tsd::TableProblem* problem = nullptr);

// The start-up message for a table file that did not load ("keyfont" or "keymap").
std::string table_load_message(const char* file_name);

}  // namespace tarvex
