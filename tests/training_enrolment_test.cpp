#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/SampleText.h"
#include "engine/Exceptions.h"
#include "engine/GSEnginePreferenceParameters.h"
#include "store/GestalDB.h"
#include "store_fixtures.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"
#include "training/GestalTraining.h"

namespace {

using GestalPrivate::GestalDB;
using GestalPrivate::GestalTraining;
using GestalPrivate::GestalTrainingFailedException;
using GestalPrivate::GestalTrainingInputException;
using GestalPrivate::GSEnginePreferenceParameters;
using GestalPrivate::GSEnginePreferenceParameters_Unlock;
using GestalPrivate::MotionSample;
using GestalPrivate::TrainingResult;
using SignatureFixtures::readRows;
using SignatureFixtures::xPrefix;
using SignatureFixtures::yRecording;
using Rows = std::vector<std::vector<std::string>>;

// What one enrolment step answered: a result, a rejection or the end of the enrolment.
struct Reply {
  int32_t code = 0;  // rejection code, -1 for a failed enrolment, 0 when accepted
  int32_t strength = -1;
  float progress = 0.0f;
  int32_t value = 0;  // complexity of an accepted first sample, or the rejection's value
  bool operator==(const Reply&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Reply& r) {
  return out << "{code " << r.code << ", strength " << r.strength << ", progress " << r.progress
             << ", value " << r.value << "}";
}

Reply accepted(int32_t strength, float progress, int32_t complexity = 0) {
  return Reply{0, strength, progress, complexity};
}
Reply rejected(int32_t code, float progress, int32_t value = 0) {
  return Reply{code, -1, progress, value};
}
const Reply kFailed{-1, -1, 0.0f, 0};

// The first sample checks of the default profile see these as poorly held or barely moving.
MotionSample pointingUp(std::size_t length) {
  MotionSample sample = xPrefix(length);
  for (auto& entry : sample) entry[GestalPrivate::kDirectionZ] = 1.0f;
  return sample;
}

MotionSample mostlyStill() {
  MotionSample sample = xPrefix(150);
  float time = sample.back()[GestalPrivate::kTime];
  for (int i = 0; i < 400; ++i) {
    time += 10.0f;
    GestalPrivate::MotionEntry entry{};
    entry[GestalPrivate::kTime] = time;
    sample.push_back(entry);
  }
  return sample;
}

class EnrolmentTest : public ::testing::Test {
 protected:
  void SetUp() override { useProfile(GSEnginePreferenceParameters{}); }

  void useProfile(const GSEnginePreferenceParameters& profile) {
    training.reset();
    db.reset();
    GestalTest::CaptureOutput out(1);
    db = std::make_unique<GestalDB>(profile, dir.path());
    out.take();
    training = std::make_unique<GestalTraining>(db.get(), profile, 1.0f);
  }

  Reply train(int32_t action, const MotionSample& sample) {
    try {
      TrainingResult r = training->train(action, sample);
      return Reply{0, r.strength, r.progress, r.complexity};
    } catch (const GestalTrainingInputException& e) {
      return Reply{e.code, -1, e.progress, e.value};
    } catch (const GestalTrainingFailedException&) {
      return kFailed;
    }
  }

  Rows rows(const std::string& sql) const { return readRows(dir.file("gestal.db"), sql); }
  Rows storedTexts(int32_t action) const {
    return rows("select signature from sign where item_no = " + std::to_string(action) +
                " order by rowid");
  }
  static Rows textsOf(const std::vector<MotionSample>& samples) {
    Rows texts;
    for (const MotionSample& s : samples) texts.push_back({GestalPrivate::writeSampleText(s)});
    return texts;
  }

  GestalTest::FixedClock clock;
  GestalTest::TempDir dir;
  std::unique_ptr<GestalDB> db;
  std::unique_ptr<GestalTraining> training;
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
  EXPECT_EQ(train(1, samples[2]), accepted(0, 1.0f));

  EXPECT_EQ(storedTexts(1), textsOf(samples));
  EXPECT_EQ(rows("select item_no, cmd, strength, signType, typeof(signType) from item"),
            (Rows{{"1", "", "0", "0", "integer"}}));
  EXPECT_EQ(rows("select count(*) from verify_history"), (Rows{{"0"}}));
  EXPECT_EQ(rows("select count(*) from adapt_strength"), (Rows{{"0"}}));
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

TEST_F(EnrolmentTest, FirstSampleRejectionsCarryTheirCodesAndProgress) {
  EXPECT_EQ(train(1, xPrefix(10)), rejected(2, 0.0f));
  EXPECT_EQ(train(1, xPrefix(600)), rejected(1, 0.0f));  // 12 s is beyond the limits
  EXPECT_EQ(train(1, xPrefix(120)), rejected(5, 0.0f, 2));
  EXPECT_EQ(rows("select count(*) from item"), (Rows{{"0"}}));

  EXPECT_EQ(train(1, xPrefix(300)), accepted(-1, 0.2f, 5));
  EXPECT_EQ(train(1, xPrefix(10)), rejected(2, 0.2f));
  // Only the first sample of an enrolment is measured.
  EXPECT_EQ(train(1, xPrefix(280)), accepted(-1, 0.4f));
}

TEST_F(EnrolmentTest, PostureIsRefusedThreeTimesAndMotionTwice) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(train(1, pointingUp(200)), rejected(3, 0.0f)) << i;
  EXPECT_EQ(train(1, pointingUp(200)), accepted(-1, 0.2f, 3));

  for (int i = 0; i < 2; ++i) EXPECT_EQ(train(2, mostlyStill()), rejected(4, 0.0f)) << i;
  EXPECT_EQ(train(2, mostlyStill()), accepted(-1, 0.2f, 5));
}

TEST_F(EnrolmentTest, WithoutQualityChecksOnlyTheLengthIsChecked) {
  useProfile(GSEnginePreferenceParameters_Unlock{});
  EXPECT_EQ(train(1, xPrefix(10)), rejected(2, 0.0f));
  EXPECT_EQ(train(1, pointingUp(60)), accepted(-1, 0.2f, 1));
  EXPECT_EQ(train(2, mostlyStill()), accepted(-1, 0.2f, 5));
}

TEST_F(EnrolmentTest, ASecondSampleUnlikeTheFirstIsRejected) {
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.2f, 3));
  EXPECT_EQ(train(1, yRecording(200)), rejected(7, 0.2f));
  // 120 of 200 is below even the loosest level.
  EXPECT_EQ(train(1, xPrefix(120)), rejected(7, 0.2f));
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.4f));
  EXPECT_EQ(train(1, xPrefix(200)), accepted(0, 1.0f));
  EXPECT_EQ(storedTexts(1).size(), 3u);
}

TEST_F(EnrolmentTest, ANewestSampleMatchingNoneOfTheOthersIsRemoved) {
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.2f, 3));
  EXPECT_EQ(train(1, xPrefix(133)), accepted(-1, 0.4f));
  EXPECT_EQ(train(1, yRecording(200)), rejected(6, 0.4f));
  EXPECT_EQ(train(1, xPrefix(200)), accepted(-1, 0.6f));
  EXPECT_EQ(storedTexts(1).size(), 0u);
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
  training->setHighestStrengthLevel(-1);
  for (int i = 1; i < 6; ++i) train(3, xPrefix(i % 2 == 0 ? 200 : 133));
  EXPECT_EQ(train(3, xPrefix(200)), accepted(4, 1.0f));
  EXPECT_EQ(storedTexts(3).size(), 7u);
}

}  // namespace
