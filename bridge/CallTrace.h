#pragma once

#include <cstdint>
#include <iostream>

#include "core/Clock.h"

namespace GestalBridge {

// Trace lines of the exported calls go to stdout with the stream's default formatting; each line
// ends with a newline that also flushes.
template <class... Parts>
void traceLine(const Parts&... parts) {
  (std::cout << ... << parts) << std::endl;
}

// Measures the milliseconds the engine spends on a call (from construction to stop()) and writes
// them as the closing "Time spent: <n>ms" line followed by an empty line.
class TraceTimer {
 public:
  TraceTimer() : startMillis_(nowMillis()), stopMillis_(startMillis_) {}

  void stop() { stopMillis_ = nowMillis(); }
  void traceTimeSpent() const {
    std::cout << "Time spent: " << stopMillis_ - startMillis_ << "ms" << std::endl << std::endl;
  }

 private:
  static int64_t nowMillis() { return GestalPrivate::clockTicks() / 10000; }

  int64_t startMillis_;
  int64_t stopMillis_;
};

}  // namespace GestalBridge
