// Generic binary search over a sorted array of fixed-size elements, as the table lookups use it.
// Reads and writes no stream.
#pragma once

#include <cstddef>

namespace tarvex {

using CompareFn = int (*)(const void* key, const void* element);

// Index of an element that compares equal to `name`, or a negative number when there is none.
int binary_search(const void* name, const void* base, int num_elts, std::size_t size, CompareFn compare);

}  // namespace tarvex
