// The host controls beyond the interface of the controller helper: the log handler and the lock
// after failed identifications, driven through the exported functions as a host drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using GestalTest::CaptureOutput;

const std::vector<float> kRich = GestalSynth::flatten(GestalTest::steady(2000, {5, 5, 5}));
const std::vector<float> kOther = GestalSynth::flatten(GestalTest::steady(2000, {-5, -5, -5}));

// action, error, remaining trials, lock seconds of the last identification.
std::vector<int32_t> identified;
void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t remaining, int32_t lock) {
  identified = {GetActionIndex(action), GetErrorType(status), remaining, lock};
}

std::vector<int32_t> identify(GestalHandle handle, const std::vector<float>& recording) {
  IdentifySignature(handle, recording.data(), recording.size() / 10, 10, nullptr, 0, onIdentify);
  return identified;
}

void enrol(GestalHandle handle, int32_t action) {
  for (int i = 0; i < 3; ++i) {
    AddSignature(handle, action, kRich.data(), kRich.size() / 10, 10, nullptr);
  }
}

TEST(LockPolicy, ThreeFailuresLockTheActionUntilTheLockTimeHasPassed) {
  GestalTest::FixedClock clock;
  GestalTest::TempDir dir;
  CaptureOutput quiet;
  CaptureOutput errors(2);
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  enrol(handle, 1);
  EXPECT_FALSE(GestalSetLockPolicy(nullptr, 3, 30));
  ASSERT_TRUE(GestalSetLockPolicy(handle, 3, 30));

  EXPECT_EQ(identify(handle, kOther), (std::vector<int32_t>{-1, GESTAL_ERROR_NO_MATCH, 2, 0}));
  EXPECT_EQ(identify(handle, kOther), (std::vector<int32_t>{-1, GESTAL_ERROR_NO_MATCH, 1, 0}));
  EXPECT_EQ(identify(handle, kOther), (std::vector<int32_t>{-1, GESTAL_ERROR_NO_MATCH, 0, 30}));
  // Locked: even the right performance is refused, with the seconds left.
  clock.advanceSeconds(10);
  EXPECT_EQ(identify(handle, kRich), (std::vector<int32_t>{-1, GESTAL_ERROR_LOCKED, 0, 20}));
  clock.advanceSeconds(20);
  EXPECT_EQ(identify(handle, kRich), (std::vector<int32_t>{-1, GESTAL_ERROR_LOCKED, 0, 0}));
  clock.advanceSeconds(1);
  EXPECT_EQ(identify(handle, kRich), (std::vector<int32_t>{1, GESTAL_ERROR_NONE, -1, -1}));

  // Switched off again, failures are neither counted nor locking.
  ASSERT_TRUE(GestalSetLockPolicy(handle, 0, 30));
  for (int i = 0; i < 3; ++i) identify(handle, kOther);
  EXPECT_EQ(identify(handle, kRich), (std::vector<int32_t>{1, GESTAL_ERROR_NONE, -1, -1}));
  Shutdown(handle);
  EXPECT_FALSE(GestalSetLockPolicy(handle, 3, 30));
  const std::string refused =
      "gestal: GestalSetLockPolicy failed: the handle is not the current controller helper "
      "handle\n";
  EXPECT_EQ(errors.take(), refused + refused);
}

using Lines = std::vector<std::pair<int32_t, std::string>>;
void collect(int32_t level, const char* text, void* userData) {
  static_cast<Lines*>(userData)->emplace_back(level, text);
}

TEST(LogHandler, TakesEveryLineAndNullRestoresTheStreams) {
  GestalTest::TempDir dir;
  std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                             dir.file("gestal_gesture_adaboost"));
  Lines lines;
  CaptureOutput out(1);
  CaptureOutput err(2);
  GestalSetLogHandler(collect, &lines);
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  enrol(handle, 1);
  identify(handle, kRich);
  identify(handle, kOther);
  VerifyGesture(handle, nullptr, 0, kRich.data(), kRich.size() / 10, 10, nullptr);
  const int32_t lengths[] = {static_cast<int32_t>(kRich.size() / 10)};
  const int32_t entryLengths[] = {10};
  SetCustomGesture(handle, 4, kRich.data(), 1, lengths, entryLengths);
  DeleteGSCustomGestureRecognizeGesture(
      IdentifyCustomGesture(handle, nullptr, 0, kRich.data(), kRich.size() / 10, 10));
  EXPECT_EQ(GetGSCustomGestureRecognizeGestureInt(nullptr), -1);  // a failure report
  Shutdown(handle);
  GestalSetLogHandler(nullptr, nullptr);
  EXPECT_EQ(out.take(), "");
  EXPECT_EQ(err.take(), "");

  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines.front(), (Lines::value_type{GESTAL_LOG_TRACE, "mEventMonitorCount: 12"}));
  EXPECT_EQ(lines[3], (Lines::value_type{GESTAL_LOG_INFO, "creating DB tables"}));
  EXPECT_EQ(lines.back(),
            (Lines::value_type{GESTAL_LOG_ERROR,
                               "gestal: GetGSCustomGestureRecognizeGestureInt failed: the result "
                               "is null"}));
  for (const auto& [level, text] : lines) EXPECT_EQ(text.find('\n'), std::string::npos) << text;

  CaptureOutput restored;
  DeleteAction(nullptr, 1);
  EXPECT_EQ(restored.take(), ">>> DeleteAction >>> index:1\n<<< DeleteAction <<< result:1\n");
}

}  // namespace
