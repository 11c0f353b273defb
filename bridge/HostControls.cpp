// The host controls beyond the interface of the controller helper: where the library's lines go,
// the failed-trials lock, the matcher, and the version of the loaded library.

#include <cstdint>

#include "bridge/ExportSupport.h"
#include "core/Log.h"
#include "engine/GSEngine.h"
#include "gestal.h"

static_assert(GESTAL_LOG_TRACE == static_cast<int32_t>(GestalPrivate::LogLevel::Trace));
static_assert(GESTAL_LOG_INFO == static_cast<int32_t>(GestalPrivate::LogLevel::Info));
static_assert(GESTAL_LOG_ERROR == static_cast<int32_t>(GestalPrivate::LogLevel::Error));

extern "C" {

void GestalSetLogHandler(GestalLogHandler handler, void* userData) {
  GestalBridge::CallLock lock;
  GestalPrivate::setLogHandler(handler, userData);
}

bool GestalSetLockPolicy(GestalHandle handle, int32_t maxFailedTrials, int32_t lockTimeSeconds) {
  return GestalBridge::withHelper(
      handle, "GestalSetLockPolicy", [&](GestalBridge::ControllerHelper& helper) {
        helper.engine()->SetLockPolicy(maxFailedTrials, lockTimeSeconds);
      });
}

bool GestalSetMatcher(GestalHandle handle, int32_t matcher) {
  return GestalBridge::withHelper(
      handle, "GestalSetMatcher",
      [&](GestalBridge::ControllerHelper& helper) { helper.engine()->SetMatcher(matcher); });
}

bool GestalSetMinConfidence(GestalHandle handle, float minConfidence) {
  return GestalBridge::withHelper(handle, "GestalSetMinConfidence",
                                  [&](GestalBridge::ControllerHelper& helper) {
                                    helper.engine()->SetMinConfidence(minConfidence);
                                  });
}

const char* GestalVersion(void) {
  return GESTAL_VERSION_STRING;
}

}  // extern "C"
