#pragma once

#include <exception>

#include "bridge/CallLock.h"
#include "bridge/ControllerHelper.h"
#include "gestal.h"

// What every exported function shares: containment of failures at the C boundary and the check
// of the helper handle.
namespace GestalBridge {

// Writes "gestal: <export> failed: <what>" as one line on the error stream (line breaks inside
// become spaces). When even that line cannot be allocated, the reason is left out.
void reportFailure(const char* exportName, const char* what) noexcept;

// Runs `work`, turning any exception into one line on the error stream. Returns whether it
// succeeded.
template <class Work>
bool guarded(const char* exportName, Work&& work) {
  try {
    work();
    return true;
  } catch (const char* text) {
    reportFailure(exportName, text);
  } catch (const std::exception& e) {
    reportFailure(exportName, e.what());
  } catch (...) {
    reportFailure(exportName, "unknown exception");
  }
  return false;
}

// The helper behind `handle`, or null (with a message) when it is not the current handle. Called
// under the call lock.
ControllerHelper* helperOf(GestalHandle handle, const char* exportName);

// Runs `work` on the helper behind `handle`. False when the handle is not the current one or the
// work failed (both reported on the error stream). Holds the call lock throughout.
template <class Work>
bool withHelper(GestalHandle handle, const char* exportName, Work&& work) {
  CallLock lock;
  ControllerHelper* helper = helperOf(handle, exportName);
  return helper != nullptr && guarded(exportName, [&] { work(*helper); });
}

}  // namespace GestalBridge
