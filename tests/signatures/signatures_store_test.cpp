// The signature store "gestal.db": the file as another SQLite program reads it, its rows and
// messages, and what it keeps between calls answering as the file does (the newest-first order of
// signatures stored in the same millisecond, nothing of a call whose writes were rolled back).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "core/Exceptions.h"
#include "core/SampleText.h"
#include "signatures/GestalRecognition.h"
#include "signatures/GestalTraining.h"
#include "signatures/SignatureStoreFixture.h"
#include "support/FaultyFiles.h"
#include "support/Thrown.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;
using namespace SignatureFixtures;

constexpr int64_t kStart = 1700000000000;
constexpr const char* kShell = "/usr/bin/sqlite3";

MotionSample oneEntry(float x) {
  return MotionSample{MotionEntry{0.0f, x}};
}

// Output of the command-line shell for one SQL text (no double quotes in it).
std::string shell(const std::string& file, const std::string& sql) {
  const std::string command =
      std::string(kShell) + " -batch -noheader '" + file + "' \"" + sql + "\" 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}

class SignatureDbTest : public SignatureStoreTest {
 protected:
  void SetUp() override { open(GSEnginePreferenceParameters{}); }

  // The newest `count` signatures of the action as the plain statement orders them.
  PreparedValues newestInFile(int32_t action, int32_t count) {
    std::vector<MotionSample> samples;
    for (const auto& row :
         rows("select signature from sign where item_no = " + std::to_string(action) +
              " order by time desc limit " + std::to_string(count))) {
      samples.push_back(readSampleText(row[0], NullValues::AsNaN));
    }
    return preparedValues(samples);
  }
};

// Enrols, identifies and fails through the engine's own classes, then reads the file as any
// other SQLite program would.
TEST_F(SignatureDbTest, AnotherSqliteProgramReadsTheExactSchemaAndRows) {
  if (access(kShell, X_OK) != 0) GTEST_SKIP() << kShell << " not installed";
  const GSEnginePreferenceParameters profile;
  GestalTraining training(db.get(), profile, 1.0f);
  GestalRecognition recognition(db.get(), profile, 1.0f);
  recognition.setMaxFailedTrials(INT_MAX);
  recognition.setLockTimeSeconds(300);

  const std::vector<MotionSample> samples{xPrefix(160), xPrefix(155), xPrefix(150)};
  for (const MotionSample& sample : samples) training.train(3, sample);
  // As if the action had been enrolled at the loosest level, so adaptive strength keeps a history.
  db->writeAction(3, "", 4);
  clock.setMillis(kStart + 1000);
  EXPECT_EQ(recognition.identify({}, xPrefix(160)), std::vector<int32_t>{3});
  clock.setMillis(kStart + 2000);
  EXPECT_THROW(recognition.identify({}, zRecording(150)), NoMatchException);

  EXPECT_EQ(shell(file(), "PRAGMA user_version;"), "1\n");
  EXPECT_EQ(shell(file(), "select sql from sqlite_master;"),
            "CREATE TABLE item(item_no,cmd,strength,signType)\n"
            "CREATE TABLE sign(item_no,time,signature)\n"
            "CREATE TABLE adapt_strength(action_index,verify_histories)\n"
            "CREATE TABLE verify_history(action_index,time,verify_result)\n");
  EXPECT_EQ(shell(file(),
                  "select item_no, typeof(item_no), typeof(cmd), length(cmd), strength, "
                  "typeof(strength), signType, typeof(signType) from item;"),
            "3|integer|text|0|4|integer|0|integer\n");
  EXPECT_EQ(shell(file(), "select item_no, time, signature from sign order by rowid;"),
            "3|1700000000000|" + writeSampleText(samples[0]) + "\n3|1700000000000|" +
                writeSampleText(samples[1]) + "\n3|1700000000000|" + writeSampleText(samples[2]) +
                "\n3|1700000001000|" + writeSampleText(samples[0]) + "\n");
  EXPECT_EQ(
      shell(file(), "select distinct typeof(item_no), typeof(time), typeof(signature) from sign;"),
      "integer|integer|text\n");
  EXPECT_EQ(shell(file(),
                  "select action_index, verify_histories, typeof(verify_histories) "
                  "from adapt_strength;"),
            "3|1 |text\n");
  EXPECT_EQ(shell(file(),
                  "select action_index, time, verify_result, typeof(time) from "
                  "verify_history;"),
            "3|1700000002000|0|integer\n");
}

TEST_F(SignatureDbTest, AnExistingFileIsOpenedAsItIsAndOneThatIsNotADatabaseIsKept) {
  db.reset();
  ASSERT_TRUE(execute(file(), "PRAGMA user_version = 7;"));
  CaptureOutput reopened(1);
  GestalDB(GSEnginePreferenceParameters{}, dir.path());
  EXPECT_EQ(reopened.take(), "current signature DB schema version is 7\n");
  EXPECT_EQ(rows("select count(*) from sqlite_master"), (Rows{{"4"}}));

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

TEST_F(SignatureDbTest, SignaturesOfTheSameMillisecondComeInTheFilesOrder) {
  db->writeAction(1, "", 0);
  // An enrolment's signatures share their time; learned ones come later, and another connection
  // stores one more at the enrolment's time.
  for (int i = 0; i < 5; ++i) db->addSignature(xPrefix(10 + static_cast<std::size_t>(i)), 1);
  const auto check = [&](const char* when) {
    for (int32_t count : {3, 15}) {
      EXPECT_EQ(preparedValues(db->getLastNSignature(static_cast<uint32_t>(count), 1)),
                newestInFile(1, count))
          << when << ", " << count;
    }
  };
  check("enrolled");
  clock.advanceSeconds(1);
  db->addSignature(yRecording(12), 1);
  check("learned");
  ASSERT_TRUE(execute(file(),
                      "insert into sign select item_no, time, signature from sign where "
                      "rowid = 2; delete from sign where rowid = 4"));
  check("edited");
  for (int i = 0; i < 12; ++i) db->addSignature(zRecording(10 + static_cast<std::size_t>(i)), 1);
  check("pruned");
  EXPECT_EQ(db->getSignatureCount(1), 15);
}

// A call whose commit fails on a full disk rolls back what it stored; afterwards the store
// answers from the file, not from what the call had stored.
TEST_F(SignatureDbTest, NothingOfARolledBackCallRemains) {
  enrol(1, 2, {xPrefix(10), xPrefix(11), xPrefix(12)});
  EXPECT_EQ(db->getSignatureCount(1), 3);
  const int32_t age = db->getLastSignatureTime(1);
  {
    FaultyFiles faults;
    open(GSEnginePreferenceParameters{});
    EXPECT_EQ(db->getSignatureCount(1), 3);
    EXPECT_EQ(db->getLastNSignature(15, 1).size(), 3u);
    faults.failWritesBeyond("gestal.db", SQLITE_FULL,
                            static_cast<int64_t>(std::filesystem::file_size(file())));
    clock.advanceSeconds(1);
    try {
      SqliteTransaction call = db->callTransaction();
      db->addSignature(yRecording(400), 1);
      db->writeVerificationResult(1);
      EXPECT_EQ(db->getSignatureCount(1), 4);
      call.commit();
      ADD_FAILURE() << "the commit did not fail";
    } catch (const StoreFault&) {
    }
    faults.clear();
    EXPECT_EQ(db->getSignatureCount(1), 3);
    EXPECT_EQ(db->getLastSignatureTime(1), age + 1000);
    EXPECT_EQ(preparedValues(db->getLastNSignature(15, 1)), newestInFile(1, 15));
    EXPECT_EQ(db->getFailedVerificationCount(1), 0);
    db.reset();
  }
  EXPECT_EQ(rows("select count(*) from sign"), (Rows{{"3"}}));
}

}  // namespace
