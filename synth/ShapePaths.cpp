#include "synth/ShapePaths.h"

#include <algorithm>
#include <numbers>

#include "synth/SynthRandom.h"

namespace GestalSynth {

namespace {

constexpr double kPi = std::numbers::pi;

MotionPath heart() {
  // 0.3 m wide: the outline is 32 units across. Each lobe is one stroke ending in the tip (or the
  // notch), where the hand nearly stops.
  MotionPath path;
  const double scale = 0.3 / 32.0;
  path.append(Curve::heart(scale, 0.0, kPi), 0.9, 0.35);
  path.append(Curve::heart(scale, kPi, 2.0 * kPi), 0.9, 0.35, 0.05);
  return path;
}

MotionPath letterC() {
  // Starts at the upper right, runs counter-clockwise over the top and down to the lower right.
  MotionPath path;
  path.append(Curve::arc(Vec3{}, 0.13, 0.15, 0.3 * kPi, 1.72 * kPi), 0.75, 0.4);
  return path;
}

MotionPath swipeDown() {
  MotionPath path;
  path.append(
      Curve::bentLine(Vec3{0.0, 0.22, 0.0}, Vec3{0.03, -0.22, -0.04}, Vec3{1.0, 0.0, 0.0}, 0.02),
      0.45, 0.5);
  return path;
}

MotionPath circle() {
  // One clockwise turn from the top at an almost steady speed.
  MotionPath path;
  path.append(Curve::arc(Vec3{}, 0.15, 0.15, 0.5 * kPi, -1.5 * kPi), 1.0, 0.3);
  return path;
}

MotionPath zigZag() {
  // Four quick strokes left to right, alternately down and up; neighbours overlap a little.
  MotionPath path;
  const Vec3 corners[] = {{-0.16, 0.07, 0.0},
                          {-0.08, -0.07, 0.0},
                          {0.0, 0.07, 0.0},
                          {0.08, -0.07, 0.0},
                          {0.16, 0.07, 0.0}};
  for (int i = 0; i < 4; ++i) path.append(Curve::line(corners[i], corners[i + 1]), 0.22, 0.5, 0.04);
  return path;
}

}  // namespace

MotionPath shapePath(Shape shape) {
  switch (shape) {
    case Shape::Heart:
      return heart();
    case Shape::LetterC:
      return letterC();
    case Shape::SwipeDown:
      return swipeDown();
    case Shape::Circle:
      return circle();
    case Shape::ZigZag:
      return zigZag();
    case Shape::Signature:
      break;
  }
  return {};
}

MotionPath signaturePath(uint64_t userSeed) {
  SynthRandom random(mixSeeds(userSeed, 0x5349474E));
  const double targetSeconds = random.uniform(1.2, 3.8);
  MotionPath path;
  Vec3 current;
  double previousSeconds = 0.0;
  while (path.durationSeconds() < targetSeconds) {
    Vec3 next;
    do {
      next = {random.uniform(-0.2, 0.2), random.uniform(-0.15, 0.15), random.uniform(-0.08, 0.08)};
    } while ((next - current).length() < 0.1);
    const Vec3 step = next - current;
    const double length = step.length();
    // Bend across the step within the x-y plane; a step straight along z bends to the right.
    Vec3 side{-step.y, step.x, 0.0};
    if (side.length() < 1e-3) side = {1.0, 0.0, 0.0};
    side = side * (1.0 / side.length());
    const double seconds = 0.14 + 0.8 * length;
    const double overlap = path.strokes.empty()
                               ? 0.0
                               : random.uniform(0.05, 0.35) * std::min(seconds, previousSeconds);
    path.append(Curve::bentLine(current, next, side, random.uniform(-0.3, 0.3) * length), seconds,
                random.uniform(0.35, 0.5), overlap);
    current = next;
    previousSeconds = seconds;
  }
  return path;
}

}  // namespace GestalSynth
