#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "conditioning/Conditioning.h"
#include "support/Thrown.h"

namespace {

using namespace GestalConditioning;
using GestalPrivate::MotionEntry;

TEST(ConditioningTest, AxisMapParsesSignsAndRefusesWhatIsNotThreeDistinctAxes) {
  const AxisMap map = parseAxisMap(" x, -z ,+y");
  EXPECT_EQ(map.source, (std::array<int, 3>{0, 2, 1}));
  EXPECT_EQ(map.sign, (std::array<int, 3>{1, -1, 1}));
  EXPECT_EQ(GestalTest::thrownText([] { parseAxisMap("x,y"); }),
            "axis map 'x,y': fewer than three axes (expected three of x, y, z, each once, e.g. "
            "x,-z,y)");
  for (const char* bad : {"x,x,z", "x,y,z,x", "x,y,w"})
    EXPECT_THROW(parseAxisMap(bad), std::invalid_argument) << bad;

  MotionSample sample{{5, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
  remapAxes(sample, map);
  EXPECT_EQ(sample, (MotionSample{{5, 1, -3, 2, 4, -6, 5, 7, -9, 8}}));
}

TEST(ConditioningTest, UnitsAndTimeBase) {
  MotionSample sample{{100, 1, -0.5f, 2, 1, 1, 1, 0, 0, -1}, {112.5f, 0, 0, 0, 0, 0, 0, 0, 0, -1}};
  scalePrimary(sample, kStandardGravity);
  rebaseTime(sample);
  EXPECT_EQ(sample, (MotionSample{{0, 9.80665f, -4.903325f, 19.6133f, 1, 1, 1, 0, 0, -1},
                                  {12.5f, 0, 0, 0, 0, 0, 0, 0, 0, -1}}));
}

TEST(ConditioningTest, ResampleInterpolatesEveryFieldBetweenTheReadingsAround) {
  const MotionSample sample{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                            {10, 1, 2, 0, 0, 0, 0, 0, 0, 1},
                            {10, 9, 9, 9, 9, 9, 9, 9, 9, 9},
                            {32, 5.4f, 2, 0, 0, 0, 0, 0, 0, 1}};
  const MotionSample out = resample(sample, 200.0);
  // Every 5 ms from 0 to 30; at the repeated time 10 the later reading counts.
  ASSERT_EQ(out.size(), 7u);
  EXPECT_EQ(out[1], (MotionEntry{5, 0.5f, 1, 0, 0, 0, 0, 0, 0, 0.5f}));
  EXPECT_EQ(out[2], (MotionEntry{10, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
  EXPECT_EQ(out[6][0], 30.0f);
  EXPECT_FLOAT_EQ(out[6][1], 9 + (5.4 - 9) * 20 / 22);
  EXPECT_EQ(resample({{0, 1, 1, 1, 0, 0, 0, 0, 0, 1}}, 100.0).size(), 1u);
  const MotionSample backwards{{10, 1, 0, 0, 0, 0, 0, 0, 0, 0}, {5, 2, 0, 0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(resample(backwards, 100.0), backwards);
}

TEST(ConditioningTest, LowPassRunsForwardThenBackwardWithTheTimeStepWeights) {
  // w = 1 - exp(-2 pi 0.5 Hz 10 ms); forward 0, w, 2w - w^2; backward from the last value.
  const double w = 1.0 - std::exp(-std::numbers::pi / 100.0);
  const double values[] = {0, 1, 1};
  const double times[] = {0, 10, 20};
  double out[3];
  zeroPhaseLowPass(values, times, 3, 0.5, out);
  const double last = 2 * w - w * w;
  const double middle = last + w * (w - last);
  EXPECT_DOUBLE_EQ(out[2], last);
  EXPECT_DOUBLE_EQ(out[1], middle);
  EXPECT_DOUBLE_EQ(out[0], middle * (1 - w));

  // Held gravity comes out as exactly zero, and a repeated time stamp holds the filter still.
  MotionSample still{{0, 0, 9.80665f, 0.5f, 1, 2, 3, 0, 0, -1},
                     {10, 0, 9.80665f, 0.5f, 1, 2, 3, 0, 0, -1},
                     {10, 0, 9.80665f, 0.5f, 1, 2, 3, 0, 0, -1}};
  removeGravityLowPass(still);
  for (const MotionEntry& entry : still) {
    EXPECT_EQ(entry, (MotionEntry{entry[0], 0, 0, 0, 1, 2, 3, 0, 0, -1}));
  }
}

}  // namespace
