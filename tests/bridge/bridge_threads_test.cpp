// Every export from four threads at once, with callbacks that call the library again and one
// thread replacing the helper and its engine meanwhile: no call fails, and what each thread stored
// last is what the files hold.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/ReadingCallbacks.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;

constexpr int kThreads = 4;
constexpr int kRounds = 5;

std::atomic<GestalHandle> currentHandle{nullptr};
std::vector<float> recording;

// Callbacks read their records and call the library again, as hosts do.
void onEnrol(GestalAction* action, GestalStatusBlock* status, float progress, int32_t* level) {
  readEnrolment(action, status, progress, level);
  IsTwoGestureSimilar(currentHandle, recording.data(), recording.size() / 10, 10, recording.data(),
                      recording.size() / 10, 10);
}

void callEverything(const std::string& dir, int thread) {
  const uint64_t entries = recording.size() / 10;
  const float* data = recording.data();
  const int32_t codes[] = {GESTAL_GESTURE_HEART, GESTAL_GESTURE_C};
  const char model[] = "gestal_gesture_adaboost";
  const int32_t nameLengths[] = {5, 1};
  for (int round = 0; round < kRounds; ++round) {
    if (thread == 0) {
      Shutdown(currentHandle);
      currentHandle = GetControllerHelperObjectWithConfig(dir.data(), dir.size(), 1.0f, 1.0f);
    }
    GestalHandle handle = currentHandle;
    for (int i = 0; i < 3; ++i) AddSignature(handle, 10 + thread, data, entries, 10, onEnrol);
    const int32_t candidate = 10 + thread;
    IdentifySignature(handle, data, entries, 10, &candidate, 1, readIdentification);
    VerifyGesture(handle, codes, 2, data, entries, 10, readVerification);
    VerifyPredefinedGesture(handle, model, sizeof model - 1, 0, 0, "HEARTC", nameLengths, 2, data,
                            entries, 10, readPredefined);
    VerifySingleGesture(handle, GESTAL_GESTURE_C, data, entries, 10);
    // Thread t stores gesture 20 + t as round % 3 + 1 recordings.
    const int pieces = round % 3 + 1;
    const std::vector<int32_t> lengths(pieces, static_cast<int32_t>(entries / pieces));
    const std::vector<int32_t> entryLengths(pieces, 10);
    SetCustomGesture(handle, 20 + thread, data, pieces, lengths.data(), entryLengths.data());
    SetCustomGestureStr(handle, "wave", 4, data, 1, lengths.data(), entryLengths.data());
    const int32_t target = 20 + thread;
    CustomGestureResult* found = IdentifyCustomGesture(handle, &target, 1, data, entries, 10);
    GetGSCustomGestureRecognizeGestureInt(found);
    GetGSCustomGestureRecognizeGestureConfidence(found);
    DeleteGSCustomGestureRecognizeGesture(found);
    const int32_t waveLength = 4;
    found = IdentifyCustomGestureStr(handle, "wave", 1, &waveLength, data, entries, 10);
    char name[16];
    GetGSCustomGestureRecognizeGestureStr(found, name, sizeof name);
    DeleteGSCustomGestureRecognizeGesture(found);
    IsCustomGestureExisted(handle, data, entries, 10);
    DeleteAction(handle, 30 + thread);
    SetTriggeringMask(handle, 0, 1, 0);
    SetTriggerStartKeys(handle, 1, 2, true);
    SetTriggerEndKeys(handle, 2, 3, false);
    ClearTriggerStartKeys(handle, 1);
    ClearTriggerEndKeys(handle, 2);
    SetSensorDataCallback(handle, nullptr);
    SetMovementCallback(handle, nullptr);
    std::free(GetControllerHelperVersion(nullptr, nullptr, nullptr));
  }
}

TEST(Threads, EveryExportFromFourThreadsAtOnce) {
  TempDir dir;
  std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                             dir.file("gestal_gesture_adaboost"));
  recording = GestalSynth::flatten(
      GestalSynth::perform(GestalSynth::makeUser(31), GestalSynth::Shape::Signature, 1));
  {
    CaptureOutput out;
    CaptureOutput err(2);
    currentHandle = GetControllerHelperObject(dir.path().data(), dir.path().size());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(callEverything, dir.path(), t);
    for (std::thread& thread : threads) thread.join();
    Shutdown(currentHandle);
    out.take();
    err.take();
  }
  EXPECT_EQ(engineFailures, 0);
  const int lastPieces = (kRounds - 1) % 3 + 1;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(readRows(dir.file("gestal_custom.db"),
                       "select count(*) from custom_gesture_simples where gesture_index = '" +
                           std::to_string(20 + t) + "'"),
              (Rows{{std::to_string(lastPieces)}}));
  }
}

}  // namespace
