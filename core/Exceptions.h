#pragma once

#include <cstdint>
#include <exception>

namespace GestalPrivate {

// The engine's exceptions carry numbers, not messages: the engine turns the ones that concern the
// user's motion into error types of the action record.

// A matching kernel failed for a reason other than missing data.
class GestalCoreException : public std::exception {
 public:
  const char* what() const noexcept override { return "motion comparison failed"; }
};

// A recording is too long for the symbol buffers of the kernels.
class GestalCoreOutOfBufferException : public GestalCoreException {
 public:
  const char* what() const noexcept override { return "recording too long to compare"; }
};

// Enrolment rejected one signature (codes 1 to 7).
class GestalTrainingInputException : public std::exception {
 public:
  GestalTrainingInputException(int32_t code, float progress, int32_t value)
      : code(code), progress(progress), value(value) {}
  const char* what() const noexcept override { return "signature rejected"; }

  int32_t code;
  float progress;
  int32_t value;
};

// Enrolment gave up: the signatures did not agree by the seventh one.
class GestalTrainingFailedException : public std::exception {
 public:
  const char* what() const noexcept override { return "enrolment failed"; }
};

// Identification matched no candidate.
class NoMatchException : public std::exception {
 public:
  NoMatchException(int32_t remainingTrials, int32_t lockSeconds)
      : remainingTrials(remainingTrials), lockSeconds(lockSeconds) {}
  const char* what() const noexcept override { return "no action matched"; }

  int32_t remainingTrials;
  int32_t lockSeconds;
};

// A candidate action is locked after too many failed identifications in a row.
class ReachMaxFailedTrialsInARowException : public std::exception {
 public:
  explicit ReachMaxFailedTrialsInARowException(int32_t remainingLockSeconds)
      : remainingLockSeconds(remainingLockSeconds) {}
  const char* what() const noexcept override { return "action locked after failed trials"; }

  int32_t remainingLockSeconds;
};

}  // namespace GestalPrivate
