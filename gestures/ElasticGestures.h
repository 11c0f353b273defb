#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/ElasticTemplate.h"
#include "core/MotionSample.h"
#include "gestures/CustomGestureResult.h"
#include "gestures/GestalCustomGestureDB.h"

namespace GestalPrivate {

// Custom gestures as the elastic matcher identifies them: each gesture is the class of its stored
// samples, with the threshold their own spread gives (core/ElasticMatcher.h). The gestures are
// read from the store on first use and kept while the store reports no change, so a gesture
// stored again, by this engine or by another process, is seen by the next identification.
class ElasticGestures {
 public:
  ElasticGestures(GestalCustomGestureDB& store, Caching caching);

  // The gesture among `targets` (every gesture of the name space when empty, each once) whose
  // samples are nearest to the sample, when its confidence reaches `minConfidence`; otherwise an
  // empty match with confidence 0.
  CustomGestureResult identify(const std::string& nameSpace,
                               const std::vector<std::string>& targets, const MotionSample& sample,
                               float minConfidence);
  // Whether two recordings are the same gesture: the second is within the threshold of a gesture
  // made of the first alone, at `minConfidence`.
  bool similar(const MotionSample& first, const MotionSample& second, float minConfidence);

 private:
  struct Gesture {
    std::vector<ElasticTemplatePtr> templates;
    float threshold = 0.0f;
  };
  const Gesture& gesture(const std::string& nameSpace, const std::string& index);

  GestalCustomGestureDB& store_;
  Caching caching_;
  uint64_t changes_ = 0;
  std::map<std::pair<std::string, std::string>, Gesture> gestures_;
};

}  // namespace GestalPrivate
