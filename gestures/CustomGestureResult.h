#pragma once

#include <string>

namespace GestalPrivate {

// Result of custom gesture identification.
struct CustomGestureResult {
  std::string matchedGesture;  // the identified gesture index, empty when none
  // The symbol matcher: the identified gesture's mean first-pass score; the elastic matcher: the
  // confidence of its match (threshold / distance). 0 when none was identified.
  float confidence = 0.0f;
};

}  // namespace GestalPrivate
