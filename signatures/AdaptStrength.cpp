#include "signatures/AdaptStrength.h"

#include <algorithm>
#include <cstddef>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "signatures/GestalDB.h"

namespace GestalPrivate {
namespace {

// Only actions enrolled at the loosest level are tightened, one step.
constexpr int32_t kQualifyingLevel = 4;
constexpr uint32_t kTightLevel = 3;
constexpr std::size_t kHistoryLength = 10;
constexpr std::ptrdiff_t kSuccessesNeeded = 9;

}  // namespace

AdaptStrength::AdaptStrength(GestalDB* db, const GSEnginePreferenceParameters& profile,
                             float verifyMatchThreshold)
    : db_(db),
      profile_(copyPreferenceProfile(profile)),
      verifyMatchThreshold_(verifyMatchThreshold) {}

AdaptStrength::~AdaptStrength() = default;

void AdaptStrength::updateStrength(int32_t actionIndex, const MotionSample& sample) {
  const Gestal::GSAction action = db_->getAction(actionIndex);
  const int32_t level = action.actionIndex > 0 ? action.strength : -1;
  if (level != kQualifyingLevel) return;

  GestalCore core(verifyMatchThreshold_);
  const std::vector<StoredSignature> stored = db_->getLastNSignature(
      static_cast<uint32_t>(profile_->requiredSignatureCount()), actionIndex);
  std::vector<bool> history = getVerifyHistory(actionIndex);

  const PreparedRecording prepared(sample);
  std::size_t matched = 0;
  for (const StoredSignature& signature : stored) {
    const int32_t type = db_->getSignatureType(actionIndex);
    try {
      if (core.compareSignatures(*signature, prepared, kTightLevel, static_cast<uint32_t>(type))
              .matched) {
        ++matched;
      }
    } catch (const GestalCoreException&) {
      // A comparison that cannot be made counts as a miss.
    }
  }
  const bool outcome = !stored.empty() && matched > stored.size() / 2;

  history.push_back(outcome);
  while (history.size() > kHistoryLength) history.erase(history.begin());
  setVerifyHistory(actionIndex, history);

  if (history.size() == kHistoryLength &&
      std::count(history.begin(), history.end(), true) >= kSuccessesNeeded) {
    db_->writeAction(actionIndex, std::string(), kTightLevel);
    // The cached history is left as it is; the action no longer qualifies anyway.
    db_->delAdaptStrengthVerifyHistory(actionIndex);
  }
}

std::vector<bool> AdaptStrength::getVerifyHistory(int32_t actionIndex) {
  auto cached = historyCache_.find(actionIndex);
  if (cached != historyCache_.end()) return cached->second;
  std::vector<bool> history = db_->getAdaptStrengthVerifyHistory(actionIndex);
  historyCache_[actionIndex] = history;
  return history;
}

void AdaptStrength::setVerifyHistory(int32_t actionIndex, const std::vector<bool>& history) {
  db_->setAdaptStrengthVerifyHistory(actionIndex, history);
  historyCache_[actionIndex] = history;
}

}  // namespace GestalPrivate
