// What the signature store keeps between calls answers as the file does: the newest-first order of
// signatures stored in the same millisecond, and nothing of a call whose writes were rolled back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/SampleText.h"
#include "signatures/SignatureStoreFixture.h"
#include "support/FaultyFiles.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;
using namespace SignatureFixtures;

class SignatureCacheTest : public SignatureStoreTest {
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

TEST_F(SignatureCacheTest, SignaturesOfTheSameMillisecondComeInTheFilesOrder) {
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
TEST_F(SignatureCacheTest, NothingOfARolledBackCallRemains) {
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
