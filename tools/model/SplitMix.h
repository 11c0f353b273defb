#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace GestalPrivate {

// A small deterministic generator (SplitMix64). The trainer uses it instead of the standard
// engines and distributions so that a seed gives the same model on every platform.
class SplitMix {
 public:
  explicit SplitMix(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A value in [0, bound), bound > 0. The modulo bias is far below anything a shuffle of a few
  // thousand recordings could show.
  uint64_t below(uint64_t bound) { return next() % bound; }

  // Fisher-Yates shuffle.
  template <typename T>
  void shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
      std::size_t j = static_cast<std::size_t>(below(i));
      std::swap(items[i - 1], items[j]);
    }
  }

 private:
  uint64_t state_;
};

}  // namespace GestalPrivate
