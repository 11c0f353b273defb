// The custom gesture store "gestal_custom.db" and identification of custom gestures over it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gestures/GestalCustomGestureDB.h"
#include "gestures/GestalGestureRecognition.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;

using Names = std::vector<std::string>;

MotionSample sampleOf(float first, int entries) {
  MotionSample sample(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    sample[i][0] = 20.0f * static_cast<float>(i);
    for (int k = 1; k < 10; ++k) sample[i][k] = first + 0.125f * static_cast<float>(i * k);
  }
  return sample;
}

// The matched gesture and the confidence.
using Result = std::pair<std::string, float>;
const Result kNone{"", 0.0f};

// Against the new recording "aaaa" at the identification level (score = common / (4 x 0.5)):
const char* const kSame = "aaaa";     // 2.0, similar
const char* const kClose = "aaab";    // 1.5, similar
const char* const kHalf = "aacc";     // 1.0, similar (not at the existence test's level)
const char* const kFar = "accc";      // 0.5, not similar
const char* const kNothing = "cccc";  // 0.0

// A recogniser and its store in a fresh directory, opened with their informational lines kept out
// of the output.
class CustomGestures : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput out(1);
    recogniser = std::make_unique<GestalGestureRecognition>(dir.path());
  }
  GestalCustomGestureDB& db() { return recogniser->customGestureDB(); }
  Rows rows(const std::string& sql) const { return readRows(dir.file("gestal_custom.db"), sql); }

  void store(const std::string& index, const std::vector<std::string>& recordings,
             const std::string& nameSpace = "player") {
    std::vector<MotionSample> samples;
    for (const std::string& recording : recordings) samples.push_back(symbolRecording(recording));
    db().replaceCustomSamples(nameSpace, index, samples);
  }
  Result identify(const std::vector<std::string>& targets, const std::string& recording = "aaaa") {
    const CustomGestureResult r =
        recogniser->identifyCustomGesture("player", targets, symbolRecording(recording));
    return {r.matchedGesture, r.confidence};
  }
  bool exists(const std::string& nameSpace) {
    return recogniser->isCustomGestureExisted(nameSpace, symbolRecording("aaaa"));
  }

  TempDir dir;
  std::unique_ptr<GestalGestureRecognition> recogniser;
};

}  // namespace

TEST(CustomGestureDBFile, CreatesTheTableOnceAndReportsTheVersionLater) {
  TempDir dir;
  // The directory text is a prefix of the file name.
  const std::string path = dir.file("host-gestal_custom.db");
  CaptureOutput first(1);
  { GestalCustomGestureDB db(dir.path() + "host-"); }
  EXPECT_EQ(first.take(), "creating DB tables\ncreate custom gesture DB tables success\n");
  EXPECT_EQ(readRows(path, "select type, name, sql from sqlite_master"),
            (Rows{{"table", "custom_gesture_simples",
                   "CREATE TABLE custom_gesture_simples(name_space, gesture_index,data)"}}));
  EXPECT_EQ(readRows(path, "PRAGMA user_version"), (Rows{{"2"}}));

  CaptureOutput second(1);
  { GestalCustomGestureDB db(dir.path() + "host-"); }
  EXPECT_EQ(second.take(), "current custom gesture DB schema version is 2\n");
  EXPECT_EQ(readRows(path, "select count(*) from sqlite_master"), (Rows{{"1"}}));
}

TEST_F(CustomGestures, StoreReplaceAndDeleteKeepRowOrderAndText) {
  const MotionEntry exact = {0.0f, 0.1f, -0.0f, 1.0f, 0.25f, -3.5f, 1e20f, 100.0f, 2.0f, 7.0f};
  const std::vector<MotionSample> seven{{exact}, sampleOf(1.0f, 2)};
  db().replaceCustomSamples("player", "7", seven);
  db().replaceCustomSamples("player", "8", {sampleOf(3.0f, 1)});
  db().replaceCustomSamples("smart", "7", {sampleOf(4.0f, 1)});

  EXPECT_EQ(
      rows("select name_space, gesture_index, typeof(gesture_index), data, typeof(data) "
           "from custom_gesture_simples where gesture_index = '7' order by rowid"),
      (Rows{{"player", "7", "text",
             "[[0.0,0.100000001490116,-0.0,1.0,0.25,-3.5,1.00000002004088e+20,100.0,2.0,7.0]]",
             "text"},
            {"player", "7", "text",
             "[[0.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0],"
             "[20.0,1.125,1.25,1.375,1.5,1.625,1.75,1.875,2.0,2.125]]",
             "text"},
            {"smart", "7", "text", "[[0.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0]]", "text"}}));
  EXPECT_EQ(db().getAllCustomGestureIndexes("player"), (Names{"7", "7", "8"}));
  EXPECT_EQ(preparedValues(db().getCustomSamples("player", "7")), preparedValues(seven));

  // Replacing deletes first, so the new rows follow the other gesture's.
  db().replaceCustomSamples("player", "7", {sampleOf(5.0f, 1), sampleOf(6.0f, 1)});
  EXPECT_EQ(db().getAllCustomGestureIndexes("player"), (Names{"8", "7", "7"}));
  EXPECT_EQ(preparedValues(db().getCustomSamples("player", "7")),
            preparedValues({sampleOf(5.0f, 1), sampleOf(6.0f, 1)}));

  CaptureOutput out(1);
  CaptureOutput err(2);
  db().replaceCustomSamples("player", "7", {});
  EXPECT_TRUE(db().getCustomSamples("player", "7").empty());
  db().delCustomSamples("player", "8");
  EXPECT_TRUE(db().getAllCustomGestureIndexes("player").empty());
  EXPECT_EQ(db().getAllCustomGestureIndexes("smart"), Names{"7"});
  EXPECT_EQ(err.take() + out.take(), "");
}

TEST_F(CustomGestures, AnyNameIsStoredAndFoundExactly) {
  const Names names = {"say \"hi\"", "x'); drop table custom_gesture_simples; --", "",
                       "caf\xC3\xA9 \xFF\xFE", std::string(1000, 'q')};
  for (std::size_t i = 0; i < names.size(); ++i) {
    db().replaceCustomSamples(names[i], names[i], {sampleOf(static_cast<float>(i), 2)});
    db().replaceCustomSamples("player", names[i], {sampleOf(static_cast<float>(i), 1)});
  }
  EXPECT_EQ(db().getAllCustomGestureIndexes("player"), names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(db().getAllCustomGestureIndexes(names[i]), Names{names[i]});
    EXPECT_EQ(preparedValues(db().getCustomSamples(names[i], names[i])),
              preparedValues({sampleOf(static_cast<float>(i), 2)}));
  }
  EXPECT_EQ(rows("select name_space, gesture_index from custom_gesture_simples where rowid = 4"),
            (Rows{{"player", names[1]}}));
}

TEST_F(CustomGestures, StoredTextsThatDoNotDecodeAreSkipped) {
  MotionSample withNaN = sampleOf(1.0f, 1);
  withNaN[0][4] = std::numeric_limits<float>::quiet_NaN();
  db().replaceCustomSamples("player", "3", {sampleOf(1.0f, 1), withNaN});
  EXPECT_EQ(rows("select data from custom_gesture_simples order by rowid")[1][0],
            "[[0.0,1.0,1.0,1.0,null,1.0,1.0,1.0,1.0,1.0]]");
  for (const char* data : {"not json", "[[1,2,3]]", "[[1,2,3,4,5,6,7,8,9,10]]"}) {
    ASSERT_TRUE(GestalTest::execute(
        dir.file("gestal_custom.db"),
        "insert into custom_gesture_simples values ('player', '3', '" + std::string(data) + "')"));
  }
  CaptureOutput err(2);
  const PreparedValues read = preparedValues(db().getCustomSamples("player", "3"));
  const std::string messages = err.take();
  EXPECT_EQ(read,
            preparedValues({sampleOf(1.0f, 1),
                            {{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}}}));
  EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 3);
  EXPECT_THAT(messages, ::testing::StartsWith("getCustomSamples skipped a stored sample of 3 "));
}

TEST_F(CustomGestures, AcceptsOnceMoreThanThreeTenthsOfTheComparisonsSoFarAreSimilar) {
  // Similar at the second comparison: 1/2 accepts there, and the mean is that one score.
  store("half", {kFar, "aaa", kFar, kFar, kSame});
  store("third", {kFar, kNothing, kClose});
  store("quarter", {kFar, kFar, kFar, kSame});
  store("three-tenths", {kFar, kFar, kFar, kFar, kFar, kFar, kFar, kSame, kSame, kSame});
  EXPECT_EQ(identify({"half"}), Result("half", 1.5f));
  EXPECT_EQ(identify({"third"}), Result("third", 1.5f));
  EXPECT_EQ(identify({"quarter"}), kNone);
  EXPECT_EQ(identify({"three-tenths"}), kNone);
}

TEST_F(CustomGestures, CandidatesAreTheTargetsOrElseEveryStoredGesture) {
  store("1", {kNothing, kClose, kSame});
  store("2", {kFar});
  store("3", {});
  store("4", {"aaa"});
  // One accepted candidate is the result with its first-pass mean.
  EXPECT_EQ(identify({}), Result("1", 1.5f));
  EXPECT_EQ(identify({}, "dddd"), kNone);
  EXPECT_EQ(identify({"2", "3"}), kNone);
  // Targets alone are candidates, even without samples.
  EXPECT_EQ(identify({"4"}), Result("4", 1.5f));
  EXPECT_EQ(identify({"missing"}), kNone);
  EXPECT_EQ(identify({"missing", "4"}), Result("4", 1.5f));
}

TEST_F(CustomGestures, AcceptedCandidatesAreRankedByTheirBestSample) {
  // New recording "aaaabbbb": score = common / (8 x 0.5). The result reports the first-pass mean.
  store("1", {"aaaabb"});             // accepted at 1.5, best 1.5
  store("2", {"aaaab", "aaaabbbb"});  // accepted at 1.25, best 2.0
  EXPECT_EQ(identify({}, "aaaabbbb"), Result("2", 1.25f));
  EXPECT_EQ(identify({"1"}, "aaaabbbb"), Result("1", 1.5f));
  // Equal best scores go to the index that sorts first.
  store("9", {kSame});
  store("10", {kClose, kSame});
  EXPECT_EQ(identify({"9", "10"}), Result("10", 1.5f));
}

TEST_F(CustomGestures, FailedComparisonsCountAsNotSimilar) {
  db().replaceCustomSamples("player", "1", {oversized(), symbolRecording(kClose)});
  store("2", {"aa"});
  EXPECT_EQ(identify({"1"}), Result("1", 1.5f));
  EXPECT_EQ(identify({}), Result("1", 1.5f));
}

TEST_F(CustomGestures, CachedSamplesStayAsTheyWereFirstRead) {
  store("1", {kSame});
  EXPECT_EQ(identify({}), Result("1", 2.0f));
  store("1", {kNothing});
  EXPECT_EQ(identify({}), Result("1", 2.0f));

  // A gesture stored for the first time is seen; a deleted one only when named.
  store("2", {kClose});
  db().delCustomSamples("player", "1");
  EXPECT_EQ(identify({}), Result("2", 1.5f));
  EXPECT_EQ(identify({"1"}), Result("1", 2.0f));

  CaptureOutput out(1);
  GestalGestureRecognition fresh(dir.path());
  EXPECT_EQ(fresh.identifyCustomGesture("player", {"1"}, symbolRecording("aaaa")).matchedGesture,
            "");
}

TEST_F(CustomGestures, TheExistenceTestUsesTheStricterLevel) {
  EXPECT_FALSE(exists("player"));
  store("1", {kHalf});
  store("2", {kFar, kFar, kFar, kSame});
  store("3", {kSame}, "smart");
  EXPECT_EQ(identify({"1"}), Result("1", 1.0f));
  EXPECT_FALSE(exists("player"));
  store("4", {kFar, kFar, kSame});
  EXPECT_TRUE(exists("player"));
  EXPECT_TRUE(exists("smart"));
  EXPECT_FALSE(exists("other"));
}

TEST_F(CustomGestures, TwoGesturesAreSimilarWhenTheirComparisonMatches) {
  const MotionSample input = symbolRecording("aaaa");
  for (const auto& [stored, similar] :
       {std::pair{symbolRecording(kSame), true}, std::pair{symbolRecording(kHalf), true},
        std::pair{symbolRecording(kFar), false}, std::pair{MotionSample(), false},
        std::pair{oversized(), false}}) {
    EXPECT_EQ(recogniser->isTwoGestureSimilar(stored, input), similar);
  }
  EXPECT_FALSE(recogniser->isTwoGestureSimilar(input, MotionSample()));
}
