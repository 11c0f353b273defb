// The engine's caches change nothing a host sees: a scripted host run, with another connection
// editing both files between calls, prints, answers and stores the same with caches as without;
// and a call whose writes are rolled back leaves no trace in them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/GestalEng.h"
#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/FaultyFiles.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;
using GestalPrivate::Caching;
using GestalPrivate::GestalEng;
using GestalSynth::Shape;

std::vector<float> performance(uint64_t user, Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(GestalSynth::makeUser(user), shape, repetition));
}

// What the callbacks and results told the host, one line per call.
std::string replies;
void onEnrol(GestalAction* action, GestalStatusBlock* status, float progress, int32_t* level) {
  replies += "enrol " + std::to_string(GetActionIndex(action)) + " " +
             std::to_string(GetErrorType(status)) + " " + std::to_string(progress) + " " +
             std::to_string(*level) + "\n";
}
void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t trials, int32_t lock) {
  replies += "identify " + std::to_string(GetActionIndex(action)) + " " +
             std::to_string(GetErrorType(status)) + " " + std::to_string(trials) + " " +
             std::to_string(lock) + "\n";
}

class HostRun {
 public:
  explicit HostRun(const TempDir& dir) : dir_(dir) {
    handle_ = GetControllerHelperObject(dir.path().data(), dir.path().size());
  }
  ~HostRun() { Shutdown(handle_); }

  GestalHandle handle() const { return handle_; }

  void enrol(int32_t action, uint64_t user) {
    for (uint64_t repetition = 0; repetition < 12; ++repetition) {
      const std::vector<float> data = performance(user, Shape::Signature, repetition);
      const std::size_t before = replies.size();
      AddSignature(handle_, action, data.data(), data.size() / 10, 10, onEnrol);
      if (replies.find(" 0 1.000000 ", before) != std::string::npos) return;
    }
  }
  void identify(uint64_t user, uint64_t repetition, std::vector<int32_t> candidates = {}) {
    const std::vector<float> data = performance(user, Shape::Signature, repetition);
    IdentifySignature(handle_, data.data(), data.size() / 10, 10, candidates.data(),
                      candidates.size(), onIdentify);
  }
  void defineGesture(int32_t index, Shape shape, uint64_t user) {
    std::vector<float> data;
    std::vector<int32_t> lengths;
    for (uint64_t repetition = 0; repetition < 2; ++repetition) {
      const std::vector<float> one = performance(user, shape, repetition);
      data.insert(data.end(), one.begin(), one.end());
      lengths.push_back(static_cast<int32_t>(one.size() / 10));
    }
    const std::vector<int32_t> entryLengths(lengths.size(), 10);
    SetCustomGesture(handle_, index, data.data(), lengths.size(), lengths.data(),
                     entryLengths.data());
  }
  void identifyGesture(Shape shape, std::vector<int32_t> targets = {}) {
    const std::vector<float> data = performance(500, shape, 7);
    CustomGestureResult* result = IdentifyCustomGesture(handle_, targets.data(), targets.size(),
                                                        data.data(), data.size() / 10, 10);
    replies += "gesture " + std::to_string(GetGSCustomGestureRecognizeGestureInt(result)) + " " +
               std::to_string(GetGSCustomGestureRecognizeGestureConfidence(result)) + "\n";
    DeleteGSCustomGestureRecognizeGesture(result);
    replies += std::string("exists ") +
               (IsCustomGestureExisted(handle_, data.data(), data.size() / 10, 10) ? "1" : "0") +
               "\n";
  }
  // Statements of another connection on one of the files.
  void edit(const char* file, const std::string& sql) {
    ASSERT_TRUE(execute(dir_.file(file), sql)) << sql;
  }

 private:
  const TempDir& dir_;
  GestalHandle handle_ = nullptr;
};

// Everything a host and the files show of one scripted run.
std::string scriptedRun(Caching caching) {
  const Caching previous = std::exchange(GestalEng::newEngineCaching, caching);
  TempDir dir;
  FixedClock clock;
  replies.clear();
  std::string printed;
  {
    CaptureOutput err(2);
    CaptureOutput out(1);
    HostRun host(dir);
    GestalSetLockPolicy(host.handle(), 3, 60);
    for (int32_t action = 1; action <= 3; ++action) {
      clock.advanceSeconds(1);
      host.enrol(action, static_cast<uint64_t>(action));
    }
    for (uint64_t repetition = 20; repetition < 23; ++repetition) {
      clock.advanceSeconds(1);
      host.identify(1 + repetition % 3, repetition);
    }
    host.identify(99, 1);
    // Behind the library's back: a signature of action 2 stored again at the same time, the
    // newest of action 1 deleted, action 3 weakened and failed once.
    host.edit("gestal.db",
              "insert into sign select item_no, time, signature from sign where rowid = "
              "(select min(rowid) from sign where item_no = 2);"
              "delete from sign where rowid = (select max(rowid) from sign where item_no = 1);"
              "update item set strength = 2 where item_no = 3;"
              "insert into verify_history values (3, 1700000000000, 0);");
    for (uint64_t repetition = 30; repetition < 33; ++repetition) host.identify(2, repetition);
    host.identify(1, 40, {1, 3});
    for (int trial = 0; trial < 3; ++trial) host.identify(98, 1);
    clock.advanceSeconds(30);
    host.identify(3, 41);
    clock.advanceSeconds(61);
    host.identify(3, 42);
    // The oldest signature of action 1 replaced by one of action 3's.
    host.edit("gestal.db",
              "update sign set signature = (select signature from sign where item_no = 3 limit 1) "
              "where rowid = (select min(rowid) from sign where item_no = 1);");
    host.identify(1, 43);
    host.identify(3, 44);
    DeleteAction(host.handle(), 2);
    host.identify(2, 45);
    host.enrol(2, 2);
    host.identify(2, 46);

    host.defineGesture(1, Shape::Heart, 500);
    host.defineGesture(2, Shape::LetterC, 500);
    host.identifyGesture(Shape::LetterC);
    // Behind the library's back: gesture 3 stored as a copy of 1, gesture 2 deleted, and a row
    // whose index is a number rather than a text.
    host.edit("gestal_custom.db",
              "insert into custom_gesture_simples select name_space, '3', data from "
              "custom_gesture_simples where gesture_index = '1';"
              "delete from custom_gesture_simples where gesture_index = '2';"
              "insert into custom_gesture_simples select name_space, 4, data from "
              "custom_gesture_simples where gesture_index = '3' limit 1;");
    host.identifyGesture(Shape::Heart);
    host.defineGesture(1, Shape::ZigZag, 501);
    host.defineGesture(5, Shape::Heart, 501);
    host.identifyGesture(Shape::Heart);
    host.identifyGesture(Shape::LetterC, {2, 3, 4});
    printed = out.take() + err.take();
  }
  // Every row, a recording by its length and its first values (recordings are the host's, never
  // the caches').
  std::string rows;
  for (const auto& [file, sql] : std::vector<std::pair<std::string, std::string>>{
           {"gestal.db", "select rowid, * from item"},
           {"gestal.db",
            "select rowid, item_no, time, length(signature), substr(signature, 1, "
            "60) from sign"},
           {"gestal.db", "select rowid, * from adapt_strength"},
           {"gestal.db", "select rowid, * from verify_history"},
           {"gestal_custom.db",
            "select rowid, name_space, gesture_index, typeof(gesture_index), "
            "length(data), substr(data, 1, 60) from custom_gesture_simples"}}) {
    for (const auto& row : readRows(dir.file(file), sql)) {
      for (const std::string& value : row) rows += value + "|";
      rows += "\n";
    }
  }
  // The directory is the run's own.
  for (std::size_t at; (at = printed.find(dir.path())) != std::string::npos;) {
    printed.replace(at, dir.path().size(), "<dir>/");
  }
  GestalEng::newEngineCaching = previous;
  return printed + "\n" + replies + "\n" + rows;
}

TEST(EngineCaches, AHostRunWithEditsBehindTheLibrarysBackIsTheSameWithoutCaches) {
  const std::string cached = scriptedRun(Caching::On);
  const std::string uncached = scriptedRun(Caching::Off);
  EXPECT_EQ(cached, uncached);
  // The run reaches what it is meant to: identified actions, failures, the lock and its end,
  // and custom gestures found.
  for (const char* reply : {"identify 1 0 ", "identify 2 0 ", "identify 3 0 ", "identify -1 -1 ",
                            "identify -1 -301 0 30", "gesture 1 ", "gesture 2 ", "exists 0"}) {
    EXPECT_NE(cached.find(reply), std::string::npos) << reply;
  }
}

// An identification of an action at strength 4 counts an outcome in the action's adaptive-strength
// history, then learns the signature; when the disk is full by then and the call's writes are
// rolled back, neither the file nor the history in memory keeps the outcome.
TEST(EngineCaches, ARolledBackIdentificationLeavesNoOutcomeBehind) {
  TempDir dir;
  FixedClock clock;
  CaptureOutput err(2);
  CaptureOutput out(1);
  FaultyFiles faults;
  {
    HostRun host(dir);
    host.enrol(1, 1);
  }
  ASSERT_TRUE(execute(dir.file("gestal.db"), "update item set strength = 4"));
  HostRun host(dir);
  faults.failWritesBeyond("gestal.db", SQLITE_FULL,
                          static_cast<int64_t>(std::filesystem::file_size(dir.file("gestal.db"))));
  replies.clear();
  host.identify(1, 20);
  faults.clear();
  host.identify(1, 21);
  out.take();
  EXPECT_EQ(replies, "identify -1 -500 -1 -1\nidentify 1 0 -1 -1\n");
  EXPECT_EQ(readRows(dir.file("gestal.db"), "select verify_histories from adapt_strength"),
            Rows{{"1 "}});
}

}  // namespace
