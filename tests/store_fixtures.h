#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <vector>

#include "core/MotionSample.h"

// Helpers shared by the tests of the signature store, enrolment and identification.
namespace SignatureFixtures {

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

// A recording that yields exactly the given motion symbols at every security level: one reading
// per symbol, 20 ms apart from time 0 (so decimation keeps them all), with one primary axis at
// +-5 (beyond every threshold) and the others at 0. 'a'/'b' are +x/-x, 'c'/'d' +y/-y, 'e'/'f'
// +z/-z. Two prefixes of one string of lengths p <= q therefore score p / (q * F), which puts the
// level at which they match under the test's control.
inline MotionSample symbolRecording(const std::string& symbols) {
  MotionSample sample;
  float time = 0.0f;
  for (char symbol : symbols) {
    MotionEntry entry{};
    entry[GestalPrivate::kTime] = time;
    const int offset = symbol - 'a';
    const float value = offset % 2 == 0 ? 5.0f : -5.0f;
    entry[GestalPrivate::kPrimaryX + static_cast<std::size_t>(offset / 2)] = value;
    sample.push_back(entry);
    time += 20.0f;
  }
  return sample;
}

// A fixed irregular string over two letters (no two prefixes share much by accident with a string
// over other letters).
inline std::string symbolString(std::size_t length, char first, char second) {
  std::string text;
  unsigned state = 12345u;
  for (std::size_t i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    text += ((state >> 16) & 1u) != 0 ? first : second;
  }
  return text;
}

// The first `length` readings of the reference recording over x (a/b).
inline MotionSample xPrefix(std::size_t length) {
  return symbolRecording(symbolString(length, 'a', 'b'));
}

// A recording over y (c/d) that shares no symbol with any x recording.
inline MotionSample yRecording(std::size_t length) {
  return symbolRecording(symbolString(length, 'c', 'd'));
}

// Rows of a query on the database file through a separate read-only connection; every value as
// its text, NULL as "NULL".
inline std::vector<std::vector<std::string>> readRows(const std::string& path,
                                                      const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// Runs statements on the file through a separate connection (to plant rows a test needs).
inline bool execute(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace SignatureFixtures
