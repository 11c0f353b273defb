#include "signatures/ElasticSignatures.h"

#include <algorithm>
#include <set>

#include "core/ElasticMatcher.h"
#include "signatures/GestalDB.h"

namespace GestalPrivate {
namespace {

enum LearningMode : int32_t { kEverySample = 1, kWhenConfirmed = 2 };

// A host naming ever new action indexes must not grow the thresholds kept without end.
constexpr std::size_t kCalibrationLimit = 10000;

bool sameSignatures(const std::vector<ElasticTemplatePtr>& a,
                    const std::vector<ElasticTemplatePtr>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

ElasticSignatures::ElasticSignatures(GestalDB* db, const GSEnginePreferenceParameters& profile)
    : db_(db), profile_(copyPreferenceProfile(profile)) {}

const ElasticSignatures::Calibrated& ElasticSignatures::calibrated(int32_t action) {
  std::vector<ElasticTemplatePtr> templates =
      db_->getLastNElastic(static_cast<uint32_t>(profile_->storedSignatureLimit()), action);
  auto found = calibrations_.find(action);
  // The kept templates hold their pointers, so an equal pointer is the same decoded signature.
  if (found != calibrations_.end() && sameSignatures(found->second.templates, templates)) {
    return found->second;
  }
  Calibrated& entry = calibrations_[action];
  entry.threshold = elasticThreshold(templates, kSignatureScoring);
  entry.templates = std::move(templates);
  return entry;
}

std::vector<int32_t> ElasticSignatures::identify(const std::vector<int32_t>& actions,
                                                 const MotionSample& sample, float minConfidence) {
  if (calibrations_.size() >= kCalibrationLimit) calibrations_.clear();
  const std::size_t required = static_cast<std::size_t>(profile_->requiredSignatureCount());
  std::vector<int32_t> candidates;
  std::vector<const Calibrated*> stored;
  std::vector<ElasticClass> classes;
  std::set<int32_t> seen;
  for (int32_t action : actions) {
    if (!seen.insert(action).second) continue;
    const Calibrated& signatures = calibrated(action);
    // Like the symbol matcher, an action with too few signatures is never identified.
    if (signatures.templates.size() < required) continue;
    candidates.push_back(action);
    stored.push_back(&signatures);
  }
  for (const Calibrated* signatures : stored) {
    classes.push_back({signatures->templates, signatures->threshold});
  }
  const ElasticTemplate probe = makeElasticTemplate(sample);
  const ElasticMatch match = bestElasticMatch(probe, classes, kSignatureScoring, minConfidence);
  if (match.index >= candidates.size()) return {};
  learn(probe, sample, candidates[match.index], *stored[match.index], minConfidence);
  return {candidates[match.index]};
}

void ElasticSignatures::learn(const ElasticTemplate& probe, const MotionSample& sample,
                              int32_t action, const Calibrated& stored, float minConfidence) {
  const int32_t mode = profile_->adaptLearningMode();
  if (mode == kEverySample) {
    db_->addSignature(sample, action);
    return;
  }
  if (mode != kWhenConfirmed) return;
  const int32_t interval = profile_->learningIntervalSeconds();
  if (interval > 0 && db_->getLastSignatureTime(action) / 1000.0 > interval) {
    db_->addSignature(sample, action);
    return;
  }
  const std::size_t newest =
      std::min(stored.templates.size(),
               static_cast<std::size_t>(std::max(profile_->requiredSignatureCount(), 0)));
  std::size_t accepting = 0;
  for (std::size_t i = 0; i < newest; ++i) {
    const float distance = elasticDistance(*stored.templates[i], probe, kSignatureScoring);
    if (elasticConfidence(stored.threshold, distance) >= minConfidence) ++accepting;
  }
  if (static_cast<double>(accepting) > newest / 2.0) db_->addSignature(sample, action);
}

}  // namespace GestalPrivate
