#include "core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace GestalPrivate {
namespace {

struct Sink {
  LogHandler handler = nullptr;
  void* userData = nullptr;
};

Sink& sink() {
  static Sink current;
  return current;
}

// Lines up to this length are passed on from the stack, without allocating.
constexpr std::size_t kShortLine = 1024;

}  // namespace

void setLogHandler(LogHandler handler, void* userData) noexcept {
  sink() = Sink{handler, userData};
}

void logLine(LogLevel level, std::string_view line) noexcept {
  const Sink current = sink();
  if (current.handler == nullptr) {
    std::FILE* stream = level == LogLevel::Error ? stderr : stdout;
    // Standard output goes first, so that a terminal shows both streams in call order.
    if (stream != stdout) std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    return;
  }
  char buffer[kShortLine];
  if (line.size() < sizeof buffer) {
    line.copy(buffer, line.size());
    buffer[line.size()] = '\0';
    current.handler(static_cast<int32_t>(level), buffer, current.userData);
    return;
  }
  try {
    const std::string copy(line);
    current.handler(static_cast<int32_t>(level), copy.c_str(), current.userData);
  } catch (...) {
    line.copy(buffer, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    current.handler(static_cast<int32_t>(level), buffer, current.userData);
  }
}

void logFormat(LogLevel level, const char* format, ...) noexcept {
  char buffer[kShortLine];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof buffer) {
    va_end(again);
    logLine(level, std::string_view(buffer, static_cast<std::size_t>(length)));
    return;
  }
  try {
    std::string line(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(line.data(), line.size(), format, again);
    line.pop_back();
    logLine(level, line);
  } catch (...) {
    logLine(level, std::string_view(buffer, sizeof buffer - 1));
  }
  va_end(again);
}

}  // namespace GestalPrivate
