#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "core/MotionSample.h"

// Recording builders shared by the tests of every layer.
namespace GestalTest {

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

// One reading with the given time and primary vector, pointing along +x.
inline MotionEntry reading(float time, float x, float y = 0.0f, float z = 0.0f) {
  return {time, x, y, z, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
}

// A recording at 90 Hz whose every reading has the same primary and direction vectors.
inline MotionSample steady(float durationMs, std::array<float, 3> primary,
                           std::array<float, 3> direction = {1, 0, 0}) {
  MotionSample sample;
  for (float t = 0; t <= durationMs; t += 1000.0f / 90.0f) {
    sample.push_back(MotionEntry{t, primary[0], primary[1], primary[2], 0, 0, 0, direction[0],
                                 direction[1], direction[2]});
  }
  return sample;
}

// 33333 readings 20 ms apart, each beyond every threshold on all three axes: three symbols each,
// so the last one reaches the symbol limit of every comparison.
inline MotionSample oversized() {
  MotionSample sample(33333, reading(0.0f, 5.0f, -5.0f, 5.0f));
  for (std::size_t i = 0; i < sample.size(); ++i) sample[i][0] = 20.0f * static_cast<float>(i);
  return sample;
}

// A recording that yields exactly the given motion symbols at every security level and gesture
// threshold: one reading per symbol, 20 ms apart from time 0 (so decimation keeps them all), with
// one primary axis at +-5 (beyond every threshold) and the others at 0. 'a'/'b' are +x/-x, 'c'/'d'
// +y/-y, 'e'/'f' +z/-z, any other character a small x motion below every threshold. Two prefixes
// of one string of lengths p <= q therefore score p / (q * F), which puts the level at which they
// match under the test's control.
inline MotionSample symbolRecording(const std::string& symbols) {
  MotionSample sample(symbols.size(), MotionEntry{});
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    const int offset = symbols[i] - 'a';
    sample[i][GestalPrivate::kTime] = 20.0f * static_cast<float>(i);
    if (offset < 0 || offset > 5) {
      sample[i][GestalPrivate::kPrimaryX] = 0.1f;
    } else {
      sample[i][GestalPrivate::kPrimaryX + static_cast<std::size_t>(offset / 2)] =
          offset % 2 == 0 ? 5.0f : -5.0f;
    }
  }
  return sample;
}

// A fixed irregular string of `length` symbols over the pair starting at `first` ('a', 'c' or
// 'e'): recordings over different pairs share no symbol, and a shorter one over a pair is a prefix
// of every longer one.
inline MotionSample pairRecording(std::size_t length, char first) {
  std::string text;
  unsigned state = 12345u;
  for (std::size_t i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    text += ((state >> 16) & 1u) != 0 ? first : static_cast<char>(first + 1);
  }
  return symbolRecording(text);
}

// What matching sees of recordings, as the stores serve them: their prepared values, in order.
using PreparedValues = std::vector<std::vector<int16_t>>;
inline PreparedValues preparedValues(const std::vector<MotionSample>& samples) {
  PreparedValues values;
  for (const MotionSample& sample : samples) {
    values.push_back(GestalPrivate::GestalCore().prepareSequence(sample, true).values);
  }
  return values;
}
inline PreparedValues preparedValues(
    const std::vector<GestalPrivate::PreparedRecording>& recordings) {
  PreparedValues values;
  for (const auto& recording : recordings) values.push_back(recording.prepared().values);
  return values;
}
inline PreparedValues preparedValues(
    const std::vector<std::shared_ptr<const GestalPrivate::PreparedRecording>>& recordings) {
  PreparedValues values;
  for (const auto& recording : recordings) values.push_back(recording->prepared().values);
  return values;
}

}  // namespace GestalTest
