#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"

namespace GestalPrivate {

class GestalDB;

// Outcome of one enrolment step.
struct TrainingResult {
  int32_t strength = -1;   // 0 to 4 when this step completed the enrolment, else -1
  float progress = 0.0f;   // 1.0 on completion, else the progress of the samples held
  int32_t complexity = 0;  // complexity level of a first sample, else 0
};

// The open enrolment of one action as it stands between two calls: its held samples and failure
// counters (each absent when the action has none).
struct EnrolmentState {
  std::optional<std::vector<MotionSample>> held;
  std::optional<int32_t> postureFailures;
  std::optional<int32_t> motionFailures;
};

// Enrols a signature for a numbered action from repeated performances, held in memory until they
// agree well enough; then stores them with the action's strength level and signature type.
class GestalTraining {
 public:
  GestalTraining(GestalDB* db, const GSEnginePreferenceParameters& profile,
                 float trainMatchThreshold);
  virtual ~GestalTraining();

  // Throws GestalTrainingInputException (rejected sample) and GestalTrainingFailedException
  // (enrolment given up); database exceptions pass through.
  TrainingResult train(int32_t actionIndex, const MotionSample& sample);
  // Forgets the open enrolment of the action and its failure counters.
  void clearTraining(int32_t actionIndex);

  // A copy of the action's open enrolment, and its return, for a call whose writes failed: the
  // enrolment then goes on as if that call had not been made.
  EnrolmentState saveEnrolment(int32_t actionIndex) const;
  void restoreEnrolment(int32_t actionIndex, EnrolmentState state);

  void setSecurityLevel(int32_t level) { securityLevel_ = level; }
  void setHighestStrengthLevel(int32_t level) { highestStrengthLevel_ = level; }

 private:
  // Signature type of a set of samples: the profile's mode, or by the share of long samples.
  uint32_t signatureTypeOf(const std::vector<MotionSample>& samples) const;
  // Checks of the first sample of an enrolment: 0 when it passes, else the rejection code.
  int32_t firstSampleCheck(int32_t actionIndex, const MotionSample& sample);
  // Stores the held samples with the strength level and type, and closes the enrolment.
  TrainingResult complete(int32_t actionIndex, int32_t level, uint32_t type);

  GestalDB* db_;
  float trainMatchThreshold_;
  int32_t securityLevel_ = 1;
  int32_t highestStrengthLevel_ = 3;
  std::unique_ptr<GSEnginePreferenceParameters> profile_;
  std::map<int32_t, std::vector<MotionSample>> pending_;
  std::map<int32_t, int32_t> postureFailures_;
  std::map<int32_t, int32_t> motionFailures_;
};

}  // namespace GestalPrivate
