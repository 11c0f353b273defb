#include "synth/Stroke.h"

#include <algorithm>

namespace GestalSynth {

namespace {

// Distance covered while the speed rises along the smooth step 10x^3 - 15x^4 + 6x^5 (zero slope
// and curvature at both ends, so the acceleration starts and ends at zero).
double rampDistance(double x) {
  return x * x * x * x * (2.5 + x * (-3.0 + x));
}

}  // namespace

double strokeProgress(double tau, double ramp) {
  if (tau <= 0.0) return 0.0;
  if (tau >= 1.0) return 1.0;
  // Each ramp covers half of what the plateau would in the same time.
  const double plateauSpeed = 1.0 / (1.0 - ramp);
  if (tau < ramp) return plateauSpeed * ramp * rampDistance(tau / ramp);
  if (tau > 1.0 - ramp) return 1.0 - plateauSpeed * ramp * rampDistance((1.0 - tau) / ramp);
  return plateauSpeed * (0.5 * ramp + (tau - ramp));
}

Vec3 Curve::pointAt(double s) const {
  switch (kind) {
    case Kind::Bezier: {
      const double r = 1.0 - s;
      return control[0] * (r * r * r) + control[1] * (3.0 * r * r * s) +
             control[2] * (3.0 * r * s * s) + control[3] * (s * s * s);
    }
    case Kind::EllipseArc: {
      const double a = fromAngle + (toAngle - fromAngle) * s;
      return control[0] + Vec3{radiusX * std::cos(a), radiusY * std::sin(a), 0.0};
    }
    case Kind::HeartOutline: {
      const double t = fromAngle + (toAngle - fromAngle) * s;
      const double sn = std::sin(t);
      const double x = -16.0 * sn * sn * sn;
      const double y = 13.0 * std::cos(t) - 5.0 * std::cos(2.0 * t) - 2.0 * std::cos(3.0 * t) -
                       std::cos(4.0 * t);
      return Vec3{x, y, 0.0} * heartScale;
    }
  }
  return {};
}

Curve Curve::line(const Vec3& from, const Vec3& to) {
  return bentLine(from, to, Vec3{}, 0.0);
}

Curve Curve::bentLine(const Vec3& from, const Vec3& to, const Vec3& side, double bulge) {
  // A cubic whose inner control points sit at the thirds, pushed sideways: the midpoint moves by
  // 3/4 of the push.
  const Vec3 push = side * (bulge * 4.0 / 3.0);
  Curve c;
  c.kind = Kind::Bezier;
  c.control[0] = from;
  c.control[1] = from + (to - from) * (1.0 / 3.0) + push;
  c.control[2] = from + (to - from) * (2.0 / 3.0) + push;
  c.control[3] = to;
  return c;
}

Curve Curve::arc(const Vec3& centre, double radiusX, double radiusY, double fromAngle,
                 double toAngle) {
  Curve c;
  c.kind = Kind::EllipseArc;
  c.control[0] = centre;
  c.radiusX = radiusX;
  c.radiusY = radiusY;
  c.fromAngle = fromAngle;
  c.toAngle = toAngle;
  return c;
}

Curve Curve::heart(double scale, double fromAngle, double toAngle) {
  Curve c;
  c.kind = Kind::HeartOutline;
  c.heartScale = scale;
  c.fromAngle = fromAngle;
  c.toAngle = toAngle;
  return c;
}

Vec3 Stroke::displacementAt(double seconds) const {
  const double tau = std::clamp((seconds - startSeconds) / durationSeconds, 0.0, 1.0);
  return curve.pointAt(strokeProgress(tau, ramp)) - curve.pointAt(0.0);
}

}  // namespace GestalSynth
