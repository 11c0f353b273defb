#pragma once

#include <cstdint>
#include <memory>

namespace GestalPrivate {

// Policy tables of the engine: how many signatures an enrolment needs and keeps, how strict
// acceptance is, how learning behaves. Profiles hold no state; every getter depends only on the
// profile and its arguments.
class GSEnginePreferenceParameters {
 public:
  virtual ~GSEnginePreferenceParameters() = default;

  virtual int32_t signatureTypeMode() const { return 0; }
  virtual int32_t requiredSignatureCount() const { return 3; }
  virtual bool checksSignatureQuality() const { return true; }
  virtual int32_t minimumComplexityLevel(int32_t securityLevel) const;
  // Slots 5 to 7 complete the table; no part of the engine reads them.
  virtual int32_t setting5() const { return 3; }
  virtual int32_t setting6() const { return 5; }
  virtual int32_t setting7() const { return 600; }
  virtual int32_t storedSignatureLimit() const { return 15; }
  virtual double acceptanceRatio(int32_t signType) const;
  virtual int32_t learningIntervalSeconds() const { return 86400; }
  virtual int32_t verificationLevel(int32_t level, int32_t signType) const;
  virtual int32_t adaptLearningMode() const { return 2; }
};

// Stricter complexity requirements for enrolment.
class GSEnginePreferenceParameters_HighSecurity : public GSEnginePreferenceParameters {
 public:
  int32_t minimumComplexityLevel(int32_t securityLevel) const override;
  int32_t setting5() const override { return 2; }
};

// Looser acceptance for quick unlocking: no quality checks, more stored signatures.
class GSEnginePreferenceParameters_Unlock : public GSEnginePreferenceParameters {
 public:
  int32_t signatureTypeMode() const override { return 1; }
  bool checksSignatureQuality() const override { return false; }
  int32_t minimumComplexityLevel(int32_t) const override { return 0; }
  int32_t setting5() const override { return 4; }
  int32_t storedSignatureLimit() const override { return 20; }
  double acceptanceRatio(int32_t signType) const override;
  int32_t verificationLevel(int32_t level, int32_t signType) const override;
  int32_t adaptLearningMode() const override { return 1; }
};

// The profile for a `preferenceType`: 1 high security, 2 unlock, anything else the base profile.
std::unique_ptr<GSEnginePreferenceParameters> makePreferenceProfile(int32_t preferenceType);

// A new profile of the same kind as `profile`, for a part that keeps its own copy.
std::unique_ptr<GSEnginePreferenceParameters> copyPreferenceProfile(
    const GSEnginePreferenceParameters& profile);

}  // namespace GestalPrivate
