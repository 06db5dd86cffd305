// A user's input file of any bytes through the driver, for every conversion type that the driver knows
// (found at start: the types that convert a line of plain syllables), with the choices and the stage taken
// from the first byte. A success leaves the output; a failure leaves no output (there was none before) and
// nothing else behind; an RTF output's groups nest and close.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert_file.h"
#include "fuzz_support.h"
#include "startup.h"
#include "status_capture.h"

namespace {

using namespace tsd;

ConversionRequest base_request() {
  if (load_converter_tables(TSENDREL_SOURCE_DIR "/data", nullptr) != 0) fuzz::fail("the tables load");
  const ConverterTables& tables = converter_tables();
  ConversionRequest r;
  r.translit_tables = &tables.translit_tables;
  r.key_tables = &tables.key_tables;
  r.rtf_fonts = tables.rtf_fonts.data();
  r.font_count = tables.font_count;
  return r;
}

struct Type {
  int number;
  bool rtf;  // its complete output is an RTF document
};

// The conversion types of the driver: those that convert a line of plain syllables. Types are numbered
// from 0 without gaps, so the first that does not convert ends the list.
std::vector<Type> known_types(const ConversionRequest& base) {
  const std::string input = fuzz::folder().write("probe.txt", "ka kha ga\n");
  const std::string output = fuzz::folder().file("probe.rtf");
  std::vector<Type> types;
  fuzz::StatusLines status;
  for (int type = 0;; ++type) {
    ConversionRequest r = base;
    r.conversion_type = type;
    if (convert_file(input.c_str(), output.c_str(), r) != 0) break;
    Stream written = Stream::open_read(output.c_str(), Stream::Mode::binary);
    types.push_back({type, fuzz::contents(written).rfind("{\\rtf1", 0) == 0});
  }
  std::filesystem::remove(input);
  std::filesystem::remove(output);
  if (types.size() < 4) fuzz::fail("the driver knows the four conversions");
  return types;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ConversionRequest base = base_request();
  static const std::vector<Type> types = known_types(base);
  if (size < 2) return 0;
  const Type& type = types[data[0] % types.size()];
  ConversionRequest request = base;
  request.conversion_type = type.number;
  const unsigned choice = data[1];
  request.keep_cr = choice & 1;
  request.font_base = (choice & 2) != 0 ? kKorlamBase : kEkorlamBase;
  request.check_syllables = (choice >> 2) & 1;
  const Stage stage = static_cast<Stage>((choice >> 3) & 3);

  const std::string input = fuzz::write_file("input.txt", data + 2, size - 2);
  const std::string output = fuzz::folder().file("output.rtf");
  std::filesystem::remove(output);
  int result;
  {
    fuzz::StatusLines status;
    result = convert_file_until(input.c_str(), output.c_str(), request, stage);
    fuzz::require(result == 0 || !status.lines.empty(), "a failed conversion is logged");
  }
  fuzz::require(result == 0 || result == -1, "convert_file returns 0 or -1");
  int others = 0;
  for (const auto& entry : std::filesystem::directory_iterator(fuzz::folder().path()))
    if (entry.path() != input && entry.path() != output) ++others;
  fuzz::require(others == 0, "a conversion leaves nothing behind");
  fuzz::require(std::filesystem::exists(output) == (result == 0), "only a success leaves the output");
  if (result == 0 && type.rtf && stage == Stage::complete) {
    Stream written = Stream::open_read(output.c_str(), Stream::Mode::binary);
    const std::string bytes = fuzz::contents(written);
    fuzz::require(bytes.rfind("{\\rtf1", 0) == 0, "an RTF output starts with its header");
    fuzz::require(fuzz::groups_balanced(bytes), "the RTF's groups nest and close");
  }
  return 0;
}
