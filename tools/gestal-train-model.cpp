// Trains a predefined-gesture model: a boosted classifier of gesture templates, written as the
// SQLite model file that the library reads. See docs/models.md.
//
//   gestal-train-model --recordings DIR [--validation DIR] --output FILE [options]
//   gestal-train-model --synthetic --output FILE [options]
//   gestal-train-model --evaluate FILE (--recordings DIR | --synthetic) [options]

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>

#include "gestures/GestalPredefineGestureDB.h"
#include "tools/model/Evaluation.h"
#include "tools/model/ModelFile.h"
#include "tools/model/ModelTrainer.h"
#include "tools/model/RecordingSet.h"

namespace {

using namespace GestalPrivate;

constexpr const char* kUsage =
    "usage: gestal-train-model (--recordings DIR | --synthetic) --output FILE [options]\n"
    "       gestal-train-model --evaluate FILE (--recordings DIR | --synthetic) [options]\n"
    "\n"
    "  --recordings DIR      one sub-folder per gesture, named by the gesture, one file per\n"
    "                        recording (.csv: ten numbers per line; .json: stored text form)\n"
    "  --validation DIR      recordings for validation only; without it every fifth recording\n"
    "                        of each gesture is held out\n"
    "  --synthetic           synthesized performances of HEART, C and DOWN by many users\n"
    "  --users N             synthetic training users (default 40)\n"
    "  --validation-users N  synthetic validation users, never trained on (default 20)\n"
    "  --repetitions N       synthetic performances per user and gesture (default 5)\n"
    "  --seed N              seed of users, template candidates (default 1)\n"
    "  --rounds N            weak classifiers (default 30)\n"
    "  --candidates N        recordings per gesture tried as templates (default 40)\n"
    "  --shrinkage X         factor on each weak classifier's weight (default 1)\n"
    "  --output FILE         the model file to write\n"
    "  --evaluate FILE       only report what an existing model says about the validation\n"
    "                        recordings (all recordings of --recordings DIR)\n";

struct Arguments {
  std::string recordings;
  std::string validation;
  std::string output;
  std::string evaluate;
  bool synthetic = false;
  std::size_t users = 40;
  std::size_t validationUsers = 20;
  std::size_t repetitions = 5;
  TrainerOptions trainer;
};

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "gestal-train-model: " << message << "\n";
  std::exit(2);
}

// Reads the whole of `text` as a T, whatever the locale; false when anything is left over.
template <typename T>
bool parseWhole(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

uint64_t number(const std::string& option, const char* text) {
  uint64_t value = 0;
  if (!parseWhole(text, value)) fail(option + " needs a whole number");
  return value;
}

Arguments parse(int argc, char** argv) {
  Arguments args;
  for (int k = 1; k < argc; ++k) {
    std::string option = argv[k];
    if (option == "--synthetic") {
      args.synthetic = true;
      continue;
    }
    if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (k + 1 >= argc) fail("missing value after " + option + "\n" + kUsage);
    const char* value = argv[++k];
    if (option == "--recordings") {
      args.recordings = value;
    } else if (option == "--validation") {
      args.validation = value;
    } else if (option == "--output") {
      args.output = value;
    } else if (option == "--evaluate") {
      args.evaluate = value;
    } else if (option == "--users") {
      args.users = number(option, value);
    } else if (option == "--validation-users") {
      args.validationUsers = number(option, value);
    } else if (option == "--repetitions") {
      args.repetitions = number(option, value);
    } else if (option == "--seed") {
      args.trainer.seed = number(option, value);
    } else if (option == "--rounds") {
      args.trainer.rounds = number(option, value);
    } else if (option == "--candidates") {
      args.trainer.candidatesPerGesture = number(option, value);
    } else if (option == "--shrinkage") {
      if (!parseWhole(value, args.trainer.shrinkage) || !(args.trainer.shrinkage > 0.0)) {
        fail("--shrinkage needs a positive number");
      }
    } else {
      fail("unknown option " + option + "\n" + kUsage);
    }
  }
  if (args.synthetic == !args.recordings.empty()) {
    fail("give either --recordings DIR or --synthetic\n" + std::string(kUsage));
  }
  if (args.evaluate.empty() && args.output.empty()) fail("--output FILE is missing");
  return args;
}

// Every fifth recording of each gesture (the 5th, 10th, ...) goes to validation.
std::pair<RecordingSet, RecordingSet> holdOut(RecordingSet all) {
  RecordingSet training{all.gestures, {}};
  RecordingSet validation{all.gestures, {}};
  std::vector<std::size_t> seen(all.gestures.size(), 0);
  for (Recording& recording : all.recordings) {
    bool held = ++seen[recording.gesture] % 5 == 0;
    (held ? validation : training).recordings.push_back(std::move(recording));
  }
  return {std::move(training), std::move(validation)};
}

std::pair<RecordingSet, RecordingSet> loadRecordings(const Arguments& args) {
  if (args.synthetic) {
    std::size_t trainingUsers = args.evaluate.empty() ? args.users : 0;
    SyntheticUsers users =
        drawSyntheticUsers(args.trainer.seed, trainingUsers, args.validationUsers);
    return {synthesizeRecordings(users.training, args.repetitions),
            synthesizeRecordings(users.validation, args.repetitions)};
  }
  RecordingSet all = readRecordingFolder(args.recordings);
  if (!args.evaluate.empty()) return {RecordingSet{all.gestures, {}}, std::move(all)};
  if (!args.validation.empty()) return {std::move(all), readRecordingFolder(args.validation)};
  return holdOut(std::move(all));
}

AdaboostClassifier readModel(const std::string& path) {
  GestalPredefineGestureDB model(path);
  return model.readWeakClassifiers();
}

int run(const Arguments& args) {
  auto started = std::chrono::steady_clock::now();
  auto [training, validation] = loadRecordings(args);

  if (!args.evaluate.empty()) {
    AdaboostClassifier model = readModel(args.evaluate);
    std::cout << args.evaluate << ": " << model.size() << " weak classifiers\n";
    printEvaluation(std::cout, "accuracy", evaluate(model, validation));
    return 0;
  }

  if (training.gestures.size() < 2) fail("training needs recordings of at least two gestures");
  std::cout << "training on " << training.recordings.size() << " recordings of "
            << training.gestures.size() << " gestures, validating on "
            << validation.recordings.size() << "\n";
  TrainerOptions options = args.trainer;
  options.progress = &std::cout;
  AdaboostClassifier trained = ModelTrainer(training, options).train();
  writeModelFile(args.output, trained);

  // Judge the model as the library will see it: read back from the file just written.
  AdaboostClassifier model = readModel(args.output);
  std::cout << "wrote " << args.output << ": " << model.size() << " weak classifiers\n";
  printEvaluation(std::cout, "training accuracy", evaluate(model, training));
  if (!validation.recordings.empty()) {
    printEvaluation(std::cout, "validation accuracy", evaluate(model, validation));
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("finished in %.1f s\n", seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args = parse(argc, argv);
  try {
    return run(args);
  } catch (const std::exception& error) {
    std::cerr << "gestal-train-model: " << error.what() << "\n";
    return 1;
  }
}
