// The lists of routes kept by hand beside the route table, checked against it so that they cannot drift:
// the manual's list of -t names (data/tarvex.txt), the README's table (routes, captions, output names),
// docs/architecture.md's table (ids, chains, captions, outputs, the fast path) and the routes the man
// page's examples name.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "routes.h"
#include "support/temp_dir.h"

using namespace tarvex;

namespace {

std::string source_file(const char* name) {
  return tsd::testing::read_file(std::string(TSENDREL_SOURCE_DIR) + "/" + name);
}

std::vector<std::string> table_names() {
  std::vector<std::string> names;
  for (const Route& route : routes()) names.emplace_back(route.name);
  return names;
}

// The `quoted` words of a line, in order.
std::vector<std::string> backticked(std::string_view line) {
  std::vector<std::string> words;
  for (std::size_t at = line.find('`'); at != std::string_view::npos; at = line.find('`', at + 1)) {
    const std::size_t end = line.find('`', at + 1);
    if (end == std::string_view::npos) break;
    words.emplace_back(line.substr(at + 1, end - at - 1));
    at = end;
  }
  return words;
}

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) {
    const std::size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
    out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(route_lists, the_manual_names_every_route_in_table_order) {
  std::string text = source_file("data/tarvex.txt");
  for (char& c : text)
    if (c == '\n') c = ' ';
  const std::size_t from = text.find("-t FROM-TO (");
  ASSERT_NE(from, std::string::npos);
  const std::size_t open = text.find('(', from), close = text.find(')', open);
  std::vector<std::string> names;
  std::stringstream in(text.substr(open + 1, close - open - 1));
  for (std::string name; std::getline(in, name, ',');) {
    const std::size_t a = name.find_first_not_of(' '), b = name.find_last_not_of(' ');
    names.push_back(name.substr(a, b - a + 1));
  }
  EXPECT_EQ(names, table_names());
}

TEST(route_lists, the_readme_table_gives_each_route_its_caption_and_output) {
  std::vector<std::string> names;
  for (const std::string& line : lines_of(source_file("README.md"))) {
    // The rows of the route table: those that start with a route's name.
    if (!line.starts_with("| `") || !route_named(backticked(line).at(0))) continue;
    const std::vector<std::string> row = cells(line);
    ASSERT_GE(row.size(), 4u) << line;
    const std::vector<std::string> here = backticked(row[0]);
    std::string captions;
    for (const std::string& name : here) {
      const Route* route = route_named(name);
      ASSERT_NE(route, nullptr) << name;
      names.push_back(name);
      if (!captions.empty()) captions += ", ";
      captions += route->caption.empty() ? "(command line only)" : std::string(route->caption);
      EXPECT_EQ(row[3], std::string("`notes.").append(route->extension).append("`")) << name;
    }
    // Routes of one row offered in the window have their captions listed; those that are not, one mention.
    if (captions.find("(command line only)") == std::string::npos) {
      EXPECT_EQ(row[1], captions) << line;
    }
  }
  EXPECT_EQ(names, table_names());
}

TEST(route_lists, the_architecture_table_gives_each_route_as_the_table_has_it) {
  const std::map<Pass, std::string> pass_names = {
      {Pass::wylie_to_kvts, "wylie_to_kvts"},
      {Pass::kvts_to_wylie, "kvts_to_wylie"},
      {Pass::extract, "extract"},
      {Pass::font_codes, "font_codes"},
      {Pass::tsendrel_rtf, "tsendrel_rtf"},
      {Pass::unicode_text, "unicode_text"},
      {Pass::unicode_marked, "unicode_marked"},
      {Pass::unicode_rtf, "unicode_rtf"},
      {Pass::ewts_read, "ewts_read"},
      {Pass::unicode_read, "unicode_read"},
      {Pass::tsendrel_read, "tsendrel_read"},
      {Pass::hub_rtf, "hub_rtf"},
      {Pass::hub_unicode_rtf, "hub_unicode_rtf"},
      {Pass::ewts_write, "ewts_write"},
      {Pass::acip_read, "acip_read"},
      {Pass::acip_write, "acip_write"},
  };
  std::vector<std::string> names;
  for (const std::string& line : lines_of(source_file("docs/architecture.md"))) {
    if (!line.starts_with("| `") || !route_named(backticked(line).at(0))) continue;
    const std::vector<std::string> row = cells(line);
    ASSERT_GE(row.size(), 5u) << line;
    const std::string name = backticked(row[0]).at(0);
    const Route* route = route_named(name);
    ASSERT_NE(route, nullptr) << name;
    names.push_back(name);
    EXPECT_EQ(row[0], "`" + name + "` (" + std::to_string(route->id) + ")");
    std::string chain;
    for (const Pass pass : route->passes) chain += (chain.empty() ? "" : ", ") + pass_names.at(pass);
    EXPECT_EQ(row[1], chain) << name;
    EXPECT_EQ(row[2], route->caption.empty() ? "(not listed)" : std::string(route->caption)) << name;
    EXPECT_EQ(row[3], std::string(".").append(route->extension)) << name;  // GCC 12 misreads "." + string
    EXPECT_EQ(row[4], route->fast ? "yes" : "no") << name;
  }
  EXPECT_EQ(names, table_names());
}

TEST(route_lists, the_man_page_examples_name_routes_there_are) {
  const std::string page = source_file("packaging/man/tarvex-cli.h2m");
  int named = 0;
  for (std::size_t at = page.find("\\-t "); at != std::string::npos; at = page.find("\\-t ", at + 1)) {
    const std::size_t end = page.find_first_of(" \n", at + 4);
    const std::string name = page.substr(at + 4, end - at - 4);
    EXPECT_NE(route_named(name), nullptr) << name;
    ++named;
  }
  EXPECT_GT(named, 0);
}

}  // namespace
