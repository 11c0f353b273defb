#include "synth/MotionSynth.h"

#include <cmath>
#include <numbers>

#include "synth/HandMotion.h"
#include "synth/ShapePaths.h"
#include "synth/SynthRandom.h"

namespace GestalSynth {

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Physiological tremor: a sine of 8 to 12 Hz per axis whose strength swells slowly.
struct Tremor {
  double amplitude;
  double hertz;
  double swellHertz;
  double phase[3];

  Tremor(double amplitude, SynthRandom& random)
      : amplitude(amplitude),
        hertz(random.uniform(8.0, 12.0)),
        swellHertz(random.uniform(0.3, 1.0)) {
    for (double& p : phase) p = random.uniform(0.0, kTwoPi);
  }

  Vec3 at(double seconds) const {
    const double a = amplitude * (0.7 + 0.3 * std::sin(kTwoPi * swellHertz * seconds + phase[0]));
    const double angle = kTwoPi * hertz * seconds;
    return {a * std::sin(angle + phase[0]), a * std::sin(angle + phase[1]),
            a * std::sin(angle + phase[2])};
  }
};

void store(MotionEntry& entry, std::size_t first, const Vec3& v) {
  entry[first] = static_cast<float>(v.x);
  entry[first + 1] = static_cast<float>(v.y);
  entry[first + 2] = static_cast<float>(v.z);
}

}  // namespace

User makeUser(uint64_t userSeed) {
  SynthRandom random(mixSeeds(userSeed, 0x55534552));
  User user;
  user.seed = userSeed;
  user.size = static_cast<float>(random.uniform(0.8, 1.25));
  user.speed = static_cast<float>(random.uniform(0.8, 1.25));
  user.tiltRadians = static_cast<float>(random.uniform(-0.15, 0.15));
  user.leftHanded = random.uniform() < 0.125;
  user.planeYawRadians = static_cast<float>(random.uniform(-0.2, 0.2));
  user.planePitchRadians = static_cast<float>(random.uniform(-0.12, 0.12));
  user.aimYawRadians = static_cast<float>(random.uniform(-0.2, 0.2));
  user.aimPitchRadians = static_cast<float>(random.uniform(-0.25, 0.1));
  user.wristFollow = static_cast<float>(random.uniform(0.6, 1.4));
  return user;
}

MotionSample perform(const User& user, Shape shape, uint64_t repetition) {
  return perform(user, shape, repetition, Variation{});
}

MotionSample perform(const User& user, Shape shape, uint64_t repetition,
                     const Variation& variation) {
  SynthRandom random(mixSeeds(user.seed, static_cast<uint64_t>(shape) + 1, repetition));
  const bool signature = shape == Shape::Signature;
  const HandMotion hand(signature ? signaturePath(user.seed) : shapePath(shape),
                        user.leftHanded && !signature, user, variation, random);
  const Tremor tremor(variation.tremor, random);
  const double idleBefore = random.uniform(variation.idleMinSeconds, variation.idleMaxSeconds);
  const double idleAfter = random.uniform(variation.idleMinSeconds, variation.idleMaxSeconds);
  const double total = idleBefore + hand.durationSeconds() + idleAfter;
  const auto readings = static_cast<std::size_t>(total * kReadingsPerSecond) + 1;

  MotionSample sample(readings);
  for (std::size_t i = 0; i < readings; ++i) {
    const double seconds = static_cast<double>(i) / kReadingsPerSecond;
    const double t = seconds - idleBefore;
    MotionEntry& entry = sample[i];
    entry[GestalPrivate::kTime] = static_cast<float>(seconds * 1000.0);
    const Vec3 noise{random.normal(), random.normal(), random.normal()};
    store(entry, GestalPrivate::kPrimaryX,
          hand.acceleration(t) + tremor.at(seconds) + noise * variation.noise);
    const Vec3 gyro{random.normal(), random.normal(), random.normal()};
    store(entry, GestalPrivate::kSecondaryX, hand.angularVelocity(t) + gyro * variation.gyroNoise);
    store(entry, GestalPrivate::kDirectionX, hand.direction(t));
  }
  return sample;
}

std::vector<float> flatten(const MotionSample& sample) {
  std::vector<float> data;
  data.reserve(sample.size() * 10);
  for (const MotionEntry& entry : sample) data.insert(data.end(), entry.begin(), entry.end());
  return data;
}

}  // namespace GestalSynth
