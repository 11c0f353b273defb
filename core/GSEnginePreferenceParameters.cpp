#include "core/GSEnginePreferenceParameters.h"

namespace GestalPrivate {

int32_t GSEnginePreferenceParameters::minimumComplexityLevel(int32_t securityLevel) const {
  switch (securityLevel) {
    case 0:
      return 4;
    case 2:
      return 1;
    default:
      return 3;
  }
}

double GSEnginePreferenceParameters::acceptanceRatio(int32_t) const {
  return 0.4;
}

int32_t GSEnginePreferenceParameters::verificationLevel(int32_t level, int32_t) const {
  if (level == 0) return 1;
  if (level == 1) return 2;
  return level;
}

int32_t GSEnginePreferenceParameters_HighSecurity::minimumComplexityLevel(
    int32_t securityLevel) const {
  switch (securityLevel) {
    case 0:
      return 5;
    case 2:
      return 3;
    default:
      return 4;
  }
}

double GSEnginePreferenceParameters_Unlock::acceptanceRatio(int32_t signType) const {
  return signType == 1 ? 0.2 : 0.3;
}

int32_t GSEnginePreferenceParameters_Unlock::verificationLevel(int32_t level,
                                                               int32_t signType) const {
  if (signType != 1) return GSEnginePreferenceParameters::verificationLevel(level, signType);
  // Compared unsigned, so a negative level is left as it is.
  if (static_cast<uint32_t>(level) <= 1) return 2;
  if (level == 2) return 3;
  if (level == 3) return 4;
  return level;
}

std::unique_ptr<GSEnginePreferenceParameters> makePreferenceProfile(int32_t preferenceType) {
  switch (preferenceType) {
    case 1:
      return std::make_unique<GSEnginePreferenceParameters_HighSecurity>();
    case 2:
      return std::make_unique<GSEnginePreferenceParameters_Unlock>();
    default:
      return std::make_unique<GSEnginePreferenceParameters>();
  }
}

std::unique_ptr<GSEnginePreferenceParameters> copyPreferenceProfile(
    const GSEnginePreferenceParameters& profile) {
  if (dynamic_cast<const GSEnginePreferenceParameters_Unlock*>(&profile) != nullptr) {
    return std::make_unique<GSEnginePreferenceParameters_Unlock>();
  }
  if (dynamic_cast<const GSEnginePreferenceParameters_HighSecurity*>(&profile) != nullptr) {
    return std::make_unique<GSEnginePreferenceParameters_HighSecurity>();
  }
  return std::make_unique<GSEnginePreferenceParameters>();
}

}  // namespace GestalPrivate
