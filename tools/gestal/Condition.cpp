#include <iostream>
#include <stdexcept>

#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"

namespace GestalTool {

GestalConditioning::Options conditioningOptions(const ConditioningChoice& choice) {
  GestalConditioning::Options options;
  options.rebaseTime = !choice.keepTime;
  try {
    options.axes = GestalConditioning::parseAxisMap(choice.axes);
  } catch (const std::invalid_argument& error) {
    throw ToolError(error.what());
  }
  if (choice.units == "g") {
    options.primaryScale = GestalConditioning::kStandardGravity;
  } else if (choice.units != "ms2") {
    throw ToolError("units '" + choice.units + "': expected g or ms2");
  }
  if (choice.gravity == "lowpass") {
    options.gravity = GestalConditioning::Gravity::LowPass;
  } else if (choice.gravity == "mean") {
    options.gravity = GestalConditioning::Gravity::Mean;
  } else if (choice.gravity == "keep") {
    options.gravity = GestalConditioning::Gravity::Keep;
  } else {
    throw ToolError("gravity '" + choice.gravity + "': expected lowpass, mean or keep");
  }
  if (!(choice.cutoffHz > 0)) throw ToolError("cut-off " + fixed(choice.cutoffHz, 3) + " Hz");
  if (choice.rateHz < 0) throw ToolError("rate " + fixed(choice.rateHz, 3) + " Hz");
  options.cutoffHz = choice.cutoffHz;
  options.rateHz = choice.rateHz;
  return options;
}

int runCondition(const ConditionOptions& options) {
  const GestalConditioning::Options steps = conditioningOptions(options.conditioning);
  const MotionSample in = readRecording(options.input);
  const MotionSample out = GestalConditioning::condition(in, steps);
  writeRecording(options.output, out);
  std::cout << options.output << ": " << out.size() << " readings over "
            << fixed(durationSeconds(out), 3) << " s\n";
  return 0;
}

}  // namespace GestalTool
