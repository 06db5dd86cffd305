// The benchmark corpus: Wylie text made of common syllables in lines and paragraphs, with shad, the
// occasional bracketed English note and parenthesised word; its KVTS form comes from the Wylie pre-pass. Its
// variant with long words adds, from a generator of its own, a mantra word longer than 15 bytes for about
// one word in 500, and a braced passage and a bracket across two lines for about one word in 20,000.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// About `bytes` bytes of Wylie text, the same for the same seed.
std::string wylie_corpus(std::size_t bytes, unsigned seed, bool long_words = false);

}  // namespace bench
