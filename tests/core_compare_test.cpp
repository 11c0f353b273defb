#include <gtest/gtest.h>

#include "core/GestalCore.h"
#include "engine/Exceptions.h"

namespace GestalPrivate {
namespace {

MotionEntry entry(float time, float x, float y = 0.0f, float z = 0.0f) {
  return {time, x, y, z, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
}

// `count` entries 20 ms apart, each beyond every threshold on all three axes.
MotionSample busy(int count) {
  MotionSample sample;
  for (int i = 0; i < count; ++i) sample.push_back(entry(20.0f * i, 5.0f, -5.0f, 5.0f));
  return sample;
}

void expectNoResult(const MatchResult& r) {
  EXPECT_FALSE(r.matched);
  EXPECT_EQ(r.score, 0.0f);
  EXPECT_EQ(r.secondaryScore, 0.0f);
  EXPECT_EQ(r.bestScore, 0.0f);
}

TEST(CoreCompare, ToleranceRows) {
  const GestalCore core;
  const int32_t rows[3][5] = {{0, 1, 4, 5, 7}, {0, 2, 3, 7, 8}, {0, 1, 2, 5, 9}};
  for (uint32_t type = 0; type < 3; ++type) {
    for (uint32_t level = 0; level < 5; ++level)
      EXPECT_EQ(core.toleranceIndex(level, type), rows[type][level]) << type << " " << level;
    EXPECT_EQ(core.toleranceIndex(5, type), -1);
    EXPECT_EQ(core.toleranceIndex(0xFFFFFFFF, type), -1);
  }
  EXPECT_EQ(core.toleranceIndex(0, 3), -1);
}

TEST(CoreCompare, IdenticalAndPartialRecordings) {
  const GestalCore core(1.0f);
  const MotionSample one = {entry(0, 3.0f)};
  const MatchResult same = core.compareSignatures(one, one, 0, 0);
  EXPECT_TRUE(same.matched);
  EXPECT_EQ(same.score, 1.0f / 0.77f);
  EXPECT_EQ(same.secondaryScore, -1.0f);
  EXPECT_EQ(same.bestScore, same.score);
  EXPECT_EQ(core.similarityScore(one, one, 0, 0), 1.0f / 0.77f);

  // "aab" against "ab" at row 4 (F = 0.70): 0.952 misses 1.0 but passes a threshold of 0.9.
  const MotionSample aab = {entry(0, 3), entry(20, 3), entry(40, -3)};
  const MotionSample ab = {entry(0, 3), entry(20, -3)};
  const MatchResult partial = core.compareSignatures(aab, ab, 2, 0);
  EXPECT_FALSE(partial.matched);
  EXPECT_EQ(partial.score, 2.0f / (3.0f * 0.70f));
  EXPECT_TRUE(GestalCore(0.9f).compareSignatures(aab, ab, 2, 0).matched);

  // Signature type 1 reads row 3 of variant 1, type 2 row 2 of variant 0.
  const MotionSample y = {entry(0, 0, 1.81f), entry(20, 0, -1.81f)};
  EXPECT_EQ(core.similarityScore(y, y, 2, 1), 1.0f / 0.67f);
  EXPECT_EQ(core.similarityScore(y, y, 2, 2), 1.0f / 0.73f);
}

TEST(CoreCompare, NotComparableGivesNoResult) {
  const GestalCore core;
  const MotionSample one = {entry(0, 3.0f)};
  const MotionSample quiet = {entry(0, 0.1f)};
  for (const auto& [a, b, level, type] :
       {std::tuple{one, one, 5u, 0u}, std::tuple{one, one, 0u, 3u},
        std::tuple{one, one, 0xFFFFFFFFu, 0u}, std::tuple{MotionSample{}, one, 0u, 0u},
        std::tuple{one, MotionSample{}, 0u, 0u}, std::tuple{quiet, quiet, 0u, 0u},
        std::tuple{one, quiet, 0u, 0u}}) {
    expectNoResult(core.compareSignatures(a, b, level, type));
    EXPECT_EQ(core.similarityScore(a, b, level, type), 0.0f);
  }
}

TEST(CoreCompare, OverlongRecordingsRaiseOutOfBuffer) {
  const GestalCore core;
  const MotionSample longest = busy(33333);
  const MotionSample one = {entry(0, 3.0f)};
  EXPECT_THROW(core.compareSignatures(longest, one, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.compareSignatures(one, longest, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.similarityScore(longest, one, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.activityCount(longest, 0), GestalCoreOutOfBufferException);
  EXPECT_EQ(core.activityCount(busy(33332), 0), 99996);
}

TEST(CoreCompare, ActivityUsesRowFiveOfTheVariant) {
  const GestalCore core;
  EXPECT_EQ(core.activityCount({}, 0), 0);
  const MotionSample sample = {entry(0, 0.5f, 2.0f, 0.0f), entry(20, 2.61f, 0.31f, -3.0f)};
  // Thresholds 40, 190, 190 for type 1; 260, 30, 320 for the others.
  EXPECT_EQ(core.activityCount(sample, 1), 4);
  EXPECT_EQ(core.activityCount(sample, 0), 3);
  EXPECT_EQ(core.activityCount(sample, 2), 3);
}

}  // namespace
}  // namespace GestalPrivate
