#pragma once

#include <cstdint>

#include "synth/MotionPath.h"
#include "synth/MotionSynth.h"

namespace GestalSynth {

// The nominal path of a shape as a right-handed user of size 1 and speed 1 draws it in the
// vertical x-y plane. Not for Shape::Signature, whose path belongs to a user.
MotionPath shapePath(Shape shape);

// The user's own signature: smooth, slightly bent 3-D strokes between random points of a box of
// about 0.4 x 0.3 x 0.16 m, lasting about 1.2 to 3.8 s in all; the same seed always gives the same
// path.
MotionPath signaturePath(uint64_t userSeed);

}  // namespace GestalSynth
