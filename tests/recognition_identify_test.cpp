#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "core/GestalRecognition.h"
#include "engine/Exceptions.h"
#include "engine/GSEnginePreferenceParameters.h"
#include "store/GestalDB.h"
#include "store_fixtures.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"

namespace {

using GestalPrivate::GestalDB;
using GestalPrivate::GestalRecognition;
using GestalPrivate::GSEnginePreferenceParameters;
using GestalPrivate::GSEnginePreferenceParameters_Unlock;
using GestalPrivate::MotionSample;
using GestalPrivate::NoMatchException;
using GestalPrivate::ReachMaxFailedTrialsInARowException;
using SignatureFixtures::readRows;
using SignatureFixtures::symbolRecording;
using SignatureFixtures::xPrefix;
using SignatureFixtures::yRecording;
using Rows = std::vector<std::vector<std::string>>;

// What one identification answered.
struct Outcome {
  std::vector<int32_t> identified;
  int32_t error = 0;   // 0, -1 for NoMatchException, -301 for a locked action
  int32_t first = 0;   // remainingTrials or remainingLockSeconds
  int32_t second = 0;  // lockSeconds
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "{[";
  for (int32_t a : o.identified) out << a << " ";
  return out << "], error " << o.error << ", " << o.first << ", " << o.second << "}";
}

Outcome identified(std::vector<int32_t> actions) {
  return Outcome{std::move(actions), 0, 0, 0};
}
Outcome noMatch(int32_t remaining, int32_t lock) {
  return Outcome{{}, -1, remaining, lock};
}
Outcome locked(int32_t seconds) {
  return Outcome{{}, -301, seconds, 0};
}

MotionSample zRecording(std::size_t length) {
  return symbolRecording(SignatureFixtures::symbolString(length, 'e', 'f'));
}

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override { useProfile(GSEnginePreferenceParameters{}); }

  void useProfile(const GSEnginePreferenceParameters& profile) {
    recognition.reset();
    db.reset();
    GestalTest::CaptureOutput out(1);
    db = std::make_unique<GestalDB>(profile, dir.path());
    out.take();
    recognition = std::make_unique<GestalRecognition>(db.get(), profile, 1.0f);
    // The engine's defaults.
    recognition->setMaxFailedTrials(INT_MAX);
    recognition->setLockTimeSeconds(300);
  }

  // Stores an enrolled action, signatures oldest first, one second apart.
  void enrol(int32_t action, int32_t strength, const std::vector<MotionSample>& signatures,
             int32_t type = 0) {
    db->writeAction(action, "", static_cast<uint32_t>(strength));
    db->setSignatureType(action, type);
    for (const MotionSample& signature : signatures) {
      clock.advanceSeconds(1);
      db->addSignature(signature, action);
    }
  }

  Outcome identify(const std::vector<int32_t>& candidates, const MotionSample& sample) {
    try {
      return identified(recognition->identify(candidates, sample));
    } catch (const NoMatchException& e) {
      return noMatch(e.remainingTrials, e.lockSeconds);
    } catch (const ReachMaxFailedTrialsInARowException& e) {
      return locked(e.remainingLockSeconds);
    }
  }

  Rows rows(const std::string& sql) const { return readRows(dir.file("gestal.db"), sql); }
  std::string failures(int32_t action) const {
    return rows("select count(*) from verify_history where action_index = " +
                std::to_string(action))[0][0];
  }

  GestalTest::FixedClock clock;
  GestalTest::TempDir dir;
  std::unique_ptr<GestalDB> db;
  std::unique_ptr<GestalRecognition> recognition;
};

const std::vector<MotionSample> kThreeX{xPrefix(200), xPrefix(200), xPrefix(200)};
const std::vector<MotionSample> kThreeY{yRecording(200), yRecording(200), yRecording(200)};

TEST_F(IdentifyTest, TheOneMatchingActionIsIdentifiedAndLearnsTheSample) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeY);
  db->writeVerificationResult(1);
  EXPECT_EQ(identify({}, xPrefix(200)), identified({1}));
  EXPECT_EQ(failures(1), "0");
  EXPECT_EQ(db->getSignatureCount(1), 4);
  EXPECT_EQ(identify({2, 1}, yRecording(190)), identified({2}));
  EXPECT_EQ(db->getSignatureCount(2), 4);
  // A candidate list that leaves the matching action out.
  EXPECT_EQ(identify({2}, xPrefix(200)), noMatch(INT_MAX - 1, 0));
}

TEST_F(IdentifyTest, FailuresCountDownTheRemainingTrials) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeY);
  EXPECT_EQ(identify({}, zRecording(200)), noMatch(INT_MAX - 1, 0));
  EXPECT_EQ(failures(1), "1");
  EXPECT_EQ(failures(2), "1");
  EXPECT_EQ(identify({}, zRecording(200)), noMatch(INT_MAX - 2, 0));
  // A success clears only the identified action's failures.
  EXPECT_EQ(identify({}, xPrefix(200)), identified({1}));
  EXPECT_EQ(failures(1), "0");
  EXPECT_EQ(failures(2), "2");
}

TEST_F(IdentifyTest, TooManyFailuresLockTheActionForTheLockTime) {
  recognition->setMaxFailedTrials(3);
  recognition->setLockTimeSeconds(60);
  enrol(1, 0, kThreeX);
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(2, 0));
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(1, 0));
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(0, 60));
  clock.advanceSeconds(10);
  EXPECT_EQ(identify({1}, xPrefix(200)), locked(50));
  EXPECT_EQ(failures(1), "3");
  clock.advanceSeconds(50);
  EXPECT_EQ(identify({1}, xPrefix(200)), locked(0));
  clock.advanceSeconds(1);
  EXPECT_EQ(identify({1}, xPrefix(200)), identified({1}));
  EXPECT_EQ(failures(1), "0");
}

TEST_F(IdentifyTest, WithoutThePolicyNothingIsRecordedOrRaised) {
  recognition->setMaxFailedTrials(0);
  enrol(1, 0, kThreeX);
  EXPECT_EQ(identify({}, zRecording(200)), identified({}));
  recognition->setMaxFailedTrials(3);
  recognition->setLockTimeSeconds(0);
  EXPECT_EQ(identify({}, zRecording(200)), identified({}));
  EXPECT_EQ(failures(1), "0");
}

TEST_F(IdentifyTest, TwoAcceptedActionsAreAFailure) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeX);
  EXPECT_EQ(identify({}, xPrefix(200)), noMatch(INT_MAX - 1, 0));
  EXPECT_EQ(failures(1), "1");
  EXPECT_EQ(failures(2), "1");
  // Equal scores: no clear leader, nothing learned.
  EXPECT_EQ(db->getSignatureCount(1), 3);
  EXPECT_EQ(db->getSignatureCount(2), 3);
}

TEST_F(IdentifyTest, AClearLeaderAmongAcceptedActionsLearnsTheSample) {
  useProfile(GSEnginePreferenceParameters_Unlock{});
  recognition->setMaxFailedTrials(0);
  // Both are accepted (every signature matches), but action 1 scores 1.35 and action 2 only 1.01.
  enrol(1, 0, {xPrefix(150), xPrefix(150), xPrefix(150)});
  enrol(2, 0, kThreeX);
  EXPECT_EQ(identify({}, xPrefix(150)), identified({}));
  EXPECT_EQ(db->getSignatureCount(1), 4);
  EXPECT_EQ(db->getSignatureCount(2), 3);
}

TEST_F(IdentifyTest, AcceptanceIsJudgedOnlyAfterAMatchFromTheThirdComparisonOn) {
  recognition->setMaxFailedTrials(0);
  // Newest first: 200, 100, 200 matches comparisons 0 and 2.
  enrol(1, 0, {xPrefix(200), xPrefix(100), xPrefix(200)});
  // Newest first: 200, 100, 100 matches comparison 0 only.
  enrol(2, 0, {xPrefix(100), xPrefix(100), xPrefix(200)});
  // Two signatures are too few however well they match.
  enrol(3, 0, {xPrefix(200), xPrefix(200)});
  EXPECT_EQ(identify({1}, xPrefix(200)), identified({1}));
  EXPECT_EQ(identify({2}, xPrefix(200)), identified({}));
  EXPECT_EQ(identify({3}, xPrefix(200)), identified({}));
}

TEST_F(IdentifyTest, StaleActionsAndWeakerStrengthsAreVerifiedMoreLeniently) {
  recognition->setMaxFailedTrials(0);
  // 144 of 200 symbols: matches at level 2 but not at level 1.
  const MotionSample probe = xPrefix(144);
  enrol(1, 0, kThreeX);
  enrol(2, 1, kThreeX);
  enrol(3, -1, kThreeX);
  EXPECT_EQ(identify({1}, probe), identified({}));
  EXPECT_EQ(identify({2}, probe), identified({2}));
  EXPECT_EQ(identify({3}, xPrefix(200)), identified({}));
  clock.advanceSeconds(86400 + 10);
  EXPECT_EQ(identify({1}, probe), identified({1}));
}

}  // namespace
