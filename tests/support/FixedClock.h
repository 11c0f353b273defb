#pragma once

#include <cstdint>

#include "core/Clock.h"

namespace GestalTest {

// Replaces the engine's clock with a settable one for the object's life. Time stands still unless
// a test moves it, so traces show "Time spent: 0ms" and time stamps are known.
class FixedClock {
 public:
  explicit FixedClock(int64_t millis = 1700000000000) {
    setMillis(millis);
    previous_ = GestalPrivate::setTickSource([] { return ticks(); });
  }
  ~FixedClock() { GestalPrivate::setTickSource(previous_); }
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;

  void setMillis(int64_t millis) { ticks() = millis * 10000; }
  void advanceSeconds(int64_t seconds) { setMillis(millis() + seconds * 1000); }
  int64_t millis() const { return ticks() / 10000; }

 private:
  static int64_t& ticks() {
    static int64_t value = 0;
    return value;
  }

  GestalPrivate::TickSource previous_;
};

}  // namespace GestalTest
