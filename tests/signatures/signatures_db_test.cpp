#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "signatures/SignatureStoreFixture.h"
#include "support/Thrown.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;
using namespace SignatureFixtures;

constexpr uint32_t kUnchanged = 0xFFFFFFFFu;
constexpr int64_t kStart = 1700000000000;

MotionSample oneEntry(float x) {
  return MotionSample{MotionEntry{0.0f, x}};
}

class SignatureDbTest : public SignatureFixtures::SignatureStoreTest {
 protected:
  void SetUp() override { open(GSEnginePreferenceParameters{}); }
};

// The schema itself is read back by the sqlite3 shell in store_file_format_test.
TEST_F(SignatureDbTest, ReopeningPrintsTheSchemaVersion) {
  db.reset();
  ASSERT_TRUE(execute(file(), "PRAGMA user_version = 7;"));
  CaptureOutput reopened(1);
  GestalDB(GSEnginePreferenceParameters{}, dir.path());
  EXPECT_EQ(reopened.take(), "current signature DB schema version is 7\n");
  EXPECT_EQ(rows("select count(*) from sqlite_master"), (Rows{{"4"}}));
}

TEST_F(SignatureDbTest, AFileThatIsNotADatabaseIsRefusedAndKept) {
  db.reset();
  const std::string junk = "this is not a database file, just some text that is long enough";
  std::ofstream(file()) << junk;
  CaptureOutput err(2);
  EXPECT_EQ(thrownText([&] { GestalDB(GSEnginePreferenceParameters{}, dir.path()); }),
            "check DB schema version failed");
  EXPECT_EQ(err.take(), "get DB schema version error: file is not a database\n");
  std::string kept;
  std::getline(std::ifstream(file()), kept);
  EXPECT_EQ(kept, junk);
}

TEST_F(SignatureDbTest, ActionsAreWrittenReadAndUpdatedColumnByColumn) {
  Gestal::GSAction missing = db->getAction(4);
  EXPECT_EQ(std::tuple(missing.actionIndex, missing.cmd, missing.strength,
                       missing.remainingSignatures, db->getActionStrength(4)),
            std::tuple(-1, "", -1, 100, -1));

  db->writeAction(4, "", kUnchanged);
  EXPECT_EQ(rows("select item_no, cmd, strength, signType from item"),
            (Rows{{"4", "", "-1", "NULL"}}));
  Gestal::GSAction fresh = db->getAction(4);
  EXPECT_EQ(std::tuple(fresh.actionIndex, fresh.strength, fresh.remainingSignatures),
            std::tuple(4, -1, 3));

  // Nothing to change: no statement, the row stays as it is.
  db->writeAction(4, "", kUnchanged);
  db->writeAction(4, "", 2);
  db->writeAction(4, "open", kUnchanged);
  EXPECT_EQ(rows("select cmd, strength from item"), (Rows{{"open", "2"}}));
  EXPECT_EQ(db->getActionStrength(4), 2);

  EXPECT_EQ(db->getSignatureType(4), 0);
  db->setSignatureType(4, 2);
  db->setSignatureType(9, 1);  // no such action: nothing is written
  EXPECT_EQ(rows("select item_no, signType from item"), (Rows{{"4", "2"}}));
  EXPECT_EQ(db->getSignatureType(4), 2);

  db->writeAction(2, "", 0);
  EXPECT_EQ(db->getAllActionIndexes(), (std::vector<int32_t>{4, 2}));
  EXPECT_EQ(thrownText([&] { db->writeAction(0, "", 1); }),
            "invalid action index for writing action to DB");
  EXPECT_EQ(rows("select count(*) from item"), (Rows{{"2"}}));
}

TEST_F(SignatureDbTest, SignaturesAreStoredAsJsonTextWithTheirTime) {
  const MotionSample sample{{0.0f, 1.0f, 0.25f, 0.1f, -0.0f, 2.0f, -3.5f, 0.0f, 0.0f, 1.0f},
                            {20.0f, -5.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, -0.5f, 0.0f}};
  db->addSignature(sample, 3);
  EXPECT_EQ(rows("select item_no, time, signature from sign"),
            (Rows{{"3", "1700000000000",
                   "[[0.0,1.0,0.25,0.100000001490116,-0.0,2.0,-3.5,0.0,0.0,1.0],"
                   "[20.0,-5.0,0.0,0.0,0.0,0.0,0.0,0.5,-0.5,0.0]]"}}));
  // Empty samples are ignored before the index is looked at.
  db->addSignature(MotionSample{}, 0);
  EXPECT_EQ(thrownText([&] { db->addSignature(oneEntry(1), 0); }),
            "addSignature to invalid action index");
  EXPECT_EQ(preparedValues(db->getLastNSignature(3, 3)), preparedValues({sample}));
}

TEST_F(SignatureDbTest, PruningKeepsTheMostRecentlyInsertedRowsWhateverTheirTime) {
  db->writeAction(1, "", 0);
  // Time runs backwards, so the row dropped (lowest rowid) holds the newest time.
  for (int i = 0; i < 16; ++i) {
    clock.setMillis(kStart - i * 1000);
    db->addSignature(oneEntry(static_cast<float>(i)), 1);
    db->addSignature(oneEntry(100.0f), 2);
  }
  EXPECT_EQ(db->getSignatureCount(2), 15);
  EXPECT_EQ(db->getAction(1).remainingSignatures, 0);
  EXPECT_EQ(rows("select count(*), min(time), max(time) from sign where item_no = 1"),
            (Rows{{"15", std::to_string(kStart - 15000), std::to_string(kStart - 1000)}}));

  // Newest by time first; all bits set means no limit.
  EXPECT_EQ(preparedValues(db->getLastNSignature(2, 1)),
            preparedValues({oneEntry(1), oneEntry(2)}));
  EXPECT_EQ(db->getLastNSignature(0xFFFFFFFFu, 1).size(), 15u);
  EXPECT_TRUE(db->getLastNSignature(0, 1).empty());
}

TEST_F(SignatureDbTest, TimeSinceTheNewestSignatureKeepsTheLow32Bits) {
  EXPECT_EQ(db->getLastSignatureTime(1), -1);
  db->addSignature(oneEntry(1), 1);
  clock.setMillis(kStart - 5000);
  db->addSignature(oneEntry(1), 1);
  for (const auto& [later, expected] :
       {std::pair{2500LL, 2500}, std::pair{2147483648LL, std::numeric_limits<int32_t>::min()},
        std::pair{4294967296LL + 7, 7}}) {
    clock.setMillis(kStart + later);
    EXPECT_EQ(db->getLastSignatureTime(1), expected);
  }
}

TEST_F(SignatureDbTest, AdaptiveStrengthHistoryIsTextOfDigitsAndBlanks) {
  db->setAdaptStrengthVerifyHistory(6, {true, true, false});
  db->setAdaptStrengthVerifyHistory(6, {false, true, true});
  EXPECT_EQ(rows("select action_index, verify_histories from adapt_strength"),
            (Rows{{"6", "0 1 1 "}}));
  // Reading stops at the first item that is not a number; any non-zero number is a success.
  ASSERT_TRUE(execute(file(), "update adapt_strength set verify_histories = '0 7 1 x 1'"));
  EXPECT_EQ(db->getAdaptStrengthVerifyHistory(6), (std::vector<bool>{false, true, true}));
  db->setAdaptStrengthVerifyHistory(6, {});
  EXPECT_EQ(rows("select count(*) from adapt_strength"), (Rows{{"0"}}));
}

TEST_F(SignatureDbTest, SqlErrorsArePrintedAndAbsorbedExceptForTheFailureTime) {
  db->writeAction(1, "", 0);
  ASSERT_TRUE(execute(file(), "drop table sign; drop table verify_history;"));
  CaptureOutput err(2);
  EXPECT_EQ(db->getSignatureCount(1), 0);
  db->addSignature(oneEntry(1), 1);
  EXPECT_EQ(err.take(),
            "getSignatureCount SQL error: no such table: sign\n"
            "addSignature SQL error: no such table: sign\n"
            "remove old signature in addSignature SQL error: no such table: sign\n");

  CaptureOutput quiet(2);
  EXPECT_EQ(thrownText([&] { db->getSecondsSinceLastFailure(1); }), "sql error");
  EXPECT_EQ(quiet.take(), "");
}

}  // namespace
