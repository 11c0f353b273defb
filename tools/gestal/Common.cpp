#include "tools/gestal/Common.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "core/Log.h"
#include "tools/model/RecordingSet.h"

namespace GestalTool {

using GestalPrivate::kTime;

MotionSample readRecording(const std::filesystem::path& path) {
  try {
    return GestalPrivate::readRecordingFile(path);
  } catch (const GestalPrivate::RecordingError& error) {
    throw ToolError(error.what());
  }
}

void writeTextFile(const std::filesystem::path& path, std::string_view text) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw ToolError(path.string() + ": cannot be written");
}

void writeRecording(const std::filesystem::path& path, const MotionSample& sample) {
  std::string text = "# time_ms,primary x,y,z,secondary x,y,z,direction x,y,z\n";
  for (const GestalPrivate::MotionEntry& entry : sample) {
    for (std::size_t field = 0; field < entry.size(); ++field) {
      if (field > 0) text += ',';
      text += shortest(entry[field]);
    }
    text += '\n';
  }
  writeTextFile(path, text);
}

std::string fixed(double value, int decimals) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string shortest(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

double durationSeconds(const MotionSample& sample) {
  if (sample.size() < 2) return 0.0;
  return (static_cast<double>(sample.back()[kTime]) - sample.front()[kTime]) / 1000.0;
}

namespace {

void errorsOnly(int32_t level, const char* text, void*) {
  if (level == static_cast<int32_t>(GestalPrivate::LogLevel::Error)) {
    std::fprintf(stderr, "%s\n", text);
  }
}

}  // namespace

void routeLibraryLines(bool trace) {
  GestalPrivate::setLogHandler(trace ? nullptr : errorsOnly, nullptr);
}

Progress::Progress(std::string task, std::size_t total)
    : task_(std::move(task)),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

void Progress::advance(std::size_t steps) {
  done_ += steps;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastShown_ < std::chrono::seconds(1)) return;
  lastShown_ = now;
  shown_ = true;
  std::fprintf(stderr, "gestal: %s: %zu of %zu (%s s)\n", task_.c_str(), done_, total_,
               fixed(std::chrono::duration<double>(now - start_).count(), 0).c_str());
}

Progress::~Progress() {
  if (shown_) {
    const auto now = std::chrono::steady_clock::now();
    std::fprintf(stderr, "gestal: %s: done in %s s\n", task_.c_str(),
                 fixed(std::chrono::duration<double>(now - start_).count(), 1).c_str());
  }
}

}  // namespace GestalTool
