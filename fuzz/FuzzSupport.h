#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "core/MotionSample.h"

namespace GestalFuzz {

// Bytes taken from the front of a fuzz input, zero once it is used up.
struct Reader {
  const uint8_t* data;
  size_t size;

  uint32_t take(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes && size > 0; ++i, ++data, --size) value = value << 8 | *data;
    return value;
  }

  // A short recording: readings 20 ms apart whose primary and direction vectors come from the
  // input, in steps of 0.25 between -16 and 16 (so they cross every symbol threshold), now and
  // then not finite.
  std::vector<float> recording() {
    const uint32_t entries = take(1) % 48;
    std::vector<float> floats;
    for (uint32_t i = 0; i < entries; ++i) {
      floats.push_back(20.0f * static_cast<float>(i));
      for (int k = 1; k < 10; ++k) {
        const uint32_t byte = take(1);
        floats.push_back(byte == 255 ? std::numeric_limits<float>::quiet_NaN()
                                     : (static_cast<float>(byte) - 64.0f) / 4.0f);
      }
    }
    return floats;
  }
};

// A directory of its own for this process, on a memory file system where there is one, so that
// the databases' syncs cost nothing; removed with everything in it when the process ends normally.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name) {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    path_ = base / ("gestal-fuzz-" + name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The path, ending with '/'.
  std::string path() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

}  // namespace GestalFuzz
