#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gesture/GestalGestureRecognition.h"
#include "support/CaptureOutput.h"
#include "support/TempDir.h"

using GestalPrivate::CustomGestureResult;
using GestalPrivate::GestalGestureRecognition;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;
using GestalTest::CaptureOutput;
using GestalTest::TempDir;

namespace {

// A recording that reads as the given symbol string to the custom gesture comparisons: one entry
// every 20 ms (so none is dropped), 'a'/'b' = primary x +/-1, 'c'/'d' = y +/-3, 'e'/'f' = z +/-3,
// '.' = a small motion that stays below every threshold.
MotionSample symbols(const std::string& text) {
  MotionSample sample;
  for (std::size_t i = 0; i < text.size(); ++i) {
    MotionEntry entry{};
    entry[0] = 20.0f * static_cast<float>(i);
    entry[7] = 1.0f;
    switch (text[i]) {
      case 'a':
        entry[1] = 1.0f;
        break;
      case 'b':
        entry[1] = -1.0f;
        break;
      case 'c':
        entry[2] = 3.0f;
        break;
      case 'd':
        entry[2] = -3.0f;
        break;
      case 'e':
        entry[3] = 3.0f;
        break;
      case 'f':
        entry[3] = -3.0f;
        break;
      default:
        entry[1] = 0.1f;
        break;
    }
    sample.push_back(entry);
  }
  return sample;
}

// A recording with more symbols than the comparison buffers hold: every comparison with it fails.
MotionSample oversized() {
  MotionSample sample;
  for (int i = 0; i < 33333; ++i) {
    sample.push_back({20.0f * static_cast<float>(i), 1.0f, 3.0f, 3.0f, 0, 0, 0, 1.0f, 0, 0});
  }
  return sample;
}

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
    for (const std::string& recording : recordings) samples.push_back(symbols(recording));
    recogniser_->customGestureDB().replaceCustomSamples(nameSpace, index, samples);
  }

  CustomGestureResult identify(const std::vector<std::string>& targets,
                               const std::string& recording = "aaaa") {
    return recogniser_->identifyCustomGesture("player", targets, symbols(recording));
  }

  TempDir dir_;
  std::unique_ptr<GestalGestureRecognition> recogniser_;
};

void expectResult(const CustomGestureResult& result, const std::string& gesture, float confidence) {
  EXPECT_EQ(result.matchedGesture, gesture);
  EXPECT_EQ(result.confidence, confidence);
}

}  // namespace

TEST_F(CustomIdentification, AcceptsOnceMoreThanThreeTenthsOfTheComparisonsSoFarAreSimilar) {
  // Similar at the second comparison: 1/2 accepts there, and the mean is that one score.
  store("half", {kFar, "aaa", kFar, kFar, kSame});
  store("third", {kFar, kNothing, kClose});
  store("quarter", {kFar, kFar, kFar, kSame});
  store("three-tenths", {kFar, kFar, kFar, kFar, kFar, kFar, kFar, kSame, kSame, kSame});
  expectResult(identify({"half"}), "half", 1.5f);
  expectResult(identify({"third"}), "third", 1.5f);
  expectResult(identify({"quarter"}), "", 0.0f);
  expectResult(identify({"three-tenths"}), "", 0.0f);
}

TEST_F(CustomIdentification, OneAcceptedCandidateIsTheResultWithItsFirstPassMean) {
  store("1", {kNothing, kClose, kSame});
  store("2", {kFar});
  store("3", {});
  expectResult(identify({}), "1", 1.5f);
  expectResult(identify({}, "dddd"), "", 0.0f);
  expectResult(identify({"2", "3"}), "", 0.0f);
}

TEST_F(CustomIdentification, TargetsAloneAreCandidatesEvenWithoutSamples) {
  store("1", {kSame});
  store("2", {kClose});
  expectResult(identify({"2"}), "2", 1.5f);
  expectResult(identify({"missing"}), "", 0.0f);
  expectResult(identify({"missing", "2"}), "2", 1.5f);
  expectResult(identify({}), "1", 2.0f);
}

TEST_F(CustomIdentification, TwoAcceptedAreRankedByTheirBestSampleButReportTheFirstPassMean) {
  // New recording "aaaabbbb": score = common / (8 x 0.5).
  store("1", {"aaaabb"});             // accepted at 1.5, best 1.5
  store("2", {"aaaab", "aaaabbbb"});  // accepted at 1.25, best 2.0
  expectResult(identify({}, "aaaabbbb"), "2", 1.25f);
  expectResult(identify({"1"}, "aaaabbbb"), "1", 1.5f);
}

TEST_F(CustomIdentification, EqualBestScoresGoToTheIndexThatSortsFirst) {
  store("9", {kSame});
  store("10", {kClose, kSame});
  expectResult(identify({}), "10", 1.5f);
  expectResult(identify({"9", "10"}), "10", 1.5f);
}

TEST_F(CustomIdentification, AGestureListedOncePerSampleGivesTheSameResult) {
  store("4", {kHalf, kSame, kSame});
  store("5", {"aaa"});
  EXPECT_EQ(recogniser_->customGestureDB().getAllCustomGestureIndexes("player"),
            (std::vector<std::string>{"4", "4", "4", "5"}));
  expectResult(identify({}), "4", 1.0f);
  expectResult(identify({"4", "5"}), "4", 1.0f);
  expectResult(identify({"4"}), "4", 1.0f);
}

TEST_F(CustomIdentification, FailedComparisonsCountAsNotSimilar) {
  recogniser_->customGestureDB().replaceCustomSamples("player", "1",
                                                      {oversized(), symbols(kClose)});
  store("2", {"aa"});
  expectResult(identify({"1"}), "1", 1.5f);
  expectResult(identify({}), "1", 1.5f);
}

TEST_F(CustomIdentification, CachedSamplesStayAsTheyWereFirstRead) {
  store("1", {kSame});
  expectResult(identify({}), "1", 2.0f);

  store("1", {kNothing});
  expectResult(identify({}), "1", 2.0f);
  EXPECT_EQ(recogniser_->getCustomGestureSamples("player", "1"),
            (std::vector<MotionSample>{symbols(kSame)}));

  // A gesture stored for the first time is seen; a deleted one only when named.
  store("2", {kClose});
  recogniser_->customGestureDB().delCustomSamples("player", "1");
  expectResult(identify({}), "2", 1.5f);
  expectResult(identify({"1"}), "1", 2.0f);

  CaptureOutput out(1);
  GestalGestureRecognition fresh(dir_.path());
  EXPECT_EQ(fresh.identifyCustomGesture("player", {"1"}, symbols("aaaa")).matchedGesture, "");
}

TEST_F(CustomIdentification, TheExistenceTestUsesTheStricterLevel) {
  EXPECT_FALSE(recogniser_->isCustomGestureExisted("player", symbols("aaaa")));
  store("1", {kHalf});
  store("2", {kFar, kFar, kFar, kSame});
  store("3", {kSame}, "smart");
  expectResult(identify({"1"}), "1", 1.0f);
  EXPECT_FALSE(recogniser_->isCustomGestureExisted("player", symbols("aaaa")));

  store("4", {kFar, kFar, kSame});
  EXPECT_TRUE(recogniser_->isCustomGestureExisted("player", symbols("aaaa")));
  EXPECT_TRUE(recogniser_->isCustomGestureExisted("smart", symbols("aaaa")));
  EXPECT_FALSE(recogniser_->isCustomGestureExisted("other", symbols("aaaa")));
}

TEST_F(CustomIdentification, TwoGesturesAreSimilarWhenTheirComparisonMatches) {
  EXPECT_TRUE(recogniser_->isTwoGestureSimilar(symbols(kSame), symbols("aaaa")));
  EXPECT_TRUE(recogniser_->isTwoGestureSimilar(symbols(kHalf), symbols("aaaa")));
  EXPECT_FALSE(recogniser_->isTwoGestureSimilar(symbols(kFar), symbols("aaaa")));
  EXPECT_FALSE(recogniser_->isTwoGestureSimilar(MotionSample(), symbols("aaaa")));
  EXPECT_FALSE(recogniser_->isTwoGestureSimilar(symbols("aaaa"), MotionSample()));
  EXPECT_FALSE(recogniser_->isTwoGestureSimilar(oversized(), symbols("aaaa")));
}
