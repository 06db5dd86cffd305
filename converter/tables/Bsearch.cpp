#include "Bsearch.h"

#include <cstddef>

#include "check.h"

namespace tarvex {

int binary_search(const void* name, const void* base, int num_elts, std::size_t size, CompareFn compare) {
  TSD_CHECK(num_elts > 0, "Bsearch");
  TSD_CHECK(size > 0, "Bsearch");
  TSD_CHECK(name != NULL, "Bsearch");
  TSD_CHECK(base != NULL, "Bsearch");
  TSD_CHECK(compare != NULL, "Bsearch");

  const auto* bytes = static_cast<const unsigned char*>(base);
  int lo = 0;
  int hi = num_elts;
  int mid = (lo + hi) / 2;
  for (;;) {
    const int order = compare(name, bytes + static_cast<std::size_t>(mid) * size);
    if (order < 0) {
      hi = mid;
    } else if (order > 0) {
      lo = mid;
    } else {
      return mid;
    }
    const int last = mid;
    mid = (lo + hi) / 2;
    if (mid == last) return -mid - 1;
  }
}

}  // namespace tarvex
