#include "core/ElasticKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace GestalPrivate {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

}  // namespace

void resampleByArea(const float* in, uint32_t count, uint32_t dims, float* out, uint32_t frames) {
  const double step = static_cast<double>(count) / frames;
  for (uint32_t f = 0; f < frames; ++f) {
    const double begin = f * step;
    const double end = f + 1 == frames ? count : (f + 1) * step;
    for (uint32_t d = 0; d < dims; ++d) {
      const float* row = in + static_cast<std::size_t>(d) * count;
      double sum = 0.0;
      for (uint32_t i = static_cast<uint32_t>(begin); i < count && i < end; ++i) {
        sum += (std::min<double>(i + 1, end) - std::max<double>(i, begin)) * row[i];
      }
      out[d * frames + f] = static_cast<float>(sum / step);
    }
  }
}

float centreAndScale(float* series, uint32_t frames, uint32_t dims) {
  double power = 0.0;
  for (uint32_t d = 0; d < dims; ++d) {
    float* row = series + d * frames;
    double mean = 0.0;
    for (uint32_t i = 0; i < frames; ++i) mean += row[i];
    mean /= frames;
    for (uint32_t i = 0; i < frames; ++i) {
      const double centred = row[i] - mean;
      row[i] = static_cast<float>(centred);
      power += centred * centred;
    }
  }
  const double rms = std::sqrt(power / frames);
  if (!(rms > 0.0)) return 0.0f;
  for (uint32_t i = 0; i < frames * dims; ++i) series[i] = static_cast<float>(series[i] / rms);
  return static_cast<float>(rms);
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
  float costs[kElasticMaxFrames];
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t low = i > band ? i - band : 0;
    const uint32_t high = std::min(frames - 1, i + band);
    const uint32_t width = high - low + 1;
    // The costs of the row's band, value by value: each cell still sums its values in order.
    std::fill(costs, costs + width, 0.0f);
    for (uint32_t d = 0; d < dims; ++d) {
      const float value = a[d * frames + i];
      const float* row = b + d * frames + low;
      for (uint32_t j = 0; j < width; ++j) costs[j] += std::fabs(value - row[j]);
    }
    // Cells left of the band hold values of an older row.
    current[low] = kInfinity;
    // cost + min(up, left, diagonal) is taken as min(cost + min(up, diagonal), cost + left): the
    // same float, since rounding keeps sums in order, and only the second part runs along the row.
    float through[kElasticMaxFrames];
    for (uint32_t j = low; j <= high; ++j) {
      through[j - low] = costs[j - low] + std::min(previous[j + 1], previous[j]);
    }
    if (i == 0) through[0] = costs[0];  // where every path starts
    float rowMinimum = kInfinity;
    float left = kInfinity;
    for (uint32_t j = low; j <= high; ++j) {
      left = std::min(through[j - low], costs[j - low] + left);
      current[j + 1] = left;
      rowMinimum = std::min(rowMinimum, left);
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
  for (uint32_t d = 0; d < dims; ++d) {
    const float* row = series + d * frames;
    for (uint32_t i = 0; i < frames; ++i) {
      const uint32_t low = i > band ? i - band : 0;
      const uint32_t high = std::min(frames - 1, i + band);
      float top = row[low];
      float bottom = top;
      for (uint32_t j = low + 1; j <= high; ++j) {
        top = std::max(top, row[j]);
        bottom = std::min(bottom, row[j]);
      }
      upper[d * frames + i] = top;
      lower[d * frames + i] = bottom;
    }
  }
}

float keoghBound(const float* upper, const float* lower, const float* query, uint32_t frames,
                 uint32_t dims, float abandonAbove) {
  // Four partial sums in one vector (generic vectors: the compiler's own SIMD on any target),
  // tested for abandoning after each value's run.
  using Lanes = float __attribute__((vector_size(16)));
  constexpr uint32_t kWidth = 4;
  const Lanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
  Lanes lanes = zero;
  float sum = 0.0f;
  const auto load = [](const float* at) {
    Lanes value;
    std::memcpy(&value, at, sizeof value);
    return value;
  };
  for (uint32_t d = 0; d < dims; ++d) {
    const uint32_t start = d * frames;
    uint32_t i = 0;
    for (; i + kWidth <= frames; i += kWidth) {
      const Lanes q = load(query + start + i);
      const Lanes above = q - load(upper + start + i);
      const Lanes below = load(lower + start + i) - q;
      lanes += (above > zero ? above : zero) + (below > zero ? below : zero);
    }
    for (; i < frames; ++i) {
      const float above = query[start + i] - upper[start + i];
      const float below = lower[start + i] - query[start + i];
      sum += (above > 0.0f ? above : 0.0f) + (below > 0.0f ? below : 0.0f);
    }
    const float total = sum + ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3]));
    if (total > abandonAbove || d + 1 == dims) return total > abandonAbove ? kInfinity : total;
  }
  return 0.0f;
}

}  // namespace GestalPrivate
