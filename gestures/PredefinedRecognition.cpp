#include <cmath>
#include <cstdio>

#include "core/GestalCore.h"
#include "core/Log.h"
#include "gestures/GestalGestureRecognition.h"
#include "gestures/PredefinedScoring.h"

namespace GestalPrivate {
namespace {

constexpr double kConfidenceExponent = 0.3;

// The gesture record named `name` in the first weak classifier, or null.
const PredefinedGesture* findGesture(const AdaboostClassifier& classifier,
                                     const std::string& name) {
  PredefinedGesture key;
  key.name = name;
  const auto& templates = classifier.front().templates;
  const auto entry = templates.find(key);
  return entry != templates.end() ? &entry->first : nullptr;
}

}  // namespace

PredefinedGesture GestalGestureRecognition::verifyPredefinedGesture(
    const std::string& modelName, const std::vector<std::string>& targets,
    const MotionSample& sample) {
  const AdaboostClassifier& classifier = getPredefineGestureDB(modelName).readWeakClassifiers();
  if (classifier.empty()) return PredefinedGesture();

  // Targets that name no gesture of the model are skipped.
  std::vector<PredefinedGesture> gestures;
  if (targets.empty()) {
    for (const auto& entry : classifier.front().templates) gestures.push_back(entry.first);
  } else {
    for (const std::string& target : targets) {
      if (const PredefinedGesture* gesture = findGesture(classifier, target)) {
        gestures.push_back(*gesture);
      }
    }
  }

  const PreparedSequence prepared = GestalCore().prepareSequence(sample, false);
  GestureInput input(prepared);
  // A gesture listed twice accumulates twice.
  std::map<PredefinedGesture, float> scores;
  for (const WeakClassifier& weak : classifier) {
    for (const PredefinedGesture& gesture : gestures) {
      scores[gesture] += weak.alpha * weakResponse(weak, gesture, input);
    }
  }

  // In name order, so of equal scores the first name stays best.
  float best = 0.0f;
  float second = 0.0f;
  PredefinedGesture result;
  for (const auto& [gesture, score] : scores) {
    if (score > best) {
      result.id = gesture.id;
      result.name = gesture.name;
      second = best;
      best = score;
    } else {
      second = std::fmax(second, score);
    }
  }
  const float base = second > 0.0f ? (best - second) / second : std::fabs(best - 1.0f);
  result.score = best;
  result.confidence = static_cast<float>(std::pow(static_cast<double>(base), kConfidenceExponent));
  return result;
}

float GestalGestureRecognition::singleMatchPredefineGesture(const std::string& modelName,
                                                            const std::string& gestureName,
                                                            const MotionSample& sample) {
  logLine(LogLevel::Info, "run singleMatchPredefineGesture");
  const AdaboostClassifier& classifier = getPredefineGestureDB(modelName).readWeakClassifiers();
  if (classifier.empty()) {
    logLine(LogLevel::Info, "singleMatchPredefineGesture get empty adaboostClassifier");
    return 0.0f;
  }
  // An unknown name scores 0 in every weak classifier.
  const PredefinedGesture* known = findGesture(classifier, gestureName);
  const PredefinedGesture gesture = known != nullptr ? *known : PredefinedGesture();
  const PreparedSequence prepared = GestalCore().prepareSequence(sample, false);
  GestureInput input(prepared);
  float total = 0.0f;
  for (const WeakClassifier& weak : classifier) {
    total += weak.alpha * weakResponse(weak, gesture, input);
  }
  return total;
}

}  // namespace GestalPrivate
