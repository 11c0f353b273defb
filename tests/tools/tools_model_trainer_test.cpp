#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "gestures/GestalGestureRecognition.h"
#include "gestures/GestalPredefineGestureDB.h"
#include "support/TempDir.h"
#include "tools/model/Evaluation.h"
#include "tools/model/ModelFile.h"
#include "tools/model/ModelTrainer.h"
#include "tools/model/RecordingSet.h"

namespace {

using namespace GestalPrivate;

// A training run small enough for a unit test: a few users, two symbol parameter sets.
struct SmallRun {
  RecordingSet training, validation;
  AdaboostClassifier classifier;
  double internalTrainingAccuracy = 0.0;

  explicit SmallRun(uint64_t seed) {
    SyntheticUsers users = drawSyntheticUsers(seed, 4, 3);
    training = synthesizeRecordings(users.training, 2);
    validation = synthesizeRecordings(users.validation, 2);
    TrainerOptions options;
    options.rounds = options.candidatesPerGesture = 4;
    options.grid = {{200, 2, 2}, {300, 3, 4}};
    options.bStep = 0.1f;
    options.seed = seed;
    ModelTrainer trainer(training, options);
    classifier = trainer.train();
    internalTrainingAccuracy = trainer.trainingAccuracy();
  }
};

std::vector<std::pair<std::string, std::string>> gestures(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const PredefinedGesture& g : GestalPredefineGestureDB(path).readGestures())
    out.emplace_back(g.id, g.name);
  return out;
}

// Every number of a classifier in reading order, weights as their bits: per template the weak
// classifier's id, weight and gesture count, the gesture's name, and the template.
using TemplateRow = std::tuple<int32_t, uint32_t, std::size_t, std::string, std::vector<int16_t>,
                               int32_t, int32_t, int32_t, float>;
std::vector<TemplateRow> numbers(const AdaboostClassifier& classifier) {
  std::vector<TemplateRow> rows;
  for (const WeakClassifier& weak : classifier)
    for (const auto& [gesture, templates] : weak.templates)
      for (const GestureTemplate& t : templates)
        rows.emplace_back(weak.id, std::bit_cast<uint32_t>(weak.alpha), weak.templates.size(),
                          gesture.name, t.data, t.f, t.c, t.u, t.b);
  return rows;
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ModelTrainerTest, LibraryReadsTheModelAndAgreesWithTheTrainer) {
  SmallRun run(7);
  ASSERT_EQ(run.classifier.size(), 4u);
  GestalTest::TempDir dir;
  writeModelFile(dir.file("small_model"), run.classifier);
  EXPECT_EQ(gestures(dir.file("small_model")), (std::vector<std::pair<std::string, std::string>>{
                                                   {"1", "C"}, {"2", "DOWN"}, {"3", "HEART"}}));

  // Every number survives the file: ids, weights, template values and parameters.
  AdaboostClassifier read = GestalPredefineGestureDB(dir.file("small_model")).readWeakClassifiers();
  EXPECT_EQ(numbers(read), numbers(run.classifier));

  // The library's verification names the same gesture with the same score, bit for bit, so the
  // accuracy the trainer reports is the accuracy a host will see.
  GestalGestureRecognition recognizer(dir.path());
  std::size_t correct = 0;
  for (const Recording& recording : run.validation.recordings) {
    PredefinedGesture answer =
        recognizer.verifyPredefinedGesture("small_model", {}, recording.sample);
    Verdict verdict = classify(read, recording.sample);
    EXPECT_EQ(answer.name, verdict.name) << recording.origin;
    EXPECT_EQ(std::bit_cast<uint32_t>(answer.score), std::bit_cast<uint32_t>(verdict.score))
        << recording.origin;
    correct += answer.name == run.validation.gestures[recording.gesture];
  }
  Evaluation validation = evaluate(read, run.validation);
  EXPECT_EQ(validation.correct, correct);
  EXPECT_EQ(validation.total, run.validation.recordings.size());
  // The scores the trainer accumulated while boosting are the library's scores too.
  EXPECT_EQ(evaluate(read, run.training).accuracy(), run.internalTrainingAccuracy);
  EXPECT_EQ(evaluate(run.classifier, run.validation).correct, correct);

  // The same seed writes the same bytes, another seed others; nothing partial is left behind.
  writeModelFile(dir.file("again"), SmallRun(7).classifier);
  writeModelFile(dir.file("other"), SmallRun(8).classifier);
  EXPECT_EQ(fileBytes(dir.file("again")), fileBytes(dir.file("small_model")));
  EXPECT_NE(fileBytes(dir.file("other")), fileBytes(dir.file("small_model")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("small_model.partial")));
}

TEST(ModelTrainerTest, NumbersAreWrittenAsShortestText) {
  EXPECT_EQ(floatText(0.46f), "0.46");
  EXPECT_EQ(floatText(1.0f / 3.0f), "0.33333334");
  EXPECT_EQ(floatText(0.0f), "0");
  EXPECT_EQ(templateParameters(GestureTemplate{{}, 300, 2, 4, 0.46f, std::nullopt}),
            R"({"b":0.46,"c":2,"f":300,"u":4})");
}

}  // namespace
