#include "core/ElasticTemplate.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace GestalPrivate {
namespace {

constexpr uint32_t kVector = 3;

bool usableReading(const MotionEntry& entry) {
  const float x = entry[kPrimaryX], y = entry[kPrimaryY], z = entry[kPrimaryZ];
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) &&
         !(x == 0.0f && y == 0.0f && z == 0.0f);
}

// Running sum of the frames of one vector with the line from its first to its last value taken
// off: what stays is the shape, not the drift that an offset left in the values would add.
void detrendedRunningSum(const float* in, float* out) {
  for (uint32_t k = 0; k < kVector; ++k) {
    const float* row = in + k * kElasticFrames;
    float* sums = out + k * kElasticFrames;
    float sum = 0.0f;
    for (uint32_t i = 0; i < kElasticFrames; ++i) sums[i] = sum += row[i];
    const float first = sums[0];
    const float last = sums[kElasticFrames - 1];
    for (uint32_t i = 0; i < kElasticFrames; ++i) {
      sums[i] -=
          first + (last - first) * static_cast<float>(i) / static_cast<float>(kElasticFrames - 1);
    }
  }
}

}  // namespace

ElasticTemplate makeElasticTemplate(const MotionSample& sample) {
  ElasticTemplate result;
  const auto count =
      static_cast<uint32_t>(std::count_if(sample.begin(), sample.end(), usableReading));
  if (count < 2) return result;
  // Vector by vector, axis by axis: value k of reading i at k * count + i.
  std::vector<float> primary(static_cast<std::size_t>(count) * kVector);
  std::vector<float> secondary(primary.size());
  const MotionEntry* first = nullptr;
  const MotionEntry* last = nullptr;
  uint32_t i = 0;
  for (const MotionEntry& entry : sample) {
    if (!usableReading(entry)) continue;
    for (uint32_t k = 0; k < kVector; ++k) {
      primary[k * count + i] = entry[kPrimaryX + k];
      const float turning = entry[kSecondaryX + k];
      secondary[k * count + i] = std::isfinite(turning) ? turning : 0.0f;
    }
    if (first == nullptr) first = &entry;
    last = &entry;
    ++i;
  }

  float* const acceleration = result.frames.data();
  float* const velocity = acceleration + kVector * kElasticFrames;
  float* const rotation = velocity + kVector * kElasticFrames;
  resampleByArea(primary.data(), count, kVector, acceleration, kElasticFrames);
  result.level = centreAndScale(acceleration, kElasticFrames, kVector);
  if (!(result.level > 0.0f) || !std::isfinite(result.level)) return ElasticTemplate{};
  detrendedRunningSum(acceleration, velocity);
  centreAndScale(velocity, kElasticFrames, kVector);
  resampleByArea(secondary.data(), count, kVector, rotation, kElasticFrames);
  // A secondary vector that holds still (or is absent) stays all 0 after centring.
  const float turningLevel = centreAndScale(rotation, kElasticFrames, kVector);
  if (!std::isfinite(turningLevel)) std::fill(rotation, rotation + kVector * kElasticFrames, 0.0f);
  result.turning = std::isfinite(turningLevel) && turningLevel > 0.0f;
  for (uint32_t v = 0; v < kVector * kElasticFrames; ++v) {
    velocity[v] *= kElasticVelocityWeight;
    rotation[v] *= kElasticRotationWeight;
  }
  resampleByArea(result.frames.data(), kElasticFrames, kElasticDims, result.segments.data(),
                 kElasticSegments);
  const float duration = (*last)[kTime] - (*first)[kTime];
  result.durationMs = std::isfinite(duration) && duration > 0.0f ? duration : 0.0f;
  result.usable = true;
  return result;
}

}  // namespace GestalPrivate
