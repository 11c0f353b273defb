#include "conditioning/Conditioning.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace GestalConditioning {

using GestalPrivate::kDirectionX;
using GestalPrivate::kPrimaryX;
using GestalPrivate::kSecondaryX;
using GestalPrivate::kTime;
using GestalPrivate::MotionEntry;

AxisMap parseAxisMap(std::string_view text) {
  const auto invalid = [&](const std::string& why) {
    return std::invalid_argument("axis map '" + std::string(text) + "': " + why +
                                 " (expected three of x, y, z, each once, e.g. x,-z,y)");
  };
  AxisMap map;
  std::array<bool, 3> used{};
  std::size_t start = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const std::size_t end = axis < 2 ? text.find(',', start) : text.size();
    if (end == std::string_view::npos) throw invalid("fewer than three axes");
    std::string_view token = text.substr(start, end - start);
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    int sign = 1;
    if (!token.empty() && (token.front() == '-' || token.front() == '+')) {
      sign = token.front() == '-' ? -1 : 1;
      token.remove_prefix(1);
    }
    if (token.size() != 1 || token[0] < 'x' || token[0] > 'z') {
      throw invalid("'" + std::string(token) + "' is not an axis");
    }
    const int source = token[0] - 'x';
    if (used[source]) throw invalid("axis " + std::string(token) + " appears twice");
    used[source] = true;
    map.source[axis] = source;
    map.sign[axis] = sign;
    start = end + 1;
  }
  return map;
}

void remapAxes(MotionSample& sample, const AxisMap& map) {
  for (MotionEntry& entry : sample) {
    for (std::size_t first : {kPrimaryX, kSecondaryX, kDirectionX}) {
      const float old[3] = {entry[first], entry[first + 1], entry[first + 2]};
      for (std::size_t k = 0; k < 3; ++k) {
        entry[first + k] = map.sign[k] < 0 ? -old[map.source[k]] : old[map.source[k]];
      }
    }
  }
}

void scalePrimary(MotionSample& sample, double factor) {
  for (MotionEntry& entry : sample) {
    for (std::size_t k = kPrimaryX; k < kPrimaryX + 3; ++k) {
      entry[k] = static_cast<float>(static_cast<double>(entry[k]) * factor);
    }
  }
}

void rebaseTime(MotionSample& sample) {
  if (sample.empty()) return;
  const double start = sample.front()[kTime];
  for (MotionEntry& entry : sample) {
    entry[kTime] = static_cast<float>(static_cast<double>(entry[kTime]) - start);
  }
}

MotionSample resample(const MotionSample& sample, double rateHz) {
  if (sample.size() < 2 || !(rateHz > 0.0)) return sample;
  for (std::size_t i = 1; i < sample.size(); ++i) {
    if (sample[i][kTime] < sample[i - 1][kTime]) return sample;
  }
  const double first = sample.front()[kTime];
  const double last = sample.back()[kTime];
  if (!(last > first)) return sample;
  const double step = 1000.0 / rateHz;
  // The tolerance keeps a reading that lands on the last time despite rounding of the step.
  const auto count = static_cast<std::size_t>(std::floor((last - first) / step + 1e-9)) + 1;
  MotionSample out(count);
  std::size_t segment = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double time = first + static_cast<double>(k) * step;
    while (segment + 2 < sample.size() && static_cast<double>(sample[segment + 1][kTime]) <= time) {
      ++segment;
    }
    const MotionEntry& before = sample[segment];
    const MotionEntry& after = sample[segment + 1];
    const double t0 = before[kTime];
    const double t1 = after[kTime];
    const double weight = t1 > t0 ? (time - t0) / (t1 - t0) : 0.0;
    out[k][kTime] = static_cast<float>(time);
    for (std::size_t field = 1; field < out[k].size(); ++field) {
      const double a = before[field];
      const double b = after[field];
      out[k][field] = static_cast<float>(a + (b - a) * weight);
    }
  }
  return out;
}

namespace {

double smoothingWeight(double cutoffHz, double dtMs) {
  return dtMs > 0.0 ? 1.0 - std::exp(-2.0 * std::numbers::pi * cutoffHz * dtMs / 1000.0) : 0.0;
}

}  // namespace

void zeroPhaseLowPass(const double* values, const double* timesMs, std::size_t count,
                      double cutoffHz, double* out) {
  if (count == 0) return;
  out[0] = values[0];
  for (std::size_t i = 1; i < count; ++i) {
    const double weight = smoothingWeight(cutoffHz, timesMs[i] - timesMs[i - 1]);
    out[i] = out[i - 1] + weight * (values[i] - out[i - 1]);
  }
  for (std::size_t i = count - 1; i-- > 0;) {
    const double weight = smoothingWeight(cutoffHz, timesMs[i + 1] - timesMs[i]);
    out[i] = out[i + 1] + weight * (out[i] - out[i + 1]);
  }
}

void removeGravityLowPass(MotionSample& sample, double cutoffHz) {
  const std::size_t count = sample.size();
  std::vector<double> times(count), values(count), low(count);
  for (std::size_t i = 0; i < count; ++i) times[i] = sample[i][kTime];
  for (std::size_t axis = kPrimaryX; axis < kPrimaryX + 3; ++axis) {
    for (std::size_t i = 0; i < count; ++i) values[i] = sample[i][axis];
    zeroPhaseLowPass(values.data(), times.data(), count, cutoffHz, low.data());
    for (std::size_t i = 0; i < count; ++i) {
      sample[i][axis] = static_cast<float>(values[i] - low[i]);
    }
  }
}

void removeGravityMean(MotionSample& sample) {
  if (sample.empty()) return;
  for (std::size_t axis = kPrimaryX; axis < kPrimaryX + 3; ++axis) {
    double sum = 0.0;
    for (const MotionEntry& entry : sample) sum += entry[axis];
    const double mean = sum / static_cast<double>(sample.size());
    for (MotionEntry& entry : sample) {
      entry[axis] = static_cast<float>(static_cast<double>(entry[axis]) - mean);
    }
  }
}

MotionSample condition(MotionSample sample, const Options& options) {
  if (options.rebaseTime) rebaseTime(sample);
  remapAxes(sample, options.axes);
  if (options.primaryScale != 1.0) scalePrimary(sample, options.primaryScale);
  if (options.rateHz > 0.0) sample = resample(sample, options.rateHz);
  switch (options.gravity) {
    case Gravity::Keep:
      break;
    case Gravity::LowPass:
      removeGravityLowPass(sample, options.cutoffHz);
      break;
    case Gravity::Mean:
      removeGravityMean(sample);
      break;
  }
  return sample;
}

}  // namespace GestalConditioning
