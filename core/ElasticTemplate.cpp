#include "core/ElasticTemplate.h"

#include <cmath>
#include <vector>

namespace GestalPrivate {
namespace {

constexpr uint32_t kVector = 3;

// Running sum of the frames of one vector with the line from its first to its last value taken
// off: what stays is the shape, not the drift that an offset left in the values would add.
void detrendedRunningSum(const float* in, float* out) {
  float sums[kVector] = {};
  for (uint32_t i = 0; i < kElasticFrames; ++i) {
    for (uint32_t k = 0; k < kVector; ++k) {
      sums[k] += in[i * kVector + k];
      out[i * kVector + k] = sums[k];
    }
  }
  for (uint32_t k = 0; k < kVector; ++k) {
    const float first = out[k];
    const float last = out[(kElasticFrames - 1) * kVector + k];
    for (uint32_t i = 0; i < kElasticFrames; ++i) {
      out[i * kVector + k] -=
          first + (last - first) * static_cast<float>(i) / static_cast<float>(kElasticFrames - 1);
    }
  }
}

}  // namespace

ElasticTemplate makeElasticTemplate(const MotionSample& sample) {
  ElasticTemplate result;
  std::vector<float> primary;
  std::vector<float> secondary;
  primary.reserve(sample.size() * kVector);
  secondary.reserve(sample.size() * kVector);
  const MotionEntry* first = nullptr;
  const MotionEntry* last = nullptr;
  for (const MotionEntry& entry : sample) {
    const float x = entry[kPrimaryX], y = entry[kPrimaryY], z = entry[kPrimaryZ];
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) continue;
    if (x == 0.0f && y == 0.0f && z == 0.0f) continue;
    primary.insert(primary.end(), {x, y, z});
    for (std::size_t k = kSecondaryX; k <= kSecondaryZ; ++k) {
      secondary.push_back(std::isfinite(entry[k]) ? entry[k] : 0.0f);
    }
    if (first == nullptr) first = &entry;
    last = &entry;
  }
  const uint32_t count = static_cast<uint32_t>(primary.size() / kVector);
  if (count < 2) return result;

  float acceleration[kElasticFrames * kVector];
  float velocity[kElasticFrames * kVector];
  float rotation[kElasticFrames * kVector];
  resampleByArea(primary.data(), count, kVector, acceleration, kElasticFrames);
  result.level = centreAndScale(acceleration, kElasticFrames, kVector);
  if (!(result.level > 0.0f) || !std::isfinite(result.level)) return result;
  detrendedRunningSum(acceleration, velocity);
  centreAndScale(velocity, kElasticFrames, kVector);
  resampleByArea(secondary.data(), count, kVector, rotation, kElasticFrames);
  // A secondary vector that holds still (or is absent) stays all 0 after centring.
  if (!std::isfinite(centreAndScale(rotation, kElasticFrames, kVector))) {
    std::fill(std::begin(rotation), std::end(rotation), 0.0f);
  }
  for (uint32_t i = 0; i < kElasticFrames; ++i) {
    float* frame = &result.frames[i * kElasticDims];
    for (uint32_t k = 0; k < kVector; ++k) {
      frame[k] = acceleration[i * kVector + k];
      frame[kVector + k] = kElasticVelocityWeight * velocity[i * kVector + k];
      frame[2 * kVector + k] = kElasticRotationWeight * rotation[i * kVector + k];
    }
  }
  resampleByArea(result.frames.data(), kElasticFrames, kElasticDims, result.segments.data(),
                 kElasticSegments);
  const float duration = (*last)[kTime] - (*first)[kTime];
  result.durationMs = std::isfinite(duration) && duration > 0.0f ? duration : 0.0f;
  result.usable = true;
  return result;
}

}  // namespace GestalPrivate
