#include <cstring>
#include <string>

#include "addin.h"
#include "key_commands.h"
#include "platform/addin_folder.h"
#include "platform/path.h"
#include "trace.h"

namespace tibet {

std::int16_t library_id = 0;
tsd::KeyTables<tsd::kAddinForms> key_tables;
tsd::SyllableState syllable_state;
tsd::TypedHistory typed_history;

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

constexpr const char* kToolbar = "Tsendrel";

struct ModeCommand {
  const char* name;
  const char* description;
  const char* button;
};

constexpr ModeCommand kModeCommands[] = {
    {"tibetan", "Turns on Tibetan keyboard.", "Tibetan On"},
    {"alternate", "Turns off Tibetan keyboard.", "Tibetan Off"},
    {"tibfont", "Select default Tibetan font.", "Tibetan Font"},
    {"altfont", "Select default Alternate font.", "Alternate Font"},
};

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

void report_table_failure(const char* file) {
  const std::string path = tsd::join_path(tsd::addin_folder(), file);
  const std::string message = "Could not initialize character table from " + path +
                              ".  Please make sure that the " + file + " file is located in " + path +
                              ". Copy from installation diskettes if necessary.";
  show_error(message.c_str());
}

void show_trace(int level, const char* text) {
  trace(text, level);
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
  add_string_field(block, kToolbar, 1, mode_apply, buffer_size_of(kToolbar));
  add_short_field(block, id, 3, mode_apply);
  if (failed(call_host(cmd::new_toolbar, 2, block.count, block.args, nullptr))) return -1;
  int position = 1;
  for (const ModeCommand& command : kModeCommands) {
    const std::int32_t result = run_command(block, cmd::add_button, 0, nullptr, 0, "siissi", kToolbar,
                                            position++, 1, command.name, command.button, id);
    if (failed(result)) return -1;
  }
  TSD_TRACE(0, "Buttons added to toolbar");
  run_command(block, cmd::size_toolbar, 0, nullptr, 0, "si", kToolbar, 600);
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

}  // namespace tibet

using namespace tibet;

extern "C" std::int16_t TIBET_CALL wdAutoOpen(std::int16_t id) {
  fill_font_names();
  tsd::set_trace_sink(show_trace, 0);
  load_font_defaults();
  enter_tibetan_options();

  // load_key_tables clears tib_keys and tib_chars before it reads the files.
  TSD_TRACE(0, "Entering main entry point");
  const std::string folder = tsd::addin_folder();
  const std::string keyfont_path = tsd::join_path(folder, "keyfont");
  const std::string keymap_path = tsd::join_path(folder, "keymap");
  const int loaded = tsd::load_key_tables(keyfont_path.c_str(), keymap_path.c_str(), key_tables, show_error);
  if (loaded == -1) {
    report_table_failure("keyfont");
    return 0;
  }
  TSD_TRACE(0, "Finished initializing key table");
  if (loaded < 0) {
    report_table_failure("keymap");
    return 0;
  }
  const auto& first = key_tables.tib_chars[0];
  TSD_TRACE(0, "Finished initializing key map");
  TSD_TRACE(0, "tib_chars[0]: string %s, font_slot %d, font_table %d", first.string, first.font_slot[0],
            first.font_table[0]);
  TSD_TRACE(0, "table_size %d, keymap ret %d", key_tables.table_size, 0);

  library_id = id;
  TSD_TRACE(0, "Registering strings");
  for (const ModeCommand& command : kModeCommands) {
    if (failed(register_command(library_id, command.name, command.description))) return 0;
  }
  TSD_TRACE(0, "Registering lower case");
  for (const KeyCommand& command : key_commands) {
    const std::string name(command.name);
    if (failed(register_command(library_id, name.c_str(), ""))) return 0;
  }
  TSD_TRACE(0, "Creating Toolbar");
  if (create_toolbar(library_id) < 0) return 0;
  TSD_TRACE(0, "Assigning keyboard");
  syllable_state.mode = 1;
  if (assign_keys(library_id) < 0) {
    show_error("Could not reassign keyboard.  Please contact Velmoran International.");
    return 0;
  }
  return 1;
}

extern "C" std::int32_t TIBET_CALL wdAutoRemove() {
  return release_keys(library_id);
}
