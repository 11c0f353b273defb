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
#include "support/HostCalls.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;

const std::vector<float> kRich = GestalSynth::flatten(steady(2000, {5, 5, 5}));
const std::vector<float> kOther = GestalSynth::flatten(steady(2000, {-5, -5, -5}));

void enrolRich(GestalHandle handle, int32_t action) {
  for (int i = 0; i < 3; ++i) enrol(handle, action, kRich);
}

TEST(LockPolicy, ThreeFailuresLockTheActionUntilTheLockTimeHasPassed) {
  FixedClock clock;
  TempDir dir;
  CaptureOutput quiet;
  CaptureOutput errors(2);
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  enrolRich(handle, 1);
  EXPECT_FALSE(GestalSetLockPolicy(nullptr, 3, 30));
  ASSERT_TRUE(GestalSetLockPolicy(handle, 3, 30));

  EXPECT_EQ(identify(handle, kOther), (Reply{-1, GESTAL_ERROR_NO_MATCH, 2, 0}));
  EXPECT_EQ(identify(handle, kOther), (Reply{-1, GESTAL_ERROR_NO_MATCH, 1, 0}));
  EXPECT_EQ(identify(handle, kOther), (Reply{-1, GESTAL_ERROR_NO_MATCH, 0, 30}));
  // Locked: even the right performance is refused, with the seconds left.
  clock.advanceSeconds(10);
  EXPECT_EQ(identify(handle, kRich), (Reply{-1, GESTAL_ERROR_LOCKED, 0, 20}));
  clock.advanceSeconds(20);
  EXPECT_EQ(identify(handle, kRich), (Reply{-1, GESTAL_ERROR_LOCKED, 0, 0}));
  clock.advanceSeconds(1);
  EXPECT_EQ(identify(handle, kRich), (Reply{1, GESTAL_ERROR_NONE, -1, -1}));

  // Switched off again, failures are neither counted nor locking.
  ASSERT_TRUE(GestalSetLockPolicy(handle, 0, 30));
  for (int i = 0; i < 3; ++i) identify(handle, kOther);
  EXPECT_EQ(identify(handle, kRich), (Reply{1, GESTAL_ERROR_NONE, -1, -1}));
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
  TempDir dir;
  std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                             dir.file("gestal_gesture_adaboost"));
  Lines lines;
  CaptureOutput out(1);
  CaptureOutput err(2);
  GestalSetLogHandler(collect, &lines);
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  enrolRich(handle, 1);
  identify(handle, kRich);
  identify(handle, kOther);
  VerifyGesture(handle, nullptr, 0, kRich.data(), kRich.size() / 10, 10, nullptr);
  defineCustom(handle, 4, kRich);
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
