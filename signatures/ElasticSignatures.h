#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/ElasticTemplate.h"
#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"

namespace GestalPrivate {

class GestalDB;

// Signature identification by the elastic matcher: each action is the class of its newest stored
// signatures (up to the profile's storedSignatureLimit, at least its requiredSignatureCount), with
// the threshold their own spread gives (core/ElasticMatcher.h). The identified sample is learned
// into the action's stored signatures as the profile's adaptLearningMode says:
//   1  always;
//   2  when the action's newest signature is older than learningIntervalSeconds, or when more
//      than half of its newest requiredSignatureCount signatures accept the sample on their own;
//   any other mode never.
// The thresholds are computed once per set of stored signatures and kept while the store answers
// with the same set.
class ElasticSignatures {
 public:
  ElasticSignatures(GestalDB* db, const GSEnginePreferenceParameters& profile);

  // The action among `actions` (each taken once) whose signatures are nearest to the sample, when
  // its confidence reaches `minConfidence`; empty otherwise.
  std::vector<int32_t> identify(const std::vector<int32_t>& actions, const MotionSample& sample,
                                float minConfidence);

 private:
  struct Calibrated {
    std::vector<ElasticTemplatePtr> templates;
    float threshold = 0.0f;
  };
  const Calibrated& calibrated(int32_t action);
  void learn(const ElasticTemplate& probe, const MotionSample& sample, int32_t action,
             const Calibrated& stored, float minConfidence);

  GestalDB* db_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  std::unordered_map<int32_t, Calibrated> calibrations_;
};

}  // namespace GestalPrivate
