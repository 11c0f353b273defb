#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/MotionSample.h"
#include "engine/GSEnginePreferenceParameters.h"
#include "store/GestalDB.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/TempDir.h"

// Helpers shared by the tests of the signature store, enrolment, identification and the custom
// gesture store.
namespace SignatureFixtures {

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;
using Rows = std::vector<std::vector<std::string>>;

// A recording that yields exactly the given motion symbols at every security level and gesture
// threshold: one reading per symbol, 20 ms apart from time 0 (so decimation keeps them all), with
// one primary axis at +-5 (beyond every threshold) and the others at 0. 'a'/'b' are +x/-x, 'c'/'d'
// +y/-y, 'e'/'f' +z/-z, any other character a small x motion below every threshold. Two prefixes
// of one string of lengths p <= q therefore score p / (q * F), which puts the level at which they
// match under the test's control.
inline MotionSample symbolRecording(const std::string& symbols) {
  MotionSample sample(symbols.size(), MotionEntry{});
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    const int offset = symbols[i] - 'a';
    sample[i][GestalPrivate::kTime] = 20.0f * static_cast<float>(i);
    if (offset < 0 || offset > 5) {
      sample[i][GestalPrivate::kPrimaryX] = 0.1f;
    } else {
      sample[i][GestalPrivate::kPrimaryX + static_cast<std::size_t>(offset / 2)] =
          offset % 2 == 0 ? 5.0f : -5.0f;
    }
  }
  return sample;
}

// A fixed irregular string of `length` symbols over the pair starting at `first` ('a', 'c' or
// 'e'): recordings over different pairs share no symbol.
inline MotionSample pairRecording(std::size_t length, char first) {
  std::string text;
  unsigned state = 12345u;
  for (std::size_t i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    text += ((state >> 16) & 1u) != 0 ? first : static_cast<char>(first + 1);
  }
  return symbolRecording(text);
}

// The first `length` readings of the reference recording over x, and recordings over y and z.
inline MotionSample xPrefix(std::size_t length) {
  return pairRecording(length, 'a');
}
inline MotionSample yRecording(std::size_t length) {
  return pairRecording(length, 'c');
}
inline MotionSample zRecording(std::size_t length) {
  return pairRecording(length, 'e');
}

// Rows of a query on a database file through a separate connection; every value as its text, NULL
// as "NULL". Also runs statements that plant or drop what a test needs.
inline Rows readRows(const std::string& path, const std::string& sql) {
  Rows rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        rows.back().push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
      }
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

inline bool execute(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

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

}  // namespace SignatureFixtures
