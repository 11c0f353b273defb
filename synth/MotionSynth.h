#pragma once

#include <cstdint>
#include <vector>

#include "core/MotionSample.h"

// Deterministic synthetic controller recordings for tests, benchmarks, the demo and the model
// trainer. Readings at 90 Hz with times in milliseconds from 0; primary = linear acceleration in
// m/s^2 of the hand (gravity removed); secondary = angular velocity in rad/s; direction = the
// controller's pointing unit vector, mostly horizontal and forward.
namespace GestalSynth {

enum class Shape { Heart, LetterC, SwipeDown, Circle, ZigZag, Signature };

// Per-user style, drawn from a user seed: size, speed, tilt, handedness, and the user's own
// signature stroke.
struct User {
  uint64_t seed = 0;
  float size = 1.0f;     // scale of the traced shape (1 = about 0.3 m across)
  float speed = 1.0f;    // 1 = the shape's nominal duration
  float tiltRadians = 0.0f;
  bool leftHanded = false;
};

User makeUser(uint64_t userSeed);

// One performance of `shape` by `user`; `repetition` seeds the per-repetition variation (time
// warp, amplitude, sensor noise, tremor, idle at start and end). Same arguments, same recording.
GestalPrivate::MotionSample perform(const User& user, Shape shape, uint64_t repetition);

// The recording as a host passes it: ten floats per reading, row-major.
std::vector<float> flatten(const GestalPrivate::MotionSample& sample);

}  // namespace GestalSynth
