#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "gesture/GestalCustomGestureDB.h"
#include "support/CaptureOutput.h"
#include "support/TempDir.h"

using GestalPrivate::GestalCustomGestureDB;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;
using GestalTest::CaptureOutput;
using GestalTest::TempDir;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Runs `sql` on the file with SQLite itself and returns every row as texts ("NULL" for null).
Rows query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open failed");
  sqlite3_stmt* statement = nullptr;
  Rows rows;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

void insertData(const std::string& path, const std::string& index, const std::string& data) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "insert into custom_gesture_simples values ('player', ?1, ?2)", -1,
                     &statement, nullptr);
  sqlite3_bind_text(statement, 1, index.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 2, data.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(statement);
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

MotionSample sampleOf(float first, int entries) {
  MotionSample sample;
  for (int i = 0; i < entries; ++i) {
    MotionEntry entry{};
    entry[0] = 20.0f * static_cast<float>(i);
    for (int k = 1; k < 10; ++k) entry[k] = first + 0.125f * static_cast<float>(i * k);
    sample.push_back(entry);
  }
  return sample;
}

// Opens the database with its informational lines kept out of the test output.
std::unique_ptr<GestalCustomGestureDB> openQuietly(const std::string& directory) {
  CaptureOutput out(1);
  return std::make_unique<GestalCustomGestureDB>(directory);
}

}  // namespace

TEST(CustomGestureDBFile, CreatesTheTableOnceAndReportsTheVersionLater) {
  TempDir dir;
  CaptureOutput first(1);
  { GestalCustomGestureDB db(dir.path()); }
  EXPECT_EQ(first.take(), "creating DB tables\ncreate custom gesture DB tables success\n");

  const std::string path = dir.file("gestal_custom.db");
  EXPECT_EQ(query(path, "select type, name, sql from sqlite_master"),
            (Rows{{"table", "custom_gesture_simples",
                   "CREATE TABLE custom_gesture_simples(name_space, gesture_index,data)"}}));
  EXPECT_EQ(query(path, "PRAGMA user_version"), (Rows{{"2"}}));

  CaptureOutput second(1);
  { GestalCustomGestureDB db(dir.path()); }
  EXPECT_EQ(second.take(), "current custom gesture DB schema version is 2\n");
  EXPECT_EQ(query(path, "select count(*) from sqlite_master"), (Rows{{"1"}}));
}

TEST(CustomGestureDBFile, TheDirectoryTextIsAPrefix) {
  TempDir dir;
  openQuietly(dir.path() + "host-");
  EXPECT_EQ(query(dir.file("host-gestal_custom.db"), "PRAGMA user_version"), (Rows{{"2"}}));
}

TEST(CustomGestureDBFile, AnEmptyFileIsAcceptedWithoutTables) {
  TempDir dir;
  const std::string path = dir.file("gestal_custom.db");
  std::ofstream(path).close();

  CaptureOutput out(1);
  GestalCustomGestureDB db(dir.path());
  EXPECT_EQ(out.take(), "current custom gesture DB schema version is 0\n");

  CaptureOutput err(2);
  EXPECT_TRUE(db.getCustomSamples("player", "1").empty());
  EXPECT_TRUE(db.getAllCustomGestureIndexes("player").empty());
  db.replaceCustomSamples("player", "1", {sampleOf(1.0f, 3)});
  db.delCustomSamples("player", "1");
  EXPECT_EQ(err.take(),
            "getCustomSamples SQL error: no such table: custom_gesture_simples\n"
            "getAllCustomGestureIndexes SQL error: no such table: custom_gesture_simples\n"
            "delCustomSamples SQL error: no such table: custom_gesture_simples\n"
            "replaceCustomSamples SQL error: no such table: custom_gesture_simples\n"
            "delCustomSamples SQL error: no such table: custom_gesture_simples\n");
  EXPECT_EQ(query(path, "select count(*) from sqlite_master"), (Rows{{"0"}}));
}

TEST(CustomGestureDBFile, OpeningFailuresThrowWithTheirMessages) {
  TempDir dir;
  std::ofstream(dir.file("gestal_custom.db"))
      << "these bytes are not an SQLite database file header";
  CaptureOutput err(2);
  try {
    GestalCustomGestureDB db(dir.path());
    FAIL() << "a file that is not a database was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "check DB schema version failed");
  }
  EXPECT_EQ(err.take(), "get DB schema version error: file is not a database\n");

  try {
    GestalCustomGestureDB db(dir.path() + "missing/");
    FAIL() << "a database in a missing directory was opened";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Can't open database: unable to open database file\n");
  }
}

TEST(CustomGestureDBRows, StoreReplaceAndDeleteKeepRowOrderAndText) {
  TempDir dir;
  auto db = openQuietly(dir.path());
  const std::string path = dir.file("gestal_custom.db");

  MotionEntry exact = {0.0f, 0.1f, -0.0f, 1.0f, 0.25f, -3.5f, 1e20f, 100.0f, 2.0f, 7.0f};
  db->replaceCustomSamples("player", "7", {{exact}, sampleOf(1.0f, 2), sampleOf(2.0f, 1)});
  db->replaceCustomSamples("player", "8", {sampleOf(3.0f, 1)});
  db->replaceCustomSamples("smart", "7", {sampleOf(4.0f, 1)});

  EXPECT_EQ(query(path,
                  "select name_space, gesture_index, typeof(gesture_index), typeof(data) from "
                  "custom_gesture_simples order by rowid"),
            (Rows{{"player", "7", "text", "text"},
                  {"player", "7", "text", "text"},
                  {"player", "7", "text", "text"},
                  {"player", "8", "text", "text"},
                  {"smart", "7", "text", "text"}}));
  EXPECT_EQ(
      query(path, "select data from custom_gesture_simples order by rowid limit 2"),
      (Rows{{"[[0.0,0.100000001490116,-0.0,1.0,0.25,-3.5,1.00000002004088e+20,100.0,2.0,7.0]]"},
            {"[[0.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0],"
             "[20.0,1.125,1.25,1.375,1.5,1.625,1.75,1.875,2.0,2.125]]"}}));
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"),
            (std::vector<std::string>{"7", "7", "7", "8"}));

  std::vector<MotionSample> read = db->getCustomSamples("player", "7");
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0][0], exact);
  EXPECT_TRUE(std::signbit(read[0][0][2]));
  EXPECT_EQ(read[1], sampleOf(1.0f, 2));
  EXPECT_EQ(read[2], sampleOf(2.0f, 1));

  // Replacing deletes first, so the new rows follow the other gesture's.
  db->replaceCustomSamples("player", "7", {sampleOf(5.0f, 1), sampleOf(6.0f, 1)});
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), (std::vector<std::string>{"8", "7", "7"}));
  EXPECT_EQ(db->getCustomSamples("player", "7"),
            (std::vector<MotionSample>{sampleOf(5.0f, 1), sampleOf(6.0f, 1)}));

  CaptureOutput out(1);
  CaptureOutput err(2);
  db->replaceCustomSamples("player", "7", {});
  EXPECT_TRUE(db->getCustomSamples("player", "7").empty());
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), (std::vector<std::string>{"8"}));
  db->delCustomSamples("player", "8");
  EXPECT_TRUE(db->getAllCustomGestureIndexes("player").empty());
  EXPECT_EQ(db->getAllCustomGestureIndexes("smart"), (std::vector<std::string>{"7"}));
  EXPECT_EQ(err.take(), "");
  EXPECT_EQ(out.take(), "");
}

TEST(CustomGestureDBRows, AnyNameIsStoredAndFoundExactly) {
  TempDir dir;
  auto db = openQuietly(dir.path());
  const std::vector<std::string> names = {
      "say \"hi\"",
      "x\"; drop table custom_gesture_simples; --",
      "a;b",
      "caf\xC3\xA9 \xE2\x9C\x93 \xFF\xFE",
      "data",
      "gesture_index",
      std::string(1000, 'q'),
      std::string(999, 'q') + "\"",
      "",
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    db->replaceCustomSamples(names[i], names[i], {sampleOf(static_cast<float>(i), 2)});
    db->replaceCustomSamples("player", names[i], {sampleOf(static_cast<float>(i) + 0.5f, 1)});
  }
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(db->getAllCustomGestureIndexes(names[i]), (std::vector<std::string>{names[i]}));
    EXPECT_EQ(db->getCustomSamples(names[i], names[i]),
              (std::vector<MotionSample>{sampleOf(static_cast<float>(i), 2)}));
    EXPECT_EQ(db->getCustomSamples("player", names[i]),
              (std::vector<MotionSample>{sampleOf(static_cast<float>(i) + 0.5f, 1)}));
  }
  EXPECT_EQ(query(dir.file("gestal_custom.db"),
                  "select gesture_index from custom_gesture_simples where name_space = 'player' "
                  "order by rowid limit 1 offset 3"),
            (Rows{{names[3]}}));

  db->delCustomSamples("player", names[1]);
  EXPECT_EQ(db->getAllCustomGestureIndexes("player").size(), names.size() - 1);
  EXPECT_EQ(db->getAllCustomGestureIndexes(names[1]), (std::vector<std::string>{names[1]}));
}

TEST(CustomGestureDBRows, TwentyLongRecordingsAreStoredWhole) {
  TempDir dir;
  auto db = openQuietly(dir.path());
  // Twenty 5-second recordings at 90 Hz, with values that need all fifteen digits.
  std::vector<MotionSample> samples;
  for (int s = 0; s < 20; ++s) {
    MotionSample sample;
    for (int i = 0; i < 450; ++i) {
      MotionEntry entry{};
      entry[0] = static_cast<float>(i) * 11.111111f;
      for (int k = 1; k < 10; ++k) {
        entry[k] = std::sin(static_cast<float>(s * 1000 + i * 10 + k)) * -98.7654321f;
      }
      sample.push_back(entry);
    }
    samples.push_back(sample);
  }
  db->replaceCustomSamples("player", "12", samples);
  EXPECT_GT(std::stoul(query(dir.file("gestal_custom.db"),
                             "select sum(length(data)) from custom_gesture_simples")[0][0]),
            1500000u);
  EXPECT_EQ(db->getCustomSamples("player", "12"), samples);
}

TEST(CustomGestureDBRows, StoredTextsThatDoNotDecodeAreSkipped) {
  TempDir dir;
  auto db = openQuietly(dir.path());
  const std::string path = dir.file("gestal_custom.db");
  MotionSample withNaN = sampleOf(1.0f, 1);
  withNaN[0][4] = std::numeric_limits<float>::quiet_NaN();
  db->replaceCustomSamples("player", "3", {sampleOf(1.0f, 1), withNaN});
  EXPECT_EQ(query(path, "select data from custom_gesture_simples order by rowid")[1][0],
            "[[0.0,1.0,1.0,1.0,null,1.0,1.0,1.0,1.0,1.0]]");
  for (const char* bad :
       {"not json", "[[1,2,3]]", "null", "{\"a\":1}", "[[1,2,3,4,5,6,7,8,9,\"x\"]]"}) {
    insertData(path, "3", bad);
  }
  insertData(path, "3", "[[1,2,3,4,5,6,7,8,9,10]]");

  CaptureOutput err(2);
  const std::vector<MotionSample> read = db->getCustomSamples("player", "3");
  const std::string messages = err.take();
  EXPECT_EQ(read, (std::vector<MotionSample>{
                      sampleOf(1.0f, 1),
                      {{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}}}));
  EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 6);
  EXPECT_THAT(messages, ::testing::StartsWith("getCustomSamples skipped a stored sample of 3 "));
}
