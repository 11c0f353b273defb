#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "gestures/GestalGestureRecognition.h"
#include "gestures/GestalPredefineGestureDB.h"
#include "gestures/PredefinedScoring.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "support/Thrown.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;
using namespace std::string_literals;

// Identification, name, score and confidence of a verification.
using Verdict = std::tuple<std::string, std::string, float, float>;
const Verdict kFallback{"", "", 0.0f, 1.0f};
const Verdict kEmpty{"", "", 0.0f, 0.0f};
const std::string kParameters = R"({"b":1,"c":1,"f":1,"u":1})";

// A model file written with SQLite itself; every value is stored as text but the samples' weak
// classifier id, an integer.
class ModelFile {
 public:
  explicit ModelFile(const std::string& path) : path_(path) {
    run("create table weak_classifier(id, alpha);create table gesture(id, name);"
        "create table samples(weak_classifier_id, gesture_id, data, parameters);");
  }
  void run(const std::string& sql) { ASSERT_TRUE(GestalTest::execute(path_, sql)) << sql; }
  void rawTemplate(int weakId, const std::string& gestureId, const std::string& data,
                   const std::string& parameters) {
    run("insert into samples values (" + std::to_string(weakId) + ", '" + gestureId + "', '" +
        data + "', '" + parameters + "')");
  }
  // A template of the symbol string (time, then x, y, z times 100), threshold 50, no run
  // filtering, decision point b.
  void symbolTemplate(int weakId, const std::string& gestureId, const std::string& text,
                      const std::string& b) {
    std::string data = "[";
    for (const auto& e : symbolRecording(text)) {
      for (int k = 0; k < 4; ++k) {
        if (data.size() > 1) data += ',';
        data += std::to_string(static_cast<int>(k == 0 ? e[k] : e[k] * 100));
      }
    }
    rawTemplate(weakId, gestureId, data + "]", "{\"b\":" + b + ",\"c\":1,\"f\":50,\"u\":1}");
  }

 private:
  std::string path_;
};

class PredefinedRecognition : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput out(1);
    recogniser_ = std::make_unique<GestalGestureRecognition>(dir_.path());
  }

  Verdict verify(const std::vector<std::string>& targets, const std::string& input,
                 const std::string& model = "model") {
    const PredefinedGesture r =
        recogniser_->verifyPredefinedGesture(model, targets, symbolRecording(input));
    return {r.id, r.name, r.score, r.confidence};
  }

  // The model file "model" with gestures HEART, DOWN and C (ids h, d, c) under the given weak
  // classifiers.
  ModelFile heartDownC(const std::string& weakClassifiers) {
    ModelFile model(dir_.file("model"));
    model.run("insert into weak_classifier values " + weakClassifiers +
              ";insert into gesture values ('h', 'HEART'), ('d', 'DOWN'), ('c', 'C')");
    return model;
  }

  float single(const std::string& name, const std::string& input) {
    CaptureOutput out(1);
    const float total =
        recogniser_->singleMatchPredefineGesture("model", name, symbolRecording(input));
    EXPECT_EQ(out.take(), "run singleMatchPredefineGesture\n");
    return total;
  }

  TempDir dir_;
  std::unique_ptr<GestalGestureRecognition> recogniser_;
};

}  // namespace

TEST_F(PredefinedRecognition, ScoresAreWeightedTemplateResponsesAroundTheDecisionPoint) {
  ModelFile model = heartDownC("('1', '1.5'), ('2', '0.5')");
  model.symbolTemplate(1, "h", "aaaa", "0.5");
  model.symbolTemplate(1, "h", "cccc", "0.5");
  model.symbolTemplate(1, "d", "aacc", "0.5");
  model.symbolTemplate(1, "c", "dddd", "0.5");
  model.symbolTemplate(2, "h", "aaaa", "0.25");
  model.symbolTemplate(2, "d", "aaab", "0.5");
  // HEART: 1.5 x 2 + 0.5 x 2 (perfect matches); DOWN: 1.5 x 1 (r = b) + 0.5 x 1.5 (r = 0.75
  // with b = 0.5); C: nothing in common. Confidence ((4 - 2.25) / 2.25)^0.3.
  EXPECT_EQ(verify({}, "aaaa"), Verdict("h", "HEART", 4.0f, 0.927377701f));
  EXPECT_EQ(single("HEART", "aaaa"), 4.0f);
  EXPECT_EQ(single("DOWN", "aaaa"), 2.25f);
  EXPECT_EQ(single("SQUARE", "aaaa"), 0.0f);
  // The response around b, for every kind of template, is pinned by PredefinedScoring below.

  // Only one gesture above 0: the confidence is |best - 1| to the power 0.3.
  EXPECT_EQ(verify({"DOWN"}, "addd"), Verdict("d", "DOWN", 1.0f, 0.0f));
  EXPECT_EQ(verify({"DOWN", "C"}, "aaaa"), Verdict("d", "DOWN", 2.25f, 1.06923461f));
  // A target listed twice counts twice.
  EXPECT_EQ(verify({"HEART", "HEART"}, "aaaa"), Verdict("h", "HEART", 8.0f, 1.79278994f));
  // Targets that name no gesture, and an input without symbols, leave only the fallback.
  EXPECT_EQ(verify({"SQUARE"}, "aaaa"), kFallback);
  EXPECT_EQ(verify({}, "...."), kFallback);
}

TEST_F(PredefinedRecognition, EqualScoresGoToTheNameThatSortsFirst) {
  ModelFile model = heartDownC("('1', '1.5')");
  model.symbolTemplate(1, "h", "aaaa", "0.5");
  model.symbolTemplate(1, "c", "aaaa", "0.5");
  model.symbolTemplate(1, "d", "aacc", "0.5");
  EXPECT_EQ(verify({}, "aaaa"), Verdict("c", "C", 3.0f, 0.0f));
  EXPECT_EQ(verify({"HEART", "DOWN"}, "aaaa"), Verdict("h", "HEART", 3.0f, 1.0f));
}

TEST_F(PredefinedRecognition, AnEmptyClassifierIsReadAgainNextTime) {
  ModelFile model(dir_.file("model"));
  model.run("insert into gesture values ('h', 'HEART')");
  model.symbolTemplate(1, "h", "aaaa", "0.5");
  EXPECT_EQ(verify({}, "aaaa"), kEmpty);
  CaptureOutput out(1);
  EXPECT_EQ(recogniser_->singleMatchPredefineGesture("model", "HEART", symbolRecording("aaaa")),
            0.0f);
  EXPECT_EQ(out.take(),
            "run singleMatchPredefineGesture\n"
            "singleMatchPredefineGesture get empty adaboostClassifier\n");
  model.run("insert into weak_classifier values ('1', '0.75')");
  EXPECT_EQ(verify({}, "aaaa"), Verdict("h", "HEART", 1.5f, 0.812252402f));
  // Once read, the classifier stays as it was.
  model.run("insert into weak_classifier values ('2', '0.75')");
  EXPECT_EQ(single("HEART", "aaaa"), 1.5f);
}

TEST_F(PredefinedRecognition, AMissingModelFailsUntilTheFileExists) {
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_EQ(thrownText([&] { verify({}, "aaaa", "later"); }), "Predefine Gesture DB not found.");
  ModelFile model(dir_.file("later"));
  model.run("insert into weak_classifier values ('1', '1'); insert into gesture values ('x', 'C')");
  model.symbolTemplate(1, "x", "aaaa", "0.5");
  EXPECT_EQ(verify({}, "aaaa", "later"), Verdict("x", "C", 2.0f, 1.0f));
}

TEST(PredefineGestureDB, ReadsEveryGestureOfEveryWeakClassifier) {
  TempDir dir;
  ModelFile model(dir.file("m"));
  model.run(
      "insert into weak_classifier values ('7', '0.1'), ('-3', '2.5e1');"
      "insert into gesture values ('g1', 'HEART'), ('g2', 'C'), ('g3', 'HEART')");
  model.rawTemplate(7, "g3", "[0, 65636, -100.9, true, false, 70000.5, -32769, 1e3]",
                    R"({"b":0.25,"c":2,"f":-3,"u":7.9,"extra":"x"})");
  model.rawTemplate(-3, "g1", "[1,2,3,4]", kParameters);

  const AdaboostClassifier classifier =
      GestalPredefineGestureDB(dir.file("m")).readWeakClassifiers();
  // Every gesture of every weak classifier, by name, with its template count; the second HEART
  // keeps the first record but brings its own templates.
  std::vector<std::tuple<int32_t, float, std::string, std::string, std::size_t>> read;
  for (const auto& weak : classifier)
    for (const auto& [gesture, templates] : weak.templates)
      read.emplace_back(weak.id, weak.alpha, gesture.id, gesture.name, templates.size());
  EXPECT_EQ(read, (std::vector<std::tuple<int32_t, float, std::string, std::string, std::size_t>>{
                      {7, 0.1f, "g2", "C", 0},
                      {7, 0.1f, "g1", "HEART", 1},
                      {-3, 25.0f, "g2", "C", 0},
                      {-3, 25.0f, "g1", "HEART", 0}}));
  const GestureTemplate& t = classifier[0].templates.rbegin()->second.at(0);
  EXPECT_EQ(
      std::tuple(t.data, t.b, t.c, t.f, t.u),
      std::tuple(std::vector<int16_t>{0, 100, -100, 1, 0, 4464, 32767, 1000}, 0.25f, 2, -3, 7));
}

TEST(PredefineGestureDB, ValuesThatDoNotConvertThrow) {
  TempDir dir;
  ModelFile model(dir.file("m"));
  model.run("insert into weak_classifier values ('1', '1'); insert into gesture values ('g', 'C')");
  GestalPredefineGestureDB db(dir.file("m"));
  for (const auto& [data, parameters, message] : {
           std::tuple{"[1,\"2\"]", kParameters, "type must be number, but is string"},
           std::tuple{"[1,2", kParameters, "parse error"},
       }) {
    SCOPED_TRACE(data);
    model.run("delete from samples");
    model.rawTemplate(1, "g", data, parameters);
    EXPECT_THAT(thrownText([&] { db.readWeakClassifiers(); }), ::testing::HasSubstr(message));
  }
  // Ids and weights read as the C library reads numbers in the C locale; a weight that is not a
  // finite number refuses the model.
  model.run("delete from samples");
  for (const auto& [id, alpha, read] :
       {std::tuple{" +12abc", " 0x1.8p1x", 3.0f}, std::tuple{"-12", "2.5e1", 25.0f},
        std::tuple{"7", "-.5", -0.5f}}) {
    model.run("update weak_classifier set id = '"s + id + "', alpha = '" + alpha + "'");
    GestalPredefineGestureDB fresh(dir.file("m"));
    const WeakClassifier& weak = fresh.readWeakClassifiers().at(0);
    EXPECT_EQ(std::pair(weak.id, weak.alpha), std::pair(std::stoi(id), read)) << id << alpha;
  }
  const std::string path = dir.file("m");
  for (const auto& [id, alpha, message] : {
           std::tuple{"one", "1", "has id 'one', not an integer"},
           std::tuple{"99999999999999999999", "1", "has id '99999999999999999999', not an integer"},
           std::tuple{"1", "x1", "has alpha 'x1', not a finite number"},
           std::tuple{"1", "-inf", "has alpha '-inf', not a finite number"},
           std::tuple{"1", "nan", "has alpha 'nan', not a finite number"},
           std::tuple{"1", "1e39", "has alpha '1e39', not a finite number"},
           std::tuple{"1", "1e-40", "has alpha '1e-40', not a finite number"},
       }) {
    model.run("update weak_classifier set id = '"s + id + "', alpha = '" + alpha + "'");
    EXPECT_EQ(thrownText([&] { db.readWeakClassifiers(); }),
              "model file " + path + " is corrupt: weak_classifier row 1 " + message)
        << id << alpha;
  }
}

// Templates symbolised once (as a model file's are) or at each comparison, against an input
// symbolised once per parameter set, respond as the kernel's score of the two sequences says.
TEST(PredefinedScoring, SymbolsMadeOnceScoreAsTheKernel) {
  std::mt19937 random(3);
  const auto sequence = [&](std::size_t entries) {
    std::vector<int16_t> values;
    for (std::size_t i = 0; i < entries; ++i) {
      values.push_back(static_cast<int16_t>(20 * i));
      for (int k = 0; k < 3; ++k) values.push_back(static_cast<int16_t>(random() % 1200) - 600);
    }
    return values;
  };
  for (int round = 0; round < 20; ++round) {
    const PreparedSequence prepared{sequence(random() % 80)};
    GestureInput input(prepared);
    for (int t = 0; t < 30; ++t) {
      GestureTemplate plain{sequence(random() % 40),
                            static_cast<int32_t>(random() % 3) * 200,
                            1 + static_cast<int32_t>(random() % 3),
                            1 + static_cast<int32_t>(random() % 2),
                            0.25f + 0.5f * (t % 2),
                            std::nullopt};
      GestureTemplate symbolized = plain;
      symbolized.symbols = templateSymbols(plain);
      float r = gestureSimilarity(plain.data.data(), static_cast<uint32_t>(plain.data.size()),
                                  prepared.data(), prepared.length(), static_cast<int16_t>(plain.f),
                                  plain.c, plain.u);
      if (r < 0.0f) r = 0.0f;
      const float b = plain.b;
      const float expected = r > b ? (r - b) / (1.0f - b) + 1.0f : (r - b) / b + 1.0f;
      EXPECT_EQ(std::bit_cast<uint32_t>(templateResponse(plain, input)),
                std::bit_cast<uint32_t>(expected));
      EXPECT_EQ(std::bit_cast<uint32_t>(templateResponse(symbolized, input)),
                std::bit_cast<uint32_t>(expected));
    }
  }
}
