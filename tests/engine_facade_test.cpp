// The public engine over real parts: how enrolment and identification outcomes reach the action
// record, and the failed-trials lock with parameters other than the host defaults.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/GSEngine.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"

namespace {

using Gestal::GSAction;
using Gestal::GSEngine;
using Gestal::GSEngineParameters;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

// A recording at 90 Hz whose every reading has the same primary and direction vectors.
MotionSample steady(float durationMs, std::array<float, 3> primary,
                    std::array<float, 3> direction = {1, 0, 0}) {
  MotionSample sample;
  for (float t = 0; t <= durationMs; t += 1000.0f / 90.0f) {
    sample.push_back(MotionEntry{t, primary[0], primary[1], primary[2], 0, 0, 0, direction[0],
                                 direction[1], direction[2]});
  }
  return sample;
}

class EngineFacade : public ::testing::Test {
 protected:
  GSEngine& engine(GSEngineParameters parameters = GSEngineParameters()) {
    GestalTest::CaptureOutput quiet;
    engine_ = std::make_unique<GSEngine>(dir_.path(), parameters);
    return *engine_;
  }

  GSAction add(int32_t index, const MotionSample& sample) {
    GestalTest::CaptureOutput quiet;
    return engine_->AddSignature(index, sample);
  }

  GSAction identify(std::vector<int32_t> candidates, const MotionSample& sample) {
    GestalTest::CaptureOutput quiet;
    return engine_->IdentifySignature(candidates, sample);
  }

  GestalTest::FixedClock clock_;
  GestalTest::TempDir dir_;
  std::unique_ptr<GSEngine> engine_;
  // Strong motion on all three axes for two seconds: complexity level 5.
  const MotionSample rich_ = steady(2000, {5, 5, 5});
};

void expectAction(const GSAction& a, int32_t index, int32_t strength, int64_t remaining,
                  int32_t error, float progress, int32_t securityLevel) {
  EXPECT_EQ(a.actionIndex, index);
  EXPECT_EQ(a.strength, strength);
  EXPECT_EQ(a.remainingSignatures, remaining);
  EXPECT_EQ(a.status.error, error);
  EXPECT_EQ(a.status.progress.asFloat, progress);
  EXPECT_EQ(a.status.securityLevel, securityLevel);
}

TEST_F(EngineFacade, FirstSignatureRejectionsBecomeErrorTypes) {
  engine();
  // Rejected before any action row exists: no action in the record.
  expectAction(add(4, steady(100, {5, 5, 5})), -1, -1, 100, -201, 0.0f, 0);
  expectAction(add(4, steady(2000, {5, 5, 5}, {0, 0, 1})), -1, -1, 100, -203, 0.0f, 0);
  expectAction(add(5, steady(10100, {5, 5, 5})), -1, -1, 100, -202, 0.0f, 0);
  expectAction(add(6, steady(2000, {1, 1, 1})), -1, -1, 100, -205, 0.0f, 0);
  // Two active axes for a second: complexity level 2, below the default minimum of 3; the level
  // is reported.
  expectAction(add(7, steady(1000, {5, 5, 0})), -1, -1, 100, -204, 0.0f, 2);
}

TEST_F(EngineFacade, EnrolmentProgressAndCompletion) {
  engine();
  // The first accepted signature creates the action row: its index, strength -1, 3 to go, and
  // the signature's complexity level.
  expectAction(add(3, rich_), 3, -1, 3, 0, 0.2f, 5);
  // A second signature that matches nothing of the first is rejected with the held progress.
  expectAction(add(3, steady(2000, {-5, -5, -5})), 3, -1, 3, -209, 0.2f, 0);
  expectAction(add(3, rich_), 3, -1, 3, 0, 0.4f, 0);
  // Three equal signatures agree at the strictest level: stored with strength 0.
  expectAction(add(3, rich_), 3, 0, 0, 0, 1.0f, 0);
}

TEST_F(EngineFacade, IdentificationAcceptsTheEnrolledActionOnly) {
  engine();
  for (int i = 0; i < 3; ++i) add(2, rich_);
  GSAction accepted = identify({}, rich_);
  EXPECT_EQ(accepted.actionIndex, 2);
  EXPECT_EQ(accepted.status.error, 0);
  EXPECT_EQ(accepted.status.progress.asInt, -1);
  EXPECT_EQ(accepted.status.securityLevel, -1);

  GSAction rejected = identify({2}, steady(2000, {-5, -5, -5}));
  EXPECT_EQ(rejected.actionIndex, -1);
  EXPECT_EQ(rejected.remainingSignatures, 100);
  EXPECT_EQ(rejected.status.error, -1);
  EXPECT_EQ(rejected.status.progress.asInt, 2147483646);
  EXPECT_EQ(rejected.status.securityLevel, 0);
}

TEST_F(EngineFacade, FailedTrialsLockTheAction) {
  GSEngineParameters parameters;
  parameters.maxFailedTrials = 2;
  parameters.lockTimeSeconds = 60;
  engine(parameters);
  for (int i = 0; i < 3; ++i) add(2, rich_);
  const MotionSample other = steady(2000, {-5, -5, -5});

  GSAction first = identify({2}, other);
  EXPECT_EQ(first.status.error, -1);
  EXPECT_EQ(first.status.progress.asInt, 1);
  EXPECT_EQ(first.status.securityLevel, 0);
  GSAction second = identify({2}, other);
  EXPECT_EQ(second.status.progress.asInt, 0);
  EXPECT_EQ(second.status.securityLevel, 60);

  clock_.advanceSeconds(10);
  GSAction locked = identify({2}, rich_);
  EXPECT_EQ(locked.actionIndex, -1);
  EXPECT_EQ(locked.status.error, -301);
  EXPECT_EQ(locked.status.progress.asInt, 0);
  EXPECT_EQ(locked.status.securityLevel, 50);

  clock_.advanceSeconds(51);
  EXPECT_EQ(identify({2}, rich_).actionIndex, 2);
}

TEST_F(EngineFacade, DeleteActionRestartsAnOpenEnrolment) {
  engine();
  add(8, rich_);
  add(8, rich_);
  engine_->DeleteAction(8);
  expectAction(add(8, rich_), 8, -1, 3, 0, 0.2f, 5);
}

TEST(GestureNames, IndexesOfThePredefinedModel) {
  EXPECT_EQ(Gestal::gestureName(0), "HEART");
  EXPECT_EQ(Gestal::gestureName(1), "C");
  EXPECT_EQ(Gestal::gestureName(2), "DOWN");
  EXPECT_EQ(Gestal::gestureName(3), "");
  EXPECT_EQ(Gestal::gestureName(-1), "");
}

}  // namespace
