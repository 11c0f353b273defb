#include "gestures/PredefinedScoring.h"

#include "core/Exceptions.h"
#include "core/Kernels.h"

namespace GestalPrivate {

float templateResponse(const GestureTemplate& gestureTemplate, const PreparedSequence& input) {
  float r = gestureSimilarity(gestureTemplate.data.data(),
                              static_cast<uint32_t>(gestureTemplate.data.size()), input.data(),
                              input.length(), static_cast<int16_t>(gestureTemplate.f),
                              gestureTemplate.c, gestureTemplate.u);
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
                   const PreparedSequence& input) {
  const auto entry = weak.templates.find(gesture);
  if (entry == weak.templates.end()) return 0.0f;
  float best = 0.0f;
  for (const GestureTemplate& gestureTemplate : entry->second) {
    const float response = templateResponse(gestureTemplate, input);
    if (response > best) best = response;
  }
  return best;
}

}  // namespace GestalPrivate
