#pragma once

#include <atomic>
#include <cstdint>

#include "gestal.h"

// Callbacks that read their records inside the call, as hosts do, counting the engine failures
// they are told of.
namespace GestalTest {

inline std::atomic<int> engineFailures{0};

inline void readEnrolment(GestalAction* action, GestalStatusBlock* status, float, int32_t*) {
  GetActionIndex(action);
  if (GetErrorType(status) == GESTAL_ERROR_ENGINE_FAILURE) ++engineFailures;
}
inline void readIdentification(GestalAction* action, GestalStatusBlock* status, int32_t, int32_t) {
  GetActionIndex(action);
  if (GetErrorType(status) == GESTAL_ERROR_ENGINE_FAILURE) ++engineFailures;
}
inline void readVerification(GestureVerifyResult* result, float, float) {
  GetGSGesture(result);
}
inline void readPredefined(const GestalGestureName* name, float, float) {
  char buffer[16];
  GetResultGesture(name, buffer, sizeof buffer);
}

}  // namespace GestalTest
