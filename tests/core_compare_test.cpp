#include <gtest/gtest.h>

#include "core/GestalCore.h"
#include "engine/Exceptions.h"

namespace GestalPrivate {
namespace {

MotionEntry entry(float time, float x, float y = 0.0f) {
  return {time, x, y, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
}

TEST(CoreCompare, IdenticalAndPartialRecordings) {
  const GestalCore core(1.0f);
  const MotionSample one = {entry(0, 3.0f)};
  const MatchResult same = core.compareSignatures(one, one, 0, 0);
  EXPECT_TRUE(same.matched);
  EXPECT_EQ(same.score, 1.0f / 0.77f);
  EXPECT_EQ(same.secondaryScore, -1.0f);
  EXPECT_EQ(same.bestScore, same.score);

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
  const MotionSample one = {entry(0, 3.0f)}, quiet = {entry(0, 0.1f)};
  for (const auto& [a, b, level, type] :
       {std::tuple{one, one, 5u, 0u}, std::tuple{one, one, 0u, 3u},
        std::tuple{MotionSample{}, one, 0u, 0u}, std::tuple{one, MotionSample{}, 0u, 0u},
        std::tuple{quiet, quiet, 0u, 0u}, std::tuple{one, quiet, 0u, 0u}}) {
    const MatchResult r = core.compareSignatures(a, b, level, type);
    EXPECT_EQ(std::tuple(r.matched, r.score, r.secondaryScore, r.bestScore),
              std::tuple(false, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(core.similarityScore(a, b, level, type), 0.0f);
  }
}

TEST(CoreCompare, OverlongRecordingsRaiseOutOfBuffer) {
  const GestalCore core;
  // Every entry beyond every threshold on all three axes: three symbols each.
  MotionSample longest(33333, {0.0f, 5.0f, -5.0f, 5.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f});
  for (size_t i = 0; i < longest.size(); ++i) longest[i][0] = 20.0f * static_cast<float>(i);
  const MotionSample one = {entry(0, 3.0f)};
  EXPECT_THROW(core.compareSignatures(longest, one, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.similarityScore(one, longest, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.activityCount(longest, 0), GestalCoreOutOfBufferException);
  longest.pop_back();
  EXPECT_EQ(core.activityCount(longest, 0), 99996);
}

TEST(CoreCompare, ActivityUsesRowFiveOfTheVariant) {
  const GestalCore core;
  EXPECT_EQ(core.activityCount({}, 0), 0);
  MotionSample sample = {entry(0, 0.5f, 2.0f), entry(20, 2.61f, 0.31f)};
  sample[1][3] = -3.0f;
  // Thresholds 40, 190, 190 for type 1; 260, 30, 320 for the others.
  EXPECT_EQ(core.activityCount(sample, 1), 4);
  EXPECT_EQ(core.activityCount(sample, 0), 3);
  EXPECT_EQ(core.activityCount(sample, 2), 3);
}

}  // namespace
}  // namespace GestalPrivate
