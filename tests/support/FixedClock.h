#pragma once

#include <cstdint>

#include "core/Clock.h"

namespace GestalTest {

// Replaces the engine's clock with a settable one for the object's life. Time stands still unless
// a test moves it, so traces show "Time spent: 0ms" and time stamps are known.
class FixedClock {
 public:
  explicit FixedClock(int64_t millis = 1700000000000);
  ~FixedClock();
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;

  void setMillis(int64_t millis);
  void advanceSeconds(int64_t seconds) { setMillis(millis() + seconds * 1000); }
  int64_t millis() const;

 private:
  GestalPrivate::TickSource previous_;
};

}  // namespace GestalTest
