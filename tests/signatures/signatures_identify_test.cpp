#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "core/Exceptions.h"
#include "signatures/GestalRecognition.h"
#include "signatures/SignatureStoreFixture.h"

namespace {

using namespace GestalPrivate;
using namespace SignatureFixtures;

// What one identification answered: {identified actions, error (0, -1 for no match, -301 for a
// locked action), remaining trials or lock seconds left, lock seconds}.
using Outcome = std::tuple<std::vector<int32_t>, int32_t, int32_t, int32_t>;

Outcome identified(std::vector<int32_t> actions) {
  return {std::move(actions), 0, 0, 0};
}
Outcome noMatch(int32_t remaining, int32_t lock) {
  return {{}, -1, remaining, lock};
}
Outcome locked(int32_t seconds) {
  return {{}, -301, seconds, 0};
}

class IdentifyTest : public SignatureFixtures::StorePartTest<GestalRecognition> {
 protected:
  // The engine's defaults.
  void configure(GestalRecognition& recognition) override {
    recognition.setMaxFailedTrials(INT_MAX);
    recognition.setLockTimeSeconds(300);
  }

  Outcome identify(const std::vector<int32_t>& candidates, const MotionSample& sample) {
    try {
      return identified(part->identify(candidates, sample));
    } catch (const NoMatchException& e) {
      return noMatch(e.remainingTrials, e.lockSeconds);
    } catch (const ReachMaxFailedTrialsInARowException& e) {
      return locked(e.remainingLockSeconds);
    }
  }

  // Signatures and recorded failures per action, in action order.
  Rows counts() const {
    return rows(
        "select item_no, (select count(*) from sign where sign.item_no = item.item_no), (select "
        "count(*) from verify_history where action_index = item_no) from item order by item_no");
  }
};

const std::vector<MotionSample> kThreeX{xPrefix(200), xPrefix(200), xPrefix(200)};
const std::vector<MotionSample> kThreeY{yRecording(200), yRecording(200), yRecording(200)};

TEST_F(IdentifyTest, TheOneMatchingActionIsIdentifiedAndLearnsTheSample) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeY);
  db->writeVerificationResult(1);
  EXPECT_EQ(identify({}, xPrefix(200)), identified({1}));
  EXPECT_EQ(identify({2, 1}, yRecording(190)), identified({2}));
  EXPECT_EQ(counts(), (Rows{{"1", "4", "0"}, {"2", "4", "0"}}));
  // A candidate list that leaves the matching action out.
  EXPECT_EQ(identify({2}, xPrefix(200)), noMatch(INT_MAX - 1, 0));
}

TEST_F(IdentifyTest, FailuresCountDownTheRemainingTrials) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeY);
  EXPECT_EQ(identify({}, zRecording(200)), noMatch(INT_MAX - 1, 0));
  EXPECT_EQ(identify({}, zRecording(200)), noMatch(INT_MAX - 2, 0));
  // A success clears only the identified action's failures.
  EXPECT_EQ(identify({}, xPrefix(200)), identified({1}));
  EXPECT_EQ(counts(), (Rows{{"1", "4", "0"}, {"2", "3", "2"}}));
}

TEST_F(IdentifyTest, TooManyFailuresLockTheActionForTheLockTime) {
  part->setMaxFailedTrials(3);
  part->setLockTimeSeconds(60);
  enrol(1, 0, kThreeX);
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(2, 0));
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(1, 0));
  EXPECT_EQ(identify({1}, zRecording(200)), noMatch(0, 60));
  clock.advanceSeconds(10);
  EXPECT_EQ(identify({1}, xPrefix(200)), locked(50));
  clock.advanceSeconds(50);
  EXPECT_EQ(identify({1}, xPrefix(200)), locked(0));
  EXPECT_EQ(counts(), (Rows{{"1", "3", "3"}}));
  clock.advanceSeconds(1);
  EXPECT_EQ(identify({1}, xPrefix(200)), identified({1}));
  EXPECT_EQ(counts(), (Rows{{"1", "4", "0"}}));

  // Without the policy nothing is recorded or raised.
  part->setMaxFailedTrials(0);
  EXPECT_EQ(identify({}, zRecording(200)), identified({}));
  part->setMaxFailedTrials(3);
  part->setLockTimeSeconds(0);
  EXPECT_EQ(identify({}, zRecording(200)), identified({}));
  EXPECT_EQ(counts(), (Rows{{"1", "4", "0"}}));
}

TEST_F(IdentifyTest, TwoAcceptedActionsAreAFailureUnlessOneLeadsClearly) {
  enrol(1, 0, kThreeX);
  enrol(2, 0, kThreeX);
  // Equal scores: no clear leader, nothing learned.
  EXPECT_EQ(identify({}, xPrefix(200)), noMatch(INT_MAX - 1, 0));
  EXPECT_EQ(counts(), (Rows{{"1", "3", "1"}, {"2", "3", "1"}}));

  // Both are accepted, but action 3 scores 1.35 and action 4 only 1.01.
  useProfile(GSEnginePreferenceParameters_Unlock{});
  part->setMaxFailedTrials(0);
  enrol(3, 0, {xPrefix(150), xPrefix(150), xPrefix(150)});
  enrol(4, 0, kThreeX);
  EXPECT_EQ(identify({3, 4}, xPrefix(150)), identified({}));
  EXPECT_EQ(counts()[2], (std::vector<std::string>{"3", "4", "0"}));
  EXPECT_EQ(counts()[3], (std::vector<std::string>{"4", "3", "0"}));
}

TEST_F(IdentifyTest, AcceptanceNeedsAMatchAmongTheNewestFromTheThirdComparisonOn) {
  part->setMaxFailedTrials(0);
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
  part->setMaxFailedTrials(0);
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
