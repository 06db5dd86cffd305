#include "Find_mat.h"

#include <cstddef>

#include "Bsearch.h"
#include "check.h"

namespace tarvex {

int find_exact(const char* name, const char* const* strings, int num_strings) {
  TSD_CHECK(name != NULL, "Find_mat");
  TSD_CHECK(strings != NULL, "Find_mat");
  TSD_CHECK(num_strings > 0, "Find_mat");
  return binary_search(&name, strings, num_strings, sizeof(const char*), compare_strings);
}

void find_longest_prefix(const char* name, const char* const* strings, int num_strings, int* length_match,
                         int* string_index) {
  TSD_CHECK(name != NULL, "Find_mat");
  TSD_CHECK(strings != NULL, "Find_mat");
  TSD_CHECK(num_strings > 0, "Find_mat");
  TSD_CHECK(length_match != NULL, "Find_mat");
  TSD_CHECK(string_index != NULL, "Find_mat");

  *length_match = 0;
  *string_index = 0;
  // The table is sorted, so the last entry that begins `name` is the longest, and the first entry that
  // sorts after `name` ends the search. Entries with a smaller first character cannot begin `name`: the
  // scan starts after them.
  const auto first = static_cast<unsigned char>(name[0]);
  int lo = 0;
  int hi = num_strings;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (static_cast<unsigned char>(strings[mid][0]) < first) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  for (int k = lo; k < num_strings; ++k) {
    int matched = 0;
    const int order = prefix_compare(strings[k], name, &matched);
    if (order > 0) break;
    if (order == 0) {
      *length_match = matched;
      *string_index = k;
    }
  }
}

int prefix_compare(const char* table_string, const char* text, int* matched) {
  TSD_CHECK(table_string != NULL, "Find_mat");
  TSD_CHECK(text != NULL, "Find_mat");
  TSD_CHECK(matched != NULL, "Find_mat");

  int n = 0;
  while (table_string[n] != '\0' && table_string[n] == text[n]) ++n;
  *matched = n;
  if (table_string[n] == '\0') return 0;
  return static_cast<signed char>(table_string[n]) - static_cast<signed char>(text[n]);
}

int compare_strings(const void* s1, const void* s2) {
  const auto* a = *static_cast<const char* const*>(s1);
  const auto* b = *static_cast<const char* const*>(s2);
  TSD_CHECK(a != NULL, "Find_mat");
  TSD_CHECK(b != NULL, "Find_mat");

  for (;; ++a, ++b) {
    const auto x = static_cast<unsigned char>(*a);
    const auto y = static_cast<unsigned char>(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

}  // namespace tarvex
