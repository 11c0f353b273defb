#include "engine/GestalEng.h"

#include "core/Exceptions.h"
#include "signatures/GestalDB.h"
#include "signatures/GestalRecognition.h"
#include "signatures/GestalTraining.h"

namespace GestalPrivate {
namespace {

GestalEng* currentEngine = nullptr;

// Error type of an enrolment rejection code; 0 for codes outside 1 to 7.
int32_t enrolmentErrorType(int32_t code) {
  switch (code) {
    case 1:
      return -202;
    case 2:
      return -201;
    case 3:
      return -203;
    case 4:
      return -205;
    case 5:
      return -204;
    case 6:
      return -207;
    case 7:
      return -209;
    default:
      return 0;
  }
}

}  // namespace

GestalEng::GestalEng(const std::string& directory, int32_t preferenceType,
                     float trainMatchThreshold, float verifyMatchThreshold)
    : directory_(directory), profile_(makePreferenceProfile(preferenceType)) {
  db_ = std::make_unique<GestalDB>(*profile_, directory_, newEngineCaching);
  training_ = std::make_unique<GestalTraining>(db_.get(), *profile_, trainMatchThreshold);
  training_->setSecurityLevel(securityLevel_);
  recognition_ = std::make_unique<GestalRecognition>(db_.get(), *profile_, verifyMatchThreshold);
  gestures_ = std::make_unique<GestalGestureRecognition>(directory_, newEngineCaching);
  currentEngine = this;
}

GestalEng::~GestalEng() {
  if (currentEngine == this) currentEngine = nullptr;
  db_.reset();
  training_.reset();
  recognition_.reset();
  gestures_.reset();
}

GestalEng* GestalEng::current() {
  return currentEngine;
}

void GestalEng::setSecurityLevel(int32_t level) {
  securityLevel_ = level;
  training_->setSecurityLevel(level);
}

void GestalEng::setHighestStrengthLevel(int32_t level) {
  training_->setHighestStrengthLevel(level);
}

void GestalEng::setMaxFailedTrials(int32_t value) {
  recognition_->setMaxFailedTrials(value);
}

void GestalEng::setLockTimeSeconds(int32_t value) {
  recognition_->setLockTimeSeconds(value);
}

void GestalEng::setMatcher(const MatcherChoice& choice) {
  matcher_ = choice;
  recognition_->setMatcher(choice);
  gestures_->setMatcher(choice);
}

void GestalEng::readAction(int32_t actionIndex, Gestal::GSAction& action) {
  Gestal::GSAction stored = db_->getAction(actionIndex);
  action.actionIndex = stored.actionIndex;
  action.cmd = stored.cmd;
  action.strength = stored.strength;
  action.remainingSignatures = stored.remainingSignatures;
}

Gestal::GSAction GestalEng::AddSignature(int32_t actionIndex, const MotionSample& sample) {
  // A call that fails leaves neither rows nor held samples behind, so an enrolment never holds a
  // sample that could not be stored (for an index that can never be stored, nothing at all).
  EnrolmentState before = training_->saveEnrolment(actionIndex);
  try {
    SqliteTransaction call = db_->callTransaction();
    Gestal::GSAction action = enrol(actionIndex, sample);
    call.commit();
    return action;
  } catch (...) {
    training_->restoreEnrolment(actionIndex, std::move(before));
    throw;
  }
}

Gestal::GSAction GestalEng::enrol(int32_t actionIndex, const MotionSample& sample) {
  Gestal::GSAction action;
  action.status = {0, {0.0f}, 0};
  try {
    TrainingResult result = training_->train(actionIndex, sample);
    readAction(actionIndex, action);
    action.strength = result.strength;
    action.status.progress.asFloat = result.progress;
    action.status.securityLevel = result.complexity;
  } catch (const GestalTrainingInputException& e) {
    readAction(actionIndex, action);
    action.status.progress.asFloat = e.progress;
    action.status.error = enrolmentErrorType(e.code);
    if (e.code == 5) action.status.securityLevel = e.value;
  } catch (const GestalTrainingFailedException&) {
    readAction(actionIndex, action);
    action.status.progress.asFloat = 0.0f;
    action.status.error = -208;
  }
  return action;
}

Gestal::GSAction GestalEng::IdentifySignature(const std::vector<int32_t>& candidates,
                                              const MotionSample& sample) {
  // The adaptive-strength histories live in memory for the engine's life, but never count an
  // outcome whose write was rolled back.
  GestalRecognition::Histories histories = recognition_->adaptiveHistories();
  try {
    SqliteTransaction call = db_->callTransaction();
    Gestal::GSAction action = identify(candidates, sample);
    call.commit();
    return action;
  } catch (const StoreFault&) {
    recognition_->restoreAdaptiveHistories(std::move(histories));
    throw;
  }
}

Gestal::GSAction GestalEng::identify(const std::vector<int32_t>& candidates,
                                     const MotionSample& sample) {
  Gestal::GSAction action;
  action.status.error = 0;
  action.status.progress.asInt = -1;
  action.status.securityLevel = -1;
  try {
    std::vector<int32_t> accepted = recognition_->identify(candidates, sample);
    if (!accepted.empty()) {
      readAction(accepted.front(), action);
    } else {
      action.status.error = -1;
    }
  } catch (const NoMatchException& e) {
    action.status.error = -1;
    action.status.progress.asInt = e.remainingTrials;
    action.status.securityLevel = e.lockSeconds;
  } catch (const ReachMaxFailedTrialsInARowException& e) {
    action.status.error = -301;
    action.status.progress.asInt = 0;
    action.status.securityLevel = e.remainingLockSeconds;
  }
  return action;
}

void GestalEng::DeleteAction(int32_t actionIndex) {
  SqliteTransaction call = db_->callTransaction();
  db_->delAction(actionIndex);
  call.commit();
  training_->clearTraining(actionIndex);
}

PredefinedGesture GestalEng::VerifyPredefinedGesture(const std::string& modelName,
                                                     const std::vector<std::string>& targets,
                                                     const MotionSample& sample) {
  PredefinedGesture found = gestures_->verifyPredefinedGesture(modelName, targets, sample);
  PredefinedGesture result;
  result.name = found.name;
  result.score = found.score;
  result.confidence = found.confidence;
  return result;
}

float GestalEng::VerifySingleGesture(const std::string& modelName, const std::string& gestureName,
                                     const MotionSample& sample) {
  return gestures_->singleMatchPredefineGesture(modelName, gestureName, sample);
}

bool GestalEng::IsTwoGestureSimilar(const MotionSample& first, const MotionSample& second) {
  return gestures_->isTwoGestureSimilar(first, second);
}

void GestalEng::SetCustomGesture(const std::string& nameSpace, const std::string& gestureIndex,
                                 const std::vector<MotionSample>& recordings) {
  GestalCustomGestureDB& store = gestures_->customGestureDB();
  SqliteTransaction call = store.callTransaction();
  store.replaceCustomSamples(nameSpace, gestureIndex, recordings);
  call.commit();
}

CustomGestureResult GestalEng::IdentifyCustomGesture(const std::string& nameSpace,
                                                     const std::vector<std::string>& targets,
                                                     const MotionSample& sample) {
  SqliteReadScope call = gestures_->customGestureDB().readScope();
  return gestures_->identifyCustomGesture(nameSpace, targets, sample);
}

bool GestalEng::IsCustomGestureExisted(const std::string& nameSpace, const MotionSample& sample) {
  SqliteReadScope call = gestures_->customGestureDB().readScope();
  return gestures_->isCustomGestureExisted(nameSpace, sample);
}

}  // namespace GestalPrivate
