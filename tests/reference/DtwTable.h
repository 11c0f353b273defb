#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace GestalReference {

// Dynamic time warping of two series stored value by value, by the full frames x frames table,
// cells outside the band infinite, each cell the sum of absolute differences of its two frames
// plus the smallest of its three predecessors: the plain form the banded, abandoning kernel must
// agree with.
inline float dtwTable(const float* a, const float* b, uint32_t frames, uint32_t dims,
                      uint32_t band) {
  const float infinity = std::numeric_limits<float>::infinity();
  std::vector<float> table(static_cast<std::size_t>(frames) * frames, infinity);
  const auto at = [&](uint32_t i, uint32_t j) -> float& { return table[i * frames + j]; };
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t j = 0; j < frames; ++j) {
      if ((i > j ? i - j : j - i) > band) continue;
      float cost = 0.0f;
      for (uint32_t k = 0; k < dims; ++k) {
        cost += std::fabs(a[k * frames + i] - b[k * frames + j]);
      }
      float before = 0.0f;
      if (i > 0 || j > 0) {
        const float up = i > 0 ? at(i - 1, j) : infinity;
        const float left = j > 0 ? at(i, j - 1) : infinity;
        const float diagonal = i > 0 && j > 0 ? at(i - 1, j - 1) : infinity;
        before = std::min(std::min(up, left), diagonal);
      }
      at(i, j) = cost + before;
    }
  }
  return at(frames - 1, frames - 1);
}

}  // namespace GestalReference
