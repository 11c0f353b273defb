#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "gesture/GestalGestureRecognition.h"
#include "gesture/GestalPredefineGestureDB.h"
#include "support/CaptureOutput.h"
#include "support/TempDir.h"

using GestalPrivate::AdaboostClassifier;
using GestalPrivate::GestalGestureRecognition;
using GestalPrivate::GestalPredefineGestureDB;
using GestalPrivate::GestureTemplate;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;
using GestalPrivate::PredefinedGesture;
using GestalTest::CaptureOutput;
using GestalTest::TempDir;
using ::testing::HasSubstr;

namespace {

// 'a'/'b' = primary x +/-1, 'c'/'d' = y +/-3, '.' = below every threshold; one entry per 20 ms.
const std::vector<float>& axisOf(char symbol) {
  static const std::vector<float> a{1, 0, 0}, b{-1, 0, 0}, c{0, 3, 0}, d{0, -3, 0}, q{0.1f, 0, 0};
  switch (symbol) {
    case 'a':
      return a;
    case 'b':
      return b;
    case 'c':
      return c;
    case 'd':
      return d;
    default:
      return q;
  }
}

MotionSample recording(const std::string& text) {
  MotionSample sample;
  for (std::size_t i = 0; i < text.size(); ++i) {
    MotionEntry entry{};
    entry[0] = 20.0f * static_cast<float>(i);
    for (int k = 0; k < 3; ++k) entry[1 + k] = axisOf(text[i])[k];
    sample.push_back(entry);
  }
  return sample;
}

// The template text of a recording: time, then x, y, z times 100.
std::string templateData(const std::string& text) {
  std::ostringstream json;
  json << '[';
  for (std::size_t i = 0; i < text.size(); ++i) {
    json << (i == 0 ? "" : ",") << 20 * i;
    for (float v : axisOf(text[i])) json << ',' << static_cast<int>(v * 100);
  }
  json << ']';
  return json.str();
}

// A model file written with SQLite itself.
class ModelFile {
 public:
  explicit ModelFile(const std::string& path) {
    sqlite3_open(path.c_str(), &db_);
    run("create table weak_classifier(id, alpha);create table gesture(id, name);"
        "create table samples(weak_classifier_id, gesture_id, data, parameters);");
  }
  ~ModelFile() { sqlite3_close(db_); }

  void run(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  void weak(const std::string& id, const std::string& alpha) {
    insert("insert into weak_classifier values (?1, ?2)", {id, alpha});
  }
  void gesture(const std::string& id, const std::string& name) {
    insert("insert into gesture values (?1, ?2)", {id, name});
  }
  void rawTemplate(int weakId, const std::string& gestureId, const std::string& data,
                   const std::string& parameters) {
    insert("insert into samples values (" + std::to_string(weakId) + ", ?1, ?2, ?3)",
           {gestureId, data, parameters});
  }
  // A template of the symbol string, threshold 50, no run filtering, decision point b.
  void symbolTemplate(int weakId, const std::string& gestureId, const std::string& text,
                      const std::string& b) {
    rawTemplate(weakId, gestureId, templateData(text),
                "{\"b\":" + b + ",\"c\":1,\"f\":50,\"u\":1}");
  }

 private:
  void insert(const std::string& sql, const std::vector<std::string>& texts) {
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      sqlite3_bind_text(statement, static_cast<int>(i + 1), texts[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
    sqlite3_finalize(statement);
  }

  sqlite3* db_ = nullptr;
};

class PredefinedRecognition : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput out(1);
    recogniser_ = std::make_unique<GestalGestureRecognition>(dir_.path());
  }

  PredefinedGesture verify(const std::vector<std::string>& targets, const std::string& input,
                           const std::string& model = "model") {
    return recogniser_->verifyPredefinedGesture(model, targets, recording(input));
  }

  float single(const std::string& name, const std::string& input) {
    CaptureOutput out(1);
    const float total = recogniser_->singleMatchPredefineGesture("model", name, recording(input));
    EXPECT_EQ(out.take(), "run singleMatchPredefineGesture\n");
    return total;
  }

  TempDir dir_;
  std::unique_ptr<GestalGestureRecognition> recogniser_;
};

void expectGesture(const PredefinedGesture& result, const std::string& id, const std::string& name,
                   float score, float confidence) {
  EXPECT_EQ(result.id, id);
  EXPECT_EQ(result.name, name);
  EXPECT_EQ(result.score, score);
  EXPECT_EQ(result.confidence, confidence);
}

}  // namespace

TEST_F(PredefinedRecognition, ScoresAreWeightedTemplateResponsesAroundTheDecisionPoint) {
  {
    ModelFile model(dir_.file("model"));
    model.weak("1", "1.5");
    model.weak("2", "0.5");
    model.gesture("h", "HEART");
    model.gesture("d", "DOWN");
    model.gesture("c", "C");
    model.symbolTemplate(1, "h", "aaaa", "0.5");
    model.symbolTemplate(1, "h", "cccc", "0.5");
    model.symbolTemplate(1, "d", "aacc", "0.5");
    model.symbolTemplate(1, "c", "dddd", "0.5");
    model.symbolTemplate(2, "h", "aaaa", "0.25");
    model.symbolTemplate(2, "d", "aaab", "0.5");
  }
  // HEART: 1.5 x 2 + 0.5 x 2 (perfect matches); DOWN: 1.5 x 1 (r = b) + 0.5 x 1.5 (r = 0.75
  // with b = 0.5); C: nothing in common. Confidence ((4 - 2.25) / 2.25)^0.3.
  expectGesture(verify({}, "aaaa"), "h", "HEART", 4.0f, 0.927377701f);
  EXPECT_EQ(single("HEART", "aaaa"), 4.0f);
  EXPECT_EQ(single("DOWN", "aaaa"), 2.25f);
  EXPECT_EQ(single("C", "aaaa"), 0.0f);
  EXPECT_EQ(single("SQUARE", "aaaa"), 0.0f);

  // Below b the response is r / b: against "abbb" DOWN's templates give r = 0.25 and 0.5.
  EXPECT_EQ(single("DOWN", "abbb"), 1.25f);
  // Above b it rises linearly to 2: r = 0.5 with b = 0.25 gives 1 + 1/3.
  EXPECT_EQ(single("HEART", "aabb"), 2.16666675f);

  // Only one gesture above 0: the confidence is |best - 1| to the power 0.3.
  expectGesture(verify({"DOWN"}, "addd"), "d", "DOWN", 1.0f, 0.0f);
  expectGesture(verify({"DOWN", "C"}, "aaaa"), "d", "DOWN", 2.25f, 1.06923461f);
  // A target listed twice counts twice.
  expectGesture(verify({"HEART", "HEART"}, "aaaa"), "h", "HEART", 8.0f, 1.79278994f);
  // Targets that name no gesture, and an input without symbols, leave only the fallback.
  expectGesture(verify({"SQUARE"}, "aaaa"), "", "", 0.0f, 1.0f);
  expectGesture(verify({}, "...."), "", "", 0.0f, 1.0f);
  expectGesture(verify({}, ""), "", "", 0.0f, 1.0f);
}

TEST_F(PredefinedRecognition, EqualScoresGoToTheNameThatSortsFirst) {
  {
    ModelFile model(dir_.file("model"));
    model.weak("1", "1.5");
    model.gesture("h", "HEART");
    model.gesture("d", "DOWN");
    model.gesture("c", "C");
    model.symbolTemplate(1, "h", "aaaa", "0.5");
    model.symbolTemplate(1, "c", "aaaa", "0.5");
    model.symbolTemplate(1, "d", "aacc", "0.5");
  }
  expectGesture(verify({}, "aaaa"), "c", "C", 3.0f, 0.0f);
  expectGesture(verify({"HEART", "DOWN"}, "aaaa"), "h", "HEART", 3.0f, 1.0f);
}

TEST_F(PredefinedRecognition, AnEmptyClassifierIsReadAgainNextTime) {
  auto model = std::make_unique<ModelFile>(dir_.file("model"));
  model->gesture("h", "HEART");
  model->symbolTemplate(1, "h", "aaaa", "0.5");
  expectGesture(verify({}, "aaaa"), "", "", 0.0f, 0.0f);
  {
    CaptureOutput out(1);
    EXPECT_EQ(recogniser_->singleMatchPredefineGesture("model", "HEART", recording("aaaa")), 0.0f);
    EXPECT_EQ(out.take(),
              "run singleMatchPredefineGesture\n"
              "singleMatchPredefineGesture get empty adaboostClassifier\n");
  }
  model->weak("1", "0.75");
  expectGesture(verify({}, "aaaa"), "h", "HEART", 1.5f, 0.812252402f);

  // Once read, the classifier stays as it was.
  model->weak("2", "0.75");
  EXPECT_EQ(single("HEART", "aaaa"), 1.5f);
}

TEST_F(PredefinedRecognition, AMissingModelFailsUntilTheFileExists) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      verify({}, "aaaa", "later");
      FAIL() << "a missing model was opened";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Predefine Gesture DB not found.");
    }
  }
  {
    ModelFile model(dir_.file("later"));
    model.weak("1", "1");
    model.gesture("x", "C");
    model.symbolTemplate(1, "x", "aaaa", "0.5");
  }
  expectGesture(verify({}, "aaaa", "later"), "x", "C", 2.0f, 1.0f);
}

TEST_F(PredefinedRecognition, AFileWithoutTablesGivesAnEmptyClassifier) {
  { ModelFile model(dir_.file("bare")); }
  CaptureOutput err(2);
  {
    sqlite3* db = nullptr;
    sqlite3_open(dir_.file("bare").c_str(), &db);
    sqlite3_exec(db, "drop table weak_classifier", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  expectGesture(verify({}, "aaaa", "bare"), "", "", 0.0f, 0.0f);
  EXPECT_EQ(err.take(), "readWeakClassifiers SQL error: no such table: weak_classifier\n");
}

TEST(PredefineGestureDB, ReadsEveryGestureOfEveryWeakClassifier) {
  TempDir dir;
  {
    ModelFile model(dir.file("m"));
    model.weak("7", "0.1");
    model.weak("-3", "2.5e1");
    model.gesture("g1", "HEART");
    model.gesture("g2", "C");
    model.gesture("g3", "HEART");
    model.rawTemplate(7, "g1", "[0, 65636, -100.9, true, false, 70000.5, -32769, 1e3]",
                      "{\"b\":0.25,\"c\":2,\"f\":-3,\"u\":7.9,\"extra\":\"x\"}");
    model.rawTemplate(7, "g3", "[]", "{\"b\":1,\"c\":0,\"f\":0,\"u\":0}");
    model.rawTemplate(-3, "g1", "[1,2,3,4]", "{\"b\":0.5,\"c\":1,\"f\":1,\"u\":1}");
    model.rawTemplate(-3, "g1", "[5,6,7,8]", "{\"b\":0.5,\"c\":1,\"f\":1,\"u\":1}");
  }
  GestalPredefineGestureDB db(dir.file("m"));
  const std::vector<GestureTemplate> first = db.readSamples(7, "g1");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].data, (std::vector<int16_t>{0, 100, -100, 1, 0, 4464, 32767, 1000}));
  EXPECT_EQ(first[0].b, 0.25f);
  EXPECT_EQ(first[0].c, 2);
  EXPECT_EQ(first[0].f, -3);
  EXPECT_EQ(first[0].u, 7);

  const AdaboostClassifier classifier = db.readWeakClassifiers();
  ASSERT_EQ(classifier.size(), 2u);
  EXPECT_EQ(classifier[0].id, 7);
  EXPECT_EQ(classifier[0].alpha, 0.1f);
  EXPECT_EQ(classifier[1].id, -3);
  EXPECT_EQ(classifier[1].alpha, 25.0f);
  for (const auto& weak : classifier) {
    ASSERT_EQ(weak.templates.size(), 2u);
    EXPECT_EQ(weak.templates.begin()->first.name, "C");
    EXPECT_TRUE(weak.templates.begin()->second.empty());
    // The second HEART keeps the first record and brings its own templates.
    EXPECT_EQ(weak.templates.rbegin()->first.id, "g1");
  }
  ASSERT_EQ(classifier[0].templates.rbegin()->second.size(), 1u);
  EXPECT_TRUE(classifier[0].templates.rbegin()->second[0].data.empty());
  EXPECT_EQ(classifier[0].templates.rbegin()->second[0].b, 1.0f);
  EXPECT_TRUE(classifier[1].templates.rbegin()->second.empty());
}

TEST(PredefineGestureDB, ValuesThatDoNotConvertThrowAndNothingIsCached) {
  TempDir dir;
  const std::string path = dir.file("m");
  ModelFile model(path);
  model.weak("1", "1");
  model.gesture("g", "C");
  GestalPredefineGestureDB db(path);

  const std::vector<std::pair<std::string, std::string>> broken = {
      {"[1,\"2\"]", "{\"b\":1,\"c\":1,\"f\":1,\"u\":1}"},
      {"[1,[2]]", "{\"b\":1,\"c\":1,\"f\":1,\"u\":1}"},
      {"[1,2", "{\"b\":1,\"c\":1,\"f\":1,\"u\":1}"},
      {"[1,2]", "[1,2]"},
      {"[1,2]", "{\"b\":1,\"c\":1,\"f\":1}"},
      {"[1,2]", "{\"b\":\"1\",\"c\":1,\"f\":1,\"u\":1}"},
  };
  const std::vector<std::string> messages = {
      "type must be number, but is string",
      "type must be number, but is array",
      "parse error",
      "cannot use operator[] with a string argument with array",
      "type must be number, but is null",
      "type must be number, but is string",
  };
  for (std::size_t i = 0; i < broken.size(); ++i) {
    SCOPED_TRACE(i);
    model.run("delete from samples");
    model.rawTemplate(1, "g", broken[i].first, broken[i].second);
    try {
      db.readWeakClassifiers();
      FAIL() << "a broken template was read";
    } catch (const std::exception& e) {
      EXPECT_THAT(e.what(), HasSubstr(messages[i]));
    }
  }

  model.run("delete from samples");
  model.run("update weak_classifier set id = 'one'");
  EXPECT_THROW(db.readWeakClassifiers(), std::invalid_argument);
  model.run("update weak_classifier set id = '1', alpha = 'heavy'");
  EXPECT_THROW(db.readWeakClassifiers(), std::invalid_argument);

  model.run("update weak_classifier set alpha = '2'");
  model.rawTemplate(1, "g", "[1,2,3,4]", "{\"b\":1,\"c\":1,\"f\":1,\"u\":1}");
  const AdaboostClassifier classifier = db.readWeakClassifiers();
  ASSERT_EQ(classifier.size(), 1u);
  EXPECT_EQ(classifier[0].alpha, 2.0f);
  EXPECT_EQ(classifier[0].templates.begin()->second.size(), 1u);
}

TEST(PredefineGestureDB, OpeningNeedsAnExistingFile) {
  TempDir dir;
  try {
    GestalPredefineGestureDB db(dir.file("absent"));
    FAIL() << "a missing model was opened";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Predefine Gesture DB not found.");
  }
}
