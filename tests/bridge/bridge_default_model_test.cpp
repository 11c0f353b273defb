// The shipped model through the exported functions, on synthesized performances by users the
// model trainer never saw.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using GestalSynth::Shape;

int32_t bestMatch = -2;
void onVerify(GestureVerifyResult* result, float, float) {
  bestMatch = GetGSGesture(result);
}

TEST(ShippedModel, NamesTheRightGestureForUnseenUsers) {
  GestalTest::TempDir dir;
  std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                             dir.file("gestal_gesture_adaboost"));
  GestalTest::CaptureOutput quiet;
  GestalHandle handle = GetControllerHelperObject(dir.path().data(), dir.path().size());
  ASSERT_NE(handle, nullptr);
  const int32_t codes[] = {GESTAL_GESTURE_HEART, GESTAL_GESTURE_C, GESTAL_GESTURE_DOWN};
  const Shape shapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown};
  int correct = 0, total = 0;
  for (uint64_t userSeed = 9001; userSeed <= 9020; ++userSeed) {
    for (int g = 0; g < 3; ++g) {
      for (uint64_t repetition = 0; repetition < 3; ++repetition, ++total) {
        const std::vector<float> data = GestalSynth::flatten(
            GestalSynth::perform(GestalSynth::makeUser(userSeed), shapes[g], repetition));
        bestMatch = -2;
        VerifyGesture(handle, codes, 3, data.data(), data.size() / 10, 10, onVerify);
        correct += bestMatch == g;
      }
    }
  }
  Shutdown(handle);
  quiet.take();
  EXPECT_GE(correct * 100, total * 97) << correct << " of " << total;
}

}  // namespace
