#include <iostream>
#include <map>

#include "synth/MotionSynth.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"

namespace GestalTool {

int runSynth(const SynthOptions& options) {
  using GestalSynth::Shape;
  static const std::map<std::string, Shape> kShapes = {
      {"heart", Shape::Heart},   {"c", Shape::LetterC},     {"down", Shape::SwipeDown},
      {"circle", Shape::Circle}, {"zigzag", Shape::ZigZag}, {"signature", Shape::Signature}};
  for (const std::string& name : options.shapes) {
    if (kShapes.count(name) == 0) {
      throw ToolError("shape '" + name + "': expected heart, c, down, circle, zigzag or signature");
    }
  }
  const std::filesystem::path folder(options.output);
  std::size_t written = 0;
  for (std::size_t u = 0; u < options.users; ++u) {
    const uint64_t userSeed = options.seed * 1000 + u;
    const GestalSynth::User user = GestalSynth::makeUser(userSeed);
    for (const std::string& name : options.shapes) {
      for (std::size_t r = 0; r < options.repetitions; ++r) {
        const std::string file = "user" + std::to_string(u + 1) + "-" + std::to_string(r + 1);
        MotionSample sample = GestalSynth::perform(user, kShapes.at(name), r);
        if (options.gravity) {
          for (GestalPrivate::MotionEntry& entry : sample) {
            entry[GestalPrivate::kPrimaryY] = static_cast<float>(
                entry[GestalPrivate::kPrimaryY] + GestalConditioning::kStandardGravity);
          }
        }
        writeRecording(folder / name / (file + ".csv"), sample);
        ++written;
      }
    }
  }
  std::cout << options.output << ": " << written << " recordings of " << options.shapes.size()
            << " gestures by " << options.users << " synthesized users\n";
  return 0;
}

}  // namespace GestalTool
