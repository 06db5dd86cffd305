// The route table: every route found again by its id, its -t name and its scheme and format; the routes
// that the windows, the command line and stored choices have always named keep their ids, names, output
// names, list rows, stages and fast path; and routes that do not exist are found nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch.h"
#include "driver_support.h"
#include "fast_path.h"
#include "routes.h"

using namespace tarvex;

namespace {

TEST(routes, each_route_is_found_by_its_id_its_name_and_its_scheme_and_format) {
  ASSERT_FALSE(routes().empty());
  for (const Route& route : routes()) {
    const std::string name(route.name);
    EXPECT_EQ(name, std::string(scheme_name(route.from)) + "-" + std::string(format_name(route.to)));
    EXPECT_EQ(route_by_id(route.id), &route) << name;
    EXPECT_EQ(route_named(route.name), &route) << name;
    EXPECT_EQ(route_id(route.name), route.id) << name;
    EXPECT_EQ(route_between(route.from, route.to), &route) << name;
    EXPECT_EQ(scheme_named(scheme_name(route.from)), route.from) << name;
    EXPECT_EQ(format_named(format_name(route.to)), route.to) << name;
    EXPECT_FALSE(route.passes.empty()) << name;
    EXPECT_FALSE(route.description.empty()) << name;
    EXPECT_FALSE(route.extension.empty()) << name;
  }
  EXPECT_NE(route_by_id(kDefaultRouteId), nullptr);
}

TEST(routes, routes_that_do_not_exist_are_found_nowhere) {
  for (const char* name :
       {"kvts-kvts", "wylie-wylie", "", "wylie", "rtf", "Wylie-rtf", "foo-rtf", "wylie-rtf "})
    EXPECT_EQ(route_named(name), nullptr) << name;
  EXPECT_EQ(route_id("kvts-kvts"), -1);
  EXPECT_EQ(route_between(Scheme::wylie, Format::wylie), nullptr);
  EXPECT_EQ(route_between(Scheme::kvts, Format::kvts), nullptr);
  for (const int id : {-1, static_cast<int>(routes().size()), 64}) EXPECT_EQ(route_by_id(id), nullptr) << id;
  for (const char* name : {"foo", "", "unicode-rtf", "WYLIE"})
    EXPECT_EQ(scheme_named(name), std::nullopt) << name;
  for (const char* name : {"foo", "", "tsendrel", "RTF"}) EXPECT_EQ(format_named(name), std::nullopt) << name;
}

// What callers have always relied on: ids (stored in requests and the windows' rows), -t names, output
// extensions, the stages --stage may stop after, and which routes the fast path takes.
struct Known {
  int id;
  const char* name;
  const char* extension;
  bool pre_pass, syllables, glyphs;  // the stages it stops after
  bool fast;
};

constexpr Known kKnown[] = {
    {0, "wylie-rtf", "rtf", true, true, true, true},
    {1, "kvts-rtf", "rtf", false, true, true, true},
    {2, "wylie-kvts", "rtf", false, false, false, false},
    {3, "kvts-wylie", "rtf", false, false, false, false},
    {4, "wylie-unicode", "bo.txt", true, true, false, true},
    {5, "kvts-unicode", "bo.txt", false, true, false, true},
    {6, "wylie-unicode-rtf", "rtf", true, true, true, true},
    {7, "kvts-unicode-rtf", "rtf", false, true, true, true},
};

TEST(routes, the_known_routes_keep_their_ids_names_extensions_stages_and_fast_path) {
  for (const Known& k : kKnown) {
    const Route* route = route_by_id(k.id);
    ASSERT_NE(route, nullptr) << k.name;
    EXPECT_EQ(route->name, k.name);
    EXPECT_EQ(route->extension, k.extension) << k.name;
    EXPECT_EQ(stops_at(*route, Stage::pre_pass), k.pre_pass) << k.name;
    EXPECT_EQ(stops_at(*route, Stage::syllables), k.syllables) << k.name;
    EXPECT_EQ(stops_at(*route, Stage::glyphs), k.glyphs) << k.name;
    EXPECT_TRUE(stops_at(*route, Stage::complete)) << k.name;
    EXPECT_EQ(fast_path_takes(k.id), k.fast) << k.name;
  }
  EXPECT_EQ(route_by_id(kDefaultRouteId)->name, "wylie-rtf");
  EXPECT_FALSE(fast_path_takes(-1));
  EXPECT_FALSE(fast_path_takes(static_cast<int>(routes().size())));
}

// Every pass before a chain's last writes a file that --stage names, and no chain writes one file twice,
// which would have a pass read the file it writes.
TEST(routes, each_pass_before_the_last_writes_its_own_intermediate_file) {
  for (const Route& route : routes()) {
    std::vector<Stage> written;
    for (std::size_t i = 0; i + 1 < route.passes.size(); ++i) {
      const Stage stage = stage_written(route.passes[i]);
      EXPECT_NE(stage, Stage::complete) << route.name << ", pass " << i;
      EXPECT_EQ(std::count(written.begin(), written.end(), stage), 0) << route.name << ", pass " << i;
      written.push_back(stage);
    }
  }
}

TEST(routes, the_windows_rows_are_the_captioned_routes_in_their_order) {
  const struct {
    int row;
    const char* route;  // none past the list's end
    const char* caption;
  } rows[] = {
      {0, "wylie-rtf", "Wylie to Tsendrel"},
      {1, "kvts-rtf", "KVTS to Tsendrel"},
      {2, "wylie-kvts", "Wylie to KVTS"},
      {3, "kvts-wylie", "KVTS to Wylie"},
      {4, "wylie-unicode-rtf", "Wylie to Unicode"},
      {5, "kvts-unicode-rtf", "KVTS to Unicode"},
      {6, "ewts-rtf", "EWTS to Tsendrel"},
      {7, "ewts-unicode", "EWTS to Unicode text"},
      {8, "ewts-unicode-rtf", "EWTS to Unicode"},
      {9, "unicode-rtf", "Unicode to Tsendrel"},
      {10, "unicode-unicode", "Unicode text cleaned up"},
      {11, "unicode-unicode-rtf", "Unicode text to Unicode RTF"},
      {12, "tsendrel-unicode", "Tsendrel to Unicode text"},
      {13, "tsendrel-unicode-rtf", "Tsendrel to Unicode RTF"},
      {14, "unicode-ewts", "Unicode to EWTS"},
      {15, "wylie-ewts", "Wylie to EWTS"},
      {16, "kvts-ewts", "KVTS to EWTS"},
      {17, "ewts-ewts", "EWTS cleaned up"},
      {18, "tsendrel-ewts", "Tsendrel to EWTS"},
      {19, "acip-rtf", "ACIP to Tsendrel"},
      {20, "acip-unicode", "ACIP to Unicode text"},
      {21, "acip-unicode-rtf", "ACIP to Unicode"},
      {22, "acip-ewts", "ACIP to EWTS"},
      {23, "unicode-acip", "Unicode to ACIP"},
      {24, "ewts-acip", "EWTS to ACIP"},
      {25, "tsendrel-acip", "Tsendrel to ACIP"},
      {26, nullptr, nullptr},
      {-1, nullptr, nullptr},
  };
  for (const auto& r : rows) {
    const Route* route = route_of_row(r.row);
    if (!r.route) {
      EXPECT_EQ(route, nullptr) << r.row;
      EXPECT_EQ(conversion_of_row(r.row), -1) << r.row;
      continue;
    }
    ASSERT_NE(route, nullptr) << r.row;
    EXPECT_EQ(route->name, r.route) << r.row;
    EXPECT_EQ(route->caption, r.caption) << r.row;
    EXPECT_EQ(conversion_of_row(r.row), route_id(r.route)) << r.row;
  }
}

TEST(routes, outputs_are_named_by_their_route) {
  const struct {
    const char* route;
    const char* main_output;      // of "notes.txt" in folder "d"
    const char* wildcard_output;  // of "d/notes.txt" and of "d/notes"
    const char* wildcard_bare;
  } cases[] = {
      {"wylie-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"kvts-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"wylie-kvts", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"kvts-wylie", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"wylie-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      {"kvts-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      {"wylie-unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"kvts-unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"ewts-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"ewts-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      {"ewts-unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"unicode-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      {"unicode-unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"tsendrel-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      // A document's Unicode RTF is never its own name.
      {"tsendrel-unicode-rtf", "d/notes.bo.rtf", "d/notes.bo.rtf", "d/notes.bo.rtf"},
      {"unicode-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"wylie-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"kvts-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"ewts-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"tsendrel-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"acip-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"acip-unicode", "d/notes.bo.txt", "d/notes.bo.txt", "d/notes.bo.txt"},
      {"acip-unicode-rtf", "d/notes.rtf", "d/notes.rtf", "d/notes.rtf"},
      {"acip-ewts", "d/notes.ewts.txt", "d/notes.ewts.txt", "d/notes.ewts.txt"},
      {"unicode-acip", "d/notes.acip.txt", "d/notes.acip.txt", "d/notes.acip.txt"},
      {"ewts-acip", "d/notes.acip.txt", "d/notes.acip.txt", "d/notes.acip.txt"},
      {"tsendrel-acip", "d/notes.acip.txt", "d/notes.acip.txt", "d/notes.acip.txt"},
  };
  ASSERT_EQ(std::size(cases), routes().size()) << "every route has its output name here";
  for (const auto& c : cases) {
    const int id = route_id(c.route);
    ASSERT_GE(id, 0) << c.route;
    EXPECT_EQ(main_output_path("d", "notes.txt", id), tsd::testing::native(c.main_output)) << c.route;
    EXPECT_EQ(wildcard_output_path("d/notes.txt", id), c.wildcard_output) << c.route;
    EXPECT_EQ(wildcard_output_path("d/notes", id), c.wildcard_bare) << c.route;
  }
  // A request that names no route is named as the default route names it.
  EXPECT_EQ(main_output_path("d", "notes.txt", -1), tsd::testing::native("d/notes.rtf"));
}

TEST(routes, a_documents_docx_extension_is_replaced_on_the_routes_that_read_documents) {
  struct Case {
    const char* route;
    const char* input;
    const char* output;
  } cases[] = {
      {"tsendrel-unicode", "d/letter.docx", "d/letter.bo.txt"},
      {"tsendrel-unicode-rtf", "d/letter.docx", "d/letter.bo.rtf"},
      {"tsendrel-unicode-rtf", "d/letter.rtf", "d/letter.bo.rtf"},
      {"wylie-rtf", "d/letter.docx", "d/letter.docx.rtf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wildcard_output_path(c.input, route_id(c.route)), c.output) << c.route << " " << c.input;
    EXPECT_EQ(main_output_path("d", std::string_view(c.input).substr(2), route_id(c.route)),
              tsd::testing::native(c.output))
        << c.route << " " << c.input;
  }
}

}  // namespace
