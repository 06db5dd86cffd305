// The option rules: what each front end's names choose, and the words of each refusal.
#include "option_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tarvex;
using Name = std::optional<std::string_view>;

const std::string kEveryRoute = every_route();

struct RouteCase {
  Name type, from, to;
  const char* chosen;  // null when refused
  std::string why;
};

TEST(option_rules, the_route_of_a_type_or_of_a_scheme_and_format) {
  const RouteCase cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, "wylie-rtf", ""},
      {"ewts-unicode", std::nullopt, std::nullopt, "ewts-unicode", ""},
      {"ewts-unicode", "ewts", "unicode", "ewts-unicode", ""},
      {std::nullopt, "kvts", std::nullopt, "kvts-rtf", ""},
      {std::nullopt, std::nullopt, "unicode", "wylie-unicode", ""},
      {std::nullopt, "tsendrel", "ewts", "tsendrel-ewts", ""},
      {"ewts-unicod", std::nullopt, std::nullopt, nullptr, "unknown conversion type 'ewts-unicod'" + kEveryRoute},
      {"ewts-unicode", "wylie", std::nullopt, nullptr, "--from and --to must name the route of -t ewts-unicode"},
      {"ewts-unicode", std::nullopt, "rtf", nullptr, "--from and --to must name the route of -t ewts-unicode"},
      {std::nullopt, "tsendrel", "rtf", nullptr, "no route from 'tsendrel' to 'rtf'" + kEveryRoute},
      {std::nullopt, "acip", std::nullopt, "acip-rtf", ""},
      {std::nullopt, "acip", "wylie", nullptr, "no route from 'acip' to 'wylie'" + kEveryRoute},
      {std::nullopt, "itrans", std::nullopt, nullptr, "no route from 'itrans' to 'rtf'" + kEveryRoute},
      {std::nullopt, std::nullopt, "pdf", nullptr, "no route from 'wylie' to 'pdf'" + kEveryRoute},
  };
  for (const RouteCase& c : cases) {
    std::string why;
    const Route* route = chosen_route(c.type, c.from, c.to, why);
    SCOPED_TRACE(c.why);
    if (c.chosen) {
      ASSERT_NE(route, nullptr) << why;
      EXPECT_EQ(route->name, c.chosen);
      EXPECT_EQ(why, "");
    } else {
      EXPECT_EQ(route, nullptr);
      EXPECT_EQ(why, c.why);
    }
  }
}

TEST(option_rules, every_route_lists_the_table_in_its_order) {
  EXPECT_EQ(kEveryRoute.rfind("; the routes are wylie-rtf, kvts-rtf, ", 0), 0u) << kEveryRoute;
  EXPECT_NE(kEveryRoute.find(", ewts-acip or tsendrel-acip (-t FROM-TO, or --from SCHEME --to FORMAT)"),
            std::string::npos)
      << kEveryRoute;
}

TEST(option_rules, font_families_by_their_names) {
  const std::pair<std::string_view, int> cases[] = {
      {"ekorlam", kEkorlam}, {"Ekorlam", kEkorlam}, {"EKorlam", kEkorlam}, {"korlam", kKorlam},
      {"Korlam", kKorlam},   {"KORLAM", kNoFamily}, {"", kNoFamily},       {"ekorlam ", kNoFamily},
  };
  for (const auto& [name, family] : cases) {
    std::string why;
    EXPECT_EQ(font_family_named(name, why), family) << name;
    EXPECT_EQ(why, family == kNoFamily ? "unknown font family '" + std::string(name) + "'" : "") << name;
  }
}

TEST(option_rules, point_sizes_are_two_digits_from_8_to_99) {
  const std::pair<std::string_view, int> cases[] = {
      {"8", 8},   {"28", 28}, {"99", 99}, {"08", 8},  {"7", -1}, {"100", -1}, {"007", -1},
      {"", -1},   {"2x", -1}, {" 9", -1}, {"-9", -1}, {"+9", -1}, {"9.5", -1},
  };
  for (const auto& [text, expected] : cases) {
    std::string why;
    int size = 0;
    const int result = point_size("--small-size", text, size, why);
    if (expected < 0) {
      EXPECT_EQ(result, -1) << text;
      EXPECT_EQ(why, "--small-size needs a whole number from 8 to 99, not '" + std::string(text) + "'");
    } else {
      EXPECT_EQ(result, 0) << text;
      EXPECT_EQ(size, expected) << text;
    }
  }
}

TEST(option_rules, the_small_size_does_not_exceed_the_normal_size) {
  std::string why;
  EXPECT_EQ(sizes_agree(28, 28, why), 0);
  EXPECT_EQ(sizes_agree(28, 8, why), 0);
  EXPECT_EQ(why, "");
  EXPECT_EQ(sizes_agree(20, 24, why), -1);
  EXPECT_EQ(why, "the small size (24) must not exceed the normal size (20)");
}

TEST(option_rules, a_unicode_font_name_has_1_to_63_bytes) {
  const std::pair<std::string, int> cases[] = {
      {"Jomolhari", 0}, {std::string(63, 'x'), 0}, {"", -1}, {std::string(64, 'x'), -1},
      {std::string(61, 'x') + "\xE0\xBD\x80", -1},  // 64 bytes: the rule counts bytes
  };
  for (const auto& [name, expected] : cases) {
    std::string why;
    EXPECT_EQ(unicode_font_named(name, why), expected) << name;
    EXPECT_EQ(why, expected ? "--unicode-font needs a name of 1 to 63 characters" : "") << name;
  }
}

TEST(option_rules, each_route_reads_the_options_of_what_it_writes) {
  struct Case {
    const char* route;
    bool family, sizes, unicode_font, keep_cr;
  };
  const Case cases[] = {
      {"wylie-rtf", true, true, false, true},
      {"kvts-unicode", false, false, false, true},
      {"wylie-unicode-rtf", false, true, true, true},
      {"wylie-kvts", false, false, false, false},
      {"kvts-wylie", false, false, false, false},
      {"ewts-rtf", true, true, false, true},
      {"unicode-unicode-rtf", false, true, true, true},
      {"tsendrel-unicode", false, false, false, false},
      {"tsendrel-unicode-rtf", false, true, true, false},
      {"unicode-ewts", false, false, false, true},
      {"wylie-ewts", false, false, false, true},
  };
  for (const Case& c : cases) {
    const Route* route = route_named(c.route);
    ASSERT_NE(route, nullptr) << c.route;
    const RouteOptions options = options_of(*route);
    EXPECT_EQ(options.font_family, c.family) << c.route;
    EXPECT_EQ(options.sizes, c.sizes) << c.route;
    EXPECT_EQ(options.unicode_font, c.unicode_font) << c.route;
    EXPECT_EQ(options.keep_cr, c.keep_cr) << c.route;
  }
}

}  // namespace
