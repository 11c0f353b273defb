#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempDir.h"
#include "tools/model/RecordingSet.h"

namespace {

using namespace GestalPrivate;

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(ModelRecordingsTest, CsvReadsTenNumbersPerLine) {
  MotionSample sample = parseRecordingCsv(
      "# time, primary, secondary, direction\n"
      "0,1.5,-2,0.25,0,0,0,0,0,1\r\n"
      "\n"
      "  11.5 , 1e-3,2,3,4,5,6,7,8,-9\n",
      "r.csv");
  ASSERT_EQ(sample.size(), 2u);
  EXPECT_EQ(sample[0], (MotionEntry{0, 1.5f, -2, 0.25f, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(sample[1], (MotionEntry{11.5f, 1e-3f, 2, 3, 4, 5, 6, 7, 8, -9}));
  EXPECT_TRUE(parseRecordingCsv("", "empty.csv").empty());
}

TEST(ModelRecordingsTest, CsvErrorsNameFileAndLine) {
  auto message = [](const std::string& text) {
    try {
      parseRecordingCsv(text, "r.csv");
    } catch (const RecordingError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message("0,1,2,3,4,5,6,7,8,9\n0,1,2,3,4,5,6,7,8\n"),
            "r.csv:2: expected ten comma-separated numbers");
  EXPECT_EQ(message("0,1,2,3,4,5,6,7,8,\n"), "r.csv:1: field 10 is not a number");
  EXPECT_EQ(message("0,1,2,3,4,5,6,7,8,9,10\n"), "r.csv:1: expected ten comma-separated numbers");
  EXPECT_EQ(message("0;1;2;3;4;5;6;7;8;9\n"), "r.csv:1: expected ten comma-separated numbers");
  EXPECT_EQ(message("# a\n0,x,2,3,4,5,6,7,8,9\n"), "r.csv:2: field 2 is not a number");
}

TEST(ModelRecordingsTest, FolderGivesGesturesInNameOrder) {
  GestalTest::TempDir dir;
  std::filesystem::path root = dir.path() + "recordings";
  writeFile(root / "WAVE" / "b.csv", "0,1,1,1,0,0,0,0,0,1\n20,2,2,2,0,0,0,0,0,1\n");
  writeFile(root / "WAVE" / "a.json", "[[0.0,3.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,1.0]]");
  writeFile(root / "WAVE" / ".hidden", "not a recording");
  writeFile(root / "CIRCLE" / "one.csv", "5,0,0,1,0,0,0,0,0,1\n");
  writeFile(root / ".git" / "x.csv", "not a recording");
  writeFile(root / "notes.txt", "not a gesture");

  RecordingSet set = readRecordingFolder(root);
  EXPECT_EQ(set.gestures, (std::vector<std::string>{"CIRCLE", "WAVE"}));
  ASSERT_EQ(set.recordings.size(), 3u);
  EXPECT_EQ(set.recordings[0].gesture, 0u);
  EXPECT_EQ(set.recordings[0].sample[0][kPrimaryZ], 1.0f);
  EXPECT_EQ(set.recordings[1].gesture, 1u);
  EXPECT_EQ(set.recordings[1].sample.size(), 1u);
  EXPECT_EQ(set.recordings[1].sample[0][kPrimaryX], 3.0f);
  EXPECT_EQ(set.recordings[2].sample.size(), 2u);
  EXPECT_EQ(set.recordings[2].sample[1][kTime], 20.0f);

  writeFile(root / "WAVE" / "c.json", "[[1,2]]");
  EXPECT_THROW(readRecordingFolder(root), RecordingError);
  EXPECT_THROW(readRecordingFolder(root / "missing"), RecordingError);
}

}  // namespace
