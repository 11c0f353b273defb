#include "signatures/GestalRecognition.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <map>
#include <utility>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "signatures/GestalDB.h"

namespace GestalPrivate {
namespace {

constexpr int32_t kLoosestLevel = 4;

}  // namespace

// What one identification has read about each action, so that every store query is made at most
// once per action and call.
struct GestalRecognition::CallCache {
  std::map<int32_t, std::vector<StoredSignature>> signatures;
  std::map<int32_t, int32_t> types;
  std::map<int32_t, int32_t> levels;
};

GestalRecognition::GestalRecognition(GestalDB* db, const GSEnginePreferenceParameters& profile,
                                     float verifyMatchThreshold)
    : profile_(copyPreferenceProfile(profile)),
      verifyMatchThreshold_(verifyMatchThreshold),
      db_(db),
      adaptLearning_(std::make_unique<AdaptLearning>(db, profile, verifyMatchThreshold)),
      elastic_(db, profile) {}

GestalRecognition::~GestalRecognition() = default;

GestalRecognition::Histories GestalRecognition::adaptiveHistories() const {
  return adaptLearning_->adaptStrength().histories();
}

void GestalRecognition::restoreAdaptiveHistories(Histories histories) {
  adaptLearning_->adaptStrength().restoreHistories(std::move(histories));
}

std::vector<int32_t> GestalRecognition::identify(const std::vector<int32_t>& candidates,
                                                 const MotionSample& sample) {
  const std::vector<int32_t> actions = candidates.empty() ? db_->getAllActionIndexes() : candidates;
  const bool policyActive = maxFailedTrials_ > 0 && lockTimeSeconds_ != 0;
  int32_t worst = 0;

  if (policyActive) {
    for (int32_t action : actions) {
      const int32_t seconds = db_->getSecondsSinceLastFailure(action);
      if (seconds >= 0 && (lockTimeSeconds_ < 0 || seconds <= lockTimeSeconds_)) {
        const int32_t failures = db_->getFailedVerificationCount(action);
        worst = std::max(worst, failures);
        if (failures >= maxFailedTrials_) {
          throw ReachMaxFailedTrialsInARowException(
              lockTimeSeconds_ < 0 ? INT_MAX : lockTimeSeconds_ - seconds);
        }
      } else {
        // No failure on record, or the newest is older than the lock time: start afresh.
        db_->delVerificationResult(action);
      }
    }
  }

  std::vector<int32_t> result = matcher_.matcher == Matcher::Elastic
                                    ? elastic_.identify(actions, sample, matcher_.minConfidence)
                                    : matchCandidates(candidates, sample);
  if (result.empty()) {
    if (!policyActive) return result;
    for (int32_t action : actions) db_->writeVerificationResult(action);
    const int32_t remaining = maxFailedTrials_ - worst - 1;
    int32_t lock = 0;
    if (remaining == 0) lock = lockTimeSeconds_ > 0 ? lockTimeSeconds_ : INT_MAX;
    throw NoMatchException(remaining, lock);
  }
  if (policyActive) db_->delVerificationResult(result.front());
  return result;
}

std::vector<int32_t> GestalRecognition::matchCandidates(const std::vector<int32_t>& candidates,
                                                        const MotionSample& sample) {
  const std::vector<int32_t> actions = candidates.empty() ? db_->getAllActionIndexes() : candidates;
  GestalCore core(verifyMatchThreshold_);
  // The sample is prepared and symbolised once for all its comparisons.
  const PreparedRecording probe(sample);
  CallCache cache;
  const std::size_t required = static_cast<std::size_t>(profile_->requiredSignatureCount());

  std::vector<int32_t> accepted;
  for (int32_t action : actions) {
    const std::vector<StoredSignature>& signatures = signaturesOf(cache, action);
    const int32_t type = typeOf(cache, action);
    if (signatures.size() < required) continue;
    const int32_t level = levelOf(cache, action, type);
    const double ratio = profile_->acceptanceRatio(type);

    std::size_t matched = 0;
    for (std::size_t i = 0; i < signatures.size(); ++i) {
      const MatchResult match = core.compareSignatures(
          *signatures[i], probe, static_cast<uint32_t>(level), static_cast<uint32_t>(type));
      if (!match.matched) continue;
      ++matched;
      // Acceptance is judged only right after a match, once enough comparisons were made.
      if (i + 1 >= required && static_cast<double>(matched) / static_cast<double>(i + 1) > ratio) {
        accepted.push_back(action);
        break;
      }
    }
  }

  if (accepted.size() == 1) {
    adaptLearning_->learnFromMatch(sample, accepted.front());
    return accepted;
  }
  if (accepted.empty()) return accepted;

  // Ambiguous: score every accepted action at the most lenient of their levels, so adaptive
  // learning can still strengthen a clear favourite, and identify none.
  int32_t common = 0;
  for (int32_t action : accepted) {
    const int32_t level = cache.levels[action];
    if (level != -1) common = std::max(common, level);
  }
  std::map<int32_t, float> best;
  for (int32_t action : accepted) {
    float top = 0.0f;
    const int32_t type = typeOf(cache, action);
    for (const StoredSignature& signature : signaturesOf(cache, action)) {
      top = std::max(top, core.similarityScore(*signature, probe, static_cast<uint32_t>(common),
                                               static_cast<uint32_t>(type)));
    }
    best[action] = top;
  }
  adaptLearning_->learnFromCandidates(sample, best);
  return {};
}

const std::vector<StoredSignature>& GestalRecognition::signaturesOf(CallCache& cache,
                                                                    int32_t action) {
  auto found = cache.signatures.find(action);
  if (found == cache.signatures.end()) {
    found =
        cache.signatures
            .emplace(action, db_->getLastNSignature(
                                 static_cast<uint32_t>(profile_->storedSignatureLimit()), action))
            .first;
  }
  return found->second;
}

int32_t GestalRecognition::typeOf(CallCache& cache, int32_t action) {
  auto found = cache.types.find(action);
  if (found == cache.types.end()) {
    found = cache.types.emplace(action, db_->getSignatureType(action)).first;
  }
  return found->second;
}

int32_t GestalRecognition::levelOf(CallCache& cache, int32_t action, int32_t type) {
  auto found = cache.levels.find(action);
  if (found == cache.levels.end()) {
    found = cache.levels.emplace(action, verificationLevelOf(action, type)).first;
  }
  return found->second;
}

int32_t GestalRecognition::verificationLevelOf(int32_t action, int32_t type) {
  const Gestal::GSAction record = db_->getAction(action);
  int32_t level = record.actionIndex > 0 ? record.strength : -1;
  if (level == -1) return -1;
  // An action whose newest signature is stale is verified one step more leniently.
  if (stalenessSeconds_ > 0 && db_->getLastSignatureTime(action) / 1000.0 > stalenessSeconds_) {
    level = std::min(level + 1, kLoosestLevel);
  }
  return profile_->verificationLevel(level, type);
}

}  // namespace GestalPrivate
