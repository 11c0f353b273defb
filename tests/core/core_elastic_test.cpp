// The elastic matcher's kernels against the plain full-table warping distance, its pruned search
// against comparing every template in full, and what its templates keep and drop of a recording.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "core/ElasticKernels.h"
#include "core/ElasticMatcher.h"
#include "core/ElasticTemplate.h"
#include "reference/DtwTable.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalPrivate;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::vector<float> randomSeries(std::mt19937& random, std::size_t values) {
  std::normal_distribution<float> normal(0.0f, 1.0f);
  std::vector<float> series(values);
  for (float& value : series) value = normal(random);
  return series;
}

TEST(ElasticKernels, WarpingDistanceIsTheFullTableBitForBit) {
  std::mt19937 random(7);
  for (uint32_t frames : {1u, 2u, 7u, 32u, 100u}) {
    for (uint32_t dims : {1u, 3u, 9u}) {
      for (uint32_t band : {0u, 1u, 6u, 300u}) {
        const std::vector<float> a = randomSeries(random, frames * dims);
        const std::vector<float> b = randomSeries(random, frames * dims);
        const float full = GestalReference::dtwTable(a.data(), b.data(), frames, dims, band);
        EXPECT_EQ(dtwDistance(a.data(), b.data(), frames, dims, band, kInfinity), full);
        // Abandoning never changes a distance within the limit; beyond it, it may give up.
        EXPECT_EQ(dtwDistance(a.data(), b.data(), frames, dims, band, full), full);
        const float beyond = dtwDistance(a.data(), b.data(), frames, dims, band, full * 0.999f);
        EXPECT_TRUE(beyond == full || beyond == kInfinity) << beyond;
        EXPECT_EQ(dtwDistance(a.data(), b.data(), frames, dims, band, -1.0f), kInfinity);

        std::vector<float> upper(a.size()), lower(a.size());
        keoghEnvelope(a.data(), frames, dims, band, upper.data(), lower.data());
        EXPECT_LE(keoghBound(upper.data(), lower.data(), b.data(), frames, dims, kInfinity),
                  full * 1.0001f);
      }
    }
  }
  const float one[] = {1.0f};
  EXPECT_EQ(dtwDistance(one, one, 0, 1, 0, kInfinity), kInfinity);
  std::vector<float> long1(kElasticMaxFrames + 1), long2(kElasticMaxFrames + 1);
  EXPECT_EQ(dtwDistance(long1.data(), long2.data(), kElasticMaxFrames + 1, 1, 1, kInfinity),
            kInfinity);
}

TEST(ElasticKernels, ResamplingAveragesStretchesAndScalingKeepsTheShape) {
  const float in[] = {1, 3, 5, 7, 2, 2};
  float halves[2];
  resampleByArea(in, 6, 1, halves, 2);
  EXPECT_FLOAT_EQ(halves[0], 3.0f);
  EXPECT_FLOAT_EQ(halves[1], 11.0f / 3.0f);
  float stretched[4];
  resampleByArea(in, 2, 1, stretched, 4);
  EXPECT_FLOAT_EQ(stretched[0], 1.0f);
  EXPECT_FLOAT_EQ(stretched[1], 1.0f);
  EXPECT_FLOAT_EQ(stretched[2], 3.0f);
  EXPECT_FLOAT_EQ(stretched[3], 3.0f);
  float thirds[4];
  resampleByArea(in, 3, 1, thirds, 4);
  EXPECT_FLOAT_EQ(thirds[1], (0.25f * 1 + 0.5f * 3) / 0.75f);

  // Frames (1, 3) and (3, 3), value by value: centred (-1, 0), (1, 0); root mean square of the
  // norms 1.
  float pairs[] = {1, 3, 3, 3};
  EXPECT_FLOAT_EQ(centreAndScale(pairs, 2, 2), 1.0f);
  EXPECT_FLOAT_EQ(pairs[0], -1.0f);
  EXPECT_FLOAT_EQ(pairs[1], 1.0f);
  EXPECT_FLOAT_EQ(pairs[2], 0.0f);
  float still[] = {4, 4, 4};
  EXPECT_EQ(centreAndScale(still, 3, 1), 0.0f);
  EXPECT_EQ(still[0], 0.0f);
}

// Random templates of smooth frames, like those of recordings (so that bounds are tight and
// pruning decides), with durations and levels spread around 1.
ElasticTemplatePtr randomTemplate(std::mt19937& random) {
  ElasticTemplate made;
  const std::vector<float> steps = randomSeries(random, made.frames.size());
  for (std::size_t i = 0; i < made.frames.size(); ++i) {
    made.frames[i] = 0.3f * steps[i] + (i % kElasticFrames != 0 ? made.frames[i - 1] : 0.0f);
  }
  resampleByArea(made.frames.data(), kElasticFrames, kElasticDims, made.segments.data(),
                 kElasticSegments);
  std::uniform_real_distribution<float> spread(0.5f, 2.0f);
  made.durationMs = 1000.0f * spread(random);
  made.level = spread(random);
  made.usable = true;
  return std::make_shared<const ElasticTemplate>(made);
}

TEST(ElasticMatcher, PrunedSearchGivesTheExhaustiveAnswer) {
  ElasticScoring scoring = kSignatureScoring;
  ASSERT_EQ(scoring.tiltDegrees, 0.0f);
  std::mt19937 random(11);
  for (int trial = 0; trial < 40; ++trial) {
    const ElasticTemplatePtr probe = randomTemplate(random);
    std::vector<std::vector<ElasticTemplatePtr>> templates(1 + trial % 9);
    std::vector<ElasticClass> classes;
    for (auto& members : templates) {
      for (int t = 0; t < 1 + trial % 4; ++t) members.push_back(randomTemplate(random));
      // Most classes hold the probe with more or less noise, so that several templates come
      // about as near and the bounds decide what is compared.
      if (trial % 4 != 0) {
        ElasticTemplate near = *probe;
        const float noise = std::uniform_real_distribution<float>(0.02f, 0.3f)(random);
        const std::vector<float> offsets = randomSeries(random, near.frames.size());
        for (std::size_t i = 0; i < near.frames.size(); ++i) near.frames[i] += noise * offsets[i];
        resampleByArea(near.frames.data(), kElasticFrames, kElasticDims, near.segments.data(),
                       kElasticSegments);
        members.push_back(std::make_shared<const ElasticTemplate>(near));
      }
      classes.push_back({members, elasticThreshold(members, scoring)});
    }
    if (trial % 5 == 0) classes.front().threshold = 0.0f;  // a class without usable templates

    std::size_t nearestClass = classes.size();
    float nearest = kInfinity;
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (classes[c].threshold == 0.0f) continue;
      for (const ElasticTemplatePtr& stored : classes[c].templates) {
        const float lr = std::log(probe->durationMs / stored->durationMs);
        const float lv = std::log(probe->level / stored->level);
        float extra = 0.0f;
        extra += scoring.durationWeight * (lr * lr);
        extra += scoring.levelWeight * (lv * lv);
        const float scale = static_cast<float>(kElasticFrames);
        const float distance =
            GestalReference::dtwTable(probe->frames.data(), stored->frames.data(), kElasticFrames,
                                      kElasticDims, kElasticBand) /
                scale +
            extra;
        EXPECT_EQ(elasticDistance(*probe, *stored, scoring), distance);
        if (distance < nearest) {
          nearest = distance;
          nearestClass = c;
        }
      }
    }
    // With no class left, nothing matches and the distance stays infinite.
    const float confidence = nearestClass < classes.size()
                                 ? elasticConfidence(classes[nearestClass].threshold, nearest)
                                 : 0.0f;
    for (float minimum : {0.0f, confidence, std::nextafter(confidence, kInfinity)}) {
      const ElasticMatch match = bestElasticMatch(*probe, classes, scoring, minimum);
      EXPECT_EQ(match.distance, nearest) << trial;
      EXPECT_EQ(match.confidence, confidence) << trial;
      EXPECT_EQ(match.index,
                confidence >= minimum && confidence > 0.0f ? nearestClass : classes.size())
          << trial;
    }
  }
}

// Performances of the synthesized shapes by several users: distances as close as real ones, where
// the order of comparison and the bounds decide what is compared.
TEST(ElasticMatcher, PrunedSearchAmongPerformancesGivesTheNearestOfAll) {
  using GestalSynth::Shape;
  const Shape shapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown, Shape::Circle,
                          Shape::ZigZag};
  std::vector<std::vector<ElasticTemplatePtr>> templates;
  for (uint64_t user = 1; user <= 3; ++user) {
    for (Shape shape : shapes) {
      auto& members = templates.emplace_back();
      for (uint64_t repetition = 1; repetition <= 3; ++repetition) {
        members.push_back(std::make_shared<const ElasticTemplate>(makeElasticTemplate(
            GestalSynth::perform(GestalSynth::makeUser(user), shape, repetition))));
      }
    }
  }
  for (const ElasticScoring& scoring : {kGestureScoring, kSignatureScoring}) {
    std::vector<ElasticClass> classes;
    for (const auto& members : templates) {
      classes.push_back({members, elasticThreshold(members, scoring)});
    }
    for (uint64_t user = 1; user <= 4; ++user) {
      for (Shape shape : shapes) {
        const ElasticTemplate probe =
            makeElasticTemplate(GestalSynth::perform(GestalSynth::makeUser(user), shape, 7));
        std::size_t nearestClass = classes.size();
        float nearest = kInfinity;
        for (std::size_t c = 0; c < classes.size(); ++c) {
          for (const ElasticTemplatePtr& stored : classes[c].templates) {
            const float distance = elasticDistance(probe, *stored, scoring);
            if (distance < nearest) {
              nearest = distance;
              nearestClass = c;
            }
          }
        }
        const ElasticMatch match = bestElasticMatch(probe, classes, scoring, 0.0f);
        EXPECT_EQ(match.index, nearestClass);
        EXPECT_EQ(match.distance, nearest);
      }
    }
  }
}

TEST(ElasticMatcher, ThresholdFollowsTheClassSpreadWithinItsRange) {
  const ElasticScoring& scoring = kGestureScoring;
  std::mt19937 random(3);
  const ElasticTemplatePtr a = randomTemplate(random);
  const ElasticTemplatePtr b = randomTemplate(random);
  const ElasticTemplatePtr unusable = std::make_shared<const ElasticTemplate>();
  EXPECT_EQ(elasticThreshold(std::vector<ElasticTemplatePtr>{}, scoring), 0.0f);
  EXPECT_EQ(elasticThreshold(std::vector{unusable}, scoring), 0.0f);
  EXPECT_EQ(elasticThreshold(std::vector{a, unusable}, scoring), scoring.priorThreshold);
  const float spread = elasticDistance(*a, *b, scoring);
  EXPECT_FLOAT_EQ(
      elasticThreshold(std::vector{a, b}, scoring),
      scoring.priorThreshold * std::pow(spread / scoring.typicalSpread, scoring.spreadExponent));
  // Identical templates are held to the narrowest threshold the range allows, not to 0.
  EXPECT_FLOAT_EQ(elasticThreshold(std::vector{a, a}, scoring),
                  scoring.priorThreshold * std::pow(1.0f / 16.0f, scoring.spreadExponent));
  EXPECT_EQ(elasticSingleThreshold(*a, scoring), scoring.priorThreshold);
  EXPECT_EQ(elasticSingleThreshold(*unusable, scoring), 0.0f);

  // Turning templates: prior and typical spread both grow by 1 + 0.5 * 2 / 1.6, the majority of
  // a class deciding.
  ElasticTemplate turningA = *a, turningB = *b;
  turningA.turning = turningB.turning = true;
  const auto turnA = std::make_shared<const ElasticTemplate>(turningA);
  const auto turnB = std::make_shared<const ElasticTemplate>(turningB);
  const float unit = 1.625f;
  EXPECT_FLOAT_EQ(elasticSingleThreshold(turningA, scoring), scoring.priorThreshold * unit);
  EXPECT_FLOAT_EQ(elasticThreshold(std::vector{turnA, turnB}, scoring),
                  scoring.priorThreshold * unit *
                      std::pow(spread / (scoring.typicalSpread * unit), scoring.spreadExponent));
  EXPECT_FLOAT_EQ(elasticThreshold(std::vector{turnA, b, b}, scoring),
                  elasticThreshold(std::vector{a, b, b}, scoring));

  EXPECT_EQ(elasticConfidence(2.0f, 4.0f), 0.5f);
  EXPECT_EQ(elasticConfidence(2.0f, 0.0f), kElasticMaxConfidence);
  EXPECT_EQ(elasticConfidence(2.0f, kInfinity), 0.0f);
}

TEST(ElasticTemplate, KeepsTheShapeAndSetsSizeAndTimeAside) {
  const GestalSynth::User user = GestalSynth::makeUser(5);
  const MotionSample heart = GestalSynth::perform(user, GestalSynth::Shape::Heart, 1);
  MotionSample larger = heart;
  for (MotionEntry& entry : larger) {
    for (std::size_t k = kPrimaryX; k <= kPrimaryZ; ++k) entry[k] = 2.0f * entry[k] + 9.81f;
    for (std::size_t k = kSecondaryX; k <= kSecondaryZ; ++k) entry[k] *= 3.0f;
  }
  const ElasticTemplate original = makeElasticTemplate(heart);
  const ElasticTemplate scaled = makeElasticTemplate(larger);
  ASSERT_TRUE(original.usable);
  EXPECT_NEAR(scaled.level / original.level, 2.0f, 1e-4f);
  EXPECT_FLOAT_EQ(original.durationMs, heart.back()[kTime] - heart.front()[kTime]);
  EXPECT_LT(elasticDistance(original, scaled, kGestureScoring), 1e-3f);
  EXPECT_NEAR(elasticDistance(original, scaled, kSignatureScoring),
              kSignatureScoring.levelWeight * std::pow(std::log(2.0f), 2.0f), 1e-3f);

  // Held at another angle: near with the tilt tolerance, not without it.
  MotionSample turned = heart;
  const float c = std::cos(0.17453292f), s = std::sin(0.17453292f);
  for (MotionEntry& entry : turned) {
    for (std::size_t v : {kPrimaryX, kSecondaryX}) {
      const float x = entry[v], z = entry[v + 2];
      entry[v] = c * x + s * z;
      entry[v + 2] = -s * x + c * z;
    }
  }
  const ElasticTemplate tilted = makeElasticTemplate(turned);
  ElasticScoring upright = kGestureScoring;
  upright.tiltDegrees = 0.0f;
  EXPECT_LT(elasticDistance(original, tilted, kGestureScoring), 0.01f);
  EXPECT_GT(elasticDistance(original, tilted, upright), 0.1f);

  // Nothing to compare: too few readings with a usable primary vector, or no motion.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(makeElasticTemplate({}).usable);
  EXPECT_FALSE(makeElasticTemplate({{0, 1, 2, 3, 0, 0, 0, 0, 0, 1}}).usable);
  EXPECT_FALSE(makeElasticTemplate({{0, 1, 2, 3, 0, 0, 0, 0, 0, 1},
                                    {10, nan, 0, 0, 0, 0, 0, 0, 0, 1},
                                    {20, 0, 0, 0, 0, 0, 0, 0, 0, 1}})
                   .usable);
  EXPECT_FALSE(makeElasticTemplate(MotionSample(50, {0, 1, 1, 1, 0, 0, 0, 0, 0, 1})).usable);
  const ElasticTemplate noisyGyro =
      makeElasticTemplate({{0, 1, 0, 0, nan, 0, 0, 0, 0, 1}, {10, -1, 0, 0, 1, 0, 0, 0, 0, 1}});
  EXPECT_TRUE(noisyGyro.usable);
  EXPECT_TRUE(noisyGyro.turning);
  for (float value : noisyGyro.frames) EXPECT_TRUE(std::isfinite(value));
  EXPECT_TRUE(original.turning);
  EXPECT_FALSE(
      makeElasticTemplate({{0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, {10, -1, 0, 0, 0, 0, 0, 0, 0, 1}})
          .turning);
}

}  // namespace
