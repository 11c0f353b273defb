#pragma once

#include <cstdint>
#include <vector>

namespace GestalPrivate {

// A recording reduced to what the matching kernels read: four 16-bit values per kept entry
// (time, then the primary x, y, z times 100, each wrapped to 16 bits). The size is always a
// multiple of 4.
struct PreparedSequence {
  std::vector<int16_t> values;

  uint32_t length() const { return static_cast<uint32_t>(values.size()); }
  const int16_t* data() const { return values.data(); }
};

}  // namespace GestalPrivate
