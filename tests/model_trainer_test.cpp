#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "gesture/GestalGestureRecognition.h"
#include "gesture/GestalPredefineGestureDB.h"
#include "support/TempDir.h"
#include "tools/model/Evaluation.h"
#include "tools/model/ModelFile.h"
#include "tools/model/ModelTrainer.h"
#include "tools/model/RecordingSet.h"

namespace {

using namespace GestalPrivate;

TrainerOptions smallOptions(std::size_t rounds, std::size_t candidates,
                            std::vector<SymbolParameters> grid, uint64_t seed) {
  TrainerOptions options;
  options.rounds = rounds;
  options.candidatesPerGesture = candidates;
  options.grid = std::move(grid);
  options.bStep = 0.1f;
  options.seed = seed;
  return options;
}

// A training run small enough for a unit test: a few users, two symbol parameter sets.
struct SmallRun {
  RecordingSet training, validation;
  AdaboostClassifier classifier;
  double internalTrainingAccuracy = 0.0;

  explicit SmallRun(uint64_t seed) {
    SyntheticUsers users = drawSyntheticUsers(seed, 4, 3);
    training = synthesizeRecordings(users.training, 2);
    validation = synthesizeRecordings(users.validation, 2);
    ModelTrainer trainer(training, smallOptions(4, 4, {{200, 2, 2}, {300, 3, 4}}, seed));
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
  ASSERT_EQ(read.size(), run.classifier.size());
  for (std::size_t w = 0; w < read.size(); ++w) {
    EXPECT_EQ(read[w].id, static_cast<int32_t>(w + 1));
    EXPECT_EQ(std::bit_cast<uint32_t>(read[w].alpha),
              std::bit_cast<uint32_t>(run.classifier[w].alpha));
    ASSERT_EQ(read[w].templates.size(), 3u);
    auto written = run.classifier[w].templates.begin();
    for (const auto& [gesture, templates] : read[w].templates) {
      EXPECT_EQ(gesture.name, written->first.name);
      ASSERT_EQ(templates.size(), written->second.size());
      for (std::size_t t = 0; t < templates.size(); ++t) {
        const GestureTemplate &r = templates[t], &x = written->second[t];
        EXPECT_EQ(std::tie(r.data, r.f, r.c, r.u, r.b), std::tie(x.data, x.f, x.c, x.u, x.b));
      }
      ++written;
    }
  }

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
}

TEST(ModelTrainerTest, SameSeedWritesTheSameBytes) {
  GestalTest::TempDir dir;
  writeModelFile(dir.file("first"), SmallRun(3).classifier);
  writeModelFile(dir.file("second"), SmallRun(3).classifier);
  writeModelFile(dir.file("other"), SmallRun(4).classifier);
  EXPECT_FALSE(fileBytes(dir.file("first")).empty());
  EXPECT_EQ(fileBytes(dir.file("first")), fileBytes(dir.file("second")));
  EXPECT_NE(fileBytes(dir.file("first")), fileBytes(dir.file("other")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("first.partial")));
}

TEST(ModelTrainerTest, NumbersAreWrittenAsShortestText) {
  EXPECT_EQ(floatText(0.46f), "0.46");
  EXPECT_EQ(floatText(1.0f / 3.0f), "0.33333334");
  EXPECT_EQ(floatText(0.0f), "0");
  EXPECT_EQ(templateParameters(GestureTemplate{{}, 300, 2, 4, 0.46f}),
            R"({"b":0.46,"c":2,"f":300,"u":4})");
}

}  // namespace
