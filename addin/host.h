// The seam between the add-in and the word processor that hosts it: everything the add-in asks of its
// host. The Word command-block bridge (word/) and the LibreOffice Writer component (writer/) implement it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tibet {

// A result of the host: 0, or a failure when its low 16 bits are not 0 (the code the user is shown).
using HostResult = std::int32_t;
inline bool failed(HostResult result) {
  return (result & 0xFFFF) != 0;
}

class Host {
 public:
  virtual ~Host() = default;

  // Types `glyphs` (font codes, one byte a character) at the insertion point in the current font.
  virtual HostResult insert(std::string_view glyphs) = 0;
  // Deletes the `count` characters before the insertion point.
  virtual HostResult take_back(int count) = 0;
  // Sets the font and point size of what is typed next.
  virtual HostResult set_font(const char* name, int size) = 0;
  // Asks the user for a line of text, offering `default_reply`; writes it NUL-terminated into `reply`
  // (`size` bytes). False when the user cancelled or the host could not ask.
  virtual bool prompt(const char* text, const char* title, const char* default_reply, char* reply,
                      int size) = 0;
  virtual void message(const char* text, const char* title) = 0;

  // Makes the add-in's commands reachable: its toolbar (and whatever registration the host needs).
  // 0, or -1 when the host refused (start-up then stops).
  virtual int install_toolbar() = 0;
  // Routes the keys of Tibetan mode to the add-in, and gives them back. 0, or -1 (the host has shown why).
  virtual int capture_keys() = 0;
  virtual HostResult release_keys() = 0;

  // The word processor's typing aids (autocorrect, autoformat, editing options) that would change what
  // the add-in types: remembered, cleared on entering Tibetan mode, restored on leaving it.
  virtual void save_typing_aids() = 0;
  virtual void clear_typing_aids() = 0;
  virtual void restore_typing_aids() = 0;
};

}  // namespace tibet
