// The key commands as data, in registration order: name, key, bindings and failure message; and the
// declarations of their exports.
#pragma once

#include <array>
#include <string_view>

#include "word_host.h"
#include "key_table.h"

namespace tibet {

struct KeyCommand {
  std::string_view name;
  int key;
  int binding;
  int second_binding;
  const char* failure_message;
  int bound;  // place in the order of binding
};

#define TIBET_KEY_ROW(name, key, binding, second, message, bound) \
  KeyCommand{#name, key, binding, second, message, bound},
inline constexpr KeyCommand key_commands[] = {TIBET_KEY_COMMANDS(TIBET_KEY_ROW)};
#undef TIBET_KEY_ROW

inline constexpr int kKeyCommandCount = static_cast<int>(std::size(key_commands));
static_assert(kKeyCommandCount == 98);

}  // namespace tibet

#define TIBET_KEY_DECLARE(name, key, binding, second, message, bound) TIBET_EXPORT int TIBET_CALL name();
extern "C" {
TIBET_KEY_COMMANDS(TIBET_KEY_DECLARE)
}
#undef TIBET_KEY_DECLARE
