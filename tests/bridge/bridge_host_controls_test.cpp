// The host controls beyond the interface of the controller helper: the log handler, the lock
// after failed identifications and the choice of matcher, driven through the exported functions
// as a host drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
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

std::vector<float> performance(uint64_t user, GestalSynth::Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(GestalSynth::makeUser(user), shape, repetition));
}

void defineShape(GestalHandle handle, int32_t key, GestalSynth::Shape shape) {
  std::vector<float> pieces;
  std::vector<int32_t> lengths;
  for (uint64_t repetition = 1; repetition <= 3; ++repetition) {
    const std::vector<float> one = performance(1, shape, repetition);
    pieces.insert(pieces.end(), one.begin(), one.end());
    lengths.push_back(static_cast<int32_t>(one.size() / 10));
  }
  const std::vector<int32_t> entryLengths(3, 10);
  SetCustomGesture(handle, key, pieces.data(), 3, lengths.data(), entryLengths.data());
}

// The gesture index and confidence IdentifyCustomGesture answers without targets.
std::pair<int32_t, float> recognise(GestalHandle handle, const std::vector<float>& recording) {
  CustomGestureResult* result =
      IdentifyCustomGesture(handle, nullptr, 0, recording.data(), recording.size() / 10, 10);
  std::pair<int32_t, float> answer{GetGSCustomGestureRecognizeGestureInt(result),
                                   GetGSCustomGestureRecognizeGestureConfidence(result)};
  DeleteGSCustomGestureRecognizeGesture(result);
  return answer;
}

bool similar(GestalHandle handle, const std::vector<float>& a, const std::vector<float>& b) {
  return IsTwoGestureSimilar(handle, a.data(), a.size() / 10, 10, b.data(), b.size() / 10, 10);
}

TEST(Matcher, ElasticIdentifiesTheStoredGesturesAndSignaturesAndRefusesOthers) {
  using GestalSynth::Shape;
  TempDir dir;
  CaptureOutput quiet;
  CaptureOutput errors(2);
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  defineShape(handle, 1, Shape::Heart);
  defineShape(handle, 2, Shape::Circle);
  defineShape(handle, 3, Shape::ZigZag);
  for (int32_t user = 1; user <= 2; ++user) {
    for (uint64_t repetition = 1; repetition <= 3; ++repetition) {
      enrol(handle, user, performance(user, Shape::Signature, repetition));
    }
  }
  const std::vector<float> heart = performance(1, Shape::Heart, 9);
  const std::vector<float> swipe = performance(1, Shape::SwipeDown, 9);

  EXPECT_FALSE(GestalSetMatcher(nullptr, GESTAL_MATCHER_ELASTIC));
  EXPECT_FALSE(GestalSetMatcher(handle, 7));
  EXPECT_FALSE(GestalSetMinConfidence(handle, -1.0f));
  EXPECT_FALSE(GestalSetMinConfidence(handle, std::numeric_limits<float>::quiet_NaN()));
  ASSERT_TRUE(GestalSetMatcher(handle, GESTAL_MATCHER_ELASTIC));

  const auto [gesture, confidence] = recognise(handle, heart);
  EXPECT_EQ(gesture, 1);
  EXPECT_GE(confidence, 1.0f);
  EXPECT_EQ(recognise(handle, swipe), (std::pair<int32_t, float>{-1, 0.0f}));
  EXPECT_TRUE(IsCustomGestureExisted(handle, heart.data(), heart.size() / 10, 10));
  EXPECT_FALSE(IsCustomGestureExisted(handle, swipe.data(), swipe.size() / 10, 10));
  EXPECT_TRUE(similar(handle, performance(1, Shape::Heart, 1), heart));
  EXPECT_FALSE(similar(handle, performance(1, Shape::Circle, 1), heart));
  // A minimum of 0 answers the nearest gesture, however far.
  ASSERT_TRUE(GestalSetMinConfidence(handle, 0.0f));
  EXPECT_GT(recognise(handle, swipe).first, 0);
  ASSERT_TRUE(GestalSetMinConfidence(handle, 1.0f));
  // A gesture stored again is seen at once.
  defineShape(handle, 3, Shape::SwipeDown);
  EXPECT_EQ(recognise(handle, swipe).first, 3);

  EXPECT_EQ(identify(handle, performance(1, Shape::Signature, 9)).action, 1);
  EXPECT_EQ(identify(handle, performance(2, Shape::Signature, 7)).action, 2);
  EXPECT_EQ(identify(handle, performance(3, Shape::Signature, 8)),
            (Reply{-1, GESTAL_ERROR_NO_MATCH, 2147483646, 0}));
  EXPECT_EQ(identify(handle, performance(2, Shape::Signature, 9), {1}).error,
            GESTAL_ERROR_NO_MATCH);
  Shutdown(handle);
  EXPECT_EQ(errors.take(),
            "gestal: GestalSetMatcher failed: the handle is not the current controller helper "
            "handle\n"
            "gestal: GestalSetMatcher failed: unknown matcher 7\n"
            "gestal: GestalSetMinConfidence failed: minimum confidence must be 0 or more\n"
            "gestal: GestalSetMinConfidence failed: minimum confidence must be 0 or more\n");
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
