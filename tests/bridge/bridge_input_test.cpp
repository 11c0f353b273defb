#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

#include "bridge/HostInput.h"
#include "support/CaptureOutput.h"

namespace {

using namespace GestalBridge;
using namespace GestalPrivate;

std::vector<float> counting(std::size_t n) {
  std::vector<float> values(n);
  std::iota(values.begin(), values.end(), 0.0f);
  return values;
}

TEST(HostRecording, EntriesAreReadRowByRowZeroFilledOrSteppingOverTheRestOrNone) {
  const std::vector<float> data = counting(24);
  for (const auto& [entryLength, second] :
       {std::pair{uint64_t{10}, MotionEntry{10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
        std::pair{uint64_t{3}, MotionEntry{3, 4, 5, 0, 0, 0, 0, 0, 0, 0}},
        std::pair{uint64_t{12}, MotionEntry{12, 13, 14, 15, 16, 17, 18, 19, 20, 21}}}) {
    auto sample = GestalBridge::recordingFromHost(data.data(), 2, entryLength, "test");
    ASSERT_EQ(sample.size(), 2u);
    EXPECT_EQ(sample[1], second) << entryLength;
  }
  // No entries, empty entries, a size beyond memory, null data.
  EXPECT_TRUE(GestalBridge::recordingFromHost(data.data(), 0, 10, "test").empty());
  EXPECT_TRUE(GestalBridge::recordingFromHost(data.data(), 5, 0, "test").empty());
  EXPECT_THROW(GestalBridge::recordingFromHost(data.data(), 2, uint64_t{1} << 62, "test"),
               HostInputError);
  GestalTest::CaptureOutput err(2);
  EXPECT_TRUE(GestalBridge::recordingFromHost(nullptr, 5, 10, "AddSignature").empty());
  EXPECT_EQ(err.take(),
            "gestal: AddSignature: recording data is null for 5 entries; using an empty "
            "recording\n");
}

TEST(HostRecording, ConcatenatedRecordingsShareOnePositionCounter) {
  const std::vector<float> data = counting(60);
  const int32_t lengths[] = {2, 3};
  const int32_t entryLengths[] = {10, 10};
  auto recordings = GestalBridge::recordingsFromHost(data.data(), 2, lengths, entryLengths);
  EXPECT_EQ(recordings, (std::vector<MotionSample>{{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                                                    {10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
                                                   {{20, 21, 22, 23, 24, 25, 26, 27, 28, 29},
                                                    {30, 31, 32, 33, 34, 35, 36, 37, 38, 39},
                                                    {40, 41, 42, 43, 44, 45, 46, 47, 48, 49}}}));

  const int32_t mixedLengths[] = {1, -4, 2};
  const int32_t mixedEntryLengths[] = {5, 10, 10};
  auto mixed = GestalBridge::recordingsFromHost(data.data(), 3, mixedLengths, mixedEntryLengths);
  EXPECT_EQ(mixed, (std::vector<MotionSample>{{{0, 1, 2, 3, 4, 0, 0, 0, 0, 0}},
                                              {},
                                              {{5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
                                               {15, 16, 17, 18, 19, 20, 21, 22, 23, 24}}}));

  EXPECT_THROW(GestalBridge::recordingsFromHost(data.data(), 1, nullptr, entryLengths),
               HostInputError);
  EXPECT_THROW(GestalBridge::recordingsFromHost(nullptr, 2, lengths, entryLengths), HostInputError);
}

TEST(HostNames, CutsConcatenatedNamesInOrder) {
  const int32_t lengths[] = {3, 0, 4};
  EXPECT_EQ(GestalBridge::namesFromHost("abcwxyz", 3, lengths),
            (std::vector<std::string>{"abc", "", "wxyz"}));
  const int32_t negative[] = {-1};
  EXPECT_THROW(GestalBridge::namesFromHost("abc", 1, negative), HostInputError);
  EXPECT_THROW(GestalBridge::namesFromHost("abc", 1, nullptr), HostInputError);
  EXPECT_TRUE(GestalBridge::namesFromHost(nullptr, 0, nullptr).empty());
}

}  // namespace
