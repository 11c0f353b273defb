#pragma once

#include <string>

// The result record of custom gesture identification as the host owns it (declared opaque in
// gestal.h).
struct CustomGestureResult {
  std::string matchedGesture;
  float confidence = 0.0f;
};
