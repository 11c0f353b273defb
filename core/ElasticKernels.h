#pragma once

#include <cstdint>

namespace GestalPrivate {

// Elastic matching kernels: free functions over series of `frames` frames of `dims` floats each,
// stored value by value (value k of frame i at k * frames + i, so that one value's run over the
// frames is contiguous and the frames of a band are compared in one sweep). They never throw and
// never allocate. The cost of
// two frames is the sum of the absolute differences of their values (less swayed by one wild
// reading than squares); a warping path pairs frame i of one series with frame j of the other only
// while |i - j| <= `band` (a Sakoe-Chiba band).

// The longest series the kernels take, and the most values per frame.
inline constexpr uint32_t kElasticMaxFrames = 256;
inline constexpr uint32_t kElasticMaxDims = 9;

// Averages `count` input frames into `frames` output frames: output frame f is the mean of the
// input over [f * count / frames, (f + 1) * count / frames) of its index, input frame i covering
// [i, i + 1). Downsampling so filters out what the coarser frames cannot hold; upsampling repeats
// frames. Needs count >= 1 and frames >= 1.
void resampleByArea(const float* in, uint32_t count, uint32_t dims, float* out, uint32_t frames);

// Subtracts from each of the `dims` values its mean over the frames, then divides every value by
// the root mean square of the frames' norms; returns that root mean square. A series without any
// spread (0 returned) is left centred only.
float centreAndScale(float* series, uint32_t frames, uint32_t dims);

// Dynamic time warping distance of two series of equal length within the band: the smallest sum
// of frame costs over the warping paths from (0, 0) to (frames - 1, frames - 1) that step by
// (1, 0), (0, 1) or (1, 1), frame i of `a` being row i. Returns +infinity as soon as every path is
// known to exceed `abandonAbove` (pass +infinity to compute it in full), and +infinity for frames
// of 0 or above kElasticMaxFrames. Exact: when the distance is at most `abandonAbove`, it is the
// value the full table gives, bit for bit.
float dtwDistance(const float* a, const float* b, uint32_t frames, uint32_t dims, uint32_t band,
                  float abandonAbove);

// The envelope of a series for LB_Keogh: upper[k * frames + i] and lower[k * frames + i] are the
// largest and smallest value k of the frames within `band` of frame i.
void keoghEnvelope(const float* series, uint32_t frames, uint32_t dims, uint32_t band, float* upper,
                   float* lower);

// LB_Keogh: the summed distance of the query's values from the envelope of another series, a
// lower bound of their dtwDistance within the same band (up to the rounding of float sums).
// Returns +infinity once the sum is known to exceed `abandonAbove`.
float keoghBound(const float* upper, const float* lower, const float* query, uint32_t frames,
                 uint32_t dims, float abandonAbove);

}  // namespace GestalPrivate
