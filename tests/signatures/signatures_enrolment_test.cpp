#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/Exceptions.h"
#include "core/SampleText.h"
#include "signatures/GestalTraining.h"
#include "signatures/SignatureStoreFixture.h"

namespace {

using namespace GestalPrivate;
using namespace SignatureFixtures;

// What one enrolment step answered: {rejection code (-1 for a failed enrolment, 0 when accepted),
// strength, progress, complexity of an accepted first sample or the rejection's value}.
using Reply = std::tuple<int32_t, int32_t, float, int32_t>;

Reply accepted(int32_t strength, float progress, int32_t complexity = 0) {
  return {0, strength, progress, complexity};
}
Reply rejected(int32_t code, float progress, int32_t value = 0) {
  return {code, -1, progress, value};
}
const Reply kFailed{-1, -1, 0.0f, 0};

// The first sample checks of the default profile see these as poorly held or barely moving.
MotionSample pointingUp(std::size_t length) {
  MotionSample sample = xPrefix(length);
  for (auto& entry : sample) entry[kDirectionZ] = 1.0f;
  return sample;
}

MotionSample mostlyStill() {
  MotionSample sample = xPrefix(150);
  for (int i = 1; i <= 400; ++i) sample.push_back({sample[149][0] + 10.0f * static_cast<float>(i)});
  return sample;
}

class EnrolmentTest : public SignatureFixtures::StorePartTest<GestalTraining> {
 protected:
  Reply train(int32_t action, const MotionSample& sample) {
    try {
      TrainingResult r = part->train(action, sample);
      return {0, r.strength, r.progress, r.complexity};
    } catch (const GestalTrainingInputException& e) {
      return {e.code, -1, e.progress, e.value};
    } catch (const GestalTrainingFailedException&) {
      return kFailed;
    }
  }

  Rows storedTexts(int32_t action) const {
    return rows("select signature from sign where item_no = " + std::to_string(action) +
                " order by rowid");
  }
  static Rows textsOf(const std::vector<MotionSample>& samples) {
    Rows texts;
    for (const MotionSample& s : samples) texts.push_back({writeSampleText(s)});
    return texts;
  }
};

TEST_F(EnrolmentTest, ThreeSamplesAgreeingAtTheStrictestLevelComplete) {
  db->writeAction(1, "", 2);
  db->writeVerificationResult(1);
  db->setAdaptStrengthVerifyHistory(1, {true});
  db->addSignature(yRecording(50), 1);

  const std::vector<MotionSample> samples{xPrefix(250), xPrefix(240), xPrefix(230)};
  EXPECT_EQ(train(1, samples[0]), accepted(-1, 0.2f, 4));
  EXPECT_EQ(train(1, samples[1]), accepted(-1, 0.4f));
  // The old enrolment stays in force until the new one completes.
  EXPECT_EQ(storedTexts(1).size(), 1u);
  EXPECT_EQ(rows("select strength from item"), (Rows{{"2"}}));
  EXPECT_EQ(train(1, samples[2]), accepted(0, 1.0f));

  EXPECT_EQ(storedTexts(1), textsOf(samples));
  EXPECT_EQ(rows("select item_no, cmd, strength, signType, typeof(signType) from item"),
            (Rows{{"1", "", "0", "0", "integer"}}));
  EXPECT_EQ(rows("select (select count(*) from verify_history), count(*) from adapt_strength"),
            (Rows{{"0", "0"}}));
}

TEST_F(EnrolmentTest, AFourthSampleCompletesAWindowAgreeingAtLevelOne) {
  // 150 of 200 symbols in common: level 1 but not 0.
  const std::vector<MotionSample> samples{xPrefix(200), xPrefix(200), xPrefix(150), xPrefix(200)};
  EXPECT_EQ(train(2, samples[0]), accepted(-1, 0.2f, 3));
  EXPECT_EQ(rows("select item_no, strength, signType from item"), (Rows{{"2", "-1", "NULL"}}));
  EXPECT_EQ(train(2, samples[1]), accepted(-1, 0.4f));
  EXPECT_EQ(train(2, samples[2]), accepted(-1, 0.6f));
  EXPECT_EQ(train(2, samples[3]), accepted(1, 1.0f));
  EXPECT_EQ(storedTexts(2), textsOf(samples));
  EXPECT_EQ(rows("select strength, signType from item"), (Rows{{"1", "0"}}));
}

// Each check's code reaches the host as an error type (engine_facade_test); here, what the
// enrolment holds meanwhile.
TEST_F(EnrolmentTest, FirstSampleChecksHoldTheProgressAndRetry) {
  EXPECT_EQ(train(1, xPrefix(300)), accepted(-1, 0.2f, 5));
  EXPECT_EQ(train(1, xPrefix(10)), rejected(2, 0.2f));
  // Only the first sample of an enrolment is measured.
  EXPECT_EQ(train(1, xPrefix(280)), accepted(-1, 0.4f));

  // Posture is refused three times, motion twice.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(train(2, pointingUp(200)), rejected(3, 0.0f)) << i;
  EXPECT_EQ(train(2, pointingUp(200)), accepted(-1, 0.2f, 3));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(train(3, mostlyStill()), rejected(4, 0.0f)) << i;
  EXPECT_EQ(train(3, mostlyStill()), accepted(-1, 0.2f, 5));
}

TEST_F(EnrolmentTest, WithoutQualityChecksOnlyTheLengthIsChecked) {
  useProfile(GSEnginePreferenceParameters_Unlock{});
  EXPECT_EQ(train(1, xPrefix(10)), rejected(2, 0.0f));
  EXPECT_EQ(train(1, pointingUp(60)), accepted(-1, 0.2f, 1));
  EXPECT_EQ(train(2, mostlyStill()), accepted(-1, 0.2f, 5));
}

TEST_F(EnrolmentTest, SamplesUnlikeTheOthersAreRejectedOrRemoved) {
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.2f, 3));
  EXPECT_EQ(train(1, yRecording(200)), rejected(7, 0.2f));
  // 120 of 200 is below even the loosest level.
  EXPECT_EQ(train(1, xPrefix(120)), rejected(7, 0.2f));
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.4f));
  EXPECT_EQ(train(1, xPrefix(200)), accepted(0, 1.0f));
  EXPECT_EQ(storedTexts(1).size(), 3u);

  // A newest sample matching none of the others is removed.
  EXPECT_EQ(train(2, xPrefix(200)), accepted(-1, 0.2f, 3));
  EXPECT_EQ(train(2, xPrefix(133)), accepted(-1, 0.4f));
  EXPECT_EQ(train(2, yRecording(200)), rejected(6, 0.4f));
  EXPECT_EQ(train(2, xPrefix(200)), accepted(-1, 0.6f));
  EXPECT_EQ(storedTexts(2).size(), 0u);
}

TEST_F(EnrolmentTest, SamplesAgreeingOnlyLooselyFailAtTheSeventh) {
  // 133 of 200 symbols in common: only the loosest level matches.
  const float progress[] = {0.2f, 0.4f, 0.6f, 0.7f, 0.8f, 0.9f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(train(3, xPrefix(i % 2 == 0 ? 200 : 133)), accepted(-1, progress[i], i == 0 ? 3 : 0))
        << i;
  }
  EXPECT_EQ(train(3, xPrefix(200)), kFailed);
  EXPECT_EQ(rows("select item_no, strength from item"), (Rows{{"3", "-1"}}));
  EXPECT_EQ(storedTexts(3).size(), 0u);
  // A fresh enrolment starts; without a cap its seventh sample accepts the loosest level.
  EXPECT_EQ(train(3, xPrefix(200)), accepted(-1, 0.2f, 3));
  part->setHighestStrengthLevel(-1);
  for (int i = 1; i < 6; ++i) train(3, xPrefix(i % 2 == 0 ? 200 : 133));
  EXPECT_EQ(train(3, xPrefix(200)), accepted(4, 1.0f));
  EXPECT_EQ(storedTexts(3).size(), 7u);
}

}  // namespace
