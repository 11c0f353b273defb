#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conditioning/Conditioning.h"

// The subcommands of the gestal command. Each returns the process exit status: 0 done, 3 when the
// library's answer was no (nothing identified, enrolment not complete); failures throw ToolError.
namespace GestalTool {

inline constexpr int kAnsweredNo = 3;

// Conditioning as the command line states it.
struct ConditioningChoice {
  std::string units = "ms2";  // "g" multiplies the primary vector by standard gravity
  std::string gravity = "lowpass";
  double cutoffHz = GestalConditioning::kDefaultGravityCutoffHz;
  std::string axes = "x,y,z";
  double rateHz = 0.0;
  bool keepTime = false;
};
// Throws ToolError for a choice that is not understood.
GestalConditioning::Options conditioningOptions(const ConditioningChoice& choice);

struct ConditionOptions {
  std::string input;
  std::string output;
  ConditioningChoice conditioning;
};
int runCondition(const ConditionOptions& options);

int runShow(const std::string& recording);
int runCompare(const std::string& first, const std::string& second);

struct PlotOptions {
  std::vector<std::string> recordings;
  std::string output;
  std::string title;
};
int runPlot(const PlotOptions& options);

int runInspect(const std::string& directory);

// The library's operations through its C interface, on a database directory. `matcher` is "lcs"
// or "elastic", the matcher GestalSetMatcher chooses.
struct EnrolOptions {
  std::string directory;
  int32_t action = 0;
  std::vector<std::string> recordings;
};
int runEnrol(const EnrolOptions& options);

struct IdentifyOptions {
  std::string directory;
  std::string recording;
  std::vector<int32_t> actions;
  std::string matcher = "lcs";
};
int runIdentify(const IdentifyOptions& options);

struct DefineOptions {
  std::string directory;
  std::string gesture;
  bool named = false;
  std::vector<std::string> recordings;
};
int runDefine(const DefineOptions& options);

struct RecogniseOptions {
  std::string directory;
  std::string recording;
  std::vector<std::string> targets;
  bool named = false;
  std::string matcher = "lcs";
  // The symbol matcher's answer is checked against it here; the elastic matcher is given it as
  // its own minimum (1.0 when absent).
  std::optional<double> minConfidence;
};
int runRecognise(const RecogniseOptions& options);

struct VerifyOptions {
  std::string directory;
  std::string recording;
  std::string model = "gestal_gesture_adaboost";
  std::vector<std::string> targets;
};
int runVerify(const VerifyOptions& options);

struct EvalOptions {
  std::string folder;
  std::size_t definitions = 3;
  // The minimum of the "with confidence" rows, on each matcher's own confidence scale.
  double minConfidence = 1.2;
  double elasticMinConfidence = 1.0;
  std::size_t impostorsPerUser = 5;
  bool customOnly = false;
  std::string report;
  ConditioningChoice conditioning;
};
int runEval(const EvalOptions& options);

struct ImportOptions {
  std::string layout;  // "uwave" or "coremotion"
  std::string source;
  std::string output;
};
int runImport(const ImportOptions& options);

struct SynthOptions {
  std::string output;
  std::size_t users = 3;
  std::size_t repetitions = 5;
  std::vector<std::string> shapes{"heart", "circle", "zigzag"};
  uint64_t seed = 1;
  bool gravity = false;  // add gravity as an accelerometer held level reads it
};
int runSynth(const SynthOptions& options);

}  // namespace GestalTool
