#pragma once

#include <cstdint>
#include <vector>

#include "core/Kernels.h"
#include "core/PreparedSequence.h"
#include "gestures/PredefinedGesture.h"

namespace GestalPrivate {

// How a boosted predefined-gesture model scores a prepared (not decimated) input. The recogniser
// and the model trainer share these, so that a trained model is judged exactly as the library
// will judge it.

// The template's symbols under its own parameters (f, c, u).
Symbols templateSymbols(const GestureTemplate& gestureTemplate);

// The input of one recognition, symbolised once per template parameter set. It refers to the
// prepared input, which must outlive it.
class GestureInput {
 public:
  explicit GestureInput(const PreparedSequence& input) : input_(input) {}

  // The input's symbols under the template's parameters.
  const Symbols& symbolsFor(const GestureTemplate& gestureTemplate);

 private:
  struct ParameterSet {
    int32_t f;
    int32_t c;
    int32_t u;
    Symbols symbols;
  };

  const PreparedSequence& input_;
  std::vector<ParameterSet> sets_;  // a model uses a handful of sets
};

// Raw similarity of a template to the input, normalised around the template's decision point b:
// 0 for no similarity, 1 at b, 2 for a perfect match. Kernel codes -1/-2 count as similarity 0;
// -3/-4 throw GestalCoreOutOfBufferException, any other negative result GestalCoreException.
float templateResponse(const GestureTemplate& gestureTemplate, GestureInput& input);

// The best template response of `gesture` in weak classifier `weak` (0 when it has none).
float weakResponse(const WeakClassifier& weak, const PredefinedGesture& gesture,
                   GestureInput& input);
float weakResponse(const WeakClassifier& weak, const PredefinedGesture& gesture,
                   const PreparedSequence& input);

}  // namespace GestalPrivate
