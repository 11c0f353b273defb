#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
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

  // The histories kept in memory for the object's life, by action. The engine puts them back as
  // they were when a call's writes are rolled back.
  using Histories = std::map<int32_t, std::vector<bool>>;
  const Histories& histories() const { return historyCache_; }
  void restoreHistories(Histories histories) { historyCache_ = std::move(histories); }

 private:
  GestalDB* db_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  float verifyMatchThreshold_;
  Histories historyCache_;
};

}  // namespace GestalPrivate
