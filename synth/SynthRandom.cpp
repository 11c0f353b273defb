#include "synth/SynthRandom.h"

namespace GestalSynth {

namespace {

uint64_t splitMix(uint64_t& x) {
  x += 0x9E3779B97F4A7C15ull;
  uint64_t z = x;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t rotateLeft(uint64_t v, int k) {
  return (v << k) | (v >> (64 - k));
}

}  // namespace

SynthRandom::SynthRandom(uint64_t seed) {
  for (uint64_t& word : state) word = splitMix(seed);
}

uint64_t SynthRandom::next() {
  const uint64_t result = rotateLeft(state[1] * 5, 7) * 9;
  const uint64_t t = state[1] << 17;
  state[2] ^= state[0];
  state[3] ^= state[1];
  state[1] ^= state[2];
  state[0] ^= state[3];
  state[2] ^= t;
  state[3] = rotateLeft(state[3], 45);
  return result;
}

double SynthRandom::uniform() {
  return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

double SynthRandom::normal() {
  // Irwin-Hall with four terms: variance 4/12, rescaled to 1.
  const double sum = uniform() + uniform() + uniform() + uniform();
  return (sum - 2.0) * 1.7320508075688772;
}

uint64_t mixSeeds(uint64_t a, uint64_t b, uint64_t c) {
  uint64_t x = a;
  uint64_t h = splitMix(x);
  x = h ^ b;
  h = splitMix(x);
  x = h ^ c;
  return splitMix(x);
}

}  // namespace GestalSynth
