#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/MotionSample.h"

// What every subcommand of the gestal command shares: recording files, number text, the
// library's lines, progress.
namespace GestalTool {

using GestalPrivate::MotionSample;

// A failure the command reports on one stderr line and exits with status 1; the message names
// the file or path concerned.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A recording file: CSV with ten numbers per reading, or the library's stored text form (.json).
MotionSample readRecording(const std::filesystem::path& path);

// Writes a recording as CSV (shortest text that reads back to the same floats), creating the
// folder it goes in.
void writeRecording(const std::filesystem::path& path, const MotionSample& sample);
void writeTextFile(const std::filesystem::path& path, std::string_view text);

// `value` with `decimals` digits after the point, the same in every locale.
std::string fixed(double value, int decimals);
// The shortest text that reads back to the same float.
std::string shortest(float value);

// Seconds from the first to the last reading; 0 with fewer than two.
double durationSeconds(const MotionSample& sample);

// The library writes trace lines for every call; the tools show only its errors unless `trace`.
void routeLibraryLines(bool trace);

// Reports how far a long run has got on stderr, at most once a second and only once it has run
// for a second.
class Progress {
 public:
  Progress(std::string task, std::size_t total);
  void advance(std::size_t steps = 1);
  // Adds steps to the total, for runs whose size is known one stage at a time.
  void expect(std::size_t steps) { total_ += steps; }
  ~Progress();

 private:
  std::string task_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace GestalTool
