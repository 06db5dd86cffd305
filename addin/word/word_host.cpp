#include "word_host.h"

#include <cstring>
#include <string>

#include "key_commands.h"
#include "trace.h"

namespace tibet {

namespace {

constexpr std::array<int, kKeyCommandCount> make_binding_order() {
  std::array<int, kKeyCommandCount> order{};
  order.fill(-1);
  for (int j = 0; j < kKeyCommandCount; ++j) {
    const int place = key_commands[j].bound;
    if (place >= 0 && place < kKeyCommandCount && order[place] < 0) order[place] = j;
  }
  return order;
}

constexpr bool is_permutation(const std::array<int, kKeyCommandCount>& order) {
  for (const int i : order)
    if (i < 0) return false;
  return true;
}

// Index in key_commands of each command, in the order its keys are bound.
constexpr std::array<int, kKeyCommandCount> kBindingOrder = make_binding_order();
static_assert(is_permutation(kBindingOrder), "every key command is bound exactly once");

std::uint16_t buffer_size_of(const char* text) {
  return static_cast<std::uint16_t>(std::strlen(text) + 1);
}

std::int32_t bind_key(std::int16_t id, int key_code, const char* command) {
  command_block block;
  init_block(block, 0, nullptr, 0);
  add_short_field(block, static_cast<std::int16_t>(key_code), 2, mode_apply);
  add_short_field(block, 1, 328, mode_apply);
  add_string_field(block, command, 1, mode_apply, buffer_size_of(command));
  add_short_field(block, 1, 152, mode_apply);
  add_short_field(block, id, 3, mode_apply);
  return call_host(cmd::assign_key, 2, block.count, block.args, nullptr);
}

}  // namespace

std::int32_t register_command(std::int16_t id, const char* name, const char* description) {
  command_block block;
  if (description == nullptr) return run_command(block, cmd::register_command, 0, nullptr, 0, "is", id, name);
  return run_command(block, cmd::register_command, 0, nullptr, 0, "iss", id, name, description);
}

int create_toolbar(std::int16_t id) {
  command_block block;
  init_block(block, 0, nullptr, 0);
  add_string_field(block, kToolbarName, 1, mode_apply, buffer_size_of(kToolbarName));
  add_short_field(block, id, 3, mode_apply);
  if (failed(call_host(cmd::new_toolbar, 2, block.count, block.args, nullptr))) return -1;
  int position = 1;
  for (const ModeCommand& command : kModeCommands) {
    const std::int32_t result = run_command(block, cmd::add_button, 0, nullptr, 0, "siissi", kToolbarName,
                                            position++, 1, command.name, command.button, id);
    if (failed(result)) return -1;
  }
  TSD_TRACE(0, "Buttons added to toolbar");
  run_command(block, cmd::size_toolbar, 0, nullptr, 0, "si", kToolbarName, 600);
  TSD_TRACE(0, "Toolbar resized");
  return 0;
}

int assign_keys(std::int16_t id) {
  for (const int index : kBindingOrder) {
    const KeyCommand& command = key_commands[index];
    const std::string name(command.name);
    for (const int key_code : {command.binding, command.second_binding}) {
      if (key_code == 0) continue;
      if (failed(bind_key(id, key_code, name.c_str()))) {
        if (command.failure_message != nullptr) show_error(command.failure_message);
        return -1;
      }
    }
  }
  return 0;
}

std::int32_t release_keys(std::int16_t id) {
  command_block block;
  init_block(block, 0, nullptr, 0);
  add_short_field(block, 1, 328, mode_apply);
  add_short_field(block, 1, 4, mode_apply);
  add_short_field(block, id, 3, mode_apply);
  return call_host(cmd::assign_key, 2, block.count, block.args, nullptr);
}

HostResult WordHost::insert(std::string_view glyphs) {
  // One command a character, as the word processor's insert takes them.
  HostResult result = 0;
  command_block block;
  for (const char glyph : glyphs) {
    const char text[2] = {glyph, '\0'};
    result = run_command(block, cmd::insert, 0, nullptr, 0, "s", text);
  }
  return result;
}

HostResult WordHost::take_back(int count) {
  command_block block;
  return run_command(block, cmd::delete_back, 0, nullptr, 0, "i", -count);
}

HostResult WordHost::set_font(const char* name, int size) {
  command_block block;
  return run_command(block, cmd::set_font, 0, nullptr, 0, "si", name, size);
}

bool WordHost::prompt(const char* text, const char* title, const char* default_reply, char* reply, int size) {
  command_block block;
  return !failed(run_command(block, cmd::prompt, kind_string, reply, size, "sss", text, title, default_reply));
}

void WordHost::message(const char* text, const char* title) {
  command_block block;
  run_command(block, cmd::message_box, 0, nullptr, 0, "ss", text, title);
}

int WordHost::install_toolbar() {
  TSD_TRACE(0, "Registering strings");
  for (const ModeCommand& command : kModeCommands) {
    if (failed(register_command(library_id, command.name, command.description))) return -1;
  }
  TSD_TRACE(0, "Registering lower case");
  for (const KeyCommand& command : key_commands) {
    const std::string name(command.name);
    if (failed(register_command(library_id, name.c_str(), ""))) return -1;
  }
  TSD_TRACE(0, "Creating Toolbar");
  return create_toolbar(library_id);
}

int WordHost::capture_keys() {
  return assign_keys(library_id);
}

HostResult WordHost::release_keys() {
  return tibet::release_keys(library_id);
}

void WordHost::save_typing_aids() {
  exchange_options(autocorrect_options, saved_options[autocorrect_options], mode_read);
  // Field 1026 is sent twice; a word processor that fills only one leaves the eighth value at 0.
  saved_options[autoformat_options][7] = 0;
  exchange_options(autoformat_options, saved_options[autoformat_options], mode_read);
  exchange_options(edit_options, saved_options[edit_options], mode_read);
}

void WordHost::clear_typing_aids() {
  for (int group = 0; group < kOptionGroupCount; ++group) {
    OptionRecord plain{};
    exchange_options(static_cast<OptionGroupId>(group), plain, mode_apply);
  }
}

void WordHost::restore_typing_aids() {
  for (int group = 0; group < kOptionGroupCount; ++group) {
    exchange_options(static_cast<OptionGroupId>(group), saved_options[group], mode_apply);
  }
}

}  // namespace tibet
