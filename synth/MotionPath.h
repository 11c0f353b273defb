#pragma once

#include <vector>

#include "synth/Stroke.h"

namespace GestalSynth {

// A hand path as a sequence of possibly overlapping strokes. Where strokes overlap their
// displacements add, which rounds the corner between them the way a hurried hand does.
struct MotionPath {
  std::vector<Stroke> strokes;

  // Appends a stroke that starts `overlapSeconds` before the previous stroke ends.
  void append(const Curve& curve, double durationSeconds, double ramp, double overlapSeconds = 0.0);
  // Time at which the last stroke ends.
  double durationSeconds() const;
  // Position relative to the path's start at `seconds` (at rest before 0 and after the end).
  Vec3 positionAt(double seconds) const;
};

}  // namespace GestalSynth
