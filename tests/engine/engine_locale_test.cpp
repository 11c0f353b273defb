// Every number the library reads or writes as text is independent of the host's locale: the same
// calls under a locale whose decimal separator is a comma give the same results, messages and
// stored rows as under the C locale.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <filesystem>
#include <string>

#include "engine/GSEngine.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace Gestal;
using GestalPrivate::MotionSample;
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
