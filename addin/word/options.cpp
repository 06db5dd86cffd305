#include "word_host.h"
#include "trace.h"

namespace tibet {

namespace {

struct OptionGroup {
  std::uint16_t command;
  int count;
  std::array<std::uint16_t, 8> fields;
  const char* trace_format;
};

constexpr std::array<OptionGroup, kOptionGroupCount> kGroups{{
    {cmd::autocorrect_options, 3, {734, 735, 736}, "Tools Auto Correct: %d %d %d %d"},
    {cmd::autoformat_options,
     8,
     {863, 864, 865, 866, 1031, 1032, 1026, 1026},
     "Tools Options Auto Format: %d %d %d %d %d %d %d %d %d"},
    {cmd::edit_options, 3, {761, 657, 927}, "Tools Option Edit: %d %d %d %d"},
}};

}  // namespace

std::int16_t exchange_options(OptionGroupId group, OptionRecord& record, int mode) {
  const OptionGroup& g = kGroups[group];
  command_block block;
  init_block(block, kind_short, nullptr, 0);
  for (int i = 0; i < g.count; ++i) add_short_field(block, record[i], g.fields[i], mode);
  const std::int32_t result = call_host(g.command, 2, block.count, block.args, nullptr);
  for (int i = 0; i < g.count; ++i) record[i] = block.args[i].value.s;
  TSD_TRACE(0, g.trace_format, g.count, record[0], record[1], record[2], record[3], record[4], record[5],
            record[6], record[7]);
  return static_cast<std::int16_t>(result);
}

}  // namespace tibet
