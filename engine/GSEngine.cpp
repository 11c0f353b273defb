#include "engine/GSEngine.h"

#include <stdexcept>
#include <string>

#include "engine/GestalEng.h"

namespace Gestal {
namespace {

GSEngine* currentPublicEngine = nullptr;

const char* const kGestureNames[] = {"HEART", "C", "DOWN"};

}  // namespace

std::string gestureName(int32_t gestureIndex) {
  if (gestureIndex < 0 || gestureIndex > 2) return std::string();
  return kGestureNames[gestureIndex];
}

GSEngine::GSEngine(const std::string& directory, const GSEngineParameters& parameters)
    : parameters_(parameters) {
  eng_ = std::make_unique<GestalPrivate::GestalEng>(directory, parameters_.preferenceType,
                                                    parameters_.trainMatchThreshold,
                                                    parameters_.verifyMatchThreshold);
  eng_->setSecurityLevel(parameters_.securityLevel);
  eng_->setHighestStrengthLevel(parameters_.highestStrengthLevel);
  SetLockPolicy(parameters_.maxFailedTrials, parameters_.lockTimeSeconds);
  currentPublicEngine = this;
}

GSEngine::~GSEngine() {
  if (currentPublicEngine == this) currentPublicEngine = nullptr;
}

void GSEngine::SetLockPolicy(int32_t maxFailedTrials, int32_t lockTimeSeconds) {
  parameters_.maxFailedTrials = maxFailedTrials;
  parameters_.lockTimeSeconds = lockTimeSeconds;
  eng_->setMaxFailedTrials(maxFailedTrials);
  eng_->setLockTimeSeconds(lockTimeSeconds);
}

void GSEngine::SetMatcher(int32_t matcher) {
  if (matcher != GESTAL_MATCHER_LCS && matcher != GESTAL_MATCHER_ELASTIC) {
    throw std::invalid_argument("unknown matcher " + std::to_string(matcher));
  }
  GestalPrivate::MatcherChoice choice = eng_->matcher();
  choice.matcher = matcher == GESTAL_MATCHER_ELASTIC ? GestalPrivate::Matcher::Elastic
                                                     : GestalPrivate::Matcher::Lcs;
  eng_->setMatcher(choice);
}

void GSEngine::SetMinConfidence(float minConfidence) {
  if (!(minConfidence >= 0.0f)) {
    throw std::invalid_argument("minimum confidence must be 0 or more");
  }
  GestalPrivate::MatcherChoice choice = eng_->matcher();
  choice.minConfidence = minConfidence;
  eng_->setMatcher(choice);
}

GSEngine* GSEngine::current() {
  return currentPublicEngine;
}

GestalPrivate::GestalEng& GSEngine::engine() {
  return *GestalPrivate::GestalEng::current();
}

GSAction GSEngine::AddSignature(int32_t actionIndex, const GestalPrivate::MotionSample& sample) {
  return engine().AddSignature(actionIndex, sample);
}

GSAction GSEngine::IdentifySignature(const std::vector<int32_t>& candidates,
                                     const GestalPrivate::MotionSample& sample) {
  return engine().IdentifySignature(candidates, sample);
}

void GSEngine::DeleteAction(int32_t actionIndex) {
  engine().DeleteAction(actionIndex);
}

GestureVerifyResult GSEngine::VerifyGesture(const std::vector<int32_t>& gestureIndexes,
                                            const GestalPrivate::MotionSample& sample) {
  std::vector<std::string> names;
  names.reserve(gestureIndexes.size());
  for (int32_t index : gestureIndexes) names.push_back(gestureName(index));
  GestalPrivate::PredefinedGesture found =
      engine().VerifyPredefinedGesture(kDefaultGestureModel, names, sample);
  // No gesture of the model matched (or it is none of the three): bestMatch stays -1.
  GestureVerifyResult result{-1, found.score, found.confidence};
  for (int32_t index = 0; index < 3; ++index) {
    if (found.name == kGestureNames[index]) {
      result.bestMatch = index;
      break;
    }
  }
  return result;
}

GestalPrivate::PredefinedGesture GSEngine::VerifyPredefinedGesture(
    const std::string& modelName, const std::vector<std::string>& targets,
    const GestalPrivate::MotionSample& sample) {
  return engine().VerifyPredefinedGesture(modelName, targets, sample);
}

float GSEngine::VerifySingleGesture(int32_t gestureIndex,
                                    const GestalPrivate::MotionSample& sample) {
  return engine().VerifySingleGesture(kDefaultGestureModel, gestureName(gestureIndex), sample);
}

bool GSEngine::IsTwoGestureSimilar(const GestalPrivate::MotionSample& first,
                                   const GestalPrivate::MotionSample& second) {
  return engine().IsTwoGestureSimilar(first, second);
}

void GSEngine::SetCustomGesture(const std::string& nameSpace, const std::string& gestureIndex,
                                const std::vector<GestalPrivate::MotionSample>& recordings) {
  engine().SetCustomGesture(nameSpace, gestureIndex, recordings);
}

GestalPrivate::CustomGestureResult GSEngine::IdentifyCustomGesture(
    const std::string& nameSpace, const std::vector<std::string>& targets,
    const GestalPrivate::MotionSample& sample) {
  return engine().IdentifyCustomGesture(nameSpace, targets, sample);
}

bool GSEngine::IsCustomGestureExisted(const std::string& nameSpace,
                                      const GestalPrivate::MotionSample& sample) {
  return engine().IsCustomGestureExisted(nameSpace, sample);
}

}  // namespace Gestal
