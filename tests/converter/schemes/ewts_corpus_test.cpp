// The Extended Wylie reader on a real volume: the Kangyur volume of the shared corpus beside the checkout
// is held in EWTS and in Unicode (NFD, so in canonical order), line for line. Every line's EWTS must give
// that line's Unicode, but for the lines listed below with the reason they differ; a listed line that
// comes out right must leave the list. Skipped where the corpus is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ewts_reader.h"

using namespace tarvex;

namespace {

const std::string kCorpus = TSENDREL_SOURCE_DIR "/../shared/corpus/kangyur-035";

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Why a line differs, each with the change to our text that must make it the volume's.
enum class Reason {
  // The volume's EWTS writes two shads ། ། as `//`, which is the nyis shad ༎ (U+0F0E).
  double_shad_as_nyis_shad,
};

std::string explained(const std::string& ours, Reason reason) {
  switch (reason) {
    case Reason::double_shad_as_nyis_shad: {
      std::string text;
      for (std::size_t i = 0; i < ours.size();) {
        if (ours.compare(i, 3, "\u0F0E") == 0) {
          text += "\u0F0D\u0F0D";
          i += 3;
        } else {
          text += ours[i++];
        }
      }
      return text;
    }
  }
  return ours;
}

struct Difference {
  std::size_t line;  // from 1
  Reason reason;
};

constexpr Reason kShads = Reason::double_shad_as_nyis_shad;
const std::vector<Difference> kDifferences = {
    {187, kShads},  {199, kShads},  {407, kShads},  {612, kShads},  {818, kShads},  {889, kShads},
    {1024, kShads}, {1152, kShads}, {1220, kShads}, {1246, kShads}, {1410, kShads}, {1433, kShads},
    {1446, kShads}, {1459, kShads}, {1549, kShads}, {1713, kShads}, {1872, kShads}, {2018, kShads},
    {2172, kShads}, {2318, kShads}, {2437, kShads}, {2561, kShads}, {2658, kShads}, {2828, kShads},
    {2926, kShads}, {3056, kShads}, {3315, kShads}, {3337, kShads}, {3407, kShads}, {3596, kShads},
    {3634, kShads}, {3767, kShads}, {3967, kShads}, {3970, kShads}, {4145, kShads}, {4176, kShads},
    {4252, kShads}, {4409, kShads}, {4569, kShads}, {4648, kShads}, {4761, kShads}, {4846, kShads},
    {4968, kShads}, {5143, kShads}, {5241, kShads}, {5484, kShads}, {5485, kShads},
};

TEST(ewts_corpus, every_line_gives_the_volumes_unicode) {
  const std::string ewts_path = kCorpus + ".wylie.txt", unicode_path = kCorpus + ".bo.txt";
  if (!std::filesystem::exists(ewts_path) || !std::filesystem::exists(unicode_path))
    GTEST_SKIP() << "the shared corpus is not beside the checkout";
  // The volume read whole, as a file: with every line break kept, its lines are the lines' hubs.
  const std::vector<std::string> ewts = lines_of(ewts_path), unicode = lines_of(unicode_path);
  ReaderReport report;
  tsd::Stream in = tsd::Stream::open_read(ewts_path.c_str(), tsd::Stream::Mode::text);
  tsd::Stream out = tsd::Stream::temporary();
  ASSERT_EQ(ewts_to_hub(in, out, true, &report), 0);
  ASSERT_EQ(out.rewind(), 0);
  std::string hub;
  tsd::read_rest(out, [&](const unsigned char* p, std::size_t n) {
    hub.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  std::vector<std::string> hub_lines;
  for (std::size_t start = 0; start < hub.size();) {
    std::size_t end = hub.find('\n', start);
    if (end == std::string::npos) end = hub.size();
    hub_lines.push_back(hub.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(ewts.size(), unicode.size());
  ASSERT_EQ(hub_lines.size(), unicode.size());
  EXPECT_TRUE(report.warnings.empty())
      << report.warnings.size() << " warnings, the first: " << report.warnings[0].text;
  EXPECT_EQ(report.syllables, 285419);
  std::size_t listed = 0;
  for (std::size_t i = 0; i < ewts.size(); ++i) {
    const std::string& ours = hub_lines[i];
    const Difference* known = listed < kDifferences.size() && kDifferences[listed].line == i + 1
                                  ? &kDifferences[listed++]
                                  : nullptr;
    if (!known) {
      EXPECT_TRUE(ours == unicode[i]) << "line " << i + 1 << "\n  EWTS    " << ewts[i] << "\n  ours    "
                                      << ours << "\n  volume  " << unicode[i];
      continue;
    }
    EXPECT_FALSE(ours == unicode[i]) << "line " << i + 1 << " comes out right: take it off the list";
    EXPECT_TRUE(explained(ours, known->reason) == unicode[i])
        << "line " << i + 1 << " differs for another reason\n  ours    " << ours << "\n  volume  "
        << unicode[i];
  }
  EXPECT_EQ(listed, kDifferences.size());
}

}  // namespace
