#include "support/FixedClock.h"

namespace GestalTest {
namespace {

int64_t fixedTicks = 0;

int64_t readFixedTicks() {
  return fixedTicks;
}

}  // namespace

FixedClock::FixedClock(int64_t millis) {
  fixedTicks = millis * 10000;
  previous_ = GestalPrivate::setTickSource(readFixedTicks);
}

FixedClock::~FixedClock() {
  GestalPrivate::setTickSource(previous_);
}

void FixedClock::setMillis(int64_t millis) {
  fixedTicks = millis * 10000;
}

int64_t FixedClock::millis() const {
  return fixedTicks / 10000;
}

}  // namespace GestalTest
