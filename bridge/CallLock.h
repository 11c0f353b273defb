#pragma once

#include <mutex>

namespace GestalBridge {

// The one process-wide lock that serialises the exported functions. It is recursive because a
// host calls the library again from inside a callback (or a log handler) on the same thread.
inline std::recursive_mutex& callMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// Holds the lock for the life of one exported call.
class CallLock {
 public:
  CallLock() : guard_(callMutex()) {}

 private:
  std::lock_guard<std::recursive_mutex> guard_;
};

}  // namespace GestalBridge
