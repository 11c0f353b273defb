#pragma once

#include <string>

namespace GestalTest {

// Captures what the process writes to a standard stream (1 or 2) at the file-descriptor level,
// C stdio and C++ iostreams alike, from construction until take().
class CaptureOutput {
 public:
  explicit CaptureOutput(int fd = 1);
  ~CaptureOutput();
  CaptureOutput(const CaptureOutput&) = delete;
  CaptureOutput& operator=(const CaptureOutput&) = delete;

  // Flushes the streams, restores the descriptor and returns everything written meanwhile.
  std::string take();

 private:
  int fd_;
  int saved_ = -1;
  int file_ = -1;
  std::string text_;
  bool taken_ = false;
};

}  // namespace GestalTest
