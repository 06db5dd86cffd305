#include "startup.h"

#include <cstdio>

#include "glyph_text.h"
#include "platform/path.h"
#include "rtf_writer.h"
#include "stack_keys.h"
#include "trace.h"

namespace tarvex {

std::string table_load_message(const char* file_name) {
  char message[512];
  std::snprintf(
      message, sizeof message,
      "Could not initialize character table from file %s.  Please make sure that file %s is in the same "
      "directory as tarvex.exe. Copy from installation diskettes if necessary. Exiting.",
      file_name, file_name);
  return message;
}

int load_converter_tables(const char* directory, ConverterTables& tables, tsd::ReportFn show_error_box,
                          tsd::TableProblem* problem) {
  if (tables.loaded) return 0;
  tables.help_path = tsd::join_path(directory, "tarvex.txt");
  const std::string keyfont_path = tsd::join_path(directory, "keyfont");
  const std::string keymap_path = tsd::join_path(directory, "keymap");

  tables.translit_tables = built_translit_tables();
  // load_key_tables empties both tables before it reads the files.
  const int result = tsd::load_key_tables(keyfont_path.c_str(), keymap_path.c_str(), tables.key_tables,
                                          show_error_box, problem);
  if (result == -1) {
    if (show_error_box) show_error_box(table_load_message("keyfont").c_str());
    return -1;
  }
  tsd::trace_text(0, "Finished initializing key table");
  if (result < 0) {
    if (show_error_box) show_error_box(table_load_message("keymap").c_str());
    return -1;
  }
  tables.glyph_table = std::make_shared<const GlyphTable>(tables.key_tables);
  tables.stack_keys = std::make_shared<const StackKeys>(tables.key_tables);
  tables.font_count = build_font_table(tables.rtf_fonts.data());
  tables.loaded = true;
  return 0;
}

}  // namespace tarvex
