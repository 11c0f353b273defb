#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gestures/GestalCustomGestureDB.h"
#include "support/CaptureOutput.h"
#include "support/DatabaseFile.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "support/Thrown.h"

namespace {

using namespace GestalPrivate;
using namespace GestalTest;

using Names = std::vector<std::string>;

MotionSample sampleOf(float first, int entries) {
  MotionSample sample(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    sample[i][0] = 20.0f * static_cast<float>(i);
    for (int k = 1; k < 10; ++k) sample[i][k] = first + 0.125f * static_cast<float>(i * k);
  }
  return sample;
}

// A database in a fresh directory, opened with its informational lines kept out of the output.
class CustomGestureDB : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput out(1);
    db = std::make_unique<GestalCustomGestureDB>(dir.path());
  }
  Rows rows(const std::string& sql) const { return readRows(dir.file("gestal_custom.db"), sql); }

  TempDir dir;
  std::unique_ptr<GestalCustomGestureDB> db;
};

}  // namespace

TEST(CustomGestureDBFile, CreatesTheTableOnceAndReportsTheVersionLater) {
  TempDir dir;
  // The directory text is a prefix of the file name.
  const std::string path = dir.file("host-gestal_custom.db");
  CaptureOutput first(1);
  { GestalCustomGestureDB db(dir.path() + "host-"); }
  EXPECT_EQ(first.take(), "creating DB tables\ncreate custom gesture DB tables success\n");
  EXPECT_EQ(readRows(path, "select type, name, sql from sqlite_master"),
            (Rows{{"table", "custom_gesture_simples",
                   "CREATE TABLE custom_gesture_simples(name_space, gesture_index,data)"}}));
  EXPECT_EQ(readRows(path, "PRAGMA user_version"), (Rows{{"2"}}));

  CaptureOutput second(1);
  { GestalCustomGestureDB db(dir.path() + "host-"); }
  EXPECT_EQ(second.take(), "current custom gesture DB schema version is 2\n");
  EXPECT_EQ(readRows(path, "select count(*) from sqlite_master"), (Rows{{"1"}}));
}

TEST(CustomGestureDBFile, AnUnopenableFileThrowsWithItsMessage) {
  TempDir dir;
  CaptureOutput err(2);
  EXPECT_EQ(thrownText([&] { GestalCustomGestureDB db(dir.path() + "missing/"); }),
            "Can't open database: unable to open database file\n");
}

TEST_F(CustomGestureDB, StoreReplaceAndDeleteKeepRowOrderAndText) {
  const MotionEntry exact = {0.0f, 0.1f, -0.0f, 1.0f, 0.25f, -3.5f, 1e20f, 100.0f, 2.0f, 7.0f};
  const std::vector<MotionSample> seven{{exact}, sampleOf(1.0f, 2)};
  db->replaceCustomSamples("player", "7", seven);
  db->replaceCustomSamples("player", "8", {sampleOf(3.0f, 1)});
  db->replaceCustomSamples("smart", "7", {sampleOf(4.0f, 1)});

  EXPECT_EQ(
      rows("select name_space, gesture_index, typeof(gesture_index), data, typeof(data) "
           "from custom_gesture_simples where gesture_index = '7' order by rowid"),
      (Rows{{"player", "7", "text",
             "[[0.0,0.100000001490116,-0.0,1.0,0.25,-3.5,1.00000002004088e+20,100.0,2.0,7.0]]",
             "text"},
            {"player", "7", "text",
             "[[0.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0,1.0],"
             "[20.0,1.125,1.25,1.375,1.5,1.625,1.75,1.875,2.0,2.125]]",
             "text"},
            {"smart", "7", "text", "[[0.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0,4.0]]", "text"}}));
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), (Names{"7", "7", "8"}));
  EXPECT_EQ(preparedValues(db->getCustomSamples("player", "7")), preparedValues(seven));

  // Replacing deletes first, so the new rows follow the other gesture's.
  db->replaceCustomSamples("player", "7", {sampleOf(5.0f, 1), sampleOf(6.0f, 1)});
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), (Names{"8", "7", "7"}));
  EXPECT_EQ(preparedValues(db->getCustomSamples("player", "7")),
            preparedValues({sampleOf(5.0f, 1), sampleOf(6.0f, 1)}));

  CaptureOutput out(1);
  CaptureOutput err(2);
  db->replaceCustomSamples("player", "7", {});
  EXPECT_TRUE(db->getCustomSamples("player", "7").empty());
  db->delCustomSamples("player", "8");
  EXPECT_TRUE(db->getAllCustomGestureIndexes("player").empty());
  EXPECT_EQ(db->getAllCustomGestureIndexes("smart"), Names{"7"});
  EXPECT_EQ(err.take() + out.take(), "");
}

TEST_F(CustomGestureDB, AnyNameIsStoredAndFoundExactly) {
  const Names names = {"say \"hi\"", "x'); drop table custom_gesture_simples; --", "",
                       "caf\xC3\xA9 \xFF\xFE", std::string(1000, 'q')};
  for (std::size_t i = 0; i < names.size(); ++i) {
    db->replaceCustomSamples(names[i], names[i], {sampleOf(static_cast<float>(i), 2)});
    db->replaceCustomSamples("player", names[i], {sampleOf(static_cast<float>(i), 1)});
  }
  EXPECT_EQ(db->getAllCustomGestureIndexes("player"), names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(db->getAllCustomGestureIndexes(names[i]), Names{names[i]});
    EXPECT_EQ(preparedValues(db->getCustomSamples(names[i], names[i])),
              preparedValues({sampleOf(static_cast<float>(i), 2)}));
  }
  EXPECT_EQ(rows("select name_space, gesture_index from custom_gesture_simples where rowid = 4"),
            (Rows{{"player", names[1]}}));
}

TEST_F(CustomGestureDB, TwentyLongRecordingsAreStoredWhole) {
  // Twenty 5-second recordings at 90 Hz, with values that need all fifteen digits.
  std::vector<MotionSample> samples(20, MotionSample(450));
  for (int s = 0; s < 20; ++s)
    for (int i = 0; i < 450; ++i)
      for (int k = 0; k < 10; ++k)
        samples[s][i][k] = std::sin(static_cast<float>(s * 1000 + i * 10 + k)) * -98.7654321f;
  db->replaceCustomSamples("player", "12", samples);
  EXPECT_GT(std::stoul(rows("select sum(length(data)) from custom_gesture_simples")[0][0]),
            1500000u);
  EXPECT_EQ(preparedValues(db->getCustomSamples("player", "12")), preparedValues(samples));
}

TEST_F(CustomGestureDB, StoredTextsThatDoNotDecodeAreSkipped) {
  MotionSample withNaN = sampleOf(1.0f, 1);
  withNaN[0][4] = std::numeric_limits<float>::quiet_NaN();
  db->replaceCustomSamples("player", "3", {sampleOf(1.0f, 1), withNaN});
  EXPECT_EQ(rows("select data from custom_gesture_simples order by rowid")[1][0],
            "[[0.0,1.0,1.0,1.0,null,1.0,1.0,1.0,1.0,1.0]]");
  for (const char* data : {"not json", "[[1,2,3]]", "[[1,2,3,4,5,6,7,8,9,10]]"}) {
    ASSERT_TRUE(GestalTest::execute(
        dir.file("gestal_custom.db"),
        "insert into custom_gesture_simples values ('player', '3', '" + std::string(data) + "')"));
  }
  CaptureOutput err(2);
  const PreparedValues read = preparedValues(db->getCustomSamples("player", "3"));
  const std::string messages = err.take();
  EXPECT_EQ(read,
            preparedValues({sampleOf(1.0f, 1),
                            {{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}}}));
  EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 3);
  EXPECT_THAT(messages, ::testing::StartsWith("getCustomSamples skipped a stored sample of 3 "));
}
