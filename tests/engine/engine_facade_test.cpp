// The public engine over real parts: how enrolment and identification outcomes reach the action
// record, and every number the library reads or writes as text independent of the host's locale.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>

#include "engine/GSEngine.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace Gestal;
using namespace GestalTest;

class EngineFacade : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput quiet;
    engine_ = std::make_unique<GSEngine>(dir_.path(), GSEngineParameters());
  }

  GSAction add(int32_t index, const MotionSample& sample) {
    CaptureOutput quiet;
    return engine_->AddSignature(index, sample);
  }

  TempDir dir_;
  std::unique_ptr<GSEngine> engine_;
  // Strong motion on all three axes for two seconds: complexity level 5.
  const MotionSample rich_ = steady(2000, {5, 5, 5});
};

// An enrolment record: index, strength, signatures to go, error, progress, complexity level.
using Enrolment = std::tuple<int32_t, int32_t, int64_t, int32_t, float, int32_t>;
Enrolment enrolment(const GSAction& a) {
  return {a.actionIndex,
          a.strength,
          a.remainingSignatures,
          a.status.error,
          a.status.progress.asFloat,
          a.status.securityLevel};
}

TEST_F(EngineFacade, FirstSignatureRejectionsBecomeErrorTypes) {
  // Rejected before any action row exists: no action in the record. Two active axes for a second
  // are complexity level 2, below the default minimum of 3; the level is reported.
  for (const auto& [index, sample, error, level] :
       {std::tuple{4, steady(100, {5, 5, 5}), -201, 0},
        {4, steady(2000, {5, 5, 5}, {0, 0, 1}), -203, 0},
        {5, steady(10100, {5, 5, 5}), -202, 0},
        {6, steady(2000, {1, 1, 1}), -205, 0},
        {7, steady(1000, {5, 5, 0}), -204, 2}})
    EXPECT_EQ(enrolment(add(index, sample)), Enrolment(-1, -1, 100, error, 0.0f, level));
}

TEST_F(EngineFacade, EnrolmentProgressCompletionAndRestart) {
  // The first accepted signature creates the action row: its index, strength -1, 3 to go, and
  // the signature's complexity level.
  EXPECT_EQ(enrolment(add(3, rich_)), Enrolment(3, -1, 3, 0, 0.2f, 5));
  // A second signature that matches nothing of the first is rejected with the held progress.
  EXPECT_EQ(enrolment(add(3, steady(2000, {-5, -5, -5}))), Enrolment(3, -1, 3, -209, 0.2f, 0));
  EXPECT_EQ(enrolment(add(3, rich_)), Enrolment(3, -1, 3, 0, 0.4f, 0));
  // Three equal signatures agree at the strictest level: stored with strength 0.
  EXPECT_EQ(enrolment(add(3, rich_)), Enrolment(3, 0, 0, 0, 1.0f, 0));

  // Deleting an action restarts its open enrolment.
  add(8, rich_);
  add(8, rich_);
  engine_->DeleteAction(8);
  EXPECT_EQ(enrolment(add(8, rich_)), Enrolment(8, -1, 3, 0, 0.2f, 5));
  // A third signature unlike the two that agree is removed again.
  add(8, rich_);
  EXPECT_EQ(enrolment(add(8, steady(2000, {-5, -5, -5}))), Enrolment(8, -1, 3, -207, 0.4f, 0));
}

TEST_F(EngineFacade, ANonFiniteValueKeepsTheActionIdentifiable) {
  MotionSample withNaN = rich_;
  withNaN[5][GestalPrivate::kSecondaryX] = std::numeric_limits<float>::quiet_NaN();
  for (int i = 0; i < 3; ++i) add(2, withNaN);
  CaptureOutput quiet;
  const GSAction a = engine_->IdentifySignature({2}, rich_);
  // Index, signatures to go, error, remaining trials, lock seconds.
  EXPECT_EQ(std::tuple(a.actionIndex, a.remainingSignatures, a.status.error,
                       a.status.progress.asInt, a.status.securityLevel),
            std::tuple(2, int64_t{0}, 0, -1, -1));
}

using GestalSynth::Shape;

std::string bits(float value) {
  return std::to_string(std::bit_cast<uint32_t>(value)) + " ";
}

// Predefined, custom and signature calls on a fresh directory holding the default model: their
// results, what they printed and the rows they stored.
std::string scenario() {
  GestalTest::TempDir dir;
  std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                             dir.file(kDefaultGestureModel));
  const GestalSynth::User user = GestalSynth::makeUser(4);
  const auto perform = [&](Shape shape, uint64_t repetition) {
    return GestalSynth::perform(user, shape, repetition);
  };
  std::string result;
  GestalTest::CaptureOutput output;
  {
    GSEngine engine(dir.path(), GSEngineParameters());
    const GestureVerifyResult verified = engine.VerifyGesture({0, 1, 2}, perform(Shape::Heart, 1));
    result += std::to_string(verified.bestMatch) + " " + bits(verified.score) +
              bits(verified.confidence) +
              bits(engine.VerifySingleGesture(1, perform(Shape::LetterC, 2)));
    const auto named =
        engine.VerifyPredefinedGesture(kDefaultGestureModel, {}, perform(Shape::SwipeDown, 3));
    result += named.name + " " + bits(named.score) + bits(named.confidence);

    engine.SetCustomGesture("player", "1", {perform(Shape::Circle, 4), perform(Shape::Circle, 5)});
    engine.SetCustomGesture("player", "2", {perform(Shape::ZigZag, 6)});
    const auto custom = engine.IdentifyCustomGesture("player", {}, perform(Shape::Circle, 7));
    result += custom.matchedGesture + " " + bits(custom.confidence);

    for (uint64_t repetition = 8; repetition < 11; ++repetition) {
      const GSAction added = engine.AddSignature(5, perform(Shape::Signature, repetition));
      result += std::to_string(added.status.error) + " " + bits(added.status.progress.asFloat);
    }
    const GSAction identified = engine.IdentifySignature({}, perform(Shape::Signature, 11));
    result +=
        std::to_string(identified.actionIndex) + " " + std::to_string(identified.status.error);
  }
  result += output.take();
  for (const auto& [file, sql] :
       {std::pair{"gestal_custom.db", "select * from custom_gesture_simples"},
        std::pair{"gestal.db", "select item_no, signature from sign"}}) {
    for (const auto& row : GestalTest::readRows(dir.file(file), sql)) {
      for (const auto& column : row) result += column + "|";
    }
  }
  return result;
}

TEST(EngineLocale, ACommaDecimalLocaleChangesNothing) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  const std::string inC = scenario();
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is missing; scripts/bootstrap generates it";
  const std::string inGerman = scenario();
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(inGerman, inC);
}

}  // namespace
