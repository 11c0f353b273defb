#include "synth/MotionPath.h"

#include <algorithm>

namespace GestalSynth {

void MotionPath::append(const Curve& curve, double durationSeconds, double ramp,
                        double overlapSeconds) {
  const double start = std::max(0.0, this->durationSeconds() - overlapSeconds);
  strokes.push_back(Stroke{curve, start, durationSeconds, ramp});
}

double MotionPath::durationSeconds() const {
  double end = 0.0;
  for (const Stroke& stroke : strokes)
    end = std::max(end, stroke.startSeconds + stroke.durationSeconds);
  return end;
}

Vec3 MotionPath::positionAt(double seconds) const {
  Vec3 position;
  for (const Stroke& stroke : strokes) position += stroke.displacementAt(seconds);
  return position;
}

}  // namespace GestalSynth
