#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"

namespace GestalPrivate {

class GestalDB;

// Tightens an action enrolled at the loosest strength (4) to 3 once 9 of its last 10 accepted
// samples also match its stored signatures at level 3.
class AdaptStrength {
 public:
  AdaptStrength(GestalDB* db, const GSEnginePreferenceParameters& profile,
                float verifyMatchThreshold);
  virtual ~AdaptStrength();

  void updateStrength(int32_t actionIndex, const MotionSample& sample);
  std::vector<bool> getVerifyHistory(int32_t actionIndex);
  void setVerifyHistory(int32_t actionIndex, const std::vector<bool>& history);

 private:
  GestalDB* db_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  float verifyMatchThreshold_;
  std::map<int32_t, std::vector<bool>> historyCache_;
};

}  // namespace GestalPrivate
