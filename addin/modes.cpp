#include "addin.h"
#include "trace.h"

using namespace tibet;

extern "C" int TIBET_CALL tibetan() {
  TSD_TRACE(0, "Selecting Tibetan");
  if (syllable_state.mode == 0) {
    assign_keys(library_id);
    enter_tibetan_options();
    syllable_state.mode = 1;
  }
  const std::int32_t result = set_font(font_names[defaults.family_base].data(), defaults.tibetan_size);
  if (failed(result)) show_error_code(static_cast<std::int16_t>(result));
  return 0;
}

extern "C" int TIBET_CALL alternate() {
  TSD_TRACE(0, "Selecting Alternate");
  if (syllable_state.mode == 1) {
    release_keys(library_id);
    restore_user_options();
    syllable_state.mode = 0;
  }
  set_font(defaults.alt_font, defaults.alt_size);
  return 0;
}
