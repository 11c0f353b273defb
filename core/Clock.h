#pragma once

#include <cstdint>

namespace GestalPrivate {

// The engine's one view of the wall clock, in 100-nanosecond ticks since 1 January 1970. The
// library always reads the system clock; tests install another source to move time without
// sleeping.
using TickSource = int64_t (*)();

int64_t clockTicks();

// Installs `source` (nullptr restores the system clock) and returns the previous source.
TickSource setTickSource(TickSource source);

// Whole milliseconds since 1970, the unit of every time stamp the databases store.
inline int64_t clockMillis() {
  return clockTicks() / 10000;
}

}  // namespace GestalPrivate
