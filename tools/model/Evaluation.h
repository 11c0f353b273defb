#pragma once

#include <cstddef>
#include <cstdio>
#include <limits>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "gestures/PredefinedGesture.h"
#include "gestures/PredefinedScoring.h"
#include "tools/model/RecordingSet.h"

namespace GestalPrivate {

inline constexpr std::size_t kNoGesture = std::numeric_limits<std::size_t>::max();

// The library's choice among scores listed in gesture name order: the first strictly highest
// score above 0, or kNoGesture when none is above 0.
inline std::size_t bestScoreIndex(const float* scores, std::size_t count) {
  float best = 0.0f;
  std::size_t bestIndex = kNoGesture;
  for (std::size_t g = 0; g < count; ++g) {
    if (scores[g] > best) {
      best = scores[g];
      bestIndex = g;
    }
  }
  return bestIndex;
}

// What the library's verification over all gestures of the model answers: the boosted score of
// every gesture, summed over the weak classifiers in order, and the best gesture.
struct Verdict {
  std::string name;  // empty when no gesture scored above 0
  float score = 0.0f;
};

inline Verdict classify(const AdaboostClassifier& classifier, const MotionSample& sample) {
  if (classifier.empty()) return {};
  PreparedSequence input = GestalCore().prepareSequence(sample, false);
  std::vector<const PredefinedGesture*> gestures;
  for (const auto& [gesture, templates] : classifier.front().templates)
    gestures.push_back(&gesture);
  std::vector<float> scores(gestures.size(), 0.0f);
  for (const WeakClassifier& weak : classifier) {
    for (std::size_t g = 0; g < gestures.size(); ++g) {
      scores[g] += weak.alpha * weakResponse(weak, *gestures[g], input);
    }
  }
  std::size_t best = bestScoreIndex(scores.data(), scores.size());
  if (best == kNoGesture) return {};
  return {gestures[best]->name, scores[best]};
}

// Verdicts of a model on labelled recordings. Rows are the recordings' gestures, columns the
// model's gestures followed by one column for "no gesture".
struct Evaluation {
  std::vector<std::string> rowNames;
  std::vector<std::string> columnNames;
  std::vector<std::vector<std::size_t>> confusion;
  std::size_t correct = 0;
  std::size_t total = 0;

  double accuracy() const { return total == 0 ? 0.0 : static_cast<double>(correct) / total; }
};

inline Evaluation evaluate(const AdaboostClassifier& classifier, const RecordingSet& set) {
  Evaluation result;
  result.rowNames = set.gestures;
  std::map<std::string, std::size_t> columnOf;
  if (!classifier.empty()) {
    for (const auto& [gesture, templates] : classifier.front().templates) {
      columnOf[gesture.name] = result.columnNames.size();
      result.columnNames.push_back(gesture.name);
    }
  }
  result.columnNames.push_back("(none)");
  result.confusion.assign(result.rowNames.size(),
                          std::vector<std::size_t>(result.columnNames.size(), 0));
  for (const Recording& recording : set.recordings) {
    Verdict verdict = classify(classifier, recording.sample);
    auto column = columnOf.find(verdict.name);
    ++result.confusion[recording.gesture]
                      [column == columnOf.end() ? result.columnNames.size() - 1 : column->second];
    if (!verdict.name.empty() && verdict.name == set.gestures[recording.gesture]) ++result.correct;
    ++result.total;
  }
  return result;
}

inline void printEvaluation(std::ostream& out, const std::string& title, const Evaluation& result) {
  char line[64];
  std::snprintf(line, sizeof line, "%.2f%% (%zu of %zu)", 100.0 * result.accuracy(), result.correct,
                result.total);
  out << title << ": " << line << "\n";
  std::size_t width = 8;
  for (const std::string& name : result.rowNames) width = std::max(width, name.size() + 2);
  for (const std::string& name : result.columnNames) width = std::max(width, name.size() + 2);
  auto cell = [&](const std::string& text) {
    out << std::string(width > text.size() ? width - text.size() : 1, ' ') << text;
  };
  cell("true\\said");
  for (const std::string& name : result.columnNames) cell(name);
  out << "\n";
  for (std::size_t row = 0; row < result.rowNames.size(); ++row) {
    cell(result.rowNames[row]);
    for (std::size_t count : result.confusion[row]) cell(std::to_string(count));
    out << "\n";
  }
}

}  // namespace GestalPrivate
