#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "core/Kernels.h"
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

// Type 1 reads thresholds 40, 190, 190, the others 260, 30, 320; beyond the symbol limit a
// recording raises out of buffer (a stored one for every comparison, below).
TEST(CoreCompare, ActivityUsesRowFiveOfTheVariantAndOverlongRecordingsRaise) {
  const GestalCore core;
  EXPECT_EQ(core.activityCount({}, 0), 0);
  const MotionSample sample = {reading(0, 0.5f, 2.0f), reading(20, 2.61f, 0.31f, -3.0f)};
  EXPECT_EQ(std::tuple(core.activityCount(sample, 1), core.activityCount(sample, 0),
                       core.activityCount(sample, 2)),
            std::tuple(4, 3, 3));
  MotionSample longest = GestalTest::oversized();
  EXPECT_THROW(core.similarityScore({reading(0, 3.0f)}, longest, 0, 0),
               GestalCoreOutOfBufferException);
  EXPECT_THROW(core.activityCount(longest, 0), GestalCoreOutOfBufferException);
  longest.pop_back();
  EXPECT_EQ(core.activityCount(longest, 0), 99996);
}

// One recording prepared once and compared with many, at every level and type, gives what the
// kernel gives for the two recordings prepared anew: the same score, the same no-result, the same
// exception.
TEST(CoreCompare, APreparedRecordingComparesAsThePlainKernel) {
  std::mt19937 random(5);
  const auto recording = [&](std::size_t entries) {
    MotionSample sample;
    float time = static_cast<float>(random() % 3) * 7.0f;
    for (std::size_t i = 0; i < entries; ++i) {
      const auto axis = [&] {
        return random() % 4 == 0 ? 0.0f : (random() % 1000) / 100.0f - 5.0f;
      };
      sample.push_back(reading(time, axis(), axis(), axis()));
      time += static_cast<float>(random() % 30);
    }
    return sample;
  };
  std::vector<MotionSample> stored = {{}, GestalTest::oversized()};
  for (int i = 0; i < 40; ++i) stored.push_back(recording(random() % 60));
  const GestalCore core(1.1f);
  for (const MotionSample& probeSample : {recording(50), recording(3), MotionSample{}}) {
    const PreparedRecording probe(probeSample);
    for (const MotionSample& a : stored) {
      const PreparedRecording first(a);
      for (uint32_t level : {0u, 1u, 2u, 3u, 4u, 5u, 0xFFFFFFFFu}) {
        for (uint32_t type : {0u, 1u, 2u, 3u}) {
          const int32_t index = core.toleranceIndex(level, type);
          float r = 0.0f;
          if (!a.empty() && !probeSample.empty() && index >= 0) {
            const PreparedSequence pa = core.prepareSequence(a, true);
            const PreparedSequence pb = core.prepareSequence(probeSample, true);
            r = signatureSimilarity(pa.data(), pb.data(), pa.length(), pb.length(), index,
                                    type == 1 ? 1 : 0);
          }
          if (r <= -3.0f) {
            EXPECT_THROW(core.compareSignatures(first, probe, level, type),
                         GestalCoreOutOfBufferException);
            EXPECT_THROW(core.similarityScore(first, probe, level, type),
                         GestalCoreOutOfBufferException);
            continue;
          }
          const float score = r < 0.0f ? 0.0f : r;
          EXPECT_EQ(fields(core.compareSignatures(first, probe, level, type)),
                    r < 0.0f || index < 0 || a.empty() || probeSample.empty()
                        ? std::tuple(false, 0.0f, 0.0f, 0.0f)
                        : std::tuple(score >= 1.1f, score, -1.0f, score));
          EXPECT_EQ(core.similarityScore(first, probe, level, type), score);
        }
      }
    }
  }
}

}  // namespace
}  // namespace GestalPrivate
