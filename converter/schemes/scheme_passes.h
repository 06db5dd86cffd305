// The two scheme passes, character by character with one character of push-back:
// wylie_to_kvts reads Wylie text and writes KVTS text; kvts_to_wylie reads KVTS text and writes Wylie.
// Bracketed passages "[...]" are copied unchanged by both. The start of the source is a syllable start.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace tarvex {

// The Wylie punctuation that the pre-pass turns into KVTS wherever it stands: the shad "/" is the KVTS
// ","; the tsheg "." is a blank between syllables, but in "g.y" it keeps "g" and "y" apart within one
// syllable ("G-Y").
inline constexpr unsigned char kWylieShad = '/';
inline constexpr char kShadInKvts[] = ",";
inline constexpr unsigned char kWylieTsheg = '.';
constexpr bool tsheg_breaks_within(int before, int after) { return before == 'g' && after == 'y'; }

// Where the Wylie pre-pass starts a piece of text converted apart from what came before it: at a
// syllable start (the start of the text, or after white space), or after punctuation, where a vowel
// letter starts no syllable of its own.
enum class WylieStart : unsigned char { syllable, after_punctuation };

// Each returns 0, or -1 when reading the source or writing the destination failed; a failed write leaves
// the destination's error state set.
int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst);
int wylie_to_kvts(tsd::Stream& src, tsd::Stream& dst, WylieStart start);
int kvts_to_wylie(tsd::Stream& src, tsd::Stream& dst);

// A piece of Wylie held in memory, converted from its own start.
struct WyliePiece {
  std::string_view text;
  WylieStart start;
};

// The pre-pass on pieces of Wylie held in memory, in one run that starts again at each piece, through
// `memory`'s streams: 0 with `kvts` viewing their KVTS one after the other, each piece's as it gives alone
// (valid until `memory` runs again), and, when given, `starts` where each piece's begins there; or -1. A
// "[" passage left open reads on into the pieces after it, which then start after it.
int wylie_to_kvts(std::span<const WyliePiece> pieces, tsd::MemoryPass& memory, std::string_view& kvts,
                  std::vector<std::size_t>* starts = nullptr);
// The same of one piece.
int wylie_to_kvts(std::string_view wylie, WylieStart start, tsd::MemoryPass& memory, std::string_view& kvts);

// Places in the Wylie of the KVTS that wylie_to_kvts writes from `src` (from `start`): each of `offsets`
// (ascending offsets in that KVTS text) becomes the file offset in `src` of the Wylie character whose
// step wrote that byte. Runs the same steps as the pass, writing nothing.
void wylie_places(tsd::Stream& src, std::span<std::uint64_t> offsets,
                  WylieStart start = WylieStart::syllable);
// The same for offsets in any order, each replaced where it stands.
void wylie_places_in_any_order(tsd::Stream& src, std::span<std::uint64_t> offsets,
                               WylieStart start = WylieStart::syllable);
// The same for offsets in the KVTS of `pieces` (each piece's beginning there in `starts`, as
// wylie_to_kvts gives them): offsets in the pieces' Wylie one after the other.
void wylie_places_in_pieces(std::span<const WyliePiece> pieces, std::span<const std::size_t> starts,
                            std::span<std::uint64_t> offsets);

}  // namespace tarvex
