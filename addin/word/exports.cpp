// The library's entries as the word processor calls them: wdAutoOpen and wdAutoRemove, the four commands
// and the 98 key commands, all on the one add-in the library holds.
#include "key_commands.h"
#include "trace.h"
#include "word_host.h"

namespace tibet {

namespace {

void show_trace(int level, const char* text) {
  trace(text, level);
}

}  // namespace

WordHost& word_host() {
  static WordHost host;
  return host;
}

Addin& word_addin() {
  static Addin addin(word_host());
  return addin;
}

}  // namespace tibet

using namespace tibet;

extern "C" std::int16_t TIBET_CALL wdAutoOpen(std::int16_t id) {
  tsd::set_trace_sink(show_trace, 0);
  word_host().library_id = id;
  return word_addin().start() == StartResult::started ? 1 : 0;
}

extern "C" std::int32_t TIBET_CALL wdAutoRemove() {
  return word_host().release_keys();
}

extern "C" int TIBET_CALL tibetan() {
  word_addin().tibetan();
  return 0;
}

extern "C" int TIBET_CALL alternate() {
  word_addin().alternate();
  return 0;
}

extern "C" int TIBET_CALL tibfont() {
  word_addin().tibfont();
  return 0;
}

extern "C" int TIBET_CALL altfont() {
  word_addin().altfont();
  return 0;
}

#define TIBET_KEY_EXPORT(name, key, binding, second, message, bound) \
  extern "C" TIBET_EXPORT int TIBET_CALL name() {                    \
    return word_addin().on_key(key);                                 \
  }
TIBET_KEY_COMMANDS(TIBET_KEY_EXPORT)
#undef TIBET_KEY_EXPORT
