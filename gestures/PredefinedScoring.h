#pragma once

#include <cstdint>

#include "core/PreparedSequence.h"
#include "gestures/PredefinedGesture.h"

namespace GestalPrivate {

// How a boosted predefined-gesture model scores a prepared (not decimated) input. The recogniser
// and the model trainer share these, so that a trained model is judged exactly as the library
// will judge it.

// Raw similarity of a template to the input, normalised around the template's decision point b:
// 0 for no similarity, 1 at b, 2 for a perfect match. Kernel codes -1/-2 count as similarity 0;
// -3/-4 throw GestalCoreOutOfBufferException, any other negative result GestalCoreException.
float templateResponse(const GestureTemplate& gestureTemplate, const PreparedSequence& input);

// The best template response of `gesture` in weak classifier `weak` (0 when it has none).
float weakResponse(const WeakClassifier& weak, const PredefinedGesture& gesture,
                   const PreparedSequence& input);

}  // namespace GestalPrivate
