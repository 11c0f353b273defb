#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/MotionSample.h"

// The symbol strings the library compares, as the tools show them.
namespace GestalTool {

using GestalPrivate::MotionSample;

// Primary-axis thresholds in sensor units x 100, as in the library's strength tables.
struct Thresholds {
  int16_t x;
  int16_t y;
  int16_t z;
};

// The thresholds of the activity count (complexity and limits) for a signature type.
Thresholds activityThresholds(uint32_t signType);
// The thresholds of a comparison at a security level for a signature type; custom gestures are
// compared at level 4, type 1.
Thresholds comparisonThresholds(uint32_t securityLevel, uint32_t signType);
inline constexpr uint32_t kCustomLevel = 4;
inline constexpr uint32_t kCustomSignType = 1;

// One symbol with the time of the reading that wrote it.
struct TimedSymbol {
  float timeMs;
  char symbol;
};

// The symbols of the recording as the comparisons write them (readings decimated to about one per
// 20 ms, axes x, y, z in turn within a reading).
std::vector<TimedSymbol> timedSymbols(const MotionSample& sample, Thresholds thresholds);
std::string symbolString(const std::vector<TimedSymbol>& symbols);
// The symbols of each axis alone: x writes a/b, y c/d, z e/f.
std::array<std::string, 3> axisStrings(const std::vector<TimedSymbol>& symbols);

// Two strings set one above the other with a longest common subsequence lined up: '|' marks the
// common symbols, '-' a gap.
struct Alignment {
  std::string first;
  std::string marks;
  std::string second;
  std::size_t common = 0;
};
Alignment align(std::string_view a, std::string_view b);

}  // namespace GestalTool
