#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "support/TempDir.h"
#include "tools/model/RecordingSet.h"

namespace {

using namespace GestalPrivate;

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// What cannot be read is named by the gestal command's tests, which read through the same code.
TEST(ModelRecordingsTest, CsvReadsTenNumbersPerLineSkippingCommentsAndBlankLines) {
  MotionSample sample = parseRecordingCsv(
      "# time, primary, secondary, direction\n"
      "0,1.5,-2,0.25,0,0,0,0,0,1\r\n"
      "\n"
      "  11.5 , 1e-3,2,3,4,5,6,7,8,-9\n",
      "r.csv");
  EXPECT_EQ(sample, (MotionSample{{0, 1.5f, -2, 0.25f, 0, 0, 0, 0, 0, 1},
                                  {11.5f, 1e-3f, 2, 3, 4, 5, 6, 7, 8, -9}}));
}

TEST(ModelRecordingsTest, FolderGivesGesturesInNameOrder) {
  GestalTest::TempDir dir;
  std::filesystem::path root = dir.path() + "recordings";
  writeFile(root / "WAVE" / "b.csv", "0,1,1,1,0,0,0,0,0,1\n20,2,2,2,0,0,0,0,0,1\n");
  writeFile(root / "WAVE" / "a.json", "[[0.0,3.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,1.0]]");
  writeFile(root / "WAVE" / ".hidden", "not a recording");
  writeFile(root / "CIRCLE" / "one.csv", "5,0,0,1,0,0,0,0,0,1\n");
  writeFile(root / "notes.txt", "not a gesture");

  RecordingSet set = readRecordingFolder(root);
  EXPECT_EQ(set.gestures, (std::vector<std::string>{"CIRCLE", "WAVE"}));
  std::vector<std::pair<std::size_t, MotionSample>> read;
  for (const Recording& r : set.recordings) read.emplace_back(r.gesture, r.sample);
  EXPECT_EQ(read, (std::vector<std::pair<std::size_t, MotionSample>>{
                      {0, {{5, 0, 0, 1, 0, 0, 0, 0, 0, 1}}},
                      {1, {{0, 3, 0, 0, 0, 0, 0, 0, 0, 1}}},
                      {1, {{0, 1, 1, 1, 0, 0, 0, 0, 0, 1}, {20, 2, 2, 2, 0, 0, 0, 0, 0, 1}}}}));
}

}  // namespace
