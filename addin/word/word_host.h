// The add-in's host in Word and wordhost: each request of the add-in becomes one of the word processor's
// commands, sent through the command-block bridge (bridge.h); the keys of Tibetan mode are bound to the
// 98 key exports, and the typing aids are the three option groups of its dialogs.
#pragma once

#include <array>
#include <cstdint>

#include "addin.h"
#include "bridge.h"
#include "host.h"

#if defined(_WIN32)
#define TIBET_EXPORT __declspec(dllexport)
#else
#define TIBET_EXPORT __attribute__((visibility("default")))
#endif

namespace tibet {

// The word processor's option groups, in the order they are read and applied.
enum OptionGroupId { autocorrect_options, autoformat_options, edit_options, kOptionGroupCount };
using OptionRecord = std::array<std::int16_t, 8>;

// Mode 2 reads the word processor's values into `record`, mode 1 applies the record's values.
std::int16_t exchange_options(OptionGroupId group, OptionRecord& record, int mode);

std::int32_t register_command(std::int16_t id, const char* name, const char* description);
int create_toolbar(std::int16_t id);
int assign_keys(std::int16_t id);
std::int32_t release_keys(std::int16_t id);

class WordHost final : public Host {
 public:
  HostResult insert(std::string_view glyphs) override;
  HostResult take_back(int count) override;
  HostResult set_font(const char* name, int size) override;
  bool prompt(const char* text, const char* title, const char* default_reply, char* reply, int size) override;
  void message(const char* text, const char* title) override;
  // Registers the four commands and the 98 key commands, then builds the toolbar.
  int install_toolbar() override;
  int capture_keys() override;
  HostResult release_keys() override;
  void save_typing_aids() override;
  void clear_typing_aids() override;
  void restore_typing_aids() override;

  // The id the word processor gave the library in wdAutoOpen.
  std::int16_t library_id = 0;
  std::array<OptionRecord, kOptionGroupCount> saved_options{};
};

// The one add-in of the library's Word entries, and its host.
WordHost& word_host();
Addin& word_addin();

}  // namespace tibet

extern "C" {
TIBET_EXPORT std::int16_t TIBET_CALL wdAutoOpen(std::int16_t library_id);
TIBET_EXPORT std::int32_t TIBET_CALL wdAutoRemove();
TIBET_EXPORT int TIBET_CALL tibetan();
TIBET_EXPORT int TIBET_CALL alternate();
TIBET_EXPORT int TIBET_CALL tibfont();
TIBET_EXPORT int TIBET_CALL altfont();
}
