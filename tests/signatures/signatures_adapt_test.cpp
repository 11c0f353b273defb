#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "signatures/AdaptLearning.h"
#include "signatures/AdaptStrength.h"
#include "signatures/SignatureStoreFixture.h"
#include "support/Thrown.h"

namespace {

using namespace GestalPrivate;
using namespace SignatureFixtures;

class AdaptTest : public SignatureFixtures::StorePartTest<AdaptLearning> {
 protected:
  std::string history(int32_t action) const {
    Rows r = rows("select verify_histories from adapt_strength where action_index = " +
                  std::to_string(action));
    return r.empty() ? "none" : r[0][0];
  }
};

TEST_F(AdaptTest, ConfirmedLearningNeedsMoreThanHalfOfTheNewestSignatures) {
  // The newest three are 200, 100 and 100 long: the sample matches one at the action's level.
  enrol(1, 0, {xPrefix(200), xPrefix(200), xPrefix(100), xPrefix(100)});
  part->learnFromMatch(xPrefix(200), 1);
  EXPECT_EQ(db->getSignatureCount(1), 4);

  // Newest three: 200, 200, 100; the store is full, so the oldest row makes way.
  enrol(2, 0, std::vector(12, xPrefix(300)));
  enrol(2, 0, {xPrefix(100), xPrefix(200), xPrefix(200)});
  const std::string oldest = rows("select min(rowid) from sign where item_no = 2")[0][0];
  clock.advanceSeconds(1);
  part->learnFromMatch(xPrefix(200), 2);
  EXPECT_EQ(
      rows("select count(*), min(rowid) > " + oldest + ", max(time) from sign where item_no = 2"),
      (Rows{{"15", "1", std::to_string(clock.millis())}}));
}

TEST_F(AdaptTest, AStaleActionLearnsWithoutComparing) {
  enrol(1, 0, {xPrefix(200), xPrefix(200), xPrefix(200)});
  enrol(2, 0, {xPrefix(200), xPrefix(200)});
  enrol(3, -1, {xPrefix(200), xPrefix(200), xPrefix(200)});
  // Action 1's newest signature is 5 s older than the others' last one.
  clock.advanceSeconds(86400 - 10);
  part->learnFromMatch(yRecording(200), 1);
  EXPECT_EQ(db->getSignatureCount(1), 3);

  clock.advanceSeconds(10);
  for (int32_t action : {1, 2, 3}) part->learnFromMatch(yRecording(200), action);
  // Too few signatures, or no strength: nothing is learned however old.
  EXPECT_EQ(rows("select count(*) from sign group by item_no order by item_no"),
            (Rows{{"4"}, {"2"}, {"3"}}));
}

TEST_F(AdaptTest, CandidatesAreLearnedOnlyWithAClearLeader) {
  useProfile(GSEnginePreferenceParameters_Unlock{});
  enrol(1, 4, {xPrefix(200), xPrefix(200), xPrefix(200)});
  enrol(2, 0, {xPrefix(200), xPrefix(200), xPrefix(200)});

  // Adaptive strength sees the leader; 0.9 / 0.8 is not a clear lead, 0.9 / 0.7 is.
  part->learnFromCandidates(xPrefix(200), {{1, 0.8f}, {2, 0.9f}});
  part->learnFromCandidates(xPrefix(200), {{1, 0.9f}, {2, 0.8f}});
  EXPECT_EQ(history(2), "none");
  EXPECT_EQ(history(1), "1 ");
  part->learnFromCandidates(xPrefix(200), {{1, 0.9f}, {2, 0.7f}});
  EXPECT_EQ(history(1), "1 1 ");
  EXPECT_EQ(rows("select count(*) from sign group by item_no order by item_no"),
            (Rows{{"4"}, {"3"}}));

  EXPECT_EQ(GestalTest::thrownText([&] {
              part->learnFromCandidates(yRecording(200), {{1, 0.5f}});
            }),
            "invalid vector<T> subscript");
  EXPECT_EQ(history(1), "1 1 0 ");
  EXPECT_THROW(part->learnFromCandidates(xPrefix(200), {}), std::out_of_range);
}

TEST_F(AdaptTest, NineSuccessesOutOfTenTightenTheLoosestLevel) {
  enrol(7, 4, {xPrefix(200), xPrefix(200), xPrefix(200)});
  AdaptStrength adapt(db.get(), GSEnginePreferenceParameters{}, 1.0f);
  for (int i = 0; i < 2; ++i) adapt.updateStrength(7, yRecording(200));
  for (int i = 0; i < 8; ++i) adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "0 0 1 1 1 1 1 1 1 1 ");
  EXPECT_EQ(db->getActionStrength(7), 4);
  // The oldest outcome is pushed out: nine of ten.
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(db->getActionStrength(7), 3);
  EXPECT_EQ(history(7), "none");
  // Level 3 is left alone.
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "none");

  // Enrolled at 4 again, the action continues from the remembered outcomes; a fresh object
  // starts from the stored (deleted) history.
  db->writeAction(7, "", 4);
  AdaptStrength(db.get(), GSEnginePreferenceParameters{}, 1.0f).updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "1 ");
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(db->getActionStrength(7), 3);
}

}  // namespace
