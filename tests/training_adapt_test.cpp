#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/GSEnginePreferenceParameters.h"
#include "store/GestalDB.h"
#include "store_fixtures.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"
#include "training/AdaptLearning.h"
#include "training/AdaptStrength.h"

namespace {

using GestalPrivate::AdaptLearning;
using GestalPrivate::AdaptStrength;
using GestalPrivate::GestalDB;
using GestalPrivate::GSEnginePreferenceParameters;
using GestalPrivate::GSEnginePreferenceParameters_Unlock;
using GestalPrivate::MotionSample;
using SignatureFixtures::readRows;
using SignatureFixtures::xPrefix;
using SignatureFixtures::yRecording;
using Rows = std::vector<std::vector<std::string>>;

class AdaptTest : public ::testing::Test {
 protected:
  void SetUp() override { useProfile(GSEnginePreferenceParameters{}); }

  void useProfile(const GSEnginePreferenceParameters& profile) {
    learning.reset();
    db.reset();
    GestalTest::CaptureOutput out(1);
    db = std::make_unique<GestalDB>(profile, dir.path());
    out.take();
    learning = std::make_unique<AdaptLearning>(db.get(), profile, 1.0f);
  }

  // Stores an enrolled action, signatures oldest first, one second apart.
  void enrol(int32_t action, int32_t strength, const std::vector<MotionSample>& signatures) {
    db->writeAction(action, "", static_cast<uint32_t>(strength));
    db->setSignatureType(action, 0);
    for (const MotionSample& signature : signatures) {
      clock.advanceSeconds(1);
      db->addSignature(signature, action);
    }
  }

  Rows rows(const std::string& sql) const { return readRows(dir.file("gestal.db"), sql); }
  std::string history(int32_t action) const {
    Rows r = rows("select verify_histories from adapt_strength where action_index = " +
                  std::to_string(action));
    return r.empty() ? "none" : r[0][0];
  }

  GestalTest::FixedClock clock;
  GestalTest::TempDir dir;
  std::unique_ptr<GestalDB> db;
  std::unique_ptr<AdaptLearning> learning;
};

TEST_F(AdaptTest, ConfirmedLearningNeedsMoreThanHalfOfTheNewestSignatures) {
  // The newest three are 200, 100 and 100 long: the sample matches one at the action's level.
  enrol(1, 0, {xPrefix(200), xPrefix(200), xPrefix(100), xPrefix(100)});
  learning->learnFromMatch(xPrefix(200), 1);
  EXPECT_EQ(db->getSignatureCount(1), 4);

  // Newest three: 200, 200, 100.
  enrol(2, 0, {xPrefix(100), xPrefix(200), xPrefix(200)});
  for (int i = 0; i < 12; ++i) db->addSignature(xPrefix(300), 2);
  clock.advanceSeconds(1);
  enrol(2, 0, {xPrefix(100), xPrefix(200), xPrefix(200)});
  ASSERT_EQ(db->getSignatureCount(2), 15);
  clock.advanceSeconds(1);
  const std::string oldest = rows("select min(rowid) from sign where item_no = 2")[0][0];
  learning->learnFromMatch(xPrefix(200), 2);
  EXPECT_EQ(db->getSignatureCount(2), 15);
  EXPECT_EQ(rows("select min(rowid) > " + oldest + ", max(time) from sign where item_no = 2"),
            (Rows{{"1", std::to_string(clock.millis())}}));
}

TEST_F(AdaptTest, AStaleActionLearnsWithoutComparing) {
  enrol(1, 0, {xPrefix(200), xPrefix(200), xPrefix(200)});
  enrol(2, 0, {xPrefix(200), xPrefix(200)});
  enrol(3, -1, {xPrefix(200), xPrefix(200), xPrefix(200)});
  // Action 1's newest signature is 5 s older than the others' last one.
  clock.advanceSeconds(86400 - 10);
  learning->learnFromMatch(yRecording(200), 1);
  EXPECT_EQ(db->getSignatureCount(1), 3);

  clock.advanceSeconds(10);
  for (int32_t action : {1, 2, 3}) learning->learnFromMatch(yRecording(200), action);
  EXPECT_EQ(db->getSignatureCount(1), 4);
  // Too few signatures, or no strength: nothing is learned however old.
  EXPECT_EQ(db->getSignatureCount(2), 2);
  EXPECT_EQ(db->getSignatureCount(3), 3);
}

TEST_F(AdaptTest, CandidatesAreLearnedOnlyWithAClearLeader) {
  useProfile(GSEnginePreferenceParameters_Unlock{});
  enrol(1, 4, {xPrefix(200), xPrefix(200), xPrefix(200)});
  enrol(2, 0, {xPrefix(200), xPrefix(200), xPrefix(200)});

  learning->learnFromCandidates(xPrefix(200), {{1, 0.8f}, {2, 0.9f}});
  // Adaptive strength saw the leader; 0.9 / 0.8 is not a clear lead.
  EXPECT_EQ(history(2), "none");
  EXPECT_EQ(db->getSignatureCount(2), 3);
  EXPECT_EQ(db->getSignatureCount(1), 3);

  learning->learnFromCandidates(xPrefix(200), {{1, 0.9f}, {2, 0.8f}});
  EXPECT_EQ(history(1), "1 ");
  EXPECT_EQ(db->getSignatureCount(1), 3);

  learning->learnFromCandidates(xPrefix(200), {{1, 0.9f}, {2, 0.7f}});
  EXPECT_EQ(history(1), "1 1 ");
  EXPECT_EQ(db->getSignatureCount(1), 4);

  try {
    learning->learnFromCandidates(yRecording(200), {{1, 0.5f}});
    FAIL() << "one candidate accepted";
  } catch (const std::out_of_range& e) {
    EXPECT_EQ(std::string(e.what()), "invalid vector<T> subscript");
  }
  EXPECT_EQ(history(1), "1 1 0 ");
  EXPECT_THROW(learning->learnFromCandidates(xPrefix(200), {}), std::out_of_range);
}

class AdaptStrengthTest : public AdaptTest {};

TEST_F(AdaptStrengthTest, NineSuccessesOutOfTenTightenTheLoosestLevel) {
  enrol(7, 4, {xPrefix(200), xPrefix(200), xPrefix(200)});
  AdaptStrength adapt(db.get(), GSEnginePreferenceParameters{}, 1.0f);
  for (int i = 0; i < 2; ++i) adapt.updateStrength(7, yRecording(200));
  for (int i = 0; i < 7; ++i) adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "0 0 1 1 1 1 1 1 1 ");
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "0 0 1 1 1 1 1 1 1 1 ");
  EXPECT_EQ(db->getActionStrength(7), 4);
  adapt.updateStrength(7, xPrefix(200));
  // The oldest outcome was pushed out: nine of ten.
  EXPECT_EQ(db->getActionStrength(7), 3);
  EXPECT_EQ(history(7), "none");

  // Level 3 is left alone.
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "none");

  // Enrolled at 4 again, the action continues from the remembered outcomes; a fresh object
  // starts from the stored (deleted) history.
  db->writeAction(7, "", 4);
  AdaptStrength fresh(db.get(), GSEnginePreferenceParameters{}, 1.0f);
  fresh.updateStrength(7, xPrefix(200));
  EXPECT_EQ(history(7), "1 ");
  adapt.updateStrength(7, xPrefix(200));
  EXPECT_EQ(db->getActionStrength(7), 3);
}

}  // namespace
