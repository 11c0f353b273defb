#include <cmath>
#include <iostream>

#include "core/ElasticMatcher.h"
#include "core/Exceptions.h"
#include "core/GSEnginePreferenceParameters.h"
#include "core/GestalCore.h"
#include "core/Matcher.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"
#include "tools/gestal/Symbols.h"

namespace GestalTool {

using namespace GestalPrivate;

namespace {

constexpr std::size_t kAlignmentWidth = 100;

// The comparison of the library, or nothing when the kernels refuse the recordings.
struct Outcome {
  bool compared = false;
  MatchResult result;
};

Outcome compareAt(const MotionSample& a, const MotionSample& b, uint32_t level, uint32_t type) {
  try {
    return {true, GestalCore().compareSignatures(a, b, level, type)};
  } catch (const GestalCoreException&) {
    return {};
  }
}

std::string describe(const Outcome& outcome) {
  if (!outcome.compared) return "cannot be compared (beyond the kernels' buffers)";
  return "score " + fixed(outcome.result.score, 3) + (outcome.result.matched ? "  match" : "  no");
}

// The pair level of enrolment: the strictest level at which the two match, searched from level 2
// as enrolment searches it; -1 when they do not match even at level 4.
int32_t pairLevel(const MotionSample& a, const MotionSample& b, uint32_t type) {
  const auto matches = [&](uint32_t level) {
    const Outcome outcome = compareAt(a, b, level, type);
    return outcome.compared && outcome.result.matched;
  };
  if (matches(2)) return matches(1) ? (matches(0) ? 0 : 1) : 2;
  if (matches(3)) return 3;
  return matches(4) ? 4 : -1;
}

std::string distanceText(float distance) {
  return std::isfinite(distance) ? fixed(distance, 3)
                                 : std::string("none (A or B has too little motion to compare)");
}

}  // namespace

int runCompare(const std::string& firstPath, const std::string& secondPath) {
  const MotionSample a = readRecording(firstPath);
  const MotionSample b = readRecording(secondPath);
  std::ostream& out = std::cout;
  out << "A: " << firstPath << " (" << a.size() << " readings, " << fixed(durationSeconds(a), 3)
      << " s)\n";
  out << "B: " << secondPath << " (" << b.size() << " readings, " << fixed(durationSeconds(b), 3)
      << " s)\n";

  const auto type = static_cast<uint32_t>(GSEnginePreferenceParameters().signatureTypeMode());
  out << "signatures (type " << type << ", as the default profile enrols; a score of 1.0 "
      << "matches):\n";
  for (uint32_t level = 0; level <= 4; ++level) {
    out << "  level " << level << ": " << describe(compareAt(a, b, level, type)) << "\n";
  }
  const int32_t level = pairLevel(a, b, type);
  out << "  pair level: "
      << (level >= 0 ? std::to_string(level) : std::string("none (no match even at level 4)"))
      << "\n";

  out << "custom gestures (type 1):\n";
  out << "  identification and similarity, level 4: "
      << describe(compareAt(a, b, kCustomLevel, kCustomSignType)) << "\n";
  out << "  existence test, level 2: " << describe(compareAt(a, b, 2, kCustomSignType)) << "\n";

  // IsTwoGestureSimilar takes A as a gesture of one sample, with its one-sample threshold, and
  // asks for the matcher's default minimum.
  const ElasticTemplate elasticA = makeElasticTemplate(a);
  const ElasticTemplate elasticB = makeElasticTemplate(b);
  const float gestureDistance = elasticDistance(elasticA, elasticB, kGestureScoring);
  const float single = elasticSingleThreshold(elasticA, kGestureScoring);
  const float confidence = elasticConfidence(single, gestureDistance);
  const float minimum = MatcherChoice{}.minConfidence;
  out << "elastic matcher:\n";
  out << "  gesture distance: " << distanceText(gestureDistance) << "\n";
  out << "  similarity at the one-sample threshold " << fixed(single, 2) << ": confidence "
      << fixed(confidence, 3) << (confidence >= minimum ? "  similar" : "  not similar")
      << " (minimum " << fixed(minimum, 1) << ")\n";
  out << "  signature distance (duration and force counted): "
      << distanceText(elasticDistance(elasticA, elasticB, kSignatureScoring)) << "\n";

  const Thresholds thresholds = comparisonThresholds(kCustomLevel, kCustomSignType);
  const std::string first = symbolString(timedSymbols(a, thresholds));
  const std::string second = symbolString(timedSymbols(b, thresholds));
  const Alignment alignment = align(first, second);
  out << "alignment at the custom gesture thresholds (x " << fixed(thresholds.x / 100.0, 2)
      << ", y " << fixed(thresholds.y / 100.0, 2) << ", z " << fixed(thresholds.z / 100.0, 2)
      << " m/s^2): " << alignment.common << " common symbols of " << first.size() << " and "
      << second.size() << "\n";
  for (std::size_t at = 0; at < alignment.first.size(); at += kAlignmentWidth) {
    out << "  A " << alignment.first.substr(at, kAlignmentWidth) << "\n";
    out << "    " << alignment.marks.substr(at, kAlignmentWidth) << "\n";
    out << "  B " << alignment.second.substr(at, kAlignmentWidth) << "\n";
  }
  return 0;
}

}  // namespace GestalTool
