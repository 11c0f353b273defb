#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GSAction.h"
#include "core/GSEnginePreferenceParameters.h"
#include "core/Matcher.h"
#include "core/MotionSample.h"
#include "gestures/GestalGestureRecognition.h"
#include "gestures/PredefinedGesture.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

class GestalDB;
class GestalTraining;
class GestalRecognition;

// The internal engine: owns the signature database, enrolment, identification and the gesture
// recogniser, and turns the exceptions of enrolment and identification into error types. Each
// operation that writes is one transaction on the one file it writes: everything it stores
// commits together at its end, or nothing does (see docs/architecture.md).
class GestalEng {
 public:
  // Builds the parts in this order: database, training, identification, gesture recogniser. The
  // new engine becomes the current one once it is complete.
  GestalEng(const std::string& directory, int32_t preferenceType, float trainMatchThreshold,
            float verifyMatchThreshold);
  virtual ~GestalEng();

  // The engine built last, or null before the first one.
  static GestalEng* current();

  // Whether the engines built from now on keep caches over their stores: Caching::On in the
  // library. The same code built as libgestal_uncached (for the benchmark) starts with
  // Caching::Off; tests switch it to compare the two.
  static Caching newEngineCaching;

  Gestal::GSAction AddSignature(int32_t actionIndex, const MotionSample& sample);
  Gestal::GSAction IdentifySignature(const std::vector<int32_t>& candidates,
                                     const MotionSample& sample);
  void DeleteAction(int32_t actionIndex);

  PredefinedGesture VerifyPredefinedGesture(const std::string& modelName,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  float VerifySingleGesture(const std::string& modelName, const std::string& gestureName,
                            const MotionSample& sample);
  bool IsTwoGestureSimilar(const MotionSample& first, const MotionSample& second);
  void SetCustomGesture(const std::string& nameSpace, const std::string& gestureIndex,
                        const std::vector<MotionSample>& recordings);
  CustomGestureResult IdentifyCustomGesture(const std::string& nameSpace,
                                            const std::vector<std::string>& targets,
                                            const MotionSample& sample);
  bool IsCustomGestureExisted(const std::string& nameSpace, const MotionSample& sample);

  // Applied by the public engine right after construction.
  void setSecurityLevel(int32_t level);
  void setHighestStrengthLevel(int32_t level);
  void setMaxFailedTrials(int32_t value);
  void setLockTimeSeconds(int32_t value);
  // The matcher of custom gesture and signature identification, for both subsystems.
  void setMatcher(const MatcherChoice& choice);
  const MatcherChoice& matcher() const { return matcher_; }

  GestalDB& database() { return *db_; }

 private:
  // One enrolment step and one identification inside the call's transaction.
  Gestal::GSAction enrol(int32_t actionIndex, const MotionSample& sample);
  Gestal::GSAction identify(const std::vector<int32_t>& candidates, const MotionSample& sample);
  // Copies the stored record of the action into `action`.
  void readAction(int32_t actionIndex, Gestal::GSAction& action);

  std::string directory_;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  int32_t securityLevel_ = 1;
  MatcherChoice matcher_;
  std::unique_ptr<GestalDB> db_;
  std::unique_ptr<GestalTraining> training_;
  std::unique_ptr<GestalRecognition> recognition_;
  std::unique_ptr<GestalGestureRecognition> gestures_;
};

}  // namespace GestalPrivate
