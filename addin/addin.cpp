#include "addin.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/addin_folder.h"
#include "platform/path.h"
#include "trace.h"

namespace tibet {

namespace {

// The table loader reports through a plain function: the add-in loading its tables at the moment.
thread_local Addin* g_loading = nullptr;

void report_to_loading(const char* text) {
  if (g_loading != nullptr) g_loading->show_error(text);
}

}  // namespace

Addin::Addin(Host& host) : host_(host) {
  for (int i = 0; i < kFontNameCount; ++i)
    std::memcpy(font_names[i].data(), tsd::kFontNames[i].data(), kFontNameSize);
}

void Addin::show_error(const char* text) {
  host_.message(text, "Tsendrel Error");
}

void Addin::show_error_code(HostResult code) {
  char text[48];
  std::snprintf(text, sizeof text, "Error %d occured.\n", static_cast<std::int16_t>(code));
  show_error(text);
}

void Addin::report_table_failure(const char* file) {
  const std::string path = tsd::join_path(tsd::addin_folder(), file);
  const std::string message = "Could not initialize character table from " + path +
                              ".  Please make sure that the " + file + " file is located in " + path +
                              ". Copy from installation diskettes if necessary.";
  show_error(message.c_str());
}

StartResult Addin::start() {
  load_font_defaults();
  host_.save_typing_aids();
  host_.clear_typing_aids();

  // load_key_tables clears tib_keys and tib_chars before it reads the files.
  TSD_TRACE(0, "Entering main entry point");
  const std::string folder = tsd::addin_folder();
  const std::string keyfont_path = tsd::join_path(folder, "keyfont");
  const std::string keymap_path = tsd::join_path(folder, "keymap");
  g_loading = this;
  const int loaded = tsd::load_key_tables(keyfont_path.c_str(), keymap_path.c_str(), key_tables, report_to_loading);
  g_loading = nullptr;
  if (loaded == -1) {
    report_table_failure("keyfont");
    return StartResult::no_keyfont;
  }
  TSD_TRACE(0, "Finished initializing key table");
  if (loaded < 0) {
    report_table_failure("keymap");
    return StartResult::no_keymap;
  }
  const auto& first = key_tables.tib_chars[0];
  TSD_TRACE(0, "Finished initializing key map");
  TSD_TRACE(0, "tib_chars[0]: string %s, font_slot %d, font_table %d", first.string, first.font_slot[0],
            first.font_table[0]);
  TSD_TRACE(0, "table_size %d, keymap ret %d", key_tables.table_size, 0);

  if (host_.install_toolbar() < 0) return StartResult::refused;
  TSD_TRACE(0, "Assigning keyboard");
  syllable_state.mode = 1;
  if (host_.capture_keys() < 0) {
    show_error("Could not reassign keyboard.  Please contact Velmoran International.");
    return StartResult::refused;
  }
  return StartResult::started;
}

HostResult Addin::set_tibetan_font(int font) {
  return host_.set_font(font_names[defaults.family_base + font].data(), defaults.tibetan_size);
}

HostResult Addin::play_glyphs(const unsigned char* glyphs) {
  HostResult result = 0;
  int font = 0;
  for (int i = 0; glyphs[i] != 0;) {
    const unsigned char byte = glyphs[i];
    TSD_TRACE(0, "buf[%d] = %d", i, byte);
    if (byte >= tsd::kFontBase) {
      // A font number past the family (a bad keyfont) selects nothing rather than a name past the list.
      if (byte - tsd::kFontBase < fonts_per_family) {
        font = byte - tsd::kFontBase;
        result = set_tibetan_font(font);
      }
      ++i;
    } else if (byte == tsd::kTakeBack) {
      int n = 0;
      while (glyphs[i + n] == tsd::kTakeBack) ++n;
      result = host_.take_back(n);
      result = set_tibetan_font(font);
      i += n;
    } else {
      int n = 0;
      while (glyphs[i + n] != 0 && glyphs[i + n] != tsd::kTakeBack && glyphs[i + n] < tsd::kFontBase) ++n;
      result = host_.insert(std::string_view(reinterpret_cast<const char*>(glyphs + i), static_cast<std::size_t>(n)));
      i += n;
    }
  }
  return result;
}

HostResult Addin::on_key(int key) {
  unsigned char glyphs[tsd::kGlyphBufferSize];
  const int composed = tsd::type_key(key, glyphs, key_tables, syllable_state, typed_history);
  TSD_TRACE(0, "processing %c, ret %d, strlen(buf) %d", key, composed,
            static_cast<int>(std::strlen(reinterpret_cast<const char*>(glyphs))));
  for (int i = 0; glyphs[i] != 0; ++i) TSD_TRACE(0, "buf[%d] = %d ", i, glyphs[i]);
  return play_glyphs(glyphs);
}

void Addin::tibetan() {
  TSD_TRACE(0, "Selecting Tibetan");
  if (syllable_state.mode == 0) {
    host_.capture_keys();
    host_.save_typing_aids();
    host_.clear_typing_aids();
    syllable_state.mode = 1;
  }
  const HostResult result = set_tibetan_font(0);
  if (failed(result)) show_error_code(result);
}

void Addin::alternate() {
  TSD_TRACE(0, "Selecting Alternate");
  if (syllable_state.mode == 1) {
    host_.release_keys();
    host_.restore_typing_aids();
    syllable_state.mode = 0;
  }
  host_.set_font(defaults.alt_font, defaults.alt_size);
}

}  // namespace tibet
