#include "bridge/HostInput.h"
#include "core/Log.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace GestalBridge {
namespace {

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

constexpr uint64_t kFields = std::tuple_size_v<MotionEntry>;

void appendEntries(MotionSample& sample, const float* data, uint64_t numDataEntry,
                   uint64_t entryLength) {
  const uint64_t copied = std::min(entryLength, kFields);
  sample.reserve(sample.size() + numDataEntry);
  for (uint64_t i = 0; i < numDataEntry; ++i) {
    MotionEntry entry{};
    std::copy_n(data + i * entryLength, copied, entry.begin());
    sample.push_back(entry);
  }
}

}  // namespace

MotionSample recordingFromHost(const float* data, uint64_t numDataEntry, uint64_t entryLength,
                               const char* caller) {
  MotionSample sample;
  if (numDataEntry == 0 || entryLength == 0) return sample;
  if (numDataEntry > std::numeric_limits<uint64_t>::max() / sizeof(float) / entryLength) {
    throw HostInputError("the recording size overflows the address space");
  }
  if (data == nullptr) {
    GestalPrivate::logFormat(GestalPrivate::LogLevel::Error,
                             "gestal: %s: recording data is null for %llu entries; using an empty "
                             "recording",
                             caller, static_cast<unsigned long long>(numDataEntry));
    return sample;
  }
  appendEntries(sample, data, numDataEntry, entryLength);
  return sample;
}

std::vector<MotionSample> recordingsFromHost(const float* data, uint64_t count,
                                             const int32_t* lengths, const int32_t* entryLengths) {
  std::vector<MotionSample> recordings;
  if (count == 0) return recordings;
  if (lengths == nullptr || entryLengths == nullptr) {
    throw HostInputError("recording lengths or entry lengths are null");
  }
  uint64_t position = 0;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t entries = static_cast<uint64_t>(std::max(lengths[i], 0));
    const uint64_t entryLength = static_cast<uint64_t>(std::max(entryLengths[i], 0));
    MotionSample sample;
    if (entries != 0 && entryLength != 0) {
      if (data == nullptr) throw HostInputError("recording data is null");
      appendEntries(sample, data + position, entries, entryLength);
      position += entries * entryLength;
    }
    recordings.push_back(std::move(sample));
  }
  return recordings;
}

std::vector<std::string> namesFromHost(const char* names, uint64_t count, const int32_t* lengths) {
  std::vector<std::string> result;
  if (count == 0) return result;
  if (lengths == nullptr) throw HostInputError("target name lengths are null");
  uint64_t start = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (lengths[i] < 0) throw HostInputError("a target name length is negative");
    const uint64_t length = static_cast<uint64_t>(lengths[i]);
    if (length != 0 && names == nullptr) throw HostInputError("target names are null");
    result.emplace_back(length != 0 ? names + start : "", length);
    start += length;
  }
  return result;
}

std::string textFromHost(const char* bytes, uint64_t length, const char* what) {
  if (length == 0) return std::string();
  if (bytes == nullptr) throw HostInputError(std::string(what) + " is null");
  return std::string(bytes, length);
}

}  // namespace GestalBridge
