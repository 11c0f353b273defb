#include <gtest/gtest.h>

#include <tuple>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "support/Recordings.h"

namespace GestalPrivate {
namespace {

using GestalTest::reading;

// Matched, score, secondary score, best score.
std::tuple<bool, float, float, float> fields(const MatchResult& r) {
  return {r.matched, r.score, r.secondaryScore, r.bestScore};
}

TEST(CoreCompare, IdenticalAndPartialRecordings) {
  const GestalCore core(1.0f);
  const MotionSample one = {reading(0, 3.0f)};
  EXPECT_EQ(fields(core.compareSignatures(one, one, 0, 0)),
            std::tuple(true, 1.0f / 0.77f, -1.0f, 1.0f / 0.77f));

  // "aab" against "ab" at row 4 (F = 0.70): 0.952 misses 1.0 but passes a threshold of 0.9.
  const MotionSample aab = {reading(0, 3), reading(20, 3), reading(40, -3)};
  const MotionSample ab = {reading(0, 3), reading(20, -3)};
  const float partial = 2.0f / (3.0f * 0.70f);
  EXPECT_EQ(fields(core.compareSignatures(aab, ab, 2, 0)),
            std::tuple(false, partial, -1.0f, partial));
  EXPECT_TRUE(GestalCore(0.9f).compareSignatures(aab, ab, 2, 0).matched);

  // Signature type 1 reads row 3 of variant 1, type 2 row 2 of variant 0.
  const MotionSample y = {reading(0, 0, 1.81f), reading(20, 0, -1.81f)};
  EXPECT_EQ(core.similarityScore(y, y, 2, 1), 1.0f / 0.67f);
  EXPECT_EQ(core.similarityScore(y, y, 2, 2), 1.0f / 0.73f);
}

TEST(CoreCompare, NotComparableGivesNoResult) {
  const GestalCore core;
  const MotionSample one = {reading(0, 3.0f)}, quiet = {reading(0, 0.1f)};
  for (const auto& [a, b, level, type] :
       {std::tuple{one, one, 5u, 0u}, std::tuple{one, one, 0u, 3u},
        std::tuple{MotionSample{}, one, 0u, 0u}, std::tuple{one, MotionSample{}, 0u, 0u},
        std::tuple{quiet, quiet, 0u, 0u}, std::tuple{one, quiet, 0u, 0u}}) {
    EXPECT_EQ(fields(core.compareSignatures(a, b, level, type)),
              std::tuple(false, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(core.similarityScore(a, b, level, type), 0.0f);
  }
}

TEST(CoreCompare, OverlongRecordingsRaiseOutOfBuffer) {
  const GestalCore core;
  MotionSample longest = GestalTest::oversized();
  const MotionSample one = {reading(0, 3.0f)};
  EXPECT_THROW(core.compareSignatures(longest, one, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.similarityScore(one, longest, 0, 0), GestalCoreOutOfBufferException);
  EXPECT_THROW(core.activityCount(longest, 0), GestalCoreOutOfBufferException);
  longest.pop_back();
  EXPECT_EQ(core.activityCount(longest, 0), 99996);
}

TEST(CoreCompare, ActivityUsesRowFiveOfTheVariant) {
  const GestalCore core;
  EXPECT_EQ(core.activityCount({}, 0), 0);
  const MotionSample sample = {reading(0, 0.5f, 2.0f), reading(20, 2.61f, 0.31f, -3.0f)};
  // Thresholds 40, 190, 190 for type 1; 260, 30, 320 for the others.
  EXPECT_EQ(std::tuple(core.activityCount(sample, 1), core.activityCount(sample, 0),
                       core.activityCount(sample, 2)),
            std::tuple(4, 3, 3));
}

}  // namespace
}  // namespace GestalPrivate
