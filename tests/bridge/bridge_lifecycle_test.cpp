// The helper's life through the exported functions: create, second create, shutdown, create again.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine/GSEngine.h"
#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/FixedClock.h"
#include "support/HostCalls.h"
#include "support/TempDir.h"

namespace {

using namespace GestalTest;

const char* const kNewDatabases =
    "creating DB tables\ncreate gesture DB tables success\n"
    "creating DB tables\ncreate custom gesture DB tables success\n";

std::string creationTrace(const std::string& path, const char* thresholds) {
  return "mEventMonitorCount: 12\nTrainMatchTreshold: " + std::string(thresholds) +
         "\ndbPathLength: " + std::to_string(path.size()) + ", dbPath: " + path + "\n" +
         kNewDatabases;
}

GestalHandle create(const TempDir& dir, float train = 1.0f, float verify = 1.0f) {
  return GetControllerHelperObjectWithConfig(dir.path().data(), dir.path().size(), train, verify);
}

TEST(HelperLifecycle, OneHelperUntilShutdownAndItsEngineUntilTheNextCreate) {
  FixedClock clock;
  TempDir dir;
  TempDir other;
  CaptureOutput out;
  Shutdown(nullptr);  // no helper yet: nothing happens
  GestalHandle first = create(dir, 0.5f, 0.75f);
  EXPECT_EQ(out.take(), creationTrace(dir.path(), "0.5, VerifyMatchThreshold: 0.75"));
  ASSERT_NE(first, nullptr);

  // A second create returns the same helper silently.
  CaptureOutput quiet;
  EXPECT_EQ(create(other, 2.0f, 3.0f), first);
  EXPECT_EQ(GetControllerHelperObject(nullptr, 0), first);
  EXPECT_EQ(quiet.take(), "");
  EXPECT_FALSE(std::filesystem::exists(other.file("gestal.db")));

  // After Shutdown the engine still answers: an empty store gives "no match", not a failure.
  CaptureOutput shutDown;
  Shutdown(first);
  EXPECT_EQ(identify(nullptr, {}).error, GESTAL_ERROR_NO_MATCH);
  shutDown.take();

  CaptureOutput trace;
  GestalHandle second = create(other);
  EXPECT_EQ(trace.take(), creationTrace(other.path(), "1, VerifyMatchThreshold: 1"));
  ASSERT_NE(second, nullptr);
  Shutdown(second);
}

TEST(HelperLifecycle, EngineCallsBeforeAnyCreateFailCleanly) {
  if (Gestal::GSEngine::current() != nullptr) GTEST_SKIP() << "an engine exists in this process";
  CaptureOutput err(2);
  CaptureOutput out;
  EXPECT_EQ(identify(nullptr, {}).error, GESTAL_ERROR_ENGINE_FAILURE);
  EXPECT_EQ(err.take(),
            "gestal: IdentifySignature failed: no controller helper has been created\n");
}

TEST(HelperLifecycle, RefusedCreatesGiveNoHandleAndSayWhy) {
  TempDir dir;
  CaptureOutput err(2);
  CaptureOutput out;
  EXPECT_EQ(create(dir, std::numeric_limits<float>::quiet_NaN(), 1.0f), nullptr);
  EXPECT_EQ(create(dir, 1.0f, -1.0f), nullptr);
  EXPECT_EQ(create(dir, 1.0f, std::numeric_limits<float>::infinity()), nullptr);
  EXPECT_EQ(out.take(), "");
  EXPECT_FALSE(std::filesystem::exists(dir.file("gestal.db")));
  CaptureOutput trace;
  const std::string missing = "/nonexistent-directory/for/gestal/";
  EXPECT_EQ(GetControllerHelperObject(missing.data(), missing.size()), nullptr);
  EXPECT_EQ(err.take(),
            "gestal: GetControllerHelperObjectWithConfig failed: the training match threshold nan "
            "is not a finite number of 0 or more\n"
            "gestal: GetControllerHelperObjectWithConfig failed: the verification match "
            "threshold -1 is not a finite number of 0 or more\n"
            "gestal: GetControllerHelperObjectWithConfig failed: the verification match "
            "threshold inf is not a finite number of 0 or more\n"
            "gestal: GetControllerHelperObject failed: Can't open database: unable to open "
            "database file\n");
}

std::size_t openDescriptors() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(HelperLifecycle, CreateShutdownCyclesReleaseEveryEngineAndNeverReuseAHandle) {
  TempDir dir;
  std::vector<GestalHandle> handles;
  handles.reserve(1022);  // so that the heap figures count only the library
  std::size_t descriptors, heap, descriptorsAfter, heapAfter;
  bool currentWorks;
  {
    CaptureOutput out;
    CaptureOutput err(2);
    auto cycle = [&] {
      GestalHandle handle = create(dir);
      handles.push_back(handle);
      Shutdown(handle);
    };
    for (int i = 0; i < 20; ++i) cycle();
    descriptors = openDescriptors();
    heap = mallinfo2().uordblks;
    for (int i = 0; i < 1000; ++i) cycle();
    descriptorsAfter = openDescriptors();
    heapAfter = mallinfo2().uordblks;

    // A handle from before a Shutdown does not end the helper created since.
    GestalHandle stale = handles.front();
    GestalHandle current = create(dir);
    Shutdown(stale);
    currentWorks = SetTriggeringMask(current, 0, 1, 1);
    Shutdown(current);
    handles.push_back(current);
    EXPECT_EQ(err.take(),
              "gestal: Shutdown failed: the handle is not the current controller helper handle\n");
  }

  EXPECT_EQ(descriptorsAfter, descriptors);
  // A sanitizer's allocator reports no heap figures.
  EXPECT_TRUE(heap == 0 || heapAfter < heap + 16 * 1024) << heap << " before, " << heapAfter;
  std::printf(
      "1000 create/Shutdown cycles: %zu descriptors before, %zu after; %zu heap bytes in "
      "use before, %zu after\n",
      descriptors, descriptorsAfter, heap, heapAfter);
  std::sort(handles.begin(), handles.end());
  EXPECT_EQ(std::unique(handles.begin(), handles.end()), handles.end()) << "a handle came twice";
  EXPECT_TRUE(currentWorks);
}

TempDir* replacementDir = nullptr;
GestalHandle replacement = nullptr;
void replaceHelperInCallback(GestalAction* action, GestalStatusBlock* status, int32_t remaining,
                             int32_t lock) {
  Shutdown(replacement);
  replacement = create(*replacementDir);
  onIdentify(action, status, remaining, lock);
}

TEST(HelperLifecycle, ACallbackMayReplaceTheEngineOfTheCallItRunsIn) {
  TempDir first;
  TempDir second;
  replacementDir = &second;
  CaptureOutput quiet;
  replacement = create(first);
  IdentifySignature(replacement, nullptr, 0, 10, nullptr, 0, replaceHelperInCallback);
  defineCustom(replacement, 4, {0, 1, 2, 3, 0, 0, 0, 1, 0, 0});
  Shutdown(replacement);
  EXPECT_EQ(lastReply.error, GESTAL_ERROR_NO_MATCH);
  // The new helper works, on its own directory.
  EXPECT_EQ(
      readRows(second.file("gestal_custom.db"), "select count(*) from custom_gesture_simples"),
      (Rows{{"1"}}));
}

TEST(TriggerExports, ActOnlyThroughTheCurrentHandle) {
  TempDir dir;
  CaptureOutput out;
  CaptureOutput err(2);
  GestalHandle handle = create(dir);
  EXPECT_TRUE(SetTriggeringMask(handle, 1, 0xFF, 0));
  EXPECT_FALSE(SetTriggeringMask(handle, 2, 0xFF, 0));
  EXPECT_FALSE(SetTriggeringMask(handle, 0, 0xFF, 2));
  EXPECT_FALSE(SetTriggeringMask(nullptr, 0, 0xFF, 0));
  SetTriggerStartKeys(handle, 3, 7, true);
  ClearTriggerStartKeys(handle, 1);
  Shutdown(handle);
  EXPECT_EQ(err.take(),
            "gestal: SetTriggeringMask failed: the handle is not the current controller helper "
            "handle\n");
}

}  // namespace
