// Failures under the exported calls: a failed write is reported (-500, false, a line on stderr
// naming the call, the file and SQLite's message) and leaves nothing half-stored.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/FaultyFiles.h"
#include "support/HostCalls.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;

std::vector<float> performance(GestalSynth::Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(GestalSynth::makeUser(77), shape, repetition));
}

// Runs calls with standard output silenced and returns what they wrote on standard error.
template <typename Calls>
std::string errorsOf(Calls&& calls) {
  CaptureOutput out;
  CaptureOutput err(2);
  calls();
  return err.take();
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { open(dir_.path()); }
  void TearDown() override {
    errorsOf([&] { Shutdown(handle_); });
  }

  // Creates the helper anew on `path`, so connections open under the faults set so far.
  void open(const std::string& path) {
    path_ = path;
    errorsOf([&] {
      Shutdown(handle_);
      handle_ = GetControllerHelperObject(path.data(), path.size());
    });
    ASSERT_NE(handle_, nullptr);
  }
  Reply enrol(int32_t action) { return GestalTest::enrol(handle_, action, signature_); }
  Rows rows(const char* file, const std::string& sql) const { return readRows(path_ + file, sql); }
  std::string failure(const char* call, const char* file, const char* message) const {
    return std::string("gestal: ") + call + " failed: " + path_ + file + ": " + message + "\n";
  }

  FaultyFiles faults_;
  TempDir dir_;
  std::string path_;
  GestalHandle handle_ = nullptr;
  const std::vector<float> signature_ = performance(GestalSynth::Shape::Signature, 1);
};

TEST_F(FaultTest, ReadOnlySignatureFileRefusesEveryWrite) {
  errorsOf([&] {
    for (int i = 0; i < 3; ++i) enrol(5);
  });
  ASSERT_EQ(lastReply.progress, 1.0f);
  faults_.openReadOnly("gestal.db");
  open(dir_.path());

  Reply enrolled, identified;
  bool deleted = true;
  const std::string errors = errorsOf([&] {
    enrolled = enrol(7);
    deleted = DeleteAction(handle_, 5);
    identified = identify(handle_, signature_);
  });
  const char* readOnly = "attempt to write a readonly database";
  EXPECT_EQ(errors, failure("AddSignature", "gestal.db", readOnly) +
                        failure("DeleteAction", "gestal.db", readOnly) +
                        failure("IdentifySignature", "gestal.db", readOnly));
  EXPECT_EQ(enrolled.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(identified.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(rows("gestal.db", "select item_no, count(*) from sign group by item_no"),
            (Rows{{"5", "3"}}));
  EXPECT_EQ(rows("gestal.db", "select item_no from item"), (Rows{{"5"}}));
}

TEST_F(FaultTest, FullDiskLeavesTheEnrolmentOpenAndUnstored) {
  Reply failed, done;
  errorsOf([&] {
    enrol(5);
    enrol(5);
  });
  faults_.failWrites("gestal.db", SQLITE_FULL);
  EXPECT_EQ(errorsOf([&] { failed = enrol(5); }),
            failure("AddSignature", "gestal.db", "database or disk is full"));
  EXPECT_EQ(failed.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(rows("gestal.db", "select count(*) from sign"), (Rows{{"0"}}));
  EXPECT_EQ(rows("gestal.db", "select strength, signType from item"), (Rows{{"-1", "NULL"}}));

  // The failed sample was not kept: once the disk has room the same sample completes it.
  faults_.clear();
  errorsOf([&] { done = enrol(5); });
  EXPECT_EQ(std::pair(done.error, done.progress), std::pair(0, 1.0));
  EXPECT_EQ(rows("gestal.db", "select count(*) from sign where item_no = 5"), (Rows{{"3"}}));
}

TEST_F(FaultTest, IoErrorKeepsTheOldCustomGestureWhole) {
  errorsOf([&] { defineCustom(handle_, 4, signature_); });
  const Rows before = rows("gestal_custom.db", "select data from custom_gesture_simples");
  ASSERT_EQ(before.size(), 1u);
  faults_.failWrites("gestal_custom.db", SQLITE_IOERR_WRITE);
  EXPECT_EQ(
      errorsOf([&] { defineCustom(handle_, 4, performance(GestalSynth::Shape::SwipeDown, 2)); }),
      failure("SetCustomGesture", "gestal_custom.db", "disk I/O error"));
  EXPECT_EQ(rows("gestal_custom.db", "select data from custom_gesture_simples"), before);
}

TEST_F(FaultTest, LockHeldBeyondTheWaitFailsTheCall) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(dir_.file("gestal.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Reply locked, unlocked;
  EXPECT_EQ(errorsOf([&] { locked = enrol(5); }),
            failure("AddSignature", "gestal.db", "database is locked"));
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  errorsOf([&] { unlocked = enrol(5); });
  EXPECT_EQ(locked.error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(std::pair(unlocked.action, unlocked.error), std::pair(5, 0));
}

// Neither a write the engine refuses nor a corrupt row is the machine's fault: the line names no
// SQLite message but what was refused.
TEST_F(FaultTest, AnUnstorableIndexAndACorruptRowAreNamed) {
  std::vector<int32_t> errors;
  const std::string refused = errorsOf([&] {
    for (int i = 0; i < 3; ++i) errors.push_back(enrol(0).error);
  });
  const std::string line =
      "gestal: AddSignature failed: invalid action index for writing action to DB\n";
  EXPECT_EQ(refused, line + line + line);
  EXPECT_EQ(errors, std::vector<int32_t>(3, GESTAL_ERROR_ENGINE_FAILURE));

  ASSERT_TRUE(execute(dir_.file("gestal.db"),
                      "insert into item values (3, '', 0, 1); insert into item values ('abc', '', "
                      "0, 1)"));
  Reply identified;
  EXPECT_EQ(errorsOf([&] { identified = identify(handle_, signature_); }),
            "gestal: IdentifySignature failed: " + dir_.file("gestal.db") +
                ": table item, row 2: item_no 'abc' is not a decimal integer\n");
  EXPECT_EQ(identified.error, GESTAL_ERROR_ENGINE_FAILURE);
}

// A small file system of its own, where the machine allows mounting one.
TEST_F(FaultTest, AFileSystemFillingUpReportsEveryWriteThatDidNotFit) {
  const std::string small = dir_.file("small/");
  std::filesystem::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "this machine does not let the test mount a file system";
  struct Unmount {
    const std::string& path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  open(small);
  std::vector<int32_t> stored, failed;
  std::string expected;
  const std::string errors = errorsOf([&] {
    for (int32_t action = 1; action <= 40 && failed.size() < 3; ++action) {
      int failures = 0;
      for (int i = 0; i < 3; ++i) {
        if (enrol(action).error != GESTAL_ERROR_ENGINE_FAILURE) continue;
        ++failures;
        expected += failure("AddSignature", "gestal.db", "database or disk is full");
      }
      (failures > 0 ? failed : stored).push_back(action);
      if (failures == 0 && lastReply.progress != 1.0f) failed.push_back(-action);
    }
    Shutdown(handle_);
    handle_ = nullptr;
  });
  EXPECT_FALSE(stored.empty());
  ASSERT_FALSE(failed.empty()) << "the disk never filled up";
  EXPECT_EQ(errors, expected);
  const auto signatures = [&](int32_t action) {
    return rows("gestal.db", "select count(*) from sign where item_no = " + std::to_string(action));
  };
  for (int32_t action : stored) EXPECT_EQ(signatures(action), (Rows{{"3"}})) << action;
  for (int32_t action : failed) {
    EXPECT_GT(action, 0) << "neither stored nor reported";
    EXPECT_EQ(signatures(action), (Rows{{"0"}})) << action;
  }
  std::printf("full disk: %zu enrolments stored, %zu reported failed, 0 stored in part\n",
              stored.size(), failed.size());
}

}  // namespace
