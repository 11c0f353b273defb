#include "signatures/AdaptLearning.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "signatures/GestalDB.h"

namespace GestalPrivate {
namespace {

enum LearningMode : int32_t { kOff = 0, kEverySample = 1, kWhenConfirmed = 2 };

// The best candidate is learned only when it leads the runner-up clearly.
constexpr double kLeadRatio = 1.2;

}  // namespace

AdaptLearning::AdaptLearning(GestalDB* db, const GSEnginePreferenceParameters& profile,
                             float verifyMatchThreshold)
    : db_(db),
      profile_(copyPreferenceProfile(profile)),
      verifyMatchThreshold_(verifyMatchThreshold),
      adaptStrength_(std::make_unique<AdaptStrength>(db, profile, verifyMatchThreshold)) {}

AdaptLearning::~AdaptLearning() = default;

void AdaptLearning::learnFromMatch(const MotionSample& sample, int32_t actionIndex) {
  if (profile_->adaptLearningMode() == kOff) return;
  adaptStrength_->updateStrength(actionIndex, sample);
  learn(sample, actionIndex);
}

void AdaptLearning::learnFromCandidates(const MotionSample& sample,
                                        const std::map<int32_t, float>& candidates) {
  if (profile_->adaptLearningMode() == kOff) return;
  std::vector<std::pair<int32_t, float>> ranked(candidates.begin(), candidates.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (ranked.empty()) throw std::out_of_range("invalid vector<T> subscript");
  adaptStrength_->updateStrength(ranked[0].first, sample);
  if (ranked.size() < 2) throw std::out_of_range("invalid vector<T> subscript");
  const float lead = ranked[0].second / ranked[1].second;
  if (static_cast<double>(lead) > kLeadRatio) learn(sample, ranked[0].first);
}

void AdaptLearning::learn(const MotionSample& sample, int32_t actionIndex) {
  const int32_t mode = profile_->adaptLearningMode();
  if (mode == kEverySample) {
    db_->addSignature(sample, actionIndex);
    return;
  }
  if (mode != kWhenConfirmed) return;

  const uint32_t required = static_cast<uint32_t>(profile_->requiredSignatureCount());
  const std::vector<StoredSignature> stored = db_->getLastNSignature(required, actionIndex);
  const int32_t strength = db_->getActionStrength(actionIndex);
  const int32_t type = db_->getSignatureType(actionIndex);
  if (stored.size() < required || strength == -1) return;

  // A signature not refreshed for a whole interval takes the sample without comparing.
  const int32_t interval = profile_->learningIntervalSeconds();
  if (interval > 0 && db_->getLastSignatureTime(actionIndex) / 1000.0 > interval) {
    db_->addSignature(sample, actionIndex);
    return;
  }

  GestalCore core(verifyMatchThreshold_);
  const PreparedRecording prepared(sample);
  std::size_t matched = 0;
  for (const StoredSignature& signature : stored) {
    try {
      if (core.compareSignatures(prepared, *signature, static_cast<uint32_t>(strength),
                                 static_cast<uint32_t>(type))
              .matched) {
        ++matched;
      }
    } catch (const GestalCoreException&) {
      // A comparison that cannot be made counts as a miss.
    }
  }
  if (static_cast<double>(matched) > static_cast<double>(stored.size()) / 2.0) {
    db_->addSignature(sample, actionIndex);
  }
}

}  // namespace GestalPrivate
