// The benchmark corpus: Wylie text made of common syllables in lines and paragraphs, with shad, the
// occasional bracketed English note and parenthesised word; its KVTS form comes from the Wylie pre-pass.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// About `bytes` bytes of Wylie text, the same for the same seed.
std::string wylie_corpus(std::size_t bytes, unsigned seed);

}  // namespace bench
