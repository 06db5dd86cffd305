// The option rules of a conversion, beside the route table: which route the user's names choose, the font
// family's names, the point sizes, the Unicode font's name, and which options each route reads. Every
// front end (tarvex-cli, the web module, the Python module) checks its options here and reports the words
// these functions give, so that a refusal reads the same everywhere. Reads the route table; writes nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "batch.h"
#include "routes.h"

namespace tarvex {

inline constexpr int kMinPointSize = 8;
inline constexpr int kMaxPointSize = 99;

// The route that -t names, or --from and --to (a part not given being the default route's). None, with
// `why` set to the refusal, when there is none or they name different routes.
const Route* chosen_route(std::optional<std::string_view> type, std::optional<std::string_view> from,
                          std::optional<std::string_view> to, std::string& why);

// "; the routes are a, b or c (-t FROM-TO, or --from SCHEME --to FORMAT)": every route, for a refusal.
std::string every_route();

// The family a font name chooses (kEkorlam, kKorlam), or kNoFamily with `why` set.
int font_family_named(std::string_view name, std::string& why);

// A point size as the windows' size fields hold it: a whole number from 8 to 99 in at most two digits,
// nothing else in the text. `option` names it in the refusal ("--size", "--small-size"). 0, or -1 with
// `why` set.
int point_size(std::string_view option, std::string_view text, int& size, std::string& why);

// The small size may not exceed the normal size. 0, or -1 with `why` set.
int sizes_agree(int size, int small_size, std::string& why);

// The name of a Unicode RTF's font: 1 to kMaxUnicodeFontName bytes. 0, or -1 with `why` set.
int unicode_font_named(std::string_view name, std::string& why);

// The options a route reads; the others it leaves as they are.
struct RouteOptions {
  bool font_family;   // writes the Tsendrel RTF
  bool sizes;         // writes an RTF document (the Tsendrel fonts or a Unicode font)
  bool unicode_font;  // writes a Unicode RTF
  bool keep_cr;       // lays out the lines of a text input
};
RouteOptions options_of(const Route& route);

}  // namespace tarvex
