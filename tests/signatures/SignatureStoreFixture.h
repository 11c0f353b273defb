#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/GSEnginePreferenceParameters.h"
#include "core/MotionSample.h"
#include "signatures/GestalDB.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/FixedClock.h"
#include "support/Recordings.h"
#include "support/TempDir.h"

// Helpers shared by the tests of the signature store, enrolment, identification and adaptation.
namespace SignatureFixtures {

using GestalPrivate::MotionSample;

// The first `length` readings of the reference recording over x, and recordings over y and z.
inline MotionSample xPrefix(std::size_t length) {
  return GestalTest::pairRecording(length, 'a');
}
inline MotionSample yRecording(std::size_t length) {
  return GestalTest::pairRecording(length, 'c');
}
inline MotionSample zRecording(std::size_t length) {
  return GestalTest::pairRecording(length, 'e');
}

using GestalTest::execute;
using GestalTest::readRows;
using GestalTest::Rows;

// A signature database in a fresh directory, under a clock that moves only when told to.
class SignatureStoreTest : public ::testing::Test {
 protected:
  void open(const GestalPrivate::GSEnginePreferenceParameters& profile) {
    db.reset();
    GestalTest::CaptureOutput out(1);
    db = std::make_unique<GestalPrivate::GestalDB>(profile, dir.path());
  }

  // Stores an enrolled action, signatures oldest first, one second apart.
  void enrol(int32_t action, int32_t strength, const std::vector<MotionSample>& signatures) {
    db->writeAction(action, "", static_cast<uint32_t>(strength));
    db->setSignatureType(action, 0);
    for (const MotionSample& signature : signatures) {
      clock.advanceSeconds(1);
      db->addSignature(signature, action);
    }
  }

  std::string file() const { return dir.file("gestal.db"); }
  Rows rows(const std::string& sql) const { return readRows(file(), sql); }

  GestalTest::FixedClock clock;
  GestalTest::TempDir dir;
  std::unique_ptr<GestalPrivate::GestalDB> db;
};

// The store fixture with one engine part built over it (threshold 1.0); useProfile rebuilds both
// with another profile.
template <class Part>
class StorePartTest : public SignatureStoreTest {
 protected:
  void SetUp() override { useProfile(GestalPrivate::GSEnginePreferenceParameters{}); }
  void useProfile(const GestalPrivate::GSEnginePreferenceParameters& profile) {
    part.reset();
    open(profile);
    part = std::make_unique<Part>(db.get(), profile, 1.0f);
    configure(*part);
  }
  virtual void configure(Part&) {}

  std::unique_ptr<Part> part;
};

}  // namespace SignatureFixtures
