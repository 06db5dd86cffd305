// A fixture that runs the add-in's code against wordhost's model of the word processor, in a fresh
// data folder holding the small test tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "word_host.h"
#include "platform/addin_folder.h"
#include "support/temp_dir.h"
#include "trace.h"
#include "word_model.h"

namespace tibet::testing {

inline const std::string kTablesDir = TSENDREL_SOURCE_DIR "/tests/vectors/wordhost/home";

inline wordhost::WordModel* g_model = nullptr;

// The library's one add-in and its Word host, by the names the tests use.
inline FontDefaults& defaults = word_addin().defaults;
inline tsd::SyllableState& syllable_state = word_addin().syllable_state;
inline std::array<OptionRecord, kOptionGroupCount>& saved_options = word_host().saved_options;
inline std::int16_t& library_id = word_host().library_id;
inline auto& font_names = word_addin().font_names;

inline std::int32_t TIBET_CALL model_dispatch(std::uint16_t id, std::uint16_t options, std::uint16_t count,
                                              command_arg* args, command_arg* ret) {
  return g_model->dispatch(id, options, count, args, ret);
}

class AddinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_unique<wordhost::WordModel>();
    g_model = model_.get();
    set_dispatcher(model_dispatch);
    tsd::set_addin_folder(home_.path().c_str());
    defaults = FontDefaults{};
    saved_options = {};
    library_id = 0;
    syllable_state = tsd::SyllableState{};
    tsd::set_trace_sink(nullptr, 0);
  }

  void TearDown() override {
    set_dispatcher(nullptr);
    tsd::set_trace_sink(nullptr, 0);
    g_model = nullptr;
  }

  void copy_tables() const {
    for (const char* name : {"keyfont", "keymap"}) {
      std::filesystem::copy_file(kTablesDir + "/" + name, home_.file(name));
    }
  }

  // Starts the add-in with the test tables and forgets the start-up's commands.
  void start() {
    copy_tables();
    ASSERT_EQ(wdAutoOpen(7), 1);
    first_call_ = model_->calls().size();
  }

  // The commands issued since start() (or since the last call of this).
  std::vector<std::string> new_calls() {
    const auto& calls = model_->calls();
    std::vector<std::string> out(calls.begin() + static_cast<std::ptrdiff_t>(first_call_), calls.end());
    first_call_ = calls.size();
    return out;
  }

  std::vector<std::string> message_lines() const {
    std::vector<std::string> out;
    for (const auto& m : model_->messages()) out.push_back(m.title + ": " + m.text);
    return out;
  }

  std::string document_text() const {
    std::string out;
    for (const auto& c : model_->document()) {
      out += std::to_string(c.code) + " " + c.font + " " + std::to_string(c.size) + "\n";
    }
    return out;
  }

  tsd::testing::TempDir home_;
  std::unique_ptr<wordhost::WordModel> model_;
  std::size_t first_call_ = 0;
};

}  // namespace tibet::testing
