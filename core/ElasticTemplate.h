#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/ElasticKernels.h"
#include "core/MotionSample.h"

namespace GestalPrivate {

// A recording in the form the elastic matcher compares: kElasticFrames frames of kElasticDims
// values (stored value by value, as the kernels take them), whatever the recording's length and
// rate. Each frame holds, averaged over its stretch of the recording,
//   0..2  the primary vector, centred on its mean over the recording and scaled to a root mean
//         square of 1 (so gravity left in, the size and the force of a performance do not count),
//   3..5  its running sum (the velocity's shape), the straight line from its first to its last
//         value taken off, centred and scaled alike, weighted by kElasticVelocityWeight,
//   6..8  the secondary vector (angular velocity), centred and scaled on its own and weighted by
//         kElasticRotationWeight (how the hand turns tells much of what it draws); all 0 for
//         recordings without one.
// What the scaling takes away is kept beside the frames: the duration and the primary's root mean
// square, which set signatures of different people apart.
inline constexpr uint32_t kElasticFrames = 32;
inline constexpr uint32_t kElasticDims = 9;
inline constexpr float kElasticVelocityWeight = 0.6f;
inline constexpr float kElasticRotationWeight = 2.0f;
// The frames averaged by runs of kElasticSegment, for a first, coarse bound of a distance.
inline constexpr uint32_t kElasticSegment = 4;
inline constexpr uint32_t kElasticSegments = kElasticFrames / kElasticSegment;
static_assert(kElasticFrames % kElasticSegment == 0, "segments cover the frames exactly");
// Frames pair with frames at most this far away: a fifth of the recording.
inline constexpr uint32_t kElasticBand = 6;

struct ElasticTemplate {
  std::array<float, kElasticFrames * kElasticDims> frames{};
  std::array<float, kElasticSegments * kElasticDims> segments{};
  float durationMs = 0.0f;  // from the first to the last reading used; 0 when time does not advance
  float level = 0.0f;       // root mean square of the primary vector around its mean
  bool turning = false;     // the secondary vector moves (its values are not all 0)
  // False for a recording that cannot be compared: fewer than two readings with a finite, non-zero
  // primary vector, or no motion at all. Such a template matches nothing.
  bool usable = false;
};

using ElasticTemplatePtr = std::shared_ptr<const ElasticTemplate>;

// Readings whose primary vector is not finite or is (0, 0, 0) are left out, as the other matcher
// leaves them out; a non-finite secondary value counts as 0.
ElasticTemplate makeElasticTemplate(const MotionSample& sample);

}  // namespace GestalPrivate
