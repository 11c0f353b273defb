#pragma once

#include <cstdint>

namespace GestalSynth {

// Small deterministic generator (xoshiro256**, seeded through splitmix64). Its own uniform and
// normal draws keep every recording identical across compilers and standard libraries.
class SynthRandom {
 public:
  explicit SynthRandom(uint64_t seed);

  uint64_t next();
  // Uniform in [0, 1).
  double uniform();
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  // -1 or +1 with equal chance.
  double sign() { return (next() >> 63) != 0 ? 1.0 : -1.0; }
  // Approximately standard normal (sum of four uniforms), bounded by +/- 3.46.
  double normal();

 private:
  uint64_t state[4];
};

// Mixes several seeds into one, so that (user, shape, repetition) pick independent streams.
uint64_t mixSeeds(uint64_t a, uint64_t b, uint64_t c = 0);

}  // namespace GestalSynth
