// The conversion of host arrays into recordings, with sizes within what the arrays hold: every
// entry holds the host's floats, zero beyond the entry length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "bridge/HostInput.h"

namespace {

using GestalPrivate::MotionSample;

void check(bool condition) {
  if (!condition) std::abort();
}

// Entry i of `sample` holds floats i * entryLength onward of `floats`, zero past the entry length.
void checkRecording(const MotionSample& sample, const float* floats, uint64_t entries,
                    uint64_t entryLength) {
  check(sample.size() == (entryLength == 0 ? 0 : entries));
  for (uint64_t i = 0; i < sample.size(); ++i) {
    for (uint64_t k = 0; k < 10; ++k) {
      const float expected = k < entryLength ? floats[i * entryLength + k] : 0.0f;
      check(std::memcmp(&sample[i][k], &expected, sizeof expected) == 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  GestalFuzz::Reader in{bytes, size};
  const uint32_t mode = in.take(1);
  const uint64_t entryLength = in.take(1) % 24;
  std::vector<float> floats(in.size / sizeof(float));
  if (!floats.empty()) std::memcpy(floats.data(), in.data, floats.size() * sizeof(float));
  try {
    if (mode % 3 == 0) {
      const uint64_t entries = entryLength == 0 ? floats.size() : floats.size() / entryLength;
      const float* data = mode & 8 ? nullptr : floats.data();
      const MotionSample sample =
          GestalBridge::recordingFromHost(data, entries, entryLength, "fuzz");
      if (data != nullptr) checkRecording(sample, data, entries, entryLength);
    } else if (mode % 3 == 1) {
      // Recordings of lengths and entry lengths drawn from the floats' own bytes, within the array.
      std::vector<int32_t> lengths;
      std::vector<int32_t> entryLengths;
      uint64_t used = 0;
      for (size_t i = 0; i + 1 < floats.size() && lengths.size() < 8; i += 2) {
        int32_t length = 0;
        int32_t width = 0;
        std::memcpy(&length, &floats[i], sizeof length);
        std::memcpy(&width, &floats[i + 1], sizeof width);
        length %= 8;
        width %= 14;
        const uint64_t need = static_cast<uint64_t>(std::max(length, 0)) * std::max(width, 0);
        if (used + need > floats.size()) break;
        used += need;
        lengths.push_back(length);
        entryLengths.push_back(width);
      }
      const auto recordings = GestalBridge::recordingsFromHost(floats.data(), lengths.size(),
                                                               lengths.data(), entryLengths.data());
      check(recordings.size() == lengths.size());
      uint64_t position = 0;
      for (size_t r = 0; r < recordings.size(); ++r) {
        const uint64_t entries = static_cast<uint64_t>(std::max(lengths[r], 0));
        const uint64_t width = static_cast<uint64_t>(std::max(entryLengths[r], 0));
        checkRecording(recordings[r], floats.data() + position, width == 0 ? 0 : entries, width);
        if (width != 0) position += entries * width;
      }
    } else {
      const std::string names(reinterpret_cast<const char*>(in.data), in.size);
      std::vector<int32_t> lengths;
      for (size_t start = 0, i = 0; i < names.size() && lengths.size() < 16; ++i) {
        lengths.push_back(static_cast<int32_t>(static_cast<uint8_t>(names[i]) % 5));
        if ((start += lengths.back()) > names.size()) lengths.back() = -1;
        if (lengths.back() < 0) break;
      }
      const auto cut = GestalBridge::namesFromHost(names.data(), lengths.size(), lengths.data());
      size_t start = 0;
      for (size_t i = 0; i < cut.size(); ++i) {
        check(cut[i] == names.substr(start, static_cast<size_t>(lengths[i])));
        start += static_cast<size_t>(lengths[i]);
      }
    }
  } catch (const GestalBridge::HostInputError&) {
  }
  return 0;
}
