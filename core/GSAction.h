#pragma once

#include <cstdint>
#include <string>

#include "gestal.h"

namespace Gestal {

// Result of enrolment and identification. The last three fields form the status block that hosts
// read through GetErrorType; `progress` is a float after enrolment and an integer after
// identification.
class GSAction {
 public:
  virtual ~GSAction() = default;

  int32_t actionIndex = -1;
  std::string cmd;
  int32_t strength = -1;
  int64_t remainingSignatures = 100;
  GestalStatusBlock status{0, {0.0f}, 0};
};

}  // namespace Gestal
