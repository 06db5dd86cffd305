#include "routes.h"

#include <algorithm>
#include <array>

namespace tarvex {

namespace {

constexpr std::array<std::string_view, 6> kSchemeNames = {"wylie", "kvts", "ewts", "unicode", "tsendrel", "acip"};
constexpr std::array<std::string_view, 7> kFormatNames = {"rtf",  "unicode", "unicode-rtf", "wylie",
                                                          "kvts", "ewts",    "acip"};

// The chains: the Wylie pre-pass where the input is Wylie, the extraction, then the writer of the format.
constexpr Pass kWylieRtf[] = {Pass::wylie_to_kvts, Pass::extract, Pass::font_codes, Pass::tsendrel_rtf};
constexpr Pass kKvtsRtf[] = {Pass::extract, Pass::font_codes, Pass::tsendrel_rtf};
constexpr Pass kWylieKvts[] = {Pass::wylie_to_kvts};
constexpr Pass kKvtsWylie[] = {Pass::kvts_to_wylie};
constexpr Pass kWylieUnicode[] = {Pass::wylie_to_kvts, Pass::extract, Pass::unicode_text};
constexpr Pass kKvtsUnicode[] = {Pass::extract, Pass::unicode_text};
constexpr Pass kWylieUnicodeRtf[] = {Pass::wylie_to_kvts, Pass::extract, Pass::unicode_marked,
                                     Pass::unicode_rtf};
constexpr Pass kKvtsUnicodeRtf[] = {Pass::extract, Pass::unicode_marked, Pass::unicode_rtf};
// Extended Wylie and Unicode are read into the hub, which is the Unicode text itself; the RTF writers read
// it.
constexpr Pass kEwtsRtf[] = {Pass::ewts_read, Pass::hub_rtf};
constexpr Pass kEwtsUnicode[] = {Pass::ewts_read};
constexpr Pass kEwtsUnicodeRtf[] = {Pass::ewts_read, Pass::hub_unicode_rtf};
constexpr Pass kUnicodeRtf[] = {Pass::unicode_read, Pass::hub_rtf};
constexpr Pass kUnicodeUnicode[] = {Pass::unicode_read};
constexpr Pass kUnicodeUnicodeRtf[] = {Pass::unicode_read, Pass::hub_unicode_rtf};
// A document in the Tsendrel fonts is read into the hub too; any writer of the hub may follow.
constexpr Pass kTsendrelUnicode[] = {Pass::tsendrel_read};
constexpr Pass kTsendrelUnicodeRtf[] = {Pass::tsendrel_read, Pass::hub_unicode_rtf};
// Extended Wylie is written from the hub; Wylie and KVTS reach it as the Unicode text of their own passes,
// read again by the Unicode reader (lines already laid out) so that the writer sees only the hub.
constexpr Pass kUnicodeEwts[] = {Pass::unicode_read, Pass::ewts_write};
constexpr Pass kWylieEwts[] = {Pass::wylie_to_kvts, Pass::extract, Pass::unicode_text, Pass::unicode_read,
                               Pass::ewts_write};
constexpr Pass kKvtsEwts[] = {Pass::extract, Pass::unicode_text, Pass::unicode_read, Pass::ewts_write};
constexpr Pass kEwtsEwts[] = {Pass::ewts_read, Pass::ewts_write};
constexpr Pass kTsendrelEwts[] = {Pass::tsendrel_read, Pass::ewts_write};
// ACIP is read into the hub like Extended Wylie; every writer of the hub may follow.
constexpr Pass kAcipRtf[] = {Pass::acip_read, Pass::hub_rtf};
constexpr Pass kAcipUnicode[] = {Pass::acip_read};
constexpr Pass kAcipUnicodeRtf[] = {Pass::acip_read, Pass::hub_unicode_rtf};
constexpr Pass kAcipEwts[] = {Pass::acip_read, Pass::ewts_write};
constexpr Pass kUnicodeAcip[] = {Pass::unicode_read, Pass::acip_write};
constexpr Pass kEwtsAcip[] = {Pass::ewts_read, Pass::acip_write};
constexpr Pass kTsendrelAcip[] = {Pass::tsendrel_read, Pass::acip_write};

// The windows offer the Unicode RTF as "... to Unicode", every output of theirs being an RTF document; the
// plain-text routes are named ".rtf" as the windows have always named them.
constexpr Route kRoutes[] = {
    {0, Scheme::wylie, Format::rtf, "wylie-rtf", "Wylie to Tsendrel", "Wylie to Tsendrel", "rtf", kWylieRtf,
     true},
    {1, Scheme::kvts, Format::rtf, "kvts-rtf", "KVTS to Tsendrel", "KVTS to Tsendrel", "rtf", kKvtsRtf, true},
    {2, Scheme::wylie, Format::kvts, "wylie-kvts", "Wylie to KVTS (plain text)", "Wylie to KVTS", "rtf",
     kWylieKvts, false},
    {3, Scheme::kvts, Format::wylie, "kvts-wylie", "KVTS to Wylie (plain text)", "KVTS to Wylie", "rtf",
     kKvtsWylie, false},
    {4, Scheme::wylie, Format::unicode, "wylie-unicode", "Wylie to Unicode Tibetan (UTF-8 text)", "",
     "bo.txt", kWylieUnicode, true},
    {5, Scheme::kvts, Format::unicode, "kvts-unicode", "KVTS to Unicode Tibetan (UTF-8 text)", "", "bo.txt",
     kKvtsUnicode, true},
    {6, Scheme::wylie, Format::unicode_rtf, "wylie-unicode-rtf",
     "Wylie to an RTF document in Unicode Tibetan", "Wylie to Unicode", "rtf", kWylieUnicodeRtf, true},
    {7, Scheme::kvts, Format::unicode_rtf, "kvts-unicode-rtf", "KVTS to an RTF document in Unicode Tibetan",
     "KVTS to Unicode", "rtf", kKvtsUnicodeRtf, true},
    {8, Scheme::ewts, Format::rtf, "ewts-rtf", "Extended Wylie (EWTS) to Tsendrel", "EWTS to Tsendrel", "rtf",
     kEwtsRtf, false},
    {9, Scheme::ewts, Format::unicode, "ewts-unicode", "EWTS to Unicode Tibetan (UTF-8 text)",
     "EWTS to Unicode text", "bo.txt", kEwtsUnicode, false},
    {10, Scheme::ewts, Format::unicode_rtf, "ewts-unicode-rtf", "EWTS to an RTF document in Unicode Tibetan",
     "EWTS to Unicode", "rtf", kEwtsUnicodeRtf, false},
    {11, Scheme::unicode, Format::rtf, "unicode-rtf", "Unicode Tibetan (UTF-8 text) to Tsendrel",
     "Unicode to Tsendrel", "rtf", kUnicodeRtf, false},
    {12, Scheme::unicode, Format::unicode, "unicode-unicode",
     "Unicode Tibetan cleaned up: decomposed, in canonical order", "Unicode text cleaned up", "bo.txt",
     kUnicodeUnicode, false},
    {13, Scheme::unicode, Format::unicode_rtf, "unicode-unicode-rtf",
     "Unicode Tibetan to an RTF document in Unicode Tibetan", "Unicode text to Unicode RTF", "rtf",
     kUnicodeUnicodeRtf, false},
    {14, Scheme::tsendrel, Format::unicode, "tsendrel-unicode",
     "A Tsendrel document (RTF or DOCX) to Unicode Tibetan (UTF-8 text)", "Tsendrel to Unicode text",
     "bo.txt", kTsendrelUnicode, false},
    {15, Scheme::tsendrel, Format::unicode_rtf, "tsendrel-unicode-rtf",
     "A Tsendrel document (RTF or DOCX) to an RTF document in Unicode Tibetan", "Tsendrel to Unicode RTF",
     "bo.rtf", kTsendrelUnicodeRtf, false},
    {16, Scheme::unicode, Format::ewts, "unicode-ewts",
     "Unicode Tibetan (UTF-8 text) to Extended Wylie (EWTS)", "Unicode to EWTS", "ewts.txt", kUnicodeEwts,
     false},
    {17, Scheme::wylie, Format::ewts, "wylie-ewts", "Wylie to Extended Wylie (EWTS)", "Wylie to EWTS",
     "ewts.txt", kWylieEwts, false},
    {18, Scheme::kvts, Format::ewts, "kvts-ewts", "KVTS to Extended Wylie (EWTS)", "KVTS to EWTS", "ewts.txt",
     kKvtsEwts, false},
    {19, Scheme::ewts, Format::ewts, "ewts-ewts", "EWTS cleaned up: the same text in the standard spelling",
     "EWTS cleaned up", "ewts.txt", kEwtsEwts, false},
    {20, Scheme::tsendrel, Format::ewts, "tsendrel-ewts",
     "A Tsendrel document (RTF or DOCX) to Extended Wylie (EWTS)", "Tsendrel to EWTS", "ewts.txt",
     kTsendrelEwts, false},
    {21, Scheme::acip, Format::rtf, "acip-rtf", "ACIP to Tsendrel", "ACIP to Tsendrel", "rtf", kAcipRtf, false},
    {22, Scheme::acip, Format::unicode, "acip-unicode", "ACIP to Unicode Tibetan (UTF-8 text)",
     "ACIP to Unicode text", "bo.txt", kAcipUnicode, false},
    {23, Scheme::acip, Format::unicode_rtf, "acip-unicode-rtf", "ACIP to an RTF document in Unicode Tibetan",
     "ACIP to Unicode", "rtf", kAcipUnicodeRtf, false},
    {24, Scheme::acip, Format::ewts, "acip-ewts", "ACIP to Extended Wylie (EWTS)", "ACIP to EWTS", "ewts.txt",
     kAcipEwts, false},
    {25, Scheme::unicode, Format::acip, "unicode-acip", "Unicode Tibetan (UTF-8 text) to ACIP", "Unicode to ACIP",
     "acip.txt", kUnicodeAcip, false},
    {26, Scheme::ewts, Format::acip, "ewts-acip", "Extended Wylie (EWTS) to ACIP", "EWTS to ACIP", "acip.txt",
     kEwtsAcip, false},
    {27, Scheme::tsendrel, Format::acip, "tsendrel-acip", "A Tsendrel document (RTF or DOCX) to ACIP",
     "Tsendrel to ACIP", "acip.txt", kTsendrelAcip, false},
};

constexpr bool ids_are_positions() {
  for (std::size_t i = 0; i < std::size(kRoutes); ++i)
    if (kRoutes[i].id != static_cast<int>(i) || kRoutes[i].passes.empty()) return false;
  return true;
}
static_assert(ids_are_positions(), "each route's id is its place in the table, and it has a pass");

}  // namespace

std::span<const Route> routes() {
  return kRoutes;
}

const Route* route_by_id(int id) {
  return id >= 0 && id < static_cast<int>(std::size(kRoutes)) ? &kRoutes[id] : nullptr;
}

// The algorithms below take iterators: the browser build's standard library has few of std::ranges'.
const Route* route_named(std::string_view name) {
  const auto found = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                  [&](const Route& route) { return route.name == name; });
  return found != std::end(kRoutes) ? found : nullptr;
}

const Route* route_between(Scheme from, Format to) {
  const auto found = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                  [&](const Route& route) { return route.from == from && route.to == to; });
  return found != std::end(kRoutes) ? found : nullptr;
}

int route_id(std::string_view name) {
  const Route* route = route_named(name);
  return route ? route->id : -1;
}

std::string_view scheme_name(Scheme scheme) {
  return kSchemeNames[static_cast<std::size_t>(scheme)];
}
std::string_view format_name(Format format) {
  return kFormatNames[static_cast<std::size_t>(format)];
}

std::optional<Scheme> scheme_named(std::string_view name) {
  const auto found = std::find(kSchemeNames.begin(), kSchemeNames.end(), name);
  if (found == kSchemeNames.end()) return std::nullopt;
  return static_cast<Scheme>(found - kSchemeNames.begin());
}

std::optional<Format> format_named(std::string_view name) {
  const auto found = std::find(kFormatNames.begin(), kFormatNames.end(), name);
  if (found == kFormatNames.end()) return std::nullopt;
  return static_cast<Format>(found - kFormatNames.begin());
}

bool stops_at(const Route& route, Stage stage) {
  if (stage == Stage::complete) return true;
  const auto before_last = route.passes.first(route.passes.size() - 1);
  return std::any_of(before_last.begin(), before_last.end(),
                     [stage](Pass pass) { return stage_written(pass) == stage; });
}

bool runs(const Route& route, Pass pass) {
  return std::find(route.passes.begin(), route.passes.end(), pass) != route.passes.end();
}

const Route* route_of_row(int row) {
  if (row < 0) return nullptr;
  for (const Route& route : kRoutes)
    if (!route.caption.empty() && row-- == 0) return &route;
  return nullptr;
}

}  // namespace tarvex
