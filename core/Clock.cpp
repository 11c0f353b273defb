#include "core/Clock.h"

#include <chrono>

namespace GestalPrivate {
namespace {

int64_t systemTicks() {
  using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TickSource currentSource = systemTicks;

}  // namespace

int64_t clockTicks() {
  return currentSource();
}

TickSource setTickSource(TickSource source) {
  TickSource previous = currentSource;
  currentSource = source != nullptr ? source : systemTicks;
  return previous;
}

}  // namespace GestalPrivate
