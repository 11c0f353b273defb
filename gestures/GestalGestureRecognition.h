#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/MotionSample.h"
#include "gestures/GestalCustomGestureDB.h"
#include "gestures/GestalPredefineGestureDB.h"
#include "gestures/PredefinedGesture.h"

namespace GestalPrivate {

// Result of custom gesture identification.
struct CustomGestureResult {
  std::string matchedGesture;  // the identified gesture index, empty when none
  float confidence = 0.0f;     // the identified gesture's mean first-pass score
};

// The gesture recogniser: predefined gestures from model files, custom gestures from the custom
// gesture database, each cached for the recogniser's life.
class GestalGestureRecognition {
 public:
  explicit GestalGestureRecognition(const std::string& directory);
  virtual ~GestalGestureRecognition();

  GestalCustomGestureDB& customGestureDB() { return *customDB_; }

  // Predefined gestures.
  GestalPredefineGestureDB& getPredefineGestureDB(const std::string& modelName);
  PredefinedGesture verifyPredefinedGesture(const std::string& modelName,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  float singleMatchPredefineGesture(const std::string& modelName, const std::string& gestureName,
                                    const MotionSample& sample);

  // Custom gestures.
  std::vector<MotionSample> getCustomGestureSamples(const std::string& nameSpace,
                                                    const std::string& gestureIndex);
  CustomGestureResult identifyCustomGesture(const std::string& nameSpace,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  bool isCustomGestureExisted(const std::string& nameSpace, const MotionSample& sample);
  bool isTwoGestureSimilar(const MotionSample& first, const MotionSample& second);

 private:
  // The cached samples of a gesture, read from the database on first use of its key.
  const std::vector<MotionSample>& cachedCustomSamples(const std::string& nameSpace,
                                                       const std::string& gestureIndex);

  std::string directory_;
  std::unique_ptr<GestalCustomGestureDB> customDB_;
  std::map<std::string, std::unique_ptr<GestalPredefineGestureDB>> predefinedDBs_;
  std::map<std::string, std::vector<MotionSample>> customSamples_;
};

}  // namespace GestalPrivate
