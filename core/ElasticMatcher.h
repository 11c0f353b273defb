#pragma once

#include <cstddef>
#include <limits>
#include <span>

#include "core/ElasticTemplate.h"

namespace GestalPrivate {

// How the elastic matcher scores one kind of recording. The distance of two templates is their
// warping distance per frame, plus, for signatures, the squared logarithms of the ratios of their
// durations and levels times the weights. With a tilt tolerance, the first template is also
// compared turned by that angle, one way and the other, about the vertical axis (all three vectors
// of a frame turn together), and the nearest of the three counts. A class (a gesture, an action) of
// several templates is as far from a recording as its nearest template, and accepts it within its
// threshold:
//   threshold = priorThreshold * (spread / typicalSpread) ^ spreadExponent,
// where spread is the class's leave-one-out distance (each template's distance to the nearest of
// the others, averaged) and typicalSpread stands in for a class of one template. Both constants are
// those of templates whose secondary vector holds still; for a class of mostly turning templates,
// whose distances are larger, both grow by one factor (see kTurningUnit). The exponent
// below 1 shrinks the estimate from a few templates toward the prior: the spread of a few
// performances in one sitting tells only part of how far later ones will stray. The confidence of a
// match is the threshold divided by the distance: 1 at the limit of acceptance, 2 at half of it, at
// most kElasticMaxConfidence.
struct ElasticScoring {
  float durationWeight;
  float levelWeight;
  float tiltDegrees;
  float priorThreshold;
  float typicalSpread;
  float spreadExponent;
};

// Custom gestures: the shape alone, since a gesture drawn larger, faster or with the controller a
// little tilted is the same gesture.
inline constexpr ElasticScoring kGestureScoring{0.0f, 0.0f, 10.0f, 1.78f, 1.0f, 0.35f};
// Signatures: also how long and how forceful, and at which angle, which are part of a person's
// way of moving.
inline constexpr ElasticScoring kSignatureScoring{3.0f, 3.0f, 0.0f, 1.4f, 1.0f, 0.75f};

inline constexpr float kElasticMaxConfidence = 100.0f;

// The distance of two templates under `scoring`; +infinity when either is not usable.
float elasticDistance(const ElasticTemplate& a, const ElasticTemplate& b,
                      const ElasticScoring& scoring);

// The acceptance threshold of a class made of `templates` (see ElasticScoring); 0 when none is
// usable.
float elasticThreshold(std::span<const ElasticTemplatePtr> templates,
                       const ElasticScoring& scoring);

// The threshold of a class of `stored` alone, as elasticThreshold gives it: the prior, for a
// turning template grown as its distances grow; 0 when it is not usable.
float elasticSingleThreshold(const ElasticTemplate& stored, const ElasticScoring& scoring);

// threshold / distance, capped at kElasticMaxConfidence; 0 for an infinite distance.
float elasticConfidence(float threshold, float distance);

// One class of templates with its threshold, as elasticThreshold gives it.
struct ElasticClass {
  std::span<const ElasticTemplatePtr> templates;
  float threshold = 0.0f;
};

// The nearest class and how confidently it matches. `index` is the class count when no class has
// a usable template or the nearest one's confidence is below the minimum asked for; `confidence`
// and `distance` are still those of the nearest class then (0 and infinity without one).
struct ElasticMatch {
  std::size_t index = 0;
  float confidence = 0.0f;
  float distance = std::numeric_limits<float>::infinity();
};

// The class of the template nearest to the probe (the first one on equal distances), accepted
// when its confidence reaches `minConfidence`: an undefined gesture near a defined one is refused
// by that one's threshold rather than given to another. Bounds (LB_Keogh against the probe's
// envelope) and early abandoning skip the templates that cannot come nearer, so the answer is the
// one comparing every template in full would give.
ElasticMatch bestElasticMatch(const ElasticTemplate& probe, std::span<const ElasticClass> classes,
                              const ElasticScoring& scoring, float minConfidence);

}  // namespace GestalPrivate
