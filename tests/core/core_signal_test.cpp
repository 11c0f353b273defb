#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/GestalCore.h"
#include "support/Recordings.h"

namespace GestalPrivate {
namespace {

using GestalTest::reading;

MotionEntry pointing(float x, float y, float z) {
  return {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, x, y, z};
}

std::vector<int16_t> times(const PreparedSequence& prepared) {
  std::vector<int16_t> out;
  for (uint32_t i = 0; i < prepared.length(); i += 4) out.push_back(prepared.values[i]);
  return out;
}

TEST(CorePrepare, DecimationFollowsTheGridOfKeptEntries) {
  const GestalCore core;
  MotionSample sample;
  for (float t : {0.0f, 11.0f, 22.0f, 33.0f, 44.0f, 55.0f}) sample.push_back(reading(t, 1.0f));
  EXPECT_EQ(times(core.prepareSequence(sample, true)), (std::vector<int16_t>{0, 11, 22, 44}));
  EXPECT_EQ(core.prepareSequence(sample, false).length(), 24u);

  // An empty entry that meets the grid neither is kept nor moves the grid.
  const MotionSample gap = {reading(0, 1), reading(10, 0), reading(12, 1), reading(15, 1),
                            reading(20, 1)};
  EXPECT_EQ(times(core.prepareSequence(gap, true)), (std::vector<int16_t>{0, 12, 20}));

  // Times far from zero lie beyond the grid, so nothing is skipped.
  const MotionSample late = {reading(5000, 1), reading(5001, 1), reading(5002, 1)};
  EXPECT_EQ(core.prepareSequence(late, true).length(), 12u);

  EXPECT_EQ(core.prepareSequence({}, true).length(), 0u);
  EXPECT_EQ(core.prepareSequence({reading(0, 0), reading(20, -0.0f)}, false).length(), 0u);
}

TEST(CorePrepare, ValuesAreTruncatedFloatProductsWrappedTo16Bits) {
  const GestalCore core;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const MotionSample sample = {reading(70000.9f, 1.234f, -1.239f, 400.0f),
                               reading(-3.7f, 0.29f, -327.68f, 327.68f),
                               reading(1.0f, nan, 1e10f, -0.001f)};
  // 0.29f * 100 rounds to 29 in float (28.99999... in double).
  EXPECT_EQ(core.prepareSequence(sample, false).values,
            (std::vector<int16_t>{4464, 123, -123, -25536, -3, 29, -32768, -32768, 1, 0, 0, 0}));
}

TEST(CoreMeasures, SampleRateCountsNonEmptyEntriesOverTheSpan) {
  const GestalCore core;
  MotionSample sample;
  for (int i = 0; i <= 10; ++i) sample.push_back(reading(20.0f * i, 1.0f));
  EXPECT_EQ(core.sampleRate(sample), 55.0f);
  sample[3] = reading(60.0f, 0.0f);
  EXPECT_EQ(core.sampleRate(sample), 50.0f);
  EXPECT_EQ(core.sampleRate({reading(0, 1)}), 0.0f);
  EXPECT_EQ(core.sampleRate({reading(0, 1), reading(0, 1)}),
            std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(core.sampleRate({reading(5, 0), reading(5, 0)})));
}

TEST(CoreMeasures, ComplexityBucketsScaleWithTheRate) {
  const GestalCore core;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    int32_t activity;
    float rate;
    int32_t level;
  } cases[] = {{50, 50, 0}, {51, 50, 1}, {140, 90, 2}, {200, 50, 3}, {260, 50, 4}, {261, 100, 5},
               {45, 25, 1}, {46, 25, 2}, {0, 0, 0},    {1, 0, 5},    {50, inf, 0}, {0, nan, 5}};
  for (const auto& c : cases)
    EXPECT_EQ(core.complexityLevel(c.activity, c.rate), c.level) << c.activity << " " << c.rate;
}

TEST(CoreMeasures, LengthAndLimits) {
  const GestalCore core;
  EXPECT_FALSE(core.isLongEnough({reading(0, 1)}));
  EXPECT_FALSE(core.isLongEnough({reading(0, 1), reading(249.9f, 1)}));
  EXPECT_TRUE(core.isLongEnough({reading(0, 1), reading(250, 1)}));

  EXPECT_TRUE(core.isWithinLimits({reading(0, 1), reading(5, 1), reading(10000, 1)}, 800));
  EXPECT_FALSE(core.isWithinLimits({reading(0, 1), reading(5, 1), reading(10000, 1)}, 801));
  EXPECT_FALSE(core.isWithinLimits({reading(0, 1), reading(5, 1), reading(10001, 1)}, 0));
  EXPECT_TRUE(core.isWithinLimits({reading(0, 1), reading(20000, 1)}, 0));
}

TEST(CoreMeasures, PostureRefusesMostlyUpwardDirections) {
  const GestalCore core;
  EXPECT_TRUE(core.isPostureAcceptable({pointing(0, 0, 0), pointing(0, 0, 0)}));
  EXPECT_TRUE(core.isPostureAcceptable({pointing(0, 0, 1), pointing(1, 0, 0)}));
  EXPECT_FALSE(core.isPostureAcceptable({pointing(0, 0, 1), pointing(1, 0, 0), pointing(0, 1, 1)}));
  // Downward and beyond-60-degree vectors lie outside the cone.
  EXPECT_TRUE(core.isPostureAcceptable({pointing(0, 0, -1), pointing(2, 0, 1), pointing(0, 0, 1)}));
  EXPECT_TRUE(core.isPostureAcceptable({}));
}

TEST(CoreMeasures, MotionRatioWeighsEntriesByTheirRunPosition) {
  const GestalCore core;
  // Squared magnitudes 16, 16, 1, 16: strong 1 + 2 + 1, weak 1.
  const MotionSample sample = {reading(0, 4), reading(1, 0, 4), reading(2, 1),
                               reading(3, 0, 0, -4)};
  EXPECT_EQ(core.motionRunRatio(sample), 0.8f);
  EXPECT_TRUE(core.hasEnoughMotion(sample));
  // Weak 1 + 2 + 3 after one strong entry.
  EXPECT_EQ(core.motionRunRatio({reading(0, 4), reading(1, 1), reading(2, 1), reading(3, 1)}),
            1.0f / 7.0f);
  EXPECT_FALSE(core.hasEnoughMotion({reading(0, 4), reading(1, 1), reading(2, 1), reading(3, 1)}));
  EXPECT_EQ(core.motionRunRatio({reading(0, 0), reading(1, 0)}), 1.0f);
  EXPECT_EQ(core.motionRunRatio({reading(0, 1)}), 0.0f);
  EXPECT_EQ(core.motionRunRatio({}), 0.0f);
}

}  // namespace
}  // namespace GestalPrivate
