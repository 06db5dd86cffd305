// Runs the behaviour vectors of the scheme passes and the extraction pass (format: support/examples.h).
#include <gtest/gtest.h>

#include <string>

#include "extract.h"
#include "scheme_passes.h"
#include "support/examples.h"
#include "translit_support.h"
#include "translit_tables.h"

using namespace tarvex;

namespace {

using tsd::testing::vectors_of;

template <typename Pass>
std::string run(const std::string& input, Pass pass) {
  tsd::Stream src = tsd::Stream::temporary();
  tsd::Stream dst = tsd::Stream::temporary();
  src.write(input);
  src.rewind();
  EXPECT_EQ(pass(src, dst), 0);
  dst.rewind();
  std::string out;
  for (int c = dst.get(); c != tsd::Stream::end; c = dst.get()) out += static_cast<char>(c);
  return out;
}

void run_vectors(const std::string& pass_name, int (*pass)(tsd::Stream&, tsd::Stream&)) {
  for (const auto& example : vectors_of(pass_name))
    EXPECT_EQ(run(example.input, pass), example.expected) << example.where;
}

const TranslitTables& tables() {
  return shared_translit_tables();
}

TEST(translit_vectors, wylie_to_kvts) {
  run_vectors("wylie_to_kvts", wylie_to_kvts);
}

TEST(translit_vectors, kvts_to_wylie) {
  run_vectors("kvts_to_wylie", kvts_to_wylie);
}

TEST(translit_vectors, extract) {
  run_vectors("extract",
              [](tsd::Stream& src, tsd::Stream& dst) { return extract_syllables(src, dst, tables(), 1); });
}

}  // namespace
