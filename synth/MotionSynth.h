#pragma once

#include <cstdint>
#include <vector>

#include "core/MotionSample.h"

// Deterministic synthetic controller recordings for tests, benchmarks, the demo and the model
// trainer.
//
// Coordinates: x to the user's right, y up, z toward the user (the user faces -z). Each reading
// holds, in MotionEntry order:
//   time       milliseconds from 0, one reading every 1000/90 ms (90 Hz);
//   primary    linear acceleration of the hand in m/s^2, gravity removed, in these world axes:
//              the second derivative of a smooth hand path, plus tremor and sensor noise;
//   secondary  angular velocity of the controller in rad/s about the x, y and z axes, from the
//              wrist turning with the hand, plus gyro noise;
//   direction  the controller's pointing unit vector: forward (-z) turned by the user's resting
//              aim and by the wrist following the hand, so mostly horizontal and never near +z.
// Every recording starts and ends with the hand at rest (acceleration near zero) and stays well
// under 10 s: a drawn shape lasts about 1 to 3 s, a signature up to about 8 s with its rests.
namespace GestalSynth {

inline constexpr double kReadingsPerSecond = 90.0;

// The shapes are drawn in a vertical plane in front of the user; Signature is the user's own
// 3-D stroke sequence.
enum class Shape { Heart, LetterC, SwipeDown, Circle, ZigZag, Signature };

// Per-user style, drawn from a user seed by makeUser. Every field may be set by hand as well.
struct User {
  uint64_t seed = 0;             // also picks the user's signature path
  float size = 1.0f;             // scale of the traced shape (1 = about 0.3 m across)
  float speed = 1.0f;            // 1 = the shape's nominal duration; 2 = twice as fast
  float tiltRadians = 0.0f;      // slant of the shape within its plane, counter-clockwise positive
  bool leftHanded = false;       // mirrors the predefined shapes left to right
  float planeYawRadians = 0.0f;  // drawing plane turned about the vertical axis
  float planePitchRadians = 0.0f;  // drawing plane leaning back (top away from the user)
  float aimYawRadians = 0.0f;      // resting aim: positive points to the user's right
  float aimPitchRadians = 0.0f;    // resting aim: positive points up
  float wristFollow = 1.0f;        // how strongly the controller turns with the hand
};

// A user with size and speed 0.8 to 1.25, tilt up to +/- 0.15 rad, plane turned up to +/- 0.2 rad
// and leaning up to +/- 0.12 rad, aim up to +/- 0.2 rad sideways and -0.25 to 0.1 rad up,
// wrist follow 0.6 to 1.4, and one user in eight left-handed.
User makeUser(uint64_t userSeed);

// Spread of the differences between two performances of the same thing by the same user.
// Relative values are shares (0.05 = 5 %); every value may be 0 for an exact nominal performance.
struct Variation {
  float durationJitter = 0.07f;      // relative standard deviation of the overall duration
  float timeWarp = 0.15f;            // largest relative change of the local pace (below 1)
  float amplitudeJitter = 0.06f;     // relative standard deviation of the size, per axis
  float slantJitterRadians = 0.04f;  // standard deviation of the in-plane slant
  float wobbleMetres = 0.006f;       // typical slow deviation of the hand from the ideal path
  float tremor = 0.04f;              // amplitude of the 8 to 12 Hz hand tremor, m/s^2
  float noise = 0.03f;               // standard deviation of the accelerometer noise, m/s^2
  float gyroNoise = 0.02f;           // standard deviation of the gyro noise, rad/s
  float idleMinSeconds = 0.25f;      // the hand rests this long or up to idleMaxSeconds before
  float idleMaxSeconds = 0.5f;       // and, independently, after the motion
};

// One performance of `shape` by `user`; `repetition` seeds the per-repetition variation (time
// warp, amplitude, sensor noise, tremor, idle at start and end). Same arguments, same recording,
// bit for bit.
GestalPrivate::MotionSample perform(const User& user, Shape shape, uint64_t repetition);
GestalPrivate::MotionSample perform(const User& user, Shape shape, uint64_t repetition,
                                    const Variation& variation);

// The recording as a host passes it: ten floats per reading, row-major.
std::vector<float> flatten(const GestalPrivate::MotionSample& sample);

}  // namespace GestalSynth
