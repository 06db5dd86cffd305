#include "option_rules.h"

#include <vector>

#include "text_input.h"

namespace tarvex {

namespace {

// "a, b or c".
std::string listed(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += std::string(i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
  return text;
}

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.append(1, '\'').append(text).append(1, '\'');
  return out;
}

}  // namespace

std::string every_route() {
  std::vector<std::string_view> names;
  for (const Route& route : routes()) names.push_back(route.name);
  return "; the routes are " + listed(names) + " (-t FROM-TO, or --from SCHEME --to FORMAT)";
}

const Route* chosen_route(std::optional<std::string_view> type, std::optional<std::string_view> from,
                          std::optional<std::string_view> to, std::string& why) {
  if (type) {
    const Route* route = route_named(*type);
    if (!route) {
      why = "unknown conversion type " + quoted(*type) + every_route();
      return nullptr;
    }
    if ((from && *from != scheme_name(route->from)) || (to && *to != format_name(route->to))) {
      why = "--from and --to must name the route of -t " + std::string(*type);
      return nullptr;
    }
    return route;
  }
  const Route& fallback = *route_by_id(kDefaultRouteId);
  const std::string_view from_name = from.value_or(scheme_name(fallback.from));
  const std::string_view to_name = to.value_or(format_name(fallback.to));
  const std::optional<Scheme> scheme = scheme_named(from_name);
  const std::optional<Format> format = format_named(to_name);
  const Route* route = scheme && format ? route_between(*scheme, *format) : nullptr;
  if (!route) why = "no route from " + quoted(from_name) + " to " + quoted(to_name) + every_route();
  return route;
}

int font_family_named(std::string_view name, std::string& why) {
  if (name == "ekorlam" || name == "Ekorlam" || name == "EKorlam") return kEkorlam;
  if (name == "korlam" || name == "Korlam") return kKorlam;
  why = "unknown font family " + quoted(name);
  return kNoFamily;
}

int point_size(std::string_view option, std::string_view text, int& size, std::string& why) {
  long n = 0;
  if (text.size() > 2 || !tsd::parse_whole_number(text, kMaxPointSize, n) || n < kMinPointSize) {
    why = std::string(option) + " needs a whole number from 8 to 99, not " + quoted(text);
    return -1;
  }
  size = static_cast<int>(n);
  return 0;
}

int sizes_agree(int size, int small_size, std::string& why) {
  if (small_size <= size) return 0;
  why = "the small size (" + std::to_string(small_size) + ") must not exceed the normal size (" +
        std::to_string(size) + ")";
  return -1;
}

int unicode_font_named(std::string_view name, std::string& why) {
  if (!name.empty() && name.size() <= static_cast<std::size_t>(kMaxUnicodeFontName)) return 0;
  why = "--unicode-font needs a name of 1 to 63 characters";
  return -1;
}

RouteOptions options_of(const Route& route) {
  const bool tsendrel_rtf = runs(route, Pass::tsendrel_rtf) || runs(route, Pass::hub_rtf);
  const bool unicode_rtf = runs(route, Pass::unicode_rtf) || runs(route, Pass::hub_unicode_rtf);
  // The extraction and the text readers lay out lines; a document's paragraphs and the Wylie-KVTS scheme
  // passes keep them as they are.
  const bool laid_out =
      runs(route, Pass::extract) || runs(route, Pass::ewts_read) || runs(route, Pass::unicode_read) ||
      runs(route, Pass::acip_read);
  return RouteOptions{tsendrel_rtf, tsendrel_rtf || unicode_rtf, unicode_rtf, laid_out};
}

}  // namespace tarvex
