#include "conversion_context.h"

#include "startup.h"

namespace tarvex {

void ConversionContext::log_status(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  status.log_status_v(format, args);
  va_end(args);
}

ConversionContext make_context(const ConverterTables& tables) {
  ConversionContext context;
  context.key_tables = &tables.key_tables;
  context.translit_tables = &tables.translit_tables;
  context.glyph_table = tables.glyph_table.get();
  context.stack_keys = tables.stack_keys.get();
  context.rtf_fonts = tables.rtf_fonts.data();
  context.font_count = tables.font_count;
  return context;
}

}  // namespace tarvex
