#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gestures/GestalGestureRecognition.h"
#include "support/CaptureOutput.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;

// The matched gesture and the confidence.
using Result = std::pair<std::string, float>;
const Result kNone{"", 0.0f};

// Against the new recording "aaaa" at the identification level (score = common / (4 x 0.5)):
const char* const kSame = "aaaa";     // 2.0, similar
const char* const kClose = "aaab";    // 1.5, similar
const char* const kHalf = "aacc";     // 1.0, similar (not at the existence test's level)
const char* const kFar = "accc";      // 0.5, not similar
const char* const kNothing = "cccc";  // 0.0

class CustomIdentification : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput out(1);
    recogniser_ = std::make_unique<GestalGestureRecognition>(dir_.path());
  }

  void store(const std::string& index, const std::vector<std::string>& recordings,
             const std::string& nameSpace = "player") {
    std::vector<MotionSample> samples;
    for (const std::string& recording : recordings) samples.push_back(symbolRecording(recording));
    recogniser_->customGestureDB().replaceCustomSamples(nameSpace, index, samples);
  }

  Result identify(const std::vector<std::string>& targets, const std::string& recording = "aaaa") {
    const CustomGestureResult r =
        recogniser_->identifyCustomGesture("player", targets, symbolRecording(recording));
    return {r.matchedGesture, r.confidence};
  }
  bool exists(const std::string& nameSpace) {
    return recogniser_->isCustomGestureExisted(nameSpace, symbolRecording("aaaa"));
  }

  TempDir dir_;
  std::unique_ptr<GestalGestureRecognition> recogniser_;
};

}  // namespace

TEST_F(CustomIdentification, AcceptsOnceMoreThanThreeTenthsOfTheComparisonsSoFarAreSimilar) {
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

TEST_F(CustomIdentification, CandidatesAreTheTargetsOrElseEveryStoredGesture) {
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

TEST_F(CustomIdentification, AcceptedCandidatesAreRankedByTheirBestSample) {
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

TEST_F(CustomIdentification, FailedComparisonsCountAsNotSimilar) {
  recogniser_->customGestureDB().replaceCustomSamples("player", "1",
                                                      {oversized(), symbolRecording(kClose)});
  store("2", {"aa"});
  EXPECT_EQ(identify({"1"}), Result("1", 1.5f));
  EXPECT_EQ(identify({}), Result("1", 1.5f));
}

TEST_F(CustomIdentification, CachedSamplesStayAsTheyWereFirstRead) {
  store("1", {kSame});
  EXPECT_EQ(identify({}), Result("1", 2.0f));
  store("1", {kNothing});
  EXPECT_EQ(identify({}), Result("1", 2.0f));

  // A gesture stored for the first time is seen; a deleted one only when named.
  store("2", {kClose});
  recogniser_->customGestureDB().delCustomSamples("player", "1");
  EXPECT_EQ(identify({}), Result("2", 1.5f));
  EXPECT_EQ(identify({"1"}), Result("1", 2.0f));

  CaptureOutput out(1);
  GestalGestureRecognition fresh(dir_.path());
  EXPECT_EQ(fresh.identifyCustomGesture("player", {"1"}, symbolRecording("aaaa")).matchedGesture,
            "");
}

TEST_F(CustomIdentification, TheExistenceTestUsesTheStricterLevel) {
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

TEST_F(CustomIdentification, TwoGesturesAreSimilarWhenTheirComparisonMatches) {
  const MotionSample input = symbolRecording("aaaa");
  for (const auto& [stored, similar] :
       {std::pair{symbolRecording(kSame), true}, std::pair{symbolRecording(kHalf), true},
        std::pair{symbolRecording(kFar), false}, std::pair{MotionSample(), false},
        std::pair{oversized(), false}}) {
    EXPECT_EQ(recogniser_->isTwoGestureSimilar(stored, input), similar);
  }
  EXPECT_FALSE(recogniser_->isTwoGestureSimilar(input, MotionSample()));
}
