#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "core/Matcher.h"
#include "core/MotionSample.h"
#include "gestures/CustomGestureResult.h"
#include "gestures/ElasticGestures.h"
#include "gestures/GestalCustomGestureDB.h"
#include "gestures/GestalPredefineGestureDB.h"
#include "gestures/PredefinedGesture.h"

namespace GestalPrivate {

// The gesture recogniser: predefined gestures from model files (a bounded number kept open),
// custom gestures from the custom gesture database, cached for the recogniser's life. Custom
// gestures are matched by the symbol matcher unless setMatcher chose the elastic one.
class GestalGestureRecognition {
 public:
  explicit GestalGestureRecognition(const std::string& directory, Caching caching = Caching::On);
  virtual ~GestalGestureRecognition();

  GestalCustomGestureDB& customGestureDB() { return *customDB_; }

  void setMatcher(const MatcherChoice& choice) { matcher_ = choice; }
  const MatcherChoice& matcher() const { return matcher_; }

  // Predefined gestures.
  // The model file of that name, opened on first use. At most kOpenModelLimit stay open: opening
  // one more closes the least recently used, which is read again on its next use.
  static constexpr std::size_t kOpenModelLimit = 8;
  GestalPredefineGestureDB& getPredefineGestureDB(const std::string& modelName);
  PredefinedGesture verifyPredefinedGesture(const std::string& modelName,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  float singleMatchPredefineGesture(const std::string& modelName, const std::string& gestureName,
                                    const MotionSample& sample);

  // Custom gestures.
  CustomGestureResult identifyCustomGesture(const std::string& nameSpace,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  bool isCustomGestureExisted(const std::string& nameSpace, const MotionSample& sample);
  bool isTwoGestureSimilar(const MotionSample& first, const MotionSample& second);

 private:
  // The samples of a gesture, read from the database on first use of its key and kept, prepared
  // for comparison, for the recogniser's life: later changes to the gesture in the file are not
  // seen.
  const std::vector<PreparedRecording>& cachedCustomSamples(const std::string& nameSpace,
                                                            const std::string& gestureIndex);

  std::string directory_;
  std::unique_ptr<GestalCustomGestureDB> customDB_;
  // The open model files, at most kOpenModelLimit; the least recently used one is closed first.
  struct OpenModel {
    std::string name;
    std::unique_ptr<GestalPredefineGestureDB> db;
    uint64_t lastUse = 0;
  };
  std::vector<OpenModel> openModels_;
  uint64_t modelUses_ = 0;
  std::map<std::string, std::vector<PreparedRecording>> customSamples_;
  MatcherChoice matcher_;
  ElasticGestures elastic_;
};

}  // namespace GestalPrivate
