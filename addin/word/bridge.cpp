#include "bridge.h"

#include <cstdio>
#include <cstring>

#include "platform/dynamic_library.h"

namespace tibet {
namespace {

DispatchFn g_substitute = nullptr;
DispatchFn g_host = nullptr;

command_arg* next_arg(command_block& block) {
  if (block.count >= kMaxArgs) return nullptr;
  return &block.args[block.count++];
}

void message_box(const char* text, const char* title) {
  command_block block;
  run_command(block, cmd::message_box, 0, nullptr, 0, "ss", text, title);
}

}  // namespace

void init_block(command_block& block, int return_kind, char* buffer, int buffer_size) {
  std::memset(&block, 0, sizeof block);
  block.ret.flags = static_cast<std::uint16_t>(return_kind);
  if (return_kind == kind_string) {
    block.ret.value.buffer = buffer;
    block.ret.buffer_size = static_cast<std::uint16_t>(buffer_size);
  }
}

void add_short(command_block& block, std::int16_t value) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.s = value;
    arg->flags = kind_short;
  }
}

void add_long(command_block& block, std::int32_t value) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.l = value;
    arg->flags = kind_long;
  }
}

void add_double(command_block& block, double value) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.d = value;
    arg->flags = kind_double;
  }
}

void add_string(command_block& block, const char* value) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.text = value;
    arg->flags = kind_string;
  }
}

void add_short_field(command_block& block, std::int16_t value, std::uint16_t field, int mode) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.s = value;
    arg->flags = static_cast<std::uint16_t>(kind_short | mode << 5);
    arg->field = field;
  }
}

void add_string_field(command_block& block, const char* text, std::uint16_t field, int mode,
                      std::uint16_t buffer_size) {
  if (command_arg* arg = next_arg(block)) {
    arg->value.text = text;
    arg->buffer_size = buffer_size;
    arg->flags = static_cast<std::uint16_t>(kind_string | mode << 5);
    arg->field = field;
  }
}

void set_dispatcher(DispatchFn dispatcher) {
  g_substitute = dispatcher;
}

std::int32_t call_host(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count, command_arg* args,
                       command_arg* ret) {
  DispatchFn dispatch = g_substitute;
  if (dispatch == nullptr) {
    if (g_host == nullptr) g_host = reinterpret_cast<DispatchFn>(tsd::find_host_symbol("wdCommandDispatch"));
    dispatch = g_host;
  }
  // Outside a host that exports the entry every command fails rather than jumping to nowhere.
  if (dispatch == nullptr) return 1;
  return dispatch(id, dialog_options, count, args, ret);
}

std::int32_t run_command_list(command_block& block, std::uint16_t id, int return_kind, char* buffer,
                              int buffer_size, std::string_view format,
                              std::initializer_list<HostValue> values) {
  init_block(block, return_kind, buffer, buffer_size);
  if (format.size() != values.size() || format.size() > kMaxArgs) return kBadFormat;
  const HostValue* value = values.begin();
  for (const char letter : format) {
    const bool integer = value->type == HostValue::Type::integer;
    switch (letter) {
      case 'i':
        if (!integer) return kBadFormat;
        add_short(block, static_cast<std::int16_t>(value->integer));
        break;
      case 'l':
        if (!integer) return kBadFormat;
        add_long(block, static_cast<std::int32_t>(value->integer));
        break;
      case 'd':
        if (value->type == HostValue::Type::text) return kBadFormat;
        add_double(block, integer ? static_cast<double>(value->integer) : value->real);
        break;
      case 's':
        if (value->type != HostValue::Type::text) return kBadFormat;
        add_string(block, value->text);
        break;
      default:
        return kBadFormat;
    }
    ++value;
  }
  return call_host(id, 0, block.count, block.args, return_kind != 0 ? &block.ret : nullptr);
}

void trace(const char* text, int level) {
  if (level < 0) message_box(text, "Tsendrel Debug");
}

void show_error(const char* text) {
  message_box(text, "Tsendrel Error");
}

void show_error_code(std::int16_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "Error %d occured.\n", code);
  show_error(text);
}

}  // namespace tibet
