#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/GSEnginePreferenceParameters.h"
#include "core/Matcher.h"
#include "core/MotionSample.h"
#include "signatures/AdaptLearning.h"
#include "signatures/ElasticSignatures.h"
#include "signatures/SignatureCache.h"

namespace GestalPrivate {

class GestalDB;

// Identifies which enrolled action a signature belongs to, with a failed-trials lock kept in the
// store's verification history, and hands every identification to adaptive learning. With the
// elastic matcher chosen, the same lock applies and ElasticSignatures decides and learns.
class GestalRecognition {
 public:
  GestalRecognition(GestalDB* db, const GSEnginePreferenceParameters& profile,
                    float verifyMatchThreshold);
  virtual ~GestalRecognition();

  // At most one identified action; empty when none. An empty candidate list means every stored
  // action. Throws NoMatchException / ReachMaxFailedTrialsInARowException while the failed-trials
  // policy is active.
  std::vector<int32_t> identify(const std::vector<int32_t>& candidates, const MotionSample& sample);

  // The adaptive-strength histories kept in memory, to be put back when a call's writes are rolled
  // back.
  using Histories = AdaptStrength::Histories;
  Histories adaptiveHistories() const;
  void restoreAdaptiveHistories(Histories histories);

  void setMaxFailedTrials(int32_t value) { maxFailedTrials_ = value; }
  void setLockTimeSeconds(int32_t value) { lockTimeSeconds_ = value; }
  void setMatcher(const MatcherChoice& choice) { matcher_ = choice; }

 private:
  struct CallCache;

  // The actions among `candidates` (every stored action when empty) whose newest signatures
  // accept the sample; exactly one is identified, several count as no identification.
  std::vector<int32_t> matchCandidates(const std::vector<int32_t>& candidates,
                                       const MotionSample& sample);
  const std::vector<StoredSignature>& signaturesOf(CallCache& cache, int32_t action);
  int32_t typeOf(CallCache& cache, int32_t action);
  int32_t levelOf(CallCache& cache, int32_t action, int32_t type);
  // Level of the comparisons for an action: its strength, one step looser when stale, mapped by
  // the profile; -1 when the action has no strength.
  int32_t verificationLevelOf(int32_t action, int32_t type);

  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  int32_t stalenessSeconds_ = 86400;
  int32_t maxFailedTrials_ = 5;
  int32_t lockTimeSeconds_ = 600;
  float verifyMatchThreshold_;
  GestalDB* db_;
  std::unique_ptr<AdaptLearning> adaptLearning_;
  MatcherChoice matcher_;
  ElasticSignatures elastic_;
};

}  // namespace GestalPrivate
