#include <gtest/gtest.h>

#include <cmath>

#include "core/GestalCore.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalPrivate;
using namespace GestalSynth;

constexpr Shape kAllShapes[] = {Shape::Heart,  Shape::LetterC, Shape::SwipeDown,
                                Shape::Circle, Shape::ZigZag,  Shape::Signature};

// A performance without any variation or noise and with 0.3 s of rest at each end.
GestalSynth::Variation still() {
  GestalSynth::Variation v;
  v.durationJitter = v.timeWarp = v.amplitudeJitter = v.slantJitterRadians = 0.0f;
  v.wobbleMetres = v.tremor = v.noise = v.gyroNoise = 0.0f;
  v.idleMinSeconds = v.idleMaxSeconds = 0.3f;
  return v;
}

TEST(Synth, SeedsAndVariationDecideTheRecording) {
  const User a = GestalSynth::makeUser(42), b = GestalSynth::makeUser(43);
  EXPECT_EQ(a.seed, 42u);
  for (Shape shape : kAllShapes) {
    const MotionSample reference = perform(a, shape, 3);
    EXPECT_EQ(perform(GestalSynth::makeUser(42), shape, 3), reference);
    EXPECT_NE(perform(a, shape, 4), reference);
    EXPECT_NE(perform(b, shape, 3), reference);
    // Without variation every repetition is the same, and the first 0.3 s (27 readings at 90 Hz)
    // are rest with no acceleration and no turning.
    const MotionSample first = perform(a, shape, 1, still());
    EXPECT_EQ(perform(a, shape, 2, still()), first);
    for (int i = 0; i < 27; ++i)
      for (std::size_t k = 1; k <= 6; ++k) ASSERT_EQ(first[i][k], 0.0f) << i << " " << k;
  }
}

TEST(Synth, ReadingsAt90HzWithForwardUnitDirectionsAndRestAtBothEnds) {
  const GestalCore core;
  for (uint64_t seed = 1; seed <= 8; ++seed) {
    for (Shape shape : kAllShapes) {
      const MotionSample sample = perform(GestalSynth::makeUser(seed), shape, seed);
      ASSERT_GT(sample.size(), 60u);
      EXPECT_LT(sample.back()[0], 6000.0f);
      for (std::size_t i = 0; i < sample.size(); ++i) {
        const MotionEntry& e = sample[i];
        ASSERT_EQ(e[0], static_cast<float>(static_cast<double>(i) * 1000.0 / 90.0));
        for (float v : e) ASSERT_TRUE(std::isfinite(v));
        ASSERT_NEAR(std::sqrt(double(e[7]) * e[7] + double(e[8]) * e[8] + double(e[9]) * e[9]), 1.0,
                    1e-6);
        // Forward within 45 degrees, never up or down steeply.
        ASSERT_LT(e[9], -0.7f);
        ASSERT_LT(std::fabs(e[8]), 0.6f);
      }
      EXPECT_TRUE(core.isPostureAcceptable(sample));
      // Rest at both ends stays below the smallest threshold of any comparison (0.3 m/s^2).
      for (std::size_t i : {std::size_t{0}, std::size_t{10}, sample.size() - 10, sample.size() - 1})
        for (std::size_t k = 1; k <= 3; ++k) EXPECT_LT(std::fabs(sample[i][k]), 0.3f);
    }
  }
}

}  // namespace
