#include "synth/HandMotion.h"

#include <algorithm>
#include <numbers>

namespace GestalSynth {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Step for the finite differences: small against every motion time scale, large enough that the
// double rounding of the positions stays far below the sensor noise.
constexpr double kStep = 0.002;

// Vanishes with its first three derivatives at 0 and 1, peaks at 1 in the middle: the wobble
// fades in and out without disturbing the rest at either end.
double window(double tau) {
  const double w = 16.0 * tau * tau * (1.0 - tau) * (1.0 - tau);
  return w * w;
}

}  // namespace

HandMotion::HandMotion(MotionPath path, bool mirror, const User& user, const Variation& variation,
                       SynthRandom& random)
    : path(std::move(path)), mirror(mirror) {
  pathSeconds = this->path.durationSeconds();
  motionSeconds = pathSeconds / user.speed * (1.0 + variation.durationJitter * random.normal());
  const auto jitter = [&] {
    return user.size * (1.0 + variation.amplitudeJitter * random.normal());
  };
  scale.x = jitter();
  scale.y = jitter();
  scale.z = jitter();
  plane.yaw = user.planeYawRadians;
  plane.pitch = user.planePitchRadians;
  plane.roll = user.tiltRadians + variation.slantJitterRadians * random.normal();
  // Two sine terms whose pace changes add up to at most timeWarp.
  for (double& w : warp) w = random.uniform(-0.5, 0.5) * variation.timeWarp;
  for (int k = 0; k < 2; ++k) {
    wobbleAmplitude[k] = Vec3{random.normal(), random.normal(), 0.5 * random.normal()} *
                         (variation.wobbleMetres * user.size);
    wobbleCycles[k] = random.uniform(0.6, 1.6) * (k + 1);
    for (double& phase : wobblePhase[k]) phase = random.uniform(0.0, kTwoPi);
  }
  aimYaw = user.aimYawRadians;
  aimPitch = user.aimPitchRadians;
  follow = user.wristFollow;
  // The aim follows the hand around the middle of its path, not around the starting point.
  constexpr int kPoints = 32;
  for (int i = 0; i <= kPoints; ++i) centre += position(motionSeconds * i / kPoints);
  centre = centre * (1.0 / (kPoints + 1));
}

Vec3 HandMotion::position(double seconds) const {
  const double tau = std::clamp(seconds / motionSeconds, 0.0, 1.0);
  const double warped = tau + warp[0] / kTwoPi * std::sin(kTwoPi * tau) +
                        warp[1] / (2.0 * kTwoPi) * std::sin(2.0 * kTwoPi * tau);
  Vec3 local = path.positionAt(warped * pathSeconds);
  if (mirror) local.x = -local.x;
  local = {local.x * scale.x, local.y * scale.y, local.z * scale.z};
  Vec3 world = plane.apply(local);
  const double fade = window(tau);
  for (int k = 0; k < 2; ++k) {
    const double angle = kTwoPi * wobbleCycles[k] * tau;
    world += Vec3{wobbleAmplitude[k].x * std::sin(angle + wobblePhase[k][0]),
                  wobbleAmplitude[k].y * std::sin(angle + wobblePhase[k][1]),
                  wobbleAmplitude[k].z * std::sin(angle + wobblePhase[k][2])} *
             fade;
  }
  return world;
}

Vec3 HandMotion::acceleration(double seconds) const {
  const Vec3 before = position(seconds - kStep);
  const Vec3 now = position(seconds);
  const Vec3 after = position(seconds + kStep);
  return (after - now * 2.0 + before) * (1.0 / (kStep * kStep));
}

HandMotion::Aim HandMotion::aim(double seconds) const {
  // The wrist turns the controller toward where the hand goes and rolls it with the sideways
  // speed, about 0.1 rad per 0.1 m and per 0.7 m/s.
  const Vec3 p = position(seconds) - centre;
  const Vec3 velocity = (position(seconds + kStep) - position(seconds - kStep)) * (0.5 / kStep);
  const double side = mirror ? -1.0 : 1.0;
  return Aim{aimYaw + follow * 0.9 * p.x, aimPitch + follow * 0.8 * p.y,
             side * follow * 0.15 * velocity.x};
}

Vec3 HandMotion::direction(double seconds) const {
  const Aim a = aim(seconds);
  return {std::sin(a.yaw) * std::cos(a.pitch), std::sin(a.pitch),
          -std::cos(a.yaw) * std::cos(a.pitch)};
}

Vec3 HandMotion::angularVelocity(double seconds) const {
  // For the small angles involved the rates of the three angles are the body rates: pitching up
  // turns about +x, aiming right about -y, rolling clockwise about the pointing axis -z.
  const Aim before = aim(seconds - kStep);
  const Aim after = aim(seconds + kStep);
  const double k = 0.5 / kStep;
  return {(after.pitch - before.pitch) * k, -(after.yaw - before.yaw) * k,
          -(after.roll - before.roll) * k};
}

}  // namespace GestalSynth
