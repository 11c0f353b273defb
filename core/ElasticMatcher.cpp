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

// The frames of a template as compared: itself, and with a tilt tolerance its six turned copies.
std::vector<ElasticTemplate> variantsOf(const ElasticTemplate& recording,
                                        const ElasticScoring& scoring) {
  std::vector<ElasticTemplate> variants{recording};
  if (scoring.tiltDegrees == 0.0f) return variants;
  const double angle = scoring.tiltDegrees * std::numbers::pi / 180.0;
  for (uint32_t axis = 0; axis < 3; ++axis) {
    for (const double turn : {angle, -angle}) {
      const float c = static_cast<float>(std::cos(turn));
      const float s = static_cast<float>(std::sin(turn));
      const uint32_t a = (axis + 1) % 3;
      const uint32_t b = (axis + 2) % 3;
      ElasticTemplate& turned = variants.emplace_back(recording);
      for (uint32_t vector = 0; vector < kValues; vector += 3) {
        float* v = &turned.frames[vector];
        const float va = v[a];
        const float vb = v[b];
        v[a] = c * va - s * vb;
        v[b] = s * va + c * vb;
      }
    }
  }
  return variants;
}

// A recording compared with many: its variants and the envelope of each, for LB_Keogh.
struct Probe {
  std::vector<ElasticTemplate> variants;
  std::vector<float> upper;
  std::vector<float> lower;

  Probe(const ElasticTemplate& recording, const ElasticScoring& scoring)
      : variants(variantsOf(recording, scoring)),
        upper(variants.size() * kValues),
        lower(variants.size() * kValues) {
    for (std::size_t v = 0; v < variants.size(); ++v) {
      keoghEnvelope(variants[v].frames.data(), kElasticFrames, kElasticDims, kElasticBand,
                    &upper[v * kValues], &lower[v * kValues]);
    }
  }

  // The distance to `stored`, or +infinity as soon as it is known to exceed `abandonAbove`.
  float distanceTo(const ElasticTemplate& stored, const ElasticScoring& scoring,
                   float abandonAbove) const {
    const float extra = penalty(variants.front(), stored, scoring);
    float nearest = kInfinity;
    for (std::size_t v = 0; v < variants.size(); ++v) {
      const float bound = std::min(abandonAbove, nearest);
      if (extra > bound) break;
      const float limit = (bound - extra) * static_cast<float>(kElasticFrames) * kRoundingMargin;
      if (keoghBound(&upper[v * kValues], &lower[v * kValues], stored.frames.data(), kElasticFrames,
                     kElasticDims, limit) > limit) {
        continue;
      }
      const float sum = dtwDistance(variants[v].frames.data(), stored.frames.data(), kElasticFrames,
                                    kElasticDims, kElasticBand, limit);
      nearest = std::min(nearest, sum / static_cast<float>(kElasticFrames) + extra);
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
  double sum = 0.0;
  std::size_t pairs = 0;
  std::size_t usable = 0;
  for (std::size_t i = 0; i < templates.size(); ++i) {
    if (!templates[i]->usable) continue;
    ++usable;
    const Probe probe(*templates[i], scoring);
    for (std::size_t j = i + 1; j < templates.size(); ++j) {
      if (!templates[j]->usable) continue;
      sum += probe.distanceTo(*templates[j], scoring, kInfinity);
      ++pairs;
    }
  }
  if (usable == 0) return 0.0f;
  const float spread = pairs == 0 ? scoring.typicalSpread : static_cast<float>(sum / pairs);
  const float relative =
      std::clamp(spread / scoring.typicalSpread, 1.0f / kSpreadRange, kSpreadRange);
  return scoring.priorThreshold * std::pow(relative, scoring.spreadExponent);
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
  // The nearest template of all decides; a template only has to be compared in full while it may
  // come nearer than the nearest one so far.
  std::size_t nearestClass = classes.size();
  float nearest = kInfinity;
  for (std::size_t c = 0; c < classes.size(); ++c) {
    if (!(classes[c].threshold > 0.0f)) continue;
    for (const ElasticTemplatePtr& stored : classes[c].templates) {
      if (!stored->usable) continue;
      const float distance = compared.distanceTo(*stored, scoring, nearest);
      if (distance < nearest) {
        nearest = distance;
        nearestClass = c;
      }
    }
  }
  if (nearestClass == classes.size()) return best;
  best.distance = nearest;
  best.confidence = elasticConfidence(classes[nearestClass].threshold, nearest);
  if (best.confidence >= minConfidence) best.index = nearestClass;
  return best;
}

}  // namespace GestalPrivate
