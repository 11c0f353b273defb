#include "core/ElasticMatcher.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace GestalPrivate {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr uint32_t kValues = kElasticFrames * kElasticDims;

// Float sums of the bound and of the warping distance round differently; a template is skipped or
// abandoned only when it is beyond its limit by more than that.
constexpr float kRoundingMargin = 1.001f;

// A spread estimated from a few templates is kept within this factor of the typical one, so that
// identical templates (spread 0) or one wild template still give a usable threshold.
constexpr float kSpreadRange = 16.0f;

// The prior and the typical spread of a scoring are those of templates whose secondary vector
// holds still. Where it turns, its frames add to every distance, and both grow by this factor:
// the rotation counted at half its weight, since turning rates vary less between performances of
// one motion than the weight they are given for telling motions apart.
constexpr float kTurningUnit =
    1.0f + 0.5f * kElasticRotationWeight / (1.0f + kElasticVelocityWeight);

float unitOf(bool turning) {
  return turning ? kTurningUnit : 1.0f;
}

float squaredLogRatio(float a, float b) {
  if (!(a > 0.0f) || !(b > 0.0f)) return 0.0f;
  const float ratio = std::log(a / b);
  return ratio * ratio;
}

float penalty(const ElasticTemplate& a, const ElasticTemplate& b, const ElasticScoring& scoring) {
  float sum = 0.0f;
  if (scoring.durationWeight != 0.0f) {
    sum += scoring.durationWeight * squaredLogRatio(a.durationMs, b.durationMs);
  }
  if (scoring.levelWeight != 0.0f) sum += scoring.levelWeight * squaredLogRatio(a.level, b.level);
  return sum;
}

// The frames of a template as compared: itself, and with a tilt tolerance its two copies turned
// about the vertical (y) axis, as when the user faces a little aside or the controller is held
// turned.
std::vector<ElasticTemplate> variantsOf(const ElasticTemplate& recording,
                                        const ElasticScoring& scoring) {
  std::vector<ElasticTemplate> variants{recording};
  if (scoring.tiltDegrees == 0.0f) return variants;
  const double angle = scoring.tiltDegrees * std::numbers::pi / 180.0;
  for (const double turn : {angle, -angle}) {
    const float c = static_cast<float>(std::cos(turn));
    const float s = static_cast<float>(std::sin(turn));
    ElasticTemplate& turned = variants.emplace_back(recording);
    // x and z of each of the three vectors.
    for (uint32_t vector = 0; vector < kElasticDims; vector += 3) {
      float* x = &turned.frames[vector * kElasticFrames];
      float* z = &turned.frames[(vector + 2) * kElasticFrames];
      for (uint32_t i = 0; i < kElasticFrames; ++i) {
        const float vx = x[i];
        const float vz = z[i];
        x[i] = c * vx + s * vz;
        z[i] = c * vz - s * vx;
      }
    }
  }
  return variants;
}

// A recording compared with many: its variants, the envelope of each for LB_Keogh, and the
// envelope of them all by segments (a coarse bound of a few values, against the segment means of
// the other template: the distance of values from an interval is convex, so the distance of their
// mean bounds their mean distance).
struct Probe {
  std::vector<ElasticTemplate> variants;
  std::vector<float> upper;
  std::vector<float> lower;
  float segmentUpper[kElasticSegments * kElasticDims];
  float segmentLower[kElasticSegments * kElasticDims];

  Probe(const ElasticTemplate& recording, const ElasticScoring& scoring)
      : variants(variantsOf(recording, scoring)),
        upper(variants.size() * kValues),
        lower(variants.size() * kValues) {
    std::fill(std::begin(segmentUpper), std::end(segmentUpper), -kInfinity);
    std::fill(std::begin(segmentLower), std::end(segmentLower), kInfinity);
    for (std::size_t v = 0; v < variants.size(); ++v) {
      const float* top = &upper[v * kValues];
      const float* bottom = &lower[v * kValues];
      keoghEnvelope(variants[v].frames.data(), kElasticFrames, kElasticDims, kElasticBand,
                    &upper[v * kValues], &lower[v * kValues]);
      for (uint32_t i = 0; i < kValues; ++i) {
        const uint32_t segment = i / kElasticSegment;  // a segment never spans two values
        segmentUpper[segment] = std::max(segmentUpper[segment], top[i]);
        segmentLower[segment] = std::min(segmentLower[segment], bottom[i]);
      }
    }
  }

  // The coarse bound of the distance to `stored`, without its penalty.
  float coarseBound(const ElasticTemplate& stored) const {
    return static_cast<float>(kElasticSegment) *
           keoghBound(segmentUpper, segmentLower, stored.segments.data(), kElasticSegments,
                      kElasticDims, kInfinity) /
           static_cast<float>(kElasticFrames);
  }

  // The distance to `stored`, or +infinity as soon as it is known to exceed `abandonAbove`.
  float distanceTo(const ElasticTemplate& stored, const ElasticScoring& scoring,
                   float abandonAbove) const {
    const float extra = penalty(variants.front(), stored, scoring);
    if (extra > abandonAbove) return kInfinity;
    const float scale = static_cast<float>(kElasticFrames);
    const auto limitOf = [&](float bound) { return (bound - extra) * scale * kRoundingMargin; };
    float nearest = kInfinity;
    for (std::size_t v = 0; v < variants.size(); ++v) {
      const float bound = std::min(abandonAbove, nearest);
      const float variantLimit = limitOf(bound);
      if (keoghBound(&upper[v * kValues], &lower[v * kValues], stored.frames.data(), kElasticFrames,
                     kElasticDims, variantLimit) > variantLimit) {
        continue;
      }
      const float sum = dtwDistance(variants[v].frames.data(), stored.frames.data(), kElasticFrames,
                                    kElasticDims, kElasticBand, variantLimit);
      nearest = std::min(nearest, sum / scale + extra);
    }
    return nearest;
  }
};

}  // namespace

float elasticDistance(const ElasticTemplate& a, const ElasticTemplate& b,
                      const ElasticScoring& scoring) {
  if (!a.usable || !b.usable) return kInfinity;
  return Probe(a, scoring).distanceTo(b, scoring, kInfinity);
}

float elasticThreshold(std::span<const ElasticTemplatePtr> templates,
                       const ElasticScoring& scoring) {
  std::vector<const ElasticTemplate*> usable;
  for (const ElasticTemplatePtr& stored : templates) {
    if (stored->usable) usable.push_back(stored.get());
  }
  if (usable.empty()) return 0.0f;
  if (usable.size() == 1) return elasticSingleThreshold(*usable.front(), scoring);
  // Leave one out: each template as a new performance, its distance to the nearest of the others.
  std::vector<float> nearest(usable.size(), kInfinity);
  for (std::size_t i = 0; i < usable.size(); ++i) {
    const Probe probe(*usable[i], scoring);
    for (std::size_t j = i + 1; j < usable.size(); ++j) {
      const float distance = probe.distanceTo(*usable[j], scoring, kInfinity);
      nearest[i] = std::min(nearest[i], distance);
      nearest[j] = std::min(nearest[j], distance);
    }
  }
  double sum = 0.0;
  std::size_t turning = 0;
  for (std::size_t i = 0; i < usable.size(); ++i) {
    sum += nearest[i];
    if (usable[i]->turning) ++turning;
  }
  // A class of both kinds (a controller swapped for one without a gyroscope) takes the majority's.
  const float unit = unitOf(2 * turning > usable.size());
  const float typical = scoring.typicalSpread * unit;
  const float spread = static_cast<float>(sum / usable.size());
  const float relative = std::clamp(spread / typical, 1.0f / kSpreadRange, kSpreadRange);
  return scoring.priorThreshold * unit * std::pow(relative, scoring.spreadExponent);
}

float elasticSingleThreshold(const ElasticTemplate& stored, const ElasticScoring& scoring) {
  return stored.usable ? scoring.priorThreshold * unitOf(stored.turning) : 0.0f;
}

float elasticConfidence(float threshold, float distance) {
  if (!(distance < kInfinity)) return 0.0f;
  if (distance * kElasticMaxConfidence <= threshold) return kElasticMaxConfidence;
  return threshold / distance;
}

ElasticMatch bestElasticMatch(const ElasticTemplate& probe, std::span<const ElasticClass> classes,
                              const ElasticScoring& scoring, float minConfidence) {
  ElasticMatch best;
  best.index = classes.size();
  if (!probe.usable) return best;
  const Probe compared(probe, scoring);
  // The templates in the order of their coarse bounds, so that a near one comes early and the
  // distance to beat shrinks fast; a template only has to be compared in full while it may come
  // nearer than the nearest so far. On equal distances the class listed first wins, whatever the
  // order of comparison.
  struct Candidate {
    float bound;
    std::size_t classIndex;
    const ElasticTemplate* stored;
  };
  std::vector<Candidate> order;
  for (std::size_t c = 0; c < classes.size(); ++c) {
    if (!(classes[c].threshold > 0.0f)) continue;
    for (const ElasticTemplatePtr& stored : classes[c].templates) {
      if (stored->usable) {
        order.push_back(
            {compared.coarseBound(*stored) + penalty(probe, *stored, scoring), c, stored.get()});
      }
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Candidate& a, const Candidate& b) { return a.bound < b.bound; });
  std::size_t nearestClass = classes.size();
  float nearest = kInfinity;
  for (const Candidate& candidate : order) {
    if (candidate.bound > nearest * kRoundingMargin) break;
    const float distance = compared.distanceTo(*candidate.stored, scoring, nearest);
    if (distance < nearest || (distance == nearest && candidate.classIndex < nearestClass)) {
      nearest = distance;
      nearestClass = candidate.classIndex;
    }
  }
  if (nearestClass == classes.size()) return best;
  best.distance = nearest;
  best.confidence = elasticConfidence(classes[nearestClass].threshold, nearest);
  if (best.confidence >= minConfidence) best.index = nearestClass;
  return best;
}

}  // namespace GestalPrivate
