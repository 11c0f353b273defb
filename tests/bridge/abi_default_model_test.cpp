// The shipped model and the similarity test through the exported functions, on synthesized
// performances by users the model trainer never saw.
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

class ShippedModel : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                               dir_.file("gestal_gesture_adaboost"));
    GestalTest::CaptureOutput quiet;
    handle_ = GetControllerHelperObject(dir_.path().data(), dir_.path().size());
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { Shutdown(handle_); }

  GestalTest::TempDir dir_;
  GestalHandle handle_ = nullptr;
};

TEST_F(ShippedModel, NamesTheRightGestureForUnseenUsers) {
  const int32_t codes[] = {GESTAL_GESTURE_HEART, GESTAL_GESTURE_C, GESTAL_GESTURE_DOWN};
  const Shape shapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown};
  int correct = 0, total = 0;
  GestalTest::CaptureOutput quiet;
  for (uint64_t userSeed = 9001; userSeed <= 9020; ++userSeed) {
    const GestalSynth::User user = GestalSynth::makeUser(userSeed);
    for (int g = 0; g < 3; ++g) {
      for (uint64_t repetition = 0; repetition < 3; ++repetition) {
        std::vector<float> data =
            GestalSynth::flatten(GestalSynth::perform(user, shapes[g], repetition));
        bestMatch = -2;
        VerifyGesture(handle_, codes, 3, data.data(), data.size() / 10, 10, onVerify);
        correct += bestMatch == g;
        ++total;
      }
    }
  }
  quiet.take();
  EXPECT_GE(correct * 100, total * 97) << correct << " of " << total;
}

TEST_F(ShippedModel, SimilarityOfTwoRecordings) {
  const GestalSynth::User user = GestalSynth::makeUser(505);
  auto flat = [&](Shape shape, uint64_t repetition) {
    return GestalSynth::flatten(GestalSynth::perform(user, shape, repetition));
  };
  const std::vector<float> heart1 = flat(Shape::Heart, 1);
  const std::vector<float> heart2 = flat(Shape::Heart, 2);
  const std::vector<float> swipe = flat(Shape::SwipeDown, 1);
  GestalTest::CaptureOutput quiet;
  EXPECT_TRUE(IsTwoGestureSimilar(handle_, heart1.data(), heart1.size() / 10, 10, heart2.data(),
                                  heart2.size() / 10, 10));
  EXPECT_FALSE(IsTwoGestureSimilar(handle_, heart1.data(), heart1.size() / 10, 10, swipe.data(),
                                   swipe.size() / 10, 10));
}

}  // namespace
