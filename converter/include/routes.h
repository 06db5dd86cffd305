// The routes of the converter: every conversion is an input scheme and an output format, with the chain of
// passes between them. One table holds them all; the command line's names and help, the windows' list,
// the output names, the driver's chain, the stages that may be stopped after and the fast path's choice
// are all read from it. A new scheme or format is new rows (and the passes they chain).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarvex {

// What a conversion's input is written in: our Wylie, KVTS, Extended Wylie, Unicode Tibetan (UTF-8), a
// document (RTF or DOCX) set in the Tsendrel fonts, or ACIP.
enum class Scheme : std::uint8_t { wylie, kvts, ewts, unicode, tsendrel, acip };
// What a conversion writes: the Tsendrel RTF, Unicode text, an RTF in a Unicode font, or a scheme's text
// (Wylie, KVTS, EWTS, ACIP).
enum class Format : std::uint8_t { rtf, unicode, unicode_rtf, wylie, kvts, ewts, acip };

// Where a conversion stops when only an intermediate file is wanted: the bytes of that file are written to
// the output unchanged (in binary mode).
enum class Stage { pre_pass, syllables, glyphs, hub, complete };

// The passes a route chains, each reading what the one before it wrote.
enum class Pass : std::uint8_t {
  wylie_to_kvts,    // the Wylie scheme pass; before an extraction, the pre-pass
  kvts_to_wylie,    // the KVTS scheme pass
  extract,          // KVTS → the syllable file
  font_codes,       // syllable file → glyph codes
  tsendrel_rtf,     // glyph codes → the Tsendrel RTF
  unicode_text,     // syllable file → UTF-8, passages as text
  unicode_marked,   // syllable file → UTF-8 with the markers of passages, for the Unicode RTF writer
  unicode_rtf,      // marked UTF-8 → the Unicode RTF
  ewts_read,        // Extended Wylie → the hub (normalised Unicode, which is also the Unicode text)
  unicode_read,     // UTF-8 → the hub
  tsendrel_read,    // a document in the Tsendrel fonts (RTF, DOCX) → the hub
  hub_rtf,          // the hub → the Tsendrel RTF
  hub_unicode_rtf,  // the hub → the Unicode RTF
  ewts_write,       // the hub → Extended Wylie
  acip_read,        // ACIP → the hub
  acip_write,       // the hub → ACIP
};

// The intermediate file that a pass writes when another pass follows it.
constexpr Stage stage_written(Pass pass) {
  switch (pass) {
    case Pass::wylie_to_kvts:
    case Pass::kvts_to_wylie:
      return Stage::pre_pass;
    case Pass::extract:
      return Stage::syllables;
    case Pass::font_codes:
    case Pass::unicode_marked:
    case Pass::unicode_text:  // before the Unicode reader, in the glyph-code file's place
      return Stage::glyphs;
    case Pass::ewts_read:
    case Pass::unicode_read:
    case Pass::tsendrel_read:
    case Pass::acip_read:
      return Stage::hub;
    case Pass::tsendrel_rtf:
    case Pass::unicode_rtf:
    case Pass::hub_rtf:
    case Pass::hub_unicode_rtf:
    case Pass::ewts_write:
    case Pass::acip_write:
      break;
  }
  return Stage::complete;
}

struct Route {
  int id;  // the request's conversion_type; the ids callers have always used keep their meaning
  Scheme from;
  Format to;
  std::string_view name;         // the command line's -t FROM-TO
  std::string_view description;  // what --help says of it
  std::string_view caption;      // its row in the windows' list (in table order); empty when not offered
  std::string_view extension;    // of the output's name, without its dot
  std::span<const Pass> passes;  // at least one; the last writes the output
  bool fast;                     // the fast path takes it
};

// The route of a request that names none: the first of the table.
inline constexpr int kDefaultRouteId = 0;

// Every route, in the order of their ids (the windows' list and --help show them in this order).
std::span<const Route> routes();

// The route with this id, its -t name, or this input scheme and output format; none when there is none.
const Route* route_by_id(int id);
const Route* route_named(std::string_view name);
const Route* route_between(Scheme from, Format to);

// The id of the route named `name`, or -1.
int route_id(std::string_view name);

// The names of schemes and formats on the command line (--from, --to), and back.
std::string_view scheme_name(Scheme scheme);
std::string_view format_name(Format format);
std::optional<Scheme> scheme_named(std::string_view name);
std::optional<Format> format_named(std::string_view name);

// Whether the route can stop after `stage` (every route stops at Stage::complete).
bool stops_at(const Route& route, Stage stage);

// Whether the route runs `pass`.
bool runs(const Route& route, Pass pass);

// The windows' conversion list: the routes with a caption, in table order. None past its end.
const Route* route_of_row(int row);

}  // namespace tarvex
