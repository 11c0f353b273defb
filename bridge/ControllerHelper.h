#pragma once

#include <cstdint>
#include <map>

#include "gestal.h"

namespace Gestal {
class GSEngine;
}

namespace GestalBridge {

// A host's key mask for one controller, stored as given.
struct TriggerEntry {
  uint64_t keys = 0;
  uint32_t flag = 0;
};

using TriggerTable = std::map<int32_t, TriggerEntry>;

// The object behind a helper handle: what the host registered (trigger keys, triggering masks,
// callbacks) and the engine created with it. The library keeps these for the host and never acts
// on them.
class ControllerHelper {
 public:
  ControllerHelper();
  virtual ~ControllerHelper() = default;

  // Returns false and stores nothing for a controller above 1 or a flag above 1.
  bool setTriggeringMask(uint64_t controller, uint64_t keys, uint64_t flag);
  // The stored flag is 1 when `flag` is false and 0 when it is true.
  void setTriggerStartKeys(int32_t selector, uint64_t keys, bool flag);
  void setTriggerEndKeys(int32_t selector, uint64_t keys, bool flag);
  void clearTriggerStartKeys(int32_t selector);
  void clearTriggerEndKeys(int32_t selector);

  void setSensorDataCallback(GestalSensorDataCallback callback) { sensorDataCallback_ = callback; }
  void setMovementCallback(GestalMovementCallback callback) { movementCallback_ = callback; }
  void setEngine(Gestal::GSEngine* engine) { engine_ = engine; }

  GestalSensorDataCallback sensorDataCallback() const { return sensorDataCallback_; }
  GestalMovementCallback movementCallback() const { return movementCallback_; }
  Gestal::GSEngine* engine() const { return engine_; }
  uint64_t eventMonitorCount() const { return mEventMonitorCount; }

 private:
  GestalSensorDataCallback sensorDataCallback_ = nullptr;
  GestalMovementCallback movementCallback_ = nullptr;
  Gestal::GSEngine* engine_ = nullptr;
  TriggerTable triggeringMasks_;
  TriggerTable triggerStartKeys_;
  TriggerTable triggerEndKeys_;
  uint64_t eventMonitorCapacity_ = 200;
  uint64_t mEventMonitorCount = eventMonitorCapacity_ / 16;
};

}  // namespace GestalBridge
