#pragma once

#include <cstdint>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Log.h"

namespace GestalBridge {

// One trace line of an exported call, its parts formatted as a default stream formats them
// (whatever locale the host has installed).
template <class... Parts>
void traceLine(const Parts&... parts) {
  std::ostringstream line;
  line.imbue(std::locale::classic());
  ((line << parts), ...);
  GestalPrivate::logLine(GestalPrivate::LogLevel::Trace, line.str());
}

// A trace line made of `head` and each name followed by a space.
inline void traceNames(std::string head, const std::vector<std::string>& names) {
  for (const std::string& name : names) head.append(name).append(" ");
  GestalPrivate::logLine(GestalPrivate::LogLevel::Trace, head);
}

// Measures the milliseconds the engine spends on a call (from construction to stop()) and writes
// them as the closing "Time spent: <n>ms" line followed by an empty line.
class TraceTimer {
 public:
  TraceTimer() : startMillis_(nowMillis()), stopMillis_(startMillis_) {}

  void stop() { stopMillis_ = nowMillis(); }
  void traceTimeSpent() const {
    traceLine("Time spent: ", stopMillis_ - startMillis_, "ms");
    traceLine();
  }

 private:
  static int64_t nowMillis() { return GestalPrivate::clockTicks() / 10000; }

  int64_t startMillis_;
  int64_t stopMillis_;
};

}  // namespace GestalBridge
