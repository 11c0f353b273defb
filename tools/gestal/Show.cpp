#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "core/Exceptions.h"
#include "core/GSEnginePreferenceParameters.h"
#include "core/GestalCore.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"
#include "tools/gestal/ErrorWords.h"
#include "tools/gestal/Symbols.h"

namespace GestalTool {

using namespace GestalPrivate;

namespace {

// The engine's default security level setting, which picks the minimum complexity level.
constexpr int32_t kDefaultSecurityLevel = 1;

std::string metres(int16_t hundredths) {
  return fixed(hundredths / 100.0, 2);
}

void printSymbols(std::ostream& out, const std::string& title, const MotionSample& sample,
                  Thresholds thresholds) {
  out << "  " << title << ", thresholds x " << metres(thresholds.x) << ", y "
      << metres(thresholds.y) << ", z " << metres(thresholds.z) << " m/s^2:\n";
  const std::array<std::string, 3> axes = axisStrings(timedSymbols(sample, thresholds));
  const char* names[] = {"x", "y", "z"};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    out << "    " << names[axis] << " (" << axes[axis].size() << "): " << axes[axis] << "\n";
  }
}

struct Check {
  const char* name;
  int32_t error;  // 0 when the check passes
  std::string words;
};

}  // namespace

int runShow(const std::string& path) {
  const MotionSample sample = readRecording(path);
  const GestalCore core;
  const GSEnginePreferenceParameters profile;
  std::ostream& out = std::cout;

  const float rate = core.sampleRate(sample);
  out << path << "\n";
  out << "  " << sample.size() << " readings over " << fixed(durationSeconds(sample), 3) << " s, "
      << (std::isfinite(rate) ? fixed(rate, 1) : std::string("no"))
      << " non-empty readings per second\n";
  const char* vectors[] = {"primary", "secondary", "direction"};
  for (std::size_t v = 0; v < 3; ++v) {
    out << "  " << vectors[v] << ":";
    for (std::size_t axis = 0; axis < 3; ++axis) {
      double low = std::numeric_limits<double>::infinity();
      double high = -low;
      for (const MotionEntry& entry : sample) {
        low = std::min(low, static_cast<double>(entry[kPrimaryX + 3 * v + axis]));
        high = std::max(high, static_cast<double>(entry[kPrimaryX + 3 * v + axis]));
      }
      out << " "
          << "xyz"[axis] << " "
          << (sample.empty() ? std::string("-") : fixed(low, 2) + " .. " + fixed(high, 2));
    }
    out << "\n";
  }

  out << "symbols (about one reading per 20 ms; x writes a/b, y c/d, z e/f):\n";
  printSymbols(out, "signature types 0 and 2 (activity)", sample, activityThresholds(0));
  printSymbols(out, "signature type 1 (activity)", sample, activityThresholds(1));
  printSymbols(out, "custom gestures (type 1, level 4)", sample,
               comparisonThresholds(kCustomLevel, kCustomSignType));

  // The checks enrolment makes on the first performance, in its order, with the default profile.
  const uint32_t signType = static_cast<uint32_t>(profile.signatureTypeMode());
  const int32_t required = profile.minimumComplexityLevel(kDefaultSecurityLevel);
  std::vector<Check> checks;
  const double seconds = durationSeconds(sample);
  checks.push_back({"length", core.isLongEnough(sample) ? 0 : -201,
                    fixed(seconds, 2) + " s over " + std::to_string(sample.size()) +
                        " readings; needs two readings at least 0.25 s apart"});
  int32_t inside = 0;
  int32_t total = 0;
  for (const MotionEntry& entry : sample) {
    const float x = entry[kDirectionX], y = entry[kDirectionY], z = entry[kDirectionZ];
    if (x == 0 && y == 0 && z == 0) continue;
    ++total;
    if (z > 0 && static_cast<double>(x * x + y * y) < 3.0 * static_cast<double>(z * z)) ++inside;
  }
  checks.push_back({"posture", core.isPostureAcceptable(sample) ? 0 : -203,
                    std::to_string(inside) + " of " + std::to_string(total) +
                        " pointing directions within 60 degrees of +z (toward the user); more "
                        "than half is refused"});
  int32_t activity = -1;
  try {
    activity = core.activityCount(sample, signType);
  } catch (const GestalCoreException&) {
  }
  checks.push_back({"limits", activity >= 0 && core.isWithinLimits(sample, activity) ? 0 : -202,
                    fixed(seconds, 2) + " s and " +
                        (activity >= 0 ? std::to_string(activity) : std::string("too many")) +
                        " active values; at most 10 s and 800"});
  const float ratio = core.motionRunRatio(sample);
  checks.push_back({"motion", core.hasEnoughMotion(sample) ? 0 : -205,
                    "run ratio " + fixed(ratio, 3) +
                        " of readings beyond 3.16 m/s^2 (weighted by run length); needs 0.30"});
  const int32_t level = activity >= 0 ? core.complexityLevel(activity, rate) : -1;
  checks.push_back({"complexity", level >= required ? 0 : -204,
                    "level " + std::to_string(level) + " from " + std::to_string(activity) +
                        " active values; the default profile needs " + std::to_string(required)});

  out << "complexity level: " << level << " (0 simplest to 5)\n";
  out << "enrolment checks of a first performance:\n";
  int32_t verdict = 0;
  for (const Check& check : checks) {
    std::string status = check.error == 0 ? "ok" : "refused " + std::to_string(check.error);
    out << "  " << check.name << std::string(12 - std::string(check.name).size(), ' ') << status
        << std::string(status.size() < 14 ? 14 - status.size() : 1, ' ') << check.words << "\n";
    if (verdict == 0) verdict = check.error;
  }
  if (verdict == 0) {
    out << "verdict: accepted as the first performance of an enrolment\n";
  } else {
    out << "verdict: refused with " << verdict << " (" << errorWords(verdict) << ")\n";
  }
  return 0;
}

}  // namespace GestalTool
