// Failures under the exported calls: a failed write is reported (-500, false, a line on stderr
// naming the call, the file and SQLite's message) and leaves nothing half-stored.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/FaultyFiles.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;

struct Reply {
  int32_t action = 0;
  int32_t error = 0;
  float progress = 0.0f;
};
Reply lastReply;
void onEnrol(GestalAction* action, GestalStatusBlock* status, float progress, int32_t*) {
  lastReply = {GetActionIndex(action), GetErrorType(status), progress};
}
void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t, int32_t) {
  lastReply = {GetActionIndex(action), GetErrorType(status), 0.0f};
}

std::vector<float> performance(GestalSynth::Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(GestalSynth::makeUser(77), shape, repetition));
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { open(); }
  void TearDown() override {
    CaptureOutput quiet;
    Shutdown(handle_);
  }

  // Creates the helper anew, so connections open under the faults set so far.
  void open() {
    CaptureOutput quiet;
    Shutdown(handle_);
    handle_ = GetControllerHelperObject(dir_.path().data(), dir_.path().size());
    ASSERT_NE(handle_, nullptr);
  }

  Reply enrol(int32_t action, const std::vector<float>& data) {
    lastReply = {};
    AddSignature(handle_, action, data.data(), data.size() / 10, 10, onEnrol);
    return lastReply;
  }
  void setCustom(int32_t index, const std::vector<float>& data, int count) {
    const std::vector<int32_t> lengths(count, static_cast<int32_t>(data.size() / 10 / count));
    const std::vector<int32_t> entryLengths(count, 10);
    SetCustomGesture(handle_, index, data.data(), static_cast<uint64_t>(count), lengths.data(),
                     entryLengths.data());
  }
  Rows rows(const char* file, const std::string& sql) const {
    return readRows(dir_.file(file), sql);
  }
  std::string failure(const char* call, const char* file, const char* message) const {
    return std::string("gestal: ") + call + " failed: " + dir_.file(file) + ": " + message + "\n";
  }

  FaultyFiles faults_;
  TempDir dir_;
  GestalHandle handle_ = nullptr;
  const std::vector<float> signature_ = performance(GestalSynth::Shape::Signature, 1);
};

TEST_F(FaultTest, ReadOnlySignatureFileRefusesEveryWrite) {
  {
    CaptureOutput quiet;
    for (int i = 0; i < 3; ++i) enrol(5, signature_);
  }
  ASSERT_EQ(lastReply.progress, 1.0f);
  faults_.openReadOnly("gestal.db");
  open();

  CaptureOutput err(2);
  CaptureOutput out;
  const int32_t enrolError = enrol(7, signature_).error;
  const bool deleted = DeleteAction(handle_, 5);
  lastReply = {};
  IdentifySignature(handle_, signature_.data(), signature_.size() / 10, 10, nullptr, 0, onIdentify);
  out.take();
  const char* readOnly = "attempt to write a readonly database";
  EXPECT_EQ(err.take(), failure("AddSignature", "gestal.db", readOnly) +
                            failure("DeleteAction", "gestal.db", readOnly) +
                            failure("IdentifySignature", "gestal.db", readOnly));
  EXPECT_EQ(enrolError, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(lastReply.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(rows("gestal.db", "select item_no, count(*) from sign group by item_no"),
            (Rows{{"5", "3"}}));
  EXPECT_EQ(rows("gestal.db", "select item_no from item"), (Rows{{"5"}}));
}

TEST_F(FaultTest, FullDiskLeavesTheEnrolmentOpenAndUnstored) {
  std::string errors;
  Reply failed;
  {
    CaptureOutput out;
    enrol(5, signature_);
    enrol(5, signature_);
    faults_.failWrites("gestal.db", SQLITE_FULL);
    CaptureOutput err(2);
    failed = enrol(5, signature_);
    errors = err.take();
  }
  EXPECT_EQ(failed.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(errors, failure("AddSignature", "gestal.db", "database or disk is full"));
  EXPECT_EQ(rows("gestal.db", "select count(*) from sign"), (Rows{{"0"}}));
  EXPECT_EQ(rows("gestal.db", "select strength, signType from item"), (Rows{{"-1", "NULL"}}));

  // The failed sample was not kept: once the disk has room the same sample completes it.
  faults_.clear();
  Reply done;
  {
    CaptureOutput out;
    done = enrol(5, signature_);
  }
  EXPECT_EQ(done.error, 0);
  EXPECT_EQ(done.progress, 1.0f);
  EXPECT_EQ(rows("gestal.db", "select count(*) from sign where item_no = 5"), (Rows{{"3"}}));
}

TEST_F(FaultTest, IoErrorKeepsTheOldCustomGestureWhole) {
  const std::vector<float> swipe = performance(GestalSynth::Shape::SwipeDown, 2);
  std::string errors;
  Rows before;
  {
    CaptureOutput out;
    setCustom(4, signature_, 1);
    before = rows("gestal_custom.db", "select data from custom_gesture_simples");
    faults_.failWrites("gestal_custom.db", SQLITE_IOERR_WRITE);
    CaptureOutput err(2);
    setCustom(4, swipe, 1);
    errors = err.take();
  }
  EXPECT_EQ(before.size(), 1u);
  EXPECT_EQ(errors, failure("SetCustomGesture", "gestal_custom.db", "disk I/O error"));
  EXPECT_EQ(rows("gestal_custom.db", "select data from custom_gesture_simples"), before);
}

TEST_F(FaultTest, LockHeldBeyondTheWaitFailsTheCall) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(dir_.file("gestal.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::string errors;
  Reply locked;
  Reply unlocked;
  {
    CaptureOutput out;
    CaptureOutput err(2);
    locked = enrol(5, signature_);
    errors = err.take();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    unlocked = enrol(5, signature_);
  }
  EXPECT_EQ(locked.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(errors, failure("AddSignature", "gestal.db", "database is locked"));
  EXPECT_EQ(unlocked.error, 0);
  EXPECT_EQ(unlocked.action, 5);
}

TEST_F(FaultTest, AnIndexThatCanNeverBeStoredHoldsNoSample) {
  std::vector<Reply> replies;
  std::string errors;
  {
    CaptureOutput out;
    CaptureOutput err(2);
    for (int i = 0; i < 3; ++i) replies.push_back(enrol(0, signature_));
    errors = err.take();
  }
  for (const Reply& reply : replies) EXPECT_EQ(reply.error, GESTAL_ERROR_ENGINE_FAILURE);
  const std::string line =
      "gestal: AddSignature failed: invalid action index for writing action to DB\n";
  EXPECT_EQ(errors, line + line + line);
}

TEST_F(FaultTest, ACorruptStoredRowIsNamedByFileTableAndRow) {
  ASSERT_TRUE(execute(dir_.file("gestal.db"),
                      "insert into item values (3, '', 0, 1); insert into item values ('abc', '', "
                      "0, 1)"));
  std::string errors;
  {
    CaptureOutput out;
    CaptureOutput err(2);
    IdentifySignature(handle_, signature_.data(), signature_.size() / 10, 10, nullptr, 0,
                      onIdentify);
    errors = err.take();
  }
  EXPECT_EQ(lastReply.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(errors, "gestal: IdentifySignature failed: " + dir_.file("gestal.db") +
                        ": table item, row 2: item_no 'abc' is not a decimal integer\n");
}

// A small file system of its own, where the machine allows mounting one.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& where) : path_(where) {
    std::filesystem::create_directory(path_);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=1m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

TEST_F(FaultTest, AFileSystemFillingUpReportsEveryWriteThatDidNotFit) {
  SmallDisk disk(dir_.file("small"));
  if (!disk.mounted()) GTEST_SKIP() << "this machine does not let the test mount a file system";
  const std::string small = dir_.file("small/");
  std::vector<int32_t> stored;
  std::vector<int32_t> failed;
  std::string errors;
  int failedCalls = 0;
  {
    CaptureOutput out;
    CaptureOutput err(2);
    Shutdown(handle_);
    handle_ = GetControllerHelperObject(small.data(), small.size());
    for (int32_t action = 1; action <= 40 && failed.size() < 3; ++action) {
      bool anyFailed = false;
      for (int i = 0; i < 3; ++i) {
        const bool callFailed = enrol(action, signature_).error == GESTAL_ERROR_ENGINE_FAILURE;
        failedCalls += callFailed;
        anyFailed = anyFailed || callFailed;
      }
      (anyFailed ? failed : stored).push_back(action);
      if (!anyFailed && lastReply.progress != 1.0f) failed.push_back(-action);
    }
    Shutdown(handle_);
    handle_ = nullptr;
    errors = err.take();
  }
  EXPECT_FALSE(stored.empty());
  ASSERT_FALSE(failed.empty()) << "the disk never filled up";
  for (int32_t action : failed) EXPECT_GT(action, 0) << "neither stored nor reported";
  const std::string file = small + "gestal.db";
  for (int32_t action : stored) {
    EXPECT_EQ(readRows(file, "select count(*) from sign where item_no = " + std::to_string(action)),
              (Rows{{"3"}}));
  }
  for (int32_t action : failed) {
    EXPECT_EQ(readRows(file, "select count(*) from sign where item_no = " + std::to_string(action)),
              (Rows{{"0"}}));
  }
  const std::string line = "gestal: AddSignature failed: " + file + ": database or disk is full\n";
  std::string expected;
  for (int i = 0; i < failedCalls; ++i) expected += line;
  EXPECT_EQ(errors, expected);
  std::printf("full disk: %zu enrolments stored, %zu reported failed, 0 stored in part\n",
              stored.size(), failed.size());
}

}  // namespace
