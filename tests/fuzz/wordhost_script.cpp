// A wordhost script of any bytes played against the add-in (linked into the harness, its exports found
// among the program's own) through the word-processor model, from a fresh start in a folder holding the
// bundled tables.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>

#include "word_host.h"
#include "fuzz_support.h"
#include "platform/addin_folder.h"
#include "platform/dynamic_library.h"
#include "script.h"
#include "trace.h"

namespace {

wordhost::WordModel* model = nullptr;

std::int32_t TIBET_CALL dispatch(std::uint16_t id, std::uint16_t options, std::uint16_t count,
                                 tibet::command_arg* args, tibet::command_arg* ret) {
  return model->dispatch(id, options, count, args, ret);
}

bool prepare_home() {
  namespace fs = std::filesystem;
  const std::string& home = tsd::fuzz::folder().path();
  for (const char* name : {"keyfont", "keymap"})
    fs::copy_file(fs::path(TSENDREL_SOURCE_DIR "/data") / name, fs::path(home) / name);
  tibet::set_dispatcher(dispatch);
  return tsd::set_addin_folder(home.c_str()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tsd;
  static const bool ready = prepare_home();
  static std::FILE* const errors = std::fopen("/dev/null", "w");
  fuzz::require(ready && errors != nullptr, "the add-in's folder is ready");
  std::filesystem::remove(fuzz::folder().file("font.def"));

  // The add-in's state as the word processor's loading of the library leaves it.
  tibet::word_addin().defaults = tibet::FontDefaults{};
  tibet::word_host().saved_options = {};
  tibet::word_host().library_id = 0;
  tibet::word_addin().syllable_state = SyllableState{};
  set_trace_sink(nullptr, 0);

  wordhost::WordModel word;
  model = &word;
  word.export_exists = [](const std::string& name) { return find_host_symbol(name.c_str()) != nullptr; };
  std::istringstream script{std::string(fuzz::text_of(data, size))};
  const int status = wordhost::run_script(
      script, word, [](const char* name) { return find_host_symbol(name); }, errors);
  fuzz::require(status >= 0 && status <= 2, "a script ends with 0, 1 or 2");
  model = nullptr;
  return 0;
}
