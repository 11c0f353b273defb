#include "bridge/ControllerHelper.h"
#include "bridge/CallTrace.h"

#include <optional>

namespace GestalBridge {
namespace {

// The controller selected by a start/end key selector: bit 0 selects controller 0, otherwise bit 1
// selects controller 1; neither bit selects nothing.
std::optional<int32_t> selectedController(int32_t selector) {
  if ((selector & 1) != 0) return 0;
  if ((selector & 2) != 0) return 1;
  return std::nullopt;
}

void setKeys(TriggerTable& table, int32_t selector, uint64_t keys, bool flag) {
  if (auto controller = selectedController(selector)) {
    table[*controller] = TriggerEntry{keys, flag ? 0u : 1u};
  }
}

void clearKeys(TriggerTable& table, int32_t selector) {
  if (auto controller = selectedController(selector)) table.erase(*controller);
}

}  // namespace

ControllerHelper::ControllerHelper() {
  traceLine("mEventMonitorCount: ", mEventMonitorCount);
}

bool ControllerHelper::setTriggeringMask(uint64_t controller, uint64_t keys, uint64_t flag) {
  if (controller > 1 || flag > 1) return false;
  triggeringMasks_[static_cast<int32_t>(controller)] =
      TriggerEntry{keys, static_cast<uint32_t>(flag)};
  return true;
}

void ControllerHelper::setTriggerStartKeys(int32_t selector, uint64_t keys, bool flag) {
  setKeys(triggerStartKeys_, selector, keys, flag);
}

void ControllerHelper::setTriggerEndKeys(int32_t selector, uint64_t keys, bool flag) {
  setKeys(triggerEndKeys_, selector, keys, flag);
}

void ControllerHelper::clearTriggerStartKeys(int32_t selector) {
  clearKeys(triggerStartKeys_, selector);
}

void ControllerHelper::clearTriggerEndKeys(int32_t selector) {
  clearKeys(triggerEndKeys_, selector);
}

}  // namespace GestalBridge
