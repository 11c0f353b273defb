#include "gestures/PredefinedScoring.h"

#include "core/Exceptions.h"

namespace GestalPrivate {

Symbols templateSymbols(const GestureTemplate& gestureTemplate) {
  return runSymbols(gestureTemplate.data.data(), static_cast<uint32_t>(gestureTemplate.data.size()),
                    static_cast<int16_t>(gestureTemplate.f), gestureTemplate.c, gestureTemplate.u);
}

const Symbols& GestureInput::symbolsFor(const GestureTemplate& gestureTemplate) {
  for (const ParameterSet& set : sets_) {
    if (set.f == gestureTemplate.f && set.c == gestureTemplate.c && set.u == gestureTemplate.u) {
      return set.symbols;
    }
  }
  sets_.push_back(
      {gestureTemplate.f, gestureTemplate.c, gestureTemplate.u,
       runSymbols(input_.data(), input_.length(), static_cast<int16_t>(gestureTemplate.f),
                  gestureTemplate.c, gestureTemplate.u)});
  return sets_.back().symbols;
}

float templateResponse(const GestureTemplate& gestureTemplate, GestureInput& input) {
  // The same score as gestureSimilarity of the template and the input.
  const Symbols& inputSymbols = input.symbolsFor(gestureTemplate);
  float r = gestureTemplate.symbols
                ? symbolSimilarity(*gestureTemplate.symbols, inputSymbols, 1.0f)
                : symbolSimilarity(templateSymbols(gestureTemplate), inputSymbols, 1.0f);
  if (r < 0) {
    const int code = static_cast<int>(r * 10.0) / 10;
    if (code == -1 || code == -2) {
      r = 0.0f;
    } else if (code == -3 || code == -4) {
      throw GestalCoreOutOfBufferException();
    } else {
      throw GestalCoreException();
    }
  }
  const float b = gestureTemplate.b;
  if (r > b) return (r - b) / (1.0f - b) + 1.0f;
  return (r - b) / b + 1.0f;
}

float weakResponse(const WeakClassifier& weak, const PredefinedGesture& gesture,
                   GestureInput& input) {
  const auto entry = weak.templates.find(gesture);
  if (entry == weak.templates.end()) return 0.0f;
  float best = 0.0f;
  for (const GestureTemplate& gestureTemplate : entry->second) {
    const float response = templateResponse(gestureTemplate, input);
    if (response > best) best = response;
  }
  return best;
}

float weakResponse(const WeakClassifier& weak, const PredefinedGesture& gesture,
                   const PreparedSequence& input) {
  GestureInput symbolized(input);
  return weakResponse(weak, gesture, symbolized);
}

}  // namespace GestalPrivate
