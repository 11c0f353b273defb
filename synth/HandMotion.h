#pragma once

#include "synth/MotionPath.h"
#include "synth/MotionSynth.h"
#include "synth/SynthRandom.h"

namespace GestalSynth {

// Where the hand is and where the controller points at any moment of one performance: the path
// as this user draws it this time (size, mirroring, plane, slant, pace and a slow wobble), and the
// controller's aim turning with the hand. Times are seconds from the start of the motion; before
// it and after its end the hand rests.
class HandMotion {
 public:
  // Draws the per-performance parameters from `random`.
  HandMotion(MotionPath path, bool mirror, const User& user, const Variation& variation,
             SynthRandom& random);

  double durationSeconds() const { return motionSeconds; }
  Vec3 position(double seconds) const;
  Vec3 acceleration(double seconds) const;
  // Pointing unit vector and angular velocity (rad/s about x, y, z).
  Vec3 direction(double seconds) const;
  Vec3 angularVelocity(double seconds) const;

 private:
  struct Aim {
    double yaw;    // toward +x
    double pitch;  // toward +y
    double roll;   // about the pointing axis, clockwise as the user sees it
  };
  Aim aim(double seconds) const;

  MotionPath path;
  double pathSeconds;
  double motionSeconds;
  bool mirror;
  Vec3 scale;
  PlaneRotation plane;
  double warp[2];
  Vec3 wobbleAmplitude[2];
  double wobbleCycles[2];
  double wobblePhase[2][3];
  double aimYaw;
  double aimPitch;
  double follow;
  Vec3 centre;
};

}  // namespace GestalSynth
