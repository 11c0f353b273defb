#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "core/MotionSample.h"

// Conditioning of recorded motion before it reaches the library: units, axes, time base, rate and
// gravity. Pure functions over recordings; no I/O. Each step reads the stored floats, computes in
// double precision and stores floats again, so a mirror that rounds to 32 bits after each step
// (the Python binding's) gives the same values bit for bit.
namespace GestalConditioning {

using GestalPrivate::MotionSample;

// Standard gravity: one g in m/s^2.
inline constexpr double kStandardGravity = 9.80665;
// Cut-off of the low-pass whose output is taken as gravity: slower than any hand gesture.
inline constexpr double kDefaultGravityCutoffHz = 0.5;

// Output axis k (x, y, z) is sign[k] times input axis source[k]; parsed from a text such as
// "x,-z,y" (the new x is the old x, the new y the old -z, the new z the old y).
struct AxisMap {
  std::array<int, 3> source{0, 1, 2};
  std::array<int, 3> sign{1, 1, 1};
};

// Throws std::invalid_argument with a message naming the text when it is not three distinct axes.
AxisMap parseAxisMap(std::string_view text);

// Applies the map to the primary, secondary and direction vectors alike: they share one frame.
void remapAxes(MotionSample& sample, const AxisMap& map);

// Multiplies the primary vector by `factor` (kStandardGravity turns g into m/s^2).
void scalePrimary(MotionSample& sample, double factor);

// Shifts every time so that the first reading is at 0 ms.
void rebaseTime(MotionSample& sample);

// Readings at `rateHz` from the first reading's time up to the last one's, every field linearly
// interpolated between the two recorded readings around it. Recordings of fewer than two
// readings, or whose times do not increase, come back unchanged; `rateHz` must be above 0.
MotionSample resample(const MotionSample& sample, double rateHz);

// Kernel: writes to `out` the zero-phase low-pass of `count` values taken at `timesMs`: a
// first-order smoother run forward from the first value, then backward from the last, each step
// weighted by 1 - exp(-2 pi cutoff dt) for the time dt between the two readings.
void zeroPhaseLowPass(const double* values, const double* timesMs, std::size_t count,
                      double cutoffHz, double* out);

// Subtracts the zero-phase low-pass of each primary axis: what stays is the hand's own motion.
void removeGravityLowPass(MotionSample& sample, double cutoffHz = kDefaultGravityCutoffHz);

// Subtracts the mean of each primary axis over the recording.
void removeGravityMean(MotionSample& sample);

enum class Gravity { Keep, LowPass, Mean };

// The steps that `condition` applies, in this order: time rebased, axes remapped, primary scaled,
// resampled, gravity removed.
struct Options {
  bool rebaseTime = true;
  AxisMap axes;
  double primaryScale = 1.0;
  double rateHz = 0.0;  // 0 keeps the recorded readings
  Gravity gravity = Gravity::LowPass;
  double cutoffHz = kDefaultGravityCutoffHz;
};

MotionSample condition(MotionSample sample, const Options& options);

}  // namespace GestalConditioning
