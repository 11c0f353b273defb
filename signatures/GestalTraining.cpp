#include "signatures/GestalTraining.h"

#include <cstddef>

#include "core/Exceptions.h"
#include "core/GestalCore.h"
#include "signatures/GestalDB.h"

namespace GestalPrivate {
namespace {

constexpr uint32_t kLoosestLevel = 4;
constexpr uint32_t kUnchangedStrength = 0xFFFFFFFFu;
// Enrolment gives up when the seventh sample still leaves the window without an accepted level.
constexpr std::size_t kLastChance = 7;
constexpr int32_t kMaxPostureFailures = 3;
constexpr int32_t kMaxMotionFailures = 2;
// Signatures of at least this many milliseconds count as long ones.
constexpr float kLongSignatureMillis = 1200.0f;

float progressOf(std::size_t held) {
  switch (held) {
    case 0:
      return 0.0f;
    case 1:
      return 0.2f;
    case 2:
      return 0.4f;
    case 3:
      return 0.6f;
    case 4:
      return 0.7f;
    case 5:
      return 0.8f;
    case 6:
      return 0.9f;
    default:
      return -1.0f;
  }
}

// Whether a window of n held samples that agrees at `level` completes the enrolment, with `highest`
// the highest accepted level (-1: no cap).
bool levelAccepted(std::size_t n, int32_t level, int32_t highest) {
  const bool withinCap = highest == -1 || level <= highest;
  switch (n) {
    case 0:
    case 1:
    case 2:
      return true;
    case 3:
      return level == 0;
    case 4:
      return level <= 1 && withinCap;
    case 5:
      return level <= 2 && withinCap;
    case 6:
      return level <= 3 && withinCap;
    default:
      return withinCap;
  }
}

using Samples = std::vector<MotionSample>;

// Loosest level at which every pair of the samples matches, or -1.
int32_t strengthLevel(const GestalCore& core, const Samples& samples, std::size_t required,
                      uint32_t type) {
  if (samples.size() < required) return -1;
  int32_t worst = 0;
  try {
    for (std::size_t i = 0; i < samples.size(); ++i) {
      for (std::size_t j = i + 1; j < samples.size(); ++j) {
        auto matches = [&](uint32_t level) {
          return core.compareSignatures(samples[i], samples[j], level, type).matched;
        };
        int32_t pair = -1;
        if (matches(2)) {
          pair = matches(1) ? (matches(0) ? 0 : 1) : 2;
        } else if (matches(3)) {
          pair = 3;
        } else if (matches(4)) {
          pair = 4;
        }
        if (pair == -1) return -1;
        if (pair > worst) worst = pair;
      }
    }
  } catch (const GestalCoreException&) {
    return -1;
  }
  return worst;
}

// Every pair matches at the loosest level.
bool consistent(const GestalCore& core, const Samples& samples, uint32_t type) {
  if (samples.empty()) return false;
  try {
    for (std::size_t i = 0; i < samples.size(); ++i) {
      for (std::size_t j = i + 1; j < samples.size(); ++j) {
        if (!core.compareSignatures(samples[i], samples[j], kLoosestLevel, type).matched) {
          return false;
        }
      }
    }
  } catch (const GestalCoreException&) {
    return false;
  }
  return true;
}

template <class Value>
std::optional<Value> entryOf(const std::map<int32_t, Value>& map, int32_t key) {
  auto entry = map.find(key);
  if (entry == map.end()) return std::nullopt;
  return entry->second;
}

template <class Value>
void putBack(std::map<int32_t, Value>& map, int32_t key, std::optional<Value> value) {
  if (value) {
    map[key] = std::move(*value);
  } else {
    map.erase(key);
  }
}

}  // namespace

GestalTraining::GestalTraining(GestalDB* db, const GSEnginePreferenceParameters& profile,
                               float trainMatchThreshold)
    : db_(db),
      trainMatchThreshold_(trainMatchThreshold),
      profile_(copyPreferenceProfile(profile)) {}

GestalTraining::~GestalTraining() = default;

void GestalTraining::clearTraining(int32_t actionIndex) {
  pending_.erase(actionIndex);
  postureFailures_.erase(actionIndex);
  motionFailures_.erase(actionIndex);
}

EnrolmentState GestalTraining::saveEnrolment(int32_t actionIndex) const {
  return EnrolmentState{entryOf(pending_, actionIndex), entryOf(postureFailures_, actionIndex),
                        entryOf(motionFailures_, actionIndex)};
}

void GestalTraining::restoreEnrolment(int32_t actionIndex, EnrolmentState state) {
  putBack(pending_, actionIndex, std::move(state.held));
  putBack(postureFailures_, actionIndex, state.postureFailures);
  putBack(motionFailures_, actionIndex, state.motionFailures);
}

uint32_t GestalTraining::signatureTypeOf(const std::vector<MotionSample>& samples) const {
  const int32_t mode = profile_->signatureTypeMode();
  if (samples.empty() || mode == 0) return static_cast<uint32_t>(mode);
  std::size_t longOnes = 0;
  for (const MotionSample& sample : samples) {
    if (sample.size() >= 2 &&
        sample.back()[kTime] - sample.front()[kTime] >= kLongSignatureMillis) {
      ++longOnes;
    }
  }
  return static_cast<double>(longOnes) / static_cast<double>(samples.size()) > 0.5 ? 2 : 1;
}

int32_t GestalTraining::firstSampleCheck(int32_t actionIndex, const MotionSample& sample) {
  GestalCore core(trainMatchThreshold_);
  int32_t& postureFailures = postureFailures_[actionIndex];
  if (postureFailures < kMaxPostureFailures && !core.isPostureAcceptable(sample)) {
    ++postureFailures;
    return 3;
  }
  try {
    const int32_t activity =
        core.activityCount(sample, static_cast<uint32_t>(profile_->signatureTypeMode()));
    if (!core.isWithinLimits(sample, activity)) return 1;
  } catch (const GestalCoreOutOfBufferException&) {
    return 1;
  }
  int32_t& motionFailures = motionFailures_[actionIndex];
  if (motionFailures < kMaxMotionFailures && !core.hasEnoughMotion(sample)) {
    ++motionFailures;
    return 4;
  }
  return 0;
}

TrainingResult GestalTraining::train(int32_t actionIndex, const MotionSample& sample) {
  std::vector<MotionSample>& held = pending_[actionIndex];
  GestalCore core(trainMatchThreshold_);
  if (!core.isLongEnough(sample)) {
    throw GestalTrainingInputException(2, progressOf(held.size()), 0);
  }

  const bool first = held.empty();
  const bool checksQuality = profile_->checksSignatureQuality();
  int32_t complexity = 0;
  if (first) {
    if (checksQuality) {
      const int32_t code = firstSampleCheck(actionIndex, sample);
      if (code != 0) throw GestalTrainingInputException(code, progressOf(0), 0);
    }
    try {
      const int32_t activity =
          core.activityCount(sample, static_cast<uint32_t>(profile_->signatureTypeMode()));
      complexity = core.complexityLevel(activity, core.sampleRate(sample));
    } catch (const GestalCoreOutOfBufferException&) {
      throw GestalTrainingInputException(1, progressOf(0), 0);
    }
    if (checksQuality && complexity < profile_->minimumComplexityLevel(securityLevel_)) {
      throw GestalTrainingInputException(5, progressOf(0), complexity);
    }
  }

  held.push_back(sample);
  const std::size_t n = held.size();
  const std::size_t required = static_cast<std::size_t>(profile_->requiredSignatureCount());
  // Creates the action row (strength -1) for a new action; an existing row stays as it is.
  if (n == 1) db_->writeAction(actionIndex, std::string(), kUnchangedStrength);

  if (n < required) {
    if (n == 2 && !consistent(core, held, signatureTypeOf(held))) {
      held.pop_back();
      throw GestalTrainingInputException(7, progressOf(held.size()), 0);
    }
    return TrainingResult{-1, progressOf(n), complexity};
  }

  const Samples window(held.end() - static_cast<std::ptrdiff_t>(required), held.end());
  const uint32_t type = signatureTypeOf(window);
  const int32_t level = strengthLevel(core, window, required, type);

  if (level != -1) {
    if (levelAccepted(n, level, highestStrengthLevel_)) {
      return complete(actionIndex, level, type);
    }
    if (n < kLastChance) return TrainingResult{-1, progressOf(n), complexity};
    clearTraining(actionIndex);
    throw GestalTrainingFailedException();
  }

  // The window does not agree even at the loosest level: when the newest sample alone is the odd
  // one out, it is rejected and the others stay.
  const MotionSample& newest = held.back();
  std::size_t misses = 0;
  for (std::size_t k = n - 1; k-- > n - required;) {
    try {
      if (!core.compareSignatures(newest, held[k], kLoosestLevel, type).matched) ++misses;
    } catch (const GestalCoreException&) {
      ++misses;
    }
  }
  if (misses >= required - 1) {
    const Samples others(held.end() - static_cast<std::ptrdiff_t>(required), held.end() - 1);
    if (consistent(core, others, type)) {
      held.pop_back();
      throw GestalTrainingInputException(6, progressOf(held.size()), 0);
    }
  }
  if (n >= kLastChance) {
    clearTraining(actionIndex);
    throw GestalTrainingFailedException();
  }
  return TrainingResult{-1, progressOf(n), 0};
}

TrainingResult GestalTraining::complete(int32_t actionIndex, int32_t level, uint32_t type) {
  const Samples samples = pending_[actionIndex];
  db_->delSignatures(actionIndex);
  for (const MotionSample& sample : samples) db_->addSignature(sample, actionIndex);
  db_->writeAction(actionIndex, std::string(), static_cast<uint32_t>(level));
  db_->setSignatureType(actionIndex, static_cast<int32_t>(type));
  // A newly enrolled action starts without failed verifications or adaptive-strength history.
  db_->delVerificationResult(actionIndex);
  db_->delAdaptStrengthVerifyHistory(actionIndex);
  clearTraining(actionIndex);
  return TrainingResult{level, 1.0f, 0};
}

}  // namespace GestalPrivate
