#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "core/GestalCore.h"
#include "core/Kernels.h"
#include "synth/MotionSynth.h"

namespace {

using GestalPrivate::GestalCore;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;
using GestalSynth::Shape;
using GestalSynth::User;
using GestalSynth::Variation;

constexpr Shape kDrawnShapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown, Shape::Circle,
                                  Shape::ZigZag};

// A performance without any variation or noise and with 0.3 s of rest at each end.
Variation still() {
  Variation v;
  v.durationJitter = v.timeWarp = v.amplitudeJitter = v.slantJitterRadians = 0.0f;
  v.wobbleMetres = v.tremor = v.noise = v.gyroNoise = 0.0f;
  v.idleMinSeconds = v.idleMaxSeconds = 0.3f;
  return v;
}

struct Vec {
  double x = 0.0, y = 0.0, z = 0.0;
};

// Net displacement and final velocity of the hand, integrating the primary vector twice.
std::pair<Vec, Vec> integrate(const MotionSample& sample) {
  const double dt = 1.0 / GestalSynth::kReadingsPerSecond;
  double v[3] = {}, p[3] = {};
  for (std::size_t i = 1; i < sample.size(); ++i)
    for (int k = 0; k < 3; ++k) {
      const double a0 = sample[i - 1][1 + k], a1 = sample[i][1 + k];
      const double v1 = v[k] + 0.5 * (a0 + a1) * dt;
      p[k] += 0.5 * (v[k] + v1) * dt;
      v[k] = v1;
    }
  return {{p[0], p[1], p[2]}, {v[0], v[1], v[2]}};
}

int32_t symbolCount(const MotionSample& sample, int16_t x, int16_t y, int16_t z) {
  const GestalPrivate::PreparedSequence prepared = GestalCore().prepareSequence(sample, true);
  return GestalPrivate::countActiveValues(prepared.data(), prepared.length(), x, y, z);
}

TEST(SynthDeterminism, SameSeedsGiveIdenticalRecordingsAndOtherSeedsDiffer) {
  const User a = GestalSynth::makeUser(42), again = GestalSynth::makeUser(42);
  const User b = GestalSynth::makeUser(43);
  EXPECT_EQ(a.seed, 42u);
  EXPECT_NE(a.size, b.size);
  for (Shape shape : {Shape::Heart, Shape::LetterC, Shape::SwipeDown, Shape::Circle, Shape::ZigZag,
                      Shape::Signature}) {
    const std::vector<float> reference = GestalSynth::flatten(GestalSynth::perform(a, shape, 3));
    EXPECT_EQ(GestalSynth::flatten(GestalSynth::perform(again, shape, 3)), reference);
    EXPECT_NE(GestalSynth::flatten(GestalSynth::perform(a, shape, 4)), reference);
    EXPECT_NE(GestalSynth::flatten(GestalSynth::perform(b, shape, 3)), reference);
  }
}

TEST(SynthDeterminism, WithoutVariationEveryRepetitionIsTheSameAndRestIsExactlyStill) {
  const User user = GestalSynth::makeUser(7);
  for (Shape shape : {Shape::Heart, Shape::Signature}) {
    const MotionSample first = GestalSynth::perform(user, shape, 1, still());
    EXPECT_EQ(GestalSynth::flatten(GestalSynth::perform(user, shape, 2, still())),
              GestalSynth::flatten(first));
    // The first 0.3 s are rest: 27 readings at 90 Hz with no acceleration and no turning.
    for (int i = 0; i < 27; ++i)
      for (std::size_t k = 1; k <= 6; ++k) EXPECT_EQ(first[i][k], 0.0f) << i << " " << k;
  }
}

TEST(SynthFormat, ReadingsAt90HzWithForwardUnitDirectionsAndRestAtBothEnds) {
  const GestalCore core;
  for (uint64_t seed = 1; seed <= 8; ++seed) {
    const User user = GestalSynth::makeUser(seed);
    for (Shape shape : {Shape::Heart, Shape::LetterC, Shape::SwipeDown, Shape::Circle,
                        Shape::ZigZag, Shape::Signature}) {
      const MotionSample sample = GestalSynth::perform(user, shape, seed);
      ASSERT_GT(sample.size(), 60u);
      EXPECT_LT(sample.back()[0], 6000.0f);
      for (std::size_t i = 0; i < sample.size(); ++i) {
        const MotionEntry& e = sample[i];
        ASSERT_EQ(e[0], static_cast<float>(static_cast<double>(i) * 1000.0 / 90.0));
        for (float v : e) ASSERT_TRUE(std::isfinite(v));
        const double norm =
            std::sqrt(double(e[7]) * e[7] + double(e[8]) * e[8] + double(e[9]) * e[9]);
        ASSERT_NEAR(norm, 1.0, 1e-6);
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
  const MotionSample sample = GestalSynth::perform(GestalSynth::makeUser(3), Shape::Circle, 0);
  const std::vector<float> flat = GestalSynth::flatten(sample);
  ASSERT_EQ(flat.size(), sample.size() * 10);
  EXPECT_EQ(flat[10 * 17 + 8], sample[17][8]);
}

TEST(SynthPhysics, AccelerationIntegratesBackToTheDrawnPath) {
  User user;
  const auto [swipe, swipeEnd] =
      integrate(GestalSynth::perform(user, Shape::SwipeDown, 0, still()));
  // From 0.22 m above the start point to 0.22 m below it, 3 cm right and 4 cm forward.
  EXPECT_NEAR(swipe.x, 0.03, 0.002);
  EXPECT_NEAR(swipe.y, -0.44, 0.002);
  EXPECT_NEAR(swipe.z, -0.04, 0.002);
  EXPECT_NEAR(swipeEnd.y, 0.0, 0.005);
  for (Shape closed : {Shape::Heart, Shape::Circle}) {
    const auto [loop, loopEnd] = integrate(GestalSynth::perform(user, closed, 0, still()));
    EXPECT_NEAR(loop.x, 0.0, 0.002);
    EXPECT_NEAR(loop.y, 0.0, 0.002);
    EXPECT_NEAR(loopEnd.x, 0.0, 0.005);
  }
  user.size = 1.5f;
  user.leftHanded = true;
  const auto [mirrored, mirroredEnd] =
      integrate(GestalSynth::perform(user, Shape::SwipeDown, 0, still()));
  EXPECT_NEAR(mirrored.x, -0.045, 0.003);
  EXPECT_NEAR(mirrored.y, -0.66, 0.003);
  // Twice the speed: the 0.45 s stroke takes 0.225 s between the two rests of 0.3 s, 0.825 s in
  // all, so readings at 0 to 74 / 90 s.
  user.speed = 2.0f;
  EXPECT_EQ(GestalSynth::perform(user, Shape::SwipeDown, 0, still()).size(), 75u);
}

TEST(SynthPhysics, AngularVelocityAgreesWithTheTurnOfThePointingDirection) {
  User user;
  user.aimYawRadians = 0.1f;
  for (Shape shape : {Shape::SwipeDown, Shape::LetterC}) {
    const MotionSample sample = GestalSynth::perform(user, shape, 0, still());
    double pitchTurn = 0.0, yawTurn = 0.0;
    for (std::size_t i = 1; i < sample.size(); ++i) {
      pitchTurn += 0.5 * (sample[i - 1][4] + sample[i][4]) / 90.0;
      yawTurn -= 0.5 * (sample[i - 1][5] + sample[i][5]) / 90.0;
    }
    const auto pitch = [](const MotionEntry& e) { return std::asin(double(e[8])); };
    const auto yaw = [](const MotionEntry& e) { return std::atan2(double(e[7]), -double(e[9])); };
    EXPECT_NEAR(pitchTurn, pitch(sample.back()) - pitch(sample.front()), 0.005);
    EXPECT_NEAR(yawTurn, yaw(sample.back()) - yaw(sample.front()), 0.005);
  }
}

// Tens to a few hundred symbols at the loosest level of both table variants: enough to compare,
// far from the symbol limits.
TEST(SynthCalibration, HeartGivesTensToHundredsOfSymbolsAtTheLoosestLevel) {
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    const MotionSample heart = GestalSynth::perform(GestalSynth::makeUser(seed), Shape::Heart, 0);
    const int32_t custom = symbolCount(heart, 60, 230, 220);
    const int32_t plain = symbolCount(heart, 300, 30, 260);
    // Measured: 89 to 124 and 93 to 138.
    EXPECT_GE(custom, 60);
    EXPECT_LE(custom, 200);
    EXPECT_GE(plain, 60);
    EXPECT_LE(plain, 200);
  }
}

// What enrolment asks of a first signature: complexity level 3 or more (activity against the
// variant-0 activity thresholds), enough strong motion, a plausible posture, within the limits.
TEST(SynthCalibration, SignaturesAreRichEnoughToEnrol) {
  const GestalCore core;
  int richEnough = 0;
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    const MotionSample signature =
        GestalSynth::perform(GestalSynth::makeUser(seed * 7919), Shape::Signature, 0);
    const int32_t activity = core.activityCount(signature, 0);
    const int32_t level = core.complexityLevel(activity, core.sampleRate(signature));
    if (level >= 3) ++richEnough;
    EXPECT_TRUE(core.hasEnoughMotion(signature)) << seed;
    EXPECT_TRUE(core.isLongEnough(signature));
    EXPECT_TRUE(core.isWithinLimits(signature, activity));
    EXPECT_TRUE(core.isPostureAcceptable(signature));
  }
  // Measured: 39 of 40; the one short signature reaches level 2.
  EXPECT_GE(richEnough, 36);
}

struct MatchRates {
  double sameShape;
  double otherShape;
};

// Share of pairs that match at security level 4: every pair of four repetitions of one shape by one
// user, and one performance of each shape against one of every other shape by the same user.
MatchRates matchRates(uint32_t signType) {
  const GestalCore core;
  int same = 0, sameCount = 0, other = 0, otherCount = 0;
  for (uint64_t seed = 1; seed <= 8; ++seed) {
    const User user = GestalSynth::makeUser(seed);
    std::vector<std::vector<MotionSample>> repetitions;
    for (Shape shape : kDrawnShapes) {
      repetitions.emplace_back();
      for (uint64_t r = 0; r < 4; ++r)
        repetitions.back().push_back(GestalSynth::perform(user, shape, r));
    }
    for (std::size_t s = 0; s < repetitions.size(); ++s) {
      for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = i + 1; j < 4; ++j, ++sameCount)
          same += core.compareSignatures(repetitions[s][i], repetitions[s][j], 4, signType).matched;
      for (std::size_t t = 0; t < repetitions.size(); ++t) {
        if (t == s) continue;
        other += core.compareSignatures(repetitions[s][0], repetitions[t][1], 4, signType).matched;
        ++otherCount;
      }
    }
  }
  return {double(same) / sameCount, double(other) / otherCount};
}

TEST(SynthMatching, RepetitionsOfOneShapeMatchFarMoreOftenThanDifferentShapes) {
  const MatchRates custom = matchRates(1);
  const MatchRates plain = matchRates(0);
  // Measured 1.000 and 0.312. The custom-gesture row counts x beyond 0.6 m/s^2, nearly every
  // moving reading, and asks for a common share of one half, so round shapes of similar length
  // (heart, C, circle, zig-zag) often pass for each other; the best score still tells them apart.
  EXPECT_GE(custom.sameShape, 0.95);
  EXPECT_LE(custom.otherShape, 0.45);
  // Measured 0.925 and 0.025.
  EXPECT_GE(plain.sameShape, 0.85);
  EXPECT_LE(plain.otherShape, 0.10);
}

// Gesture identification keeps the best-scoring candidate: another user's performance should score
// highest against templates of the same shape.
TEST(SynthMatching, AnotherUsersShapeScoresHighestAgainstTheSameShape) {
  const GestalCore core;
  int right = 0, total = 0;
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const User owner = GestalSynth::makeUser(seed), visitor = GestalSynth::makeUser(seed + 100);
    std::vector<std::vector<MotionSample>> templates;
    for (Shape shape : kDrawnShapes) {
      templates.emplace_back();
      for (uint64_t r = 0; r < 3; ++r)
        templates.back().push_back(GestalSynth::perform(owner, shape, r));
    }
    for (std::size_t s = 0; s < templates.size(); ++s, ++total) {
      const MotionSample input = GestalSynth::perform(visitor, kDrawnShapes[s], 9);
      std::size_t best = 0;
      float bestScore = -1.0f;
      for (std::size_t t = 0; t < templates.size(); ++t)
        for (const MotionSample& stored : templates[t]) {
          const float score = core.similarityScore(stored, input, 4, 1);
          if (score > bestScore) {
            bestScore = score;
            best = t;
          }
        }
      right += best == s;
    }
  }
  // Measured: 40 of 50.
  EXPECT_GE(right, 35) << "of " << total;
}

// Signatures are personal: repetitions by their owner agree well enough to enrol (level 3 at
// worst), another user's signature does not pass even the loosest level.
TEST(SynthMatching, SignaturesMatchTheirOwnUserOnly) {
  const GestalCore core;
  int own = 0, ownCount = 0, foreign = 0, foreignCount = 0;
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    const User owner = GestalSynth::makeUser(seed), other = GestalSynth::makeUser(seed + 500);
    std::vector<MotionSample> repetitions;
    for (uint64_t r = 0; r < 4; ++r)
      repetitions.push_back(GestalSynth::perform(owner, Shape::Signature, r));
    for (std::size_t i = 0; i < 4; ++i) {
      for (std::size_t j = i + 1; j < 4; ++j, ++ownCount)
        own += core.compareSignatures(repetitions[i], repetitions[j], 3, 0).matched;
      foreign += core.compareSignatures(repetitions[i],
                                        GestalSynth::perform(other, Shape::Signature, i), 4, 0)
                     .matched;
      ++foreignCount;
    }
  }
  // Measured: 72 of 72 and 1 of 48.
  EXPECT_GE(own, ownCount - 4);
  EXPECT_LE(foreign, foreignCount / 12);
}

}  // namespace
