#pragma once

#include <cstdint>
#include <limits>

namespace Gestal {

// The values the creator of an engine chooses; read once, while the engine is built.
class GSEngineParameters {
 public:
  virtual ~GSEngineParameters() = default;

  int32_t preferenceType = 0;        // 0 base, 1 high security, 2 unlock, other: base
  int32_t securityLevel = 1;         // chooses the minimum complexity of a first signature
  int32_t highestStrengthLevel = 3;  // loosest strength level an enrolment may be stored at
  int32_t maxFailedTrials = std::numeric_limits<int32_t>::max();
  int32_t lockTimeSeconds = 300;
  float trainMatchThreshold = 1.0f;
  float verifyMatchThreshold = 1.0f;
};

}  // namespace Gestal
