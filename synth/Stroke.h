#pragma once

#include "synth/Vec3.h"

namespace GestalSynth {

// The geometric course of one stroke, evaluated at a progress s from 0 (start) to 1 (end).
struct Curve {
  enum class Kind { Bezier, EllipseArc, HeartOutline };
  Kind kind = Kind::Bezier;
  Vec3 control[4];       // Bezier: cubic control points; EllipseArc: control[0] is the centre
  double radiusX = 0.0;  // EllipseArc: radii in metres
  double radiusY = 0.0;
  double fromAngle = 0.0;  // EllipseArc / HeartOutline: parameter at s = 0 and s = 1 (radians)
  double toAngle = 0.0;
  double heartScale = 0.0;  // HeartOutline: metres per unit of the outline's own coordinates

  Vec3 pointAt(double s) const;

  static Curve line(const Vec3& from, const Vec3& to);
  // Bends the line sideways: the midpoint moves by `bulge` (metres) along `side`.
  static Curve bentLine(const Vec3& from, const Vec3& to, const Vec3& side, double bulge);
  static Curve arc(const Vec3& centre, double radiusX, double radiusY, double fromAngle,
                   double toAngle);
  // The classic heart outline: top notch at angle 0, left lobe to the tip at pi, right lobe back
  // to the notch at 2 pi; 32 units wide.
  static Curve heart(double scale, double fromAngle, double toAngle);
};

// A stroke is a curve traced over a time window with a bell-like speed profile: the speed rises
// smoothly from rest during the first `ramp` share of the window, holds, and falls to rest during
// the last `ramp` share (ramp 0.5: no plateau). Position, speed and acceleration are continuous
// and all start and end at rest, so strokes can be chained or overlapped freely.
struct Stroke {
  Curve curve;
  double startSeconds = 0.0;
  double durationSeconds = 1.0;
  double ramp = 0.5;

  // Displacement from the curve's start at `seconds` after the motion began.
  Vec3 displacementAt(double seconds) const;
};

// Share of the course covered at time fraction tau in [0, 1] under the profile above.
double strokeProgress(double tau, double ramp);

}  // namespace GestalSynth
