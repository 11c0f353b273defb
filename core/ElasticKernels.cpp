#include "core/ElasticKernels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace GestalPrivate {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

inline float frameCost(const float* a, const float* b, uint32_t dims) {
  float sum = 0.0f;
  for (uint32_t k = 0; k < dims; ++k) sum += std::fabs(a[k] - b[k]);
  return sum;
}

}  // namespace

void resampleByArea(const float* in, uint32_t count, uint32_t dims, float* out, uint32_t frames) {
  const double step = static_cast<double>(count) / frames;
  for (uint32_t k = 0; k < frames; ++k) {
    const double begin = k * step;
    const double end = k + 1 == frames ? count : (k + 1) * step;
    double sums[kElasticMaxDims] = {};
    for (uint32_t i = static_cast<uint32_t>(begin); i < count && i < end; ++i) {
      const double overlap = std::min<double>(i + 1, end) - std::max<double>(i, begin);
      for (uint32_t d = 0; d < dims; ++d) sums[d] += overlap * in[i * dims + d];
    }
    for (uint32_t d = 0; d < dims; ++d) out[k * dims + d] = static_cast<float>(sums[d] / step);
  }
}

float centreAndScale(float* series, uint32_t frames, uint32_t dims) {
  double means[kElasticMaxDims] = {};
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t d = 0; d < dims; ++d) means[d] += series[i * dims + d];
  }
  double power = 0.0;
  for (uint32_t d = 0; d < dims; ++d) means[d] /= frames;
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t d = 0; d < dims; ++d) {
      const double centred = series[i * dims + d] - means[d];
      series[i * dims + d] = static_cast<float>(centred);
      power += centred * centred;
    }
  }
  const double rms = std::sqrt(power / frames);
  if (!(rms > 0.0)) return 0.0f;
  for (uint32_t i = 0; i < frames * dims; ++i) {
    series[i] = static_cast<float>(series[i] / rms);
  }
  return static_cast<float>(rms);
}

void differentiate(const float* in, uint32_t frames, uint32_t dims, float* out) {
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t before = i == 0 ? 0 : i - 1;
    const uint32_t after = i + 1 == frames ? i : i + 1;
    const float span = static_cast<float>(after - before);
    for (uint32_t d = 0; d < dims; ++d) {
      out[i * dims + d] = (in[after * dims + d] - in[before * dims + d]) / span;
    }
  }
}

float dtwDistance(const float* a, const float* b, uint32_t frames, uint32_t dims, uint32_t band,
                  float abandonAbove) {
  if (frames == 0 || frames > kElasticMaxFrames) return kInfinity;
  // Two rows of the table, shifted by one so that column -1 is the infinite border.
  float rows[2][kElasticMaxFrames + 1];
  float* previous = rows[0];
  float* current = rows[1];
  std::fill(previous, previous + frames + 1, kInfinity);
  std::fill(current, current + frames + 1, kInfinity);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t low = i > band ? i - band : 0;
    const uint32_t high = std::min(frames - 1, i + band);
    // Cells left of the band hold values of an older row.
    current[low] = kInfinity;
    float rowMinimum = kInfinity;
    for (uint32_t j = low; j <= high; ++j) {
      const float cost = frameCost(a + i * dims, b + j * dims, dims);
      const float before =
          i == 0 && j == 0 ? 0.0f : std::min(std::min(previous[j + 1], current[j]), previous[j]);
      const float cell = cost + before;
      current[j + 1] = cell;
      rowMinimum = std::min(rowMinimum, cell);
    }
    // The next row reads one cell right of this band, which this row did not reach.
    if (high + 2 <= frames) current[high + 2] = kInfinity;
    // Every path crosses every row and no step lowers a sum.
    if (rowMinimum > abandonAbove) return kInfinity;
    std::swap(previous, current);
  }
  return previous[frames];
}

void keoghEnvelope(const float* series, uint32_t frames, uint32_t dims, uint32_t band, float* upper,
                   float* lower) {
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t low = i > band ? i - band : 0;
    const uint32_t high = std::min(frames - 1, i + band);
    for (uint32_t d = 0; d < dims; ++d) {
      float top = series[low * dims + d];
      float bottom = top;
      for (uint32_t j = low + 1; j <= high; ++j) {
        top = std::max(top, series[j * dims + d]);
        bottom = std::min(bottom, series[j * dims + d]);
      }
      upper[i * dims + d] = top;
      lower[i * dims + d] = bottom;
    }
  }
}

float keoghBound(const float* upper, const float* lower, const float* query, uint32_t frames,
                 uint32_t dims, float abandonAbove) {
  float sum = 0.0f;
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint32_t d = 0; d < dims; ++d) {
      const uint32_t at = i * dims + d;
      const float value = query[at];
      const float outside =
          value > upper[at] ? value - upper[at] : (value < lower[at] ? lower[at] - value : 0.0f);
      sum += outside;
    }
    if (sum > abandonAbove) return kInfinity;
  }
  return sum;
}

}  // namespace GestalPrivate
