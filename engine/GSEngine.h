#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GSAction.h"
#include "core/GSEngineParameters.h"
#include "core/MotionSample.h"
#include "gestal.h"
#include "gestures/GestalGestureRecognition.h"
#include "gestures/PredefinedGesture.h"

namespace GestalPrivate {
class GestalEng;
}

namespace Gestal {

// The name of the predefined gesture model that VerifyGesture and VerifySingleGesture use.
inline constexpr const char* kDefaultGestureModel = "gestal_gesture_adaboost";

// Gesture name of a gesture index: 0 "HEART", 1 "C", 2 "DOWN", anything else the empty name.
std::string gestureName(int32_t gestureIndex);

// The public engine. Every operation works on the current internal engine (the one built last),
// whichever public engine it is called on.
class GSEngine {
 public:
  // Builds an internal engine for the database directory, applies the parameters to its parts and
  // becomes the current public engine. Throws when the engine's databases cannot be opened.
  GSEngine(const std::string& directory, const GSEngineParameters& parameters);
  virtual ~GSEngine();

  // The public engine built last, or null before the first one.
  static GSEngine* current();

  GSAction AddSignature(int32_t actionIndex, const GestalPrivate::MotionSample& sample);
  GSAction IdentifySignature(const std::vector<int32_t>& candidates,
                             const GestalPrivate::MotionSample& sample);
  void DeleteAction(int32_t actionIndex);
  GestureVerifyResult VerifyGesture(const std::vector<int32_t>& gestureIndexes,
                                    const GestalPrivate::MotionSample& sample);
  GestalPrivate::PredefinedGesture VerifyPredefinedGesture(
      const std::string& modelName, const std::vector<std::string>& targets,
      const GestalPrivate::MotionSample& sample);
  float VerifySingleGesture(int32_t gestureIndex, const GestalPrivate::MotionSample& sample);
  bool IsTwoGestureSimilar(const GestalPrivate::MotionSample& first,
                           const GestalPrivate::MotionSample& second);
  void SetCustomGesture(const std::string& nameSpace, const std::string& gestureIndex,
                        const std::vector<GestalPrivate::MotionSample>& recordings);
  GestalPrivate::CustomGestureResult IdentifyCustomGesture(
      const std::string& nameSpace, const std::vector<std::string>& targets,
      const GestalPrivate::MotionSample& sample);
  bool IsCustomGestureExisted(const std::string& nameSpace,
                              const GestalPrivate::MotionSample& sample);

  // The failed-trials lock of this engine's identifications: locked after `maxFailedTrials`
  // failures in a row, for `lockTimeSeconds` after the newest one.
  void SetLockPolicy(int32_t maxFailedTrials, int32_t lockTimeSeconds);
  // The matcher of this engine's custom gesture and signature identifications, and the confidence
  // the elastic matcher needs to answer. Throw std::invalid_argument for an unknown matcher or a
  // confidence that is negative or not a number.
  void SetMatcher(int32_t matcher);
  void SetMinConfidence(float minConfidence);

 private:
  static GestalPrivate::GestalEng& engine();

  GSEngineParameters parameters_;
  std::unique_ptr<GestalPrivate::GestalEng> eng_;
};

}  // namespace Gestal
