#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"
#include "signatures/AdaptStrength.h"

namespace GestalPrivate {

class GestalDB;

// Adds accepted samples to an action's stored signatures so that they follow the user's drift,
// after passing them to adaptive strength.
class AdaptLearning {
 public:
  AdaptLearning(GestalDB* db, const GSEnginePreferenceParameters& profile,
                float verifyMatchThreshold);
  virtual ~AdaptLearning();

  // Exactly one action matched.
  void learnFromMatch(const MotionSample& sample, int32_t actionIndex);
  // Two or more actions matched; `candidates` maps each to its best similarity score.
  void learnFromCandidates(const MotionSample& sample, const std::map<int32_t, float>& candidates);
  void learn(const MotionSample& sample, int32_t actionIndex);

  AdaptStrength& adaptStrength() { return *adaptStrength_; }

 private:
  GestalDB* db_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  float verifyMatchThreshold_;
  std::unique_ptr<AdaptStrength> adaptStrength_;
};

}  // namespace GestalPrivate
