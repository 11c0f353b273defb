#pragma once

#include <cstdint>
#include <vector>

namespace GestalReference {

// Longest common subsequence by the full (n + 1) x (m + 1) table of 16-bit cells, filled from the
// ends of both strings: the plain form the fast kernel must agree with.
inline int16_t lcsTable(const char* a, uint32_t n, const char* b, uint32_t m) {
  const size_t columns = static_cast<size_t>(m) + 1;
  std::vector<int16_t> table((static_cast<size_t>(n) + 1) * columns, 0);
  for (uint32_t i = n; i-- > 0;) {
    int16_t* row = &table[i * columns];
    const int16_t* below = &table[(i + 1) * columns];
    for (uint32_t j = m; j-- > 0;) {
      if (a[i] == b[j]) {
        row[j] = static_cast<int16_t>(below[j + 1] + 1);
      } else {
        row[j] = below[j] > row[j + 1] ? below[j] : row[j + 1];
      }
    }
  }
  return table[0];
}

}  // namespace GestalReference
