// The two lookups of the transliteration tables: the exact match of a whole cluster and the longest
// table entry that begins a text, with their string comparisons. Reads and writes no stream.
#pragma once

namespace tarvex {

// Index of the entry of `strings` equal to `name`, or a negative number.
int find_exact(const char* name, const char* const* strings, int num_strings);

// The longest entry of `strings` that is the start of `name`: its length in `length_match` (0 when none
// is) and its index in `string_index`.
void find_longest_prefix(const char* name, const char* const* strings, int num_strings, int* length_match,
                         int* string_index);

// 0 when `table_string` is the start of `text` (or equal to it), else the difference of the first
// differing characters as signed bytes. `matched` receives the number of leading characters that agree.
int prefix_compare(const char* table_string, const char* text, int* matched);

// Orders two string references (each a `const char* const*`) by unsigned bytes: -1, 0 or 1.
int compare_strings(const void* s1, const void* s2);

}  // namespace tarvex
