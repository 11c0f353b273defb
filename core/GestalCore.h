#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "core/Kernels.h"
#include "core/MotionSample.h"
#include "core/PreparedSequence.h"

namespace GestalPrivate {

// Result of compareSignatures. The no-result value is {false, 0, 0, 0}.
struct MatchResult {
  bool matched = false;
  float score = 0.0f;
  float secondaryScore = 0.0f;  // -1 whenever a comparison was made (no second comparison exists)
  float bestScore = 0.0f;       // the larger of score and secondaryScore
};

// A recording compared many times: prepared (decimated) once and symbolised once per strength
// table row, so that comparing one recording with many costs one preparation. Either it refers to
// a sample, which must outlive it and is prepared on first use, or it is detached: prepared at
// once and holding only what comparisons read, the form in which stored recordings stay in memory
// between calls.
class PreparedRecording {
 public:
  explicit PreparedRecording(const MotionSample& sample)
      : sample_(&sample), empty_(sample.empty()) {}
  static PreparedRecording detached(const MotionSample& sample);

  // True for a recording without readings.
  bool empty() const { return empty_; }
  const PreparedSequence& prepared() const;
  // The symbols under row `index` (0 to 9) of strength table `variant` (1, or 0 for any other).
  const Symbols& symbols(int32_t variant, int32_t index) const;

 private:
  PreparedRecording() = default;

  const MotionSample* sample_ = nullptr;  // null when detached
  bool empty_ = true;
  mutable std::optional<PreparedSequence> prepared_;
  // By variant * kStrengthRows + row; a stored recording is seen through one or two rows.
  mutable std::map<int32_t, Symbols> symbols_;
};

// The signal core: measures and checks of one recording, and the comparison of two recordings as
// strings of motion symbols. Stateless apart from the match threshold; every user keeps its own.
class GestalCore {
 public:
  GestalCore() = default;
  explicit GestalCore(float matchThreshold) : matchThreshold(matchThreshold) {}
  virtual ~GestalCore() = default;

  // Primary vector as 16-bit values, four per kept entry; with `decimate` about one entry per
  // 20 ms. Entries whose primary vector is (0, 0, 0) are dropped.
  PreparedSequence prepareSequence(const MotionSample& sample, bool decimate) const;

  // Non-empty entries per second over the recording's span; 0 with fewer than 2 entries. When the
  // first and last times are equal: infinity, or NaN if every entry is empty.
  float sampleRate(const MotionSample& sample) const;
  // 0 (simplest) to 5, from the activity count scaled by the sample rate.
  int32_t complexityLevel(int32_t activity, float rate) const;
  // At least 2 entries spanning at least 250 ms.
  bool isLongEnough(const MotionSample& sample) const;
  // At most 10 s long and at most 800 active values.
  bool isWithinLimits(const MotionSample& sample, int32_t activity) const;
  // False when more than half the direction vectors point within 60 degrees of +z.
  bool isPostureAcceptable(const MotionSample& sample) const;
  // Share of strong motion, each entry weighted by its position within its run.
  float motionRunRatio(const MotionSample& sample) const;
  bool hasEnoughMotion(const MotionSample& sample) const;

  // Row of the strength table for a security level and signature type, or -1.
  int32_t toleranceIndex(uint32_t securityLevel, uint32_t signType) const;
  // Similarity of two recordings; 0 when they cannot be compared. Throws
  // GestalCoreOutOfBufferException / GestalCoreException on kernel failures.
  float similarityScore(const MotionSample& a, const MotionSample& b, uint32_t securityLevel,
                        uint32_t signType) const;
  float similarityScore(const PreparedRecording& a, const PreparedRecording& b,
                        uint32_t securityLevel, uint32_t signType) const;
  // Similarity and the match decision (score >= matchThreshold). Throws as similarityScore.
  MatchResult compareSignatures(const MotionSample& a, const MotionSample& b,
                                uint32_t securityLevel, uint32_t signType) const;
  MatchResult compareSignatures(const PreparedRecording& a, const PreparedRecording& b,
                                uint32_t securityLevel, uint32_t signType) const;
  // Number of primary components beyond the activity thresholds of the signature type.
  int32_t activityCount(const MotionSample& sample, uint32_t signType) const;

  float matchThreshold = 1.0f;
};

}  // namespace GestalPrivate
