#pragma once

#include <cstdint>
#include <string_view>

namespace GestalPrivate {

// Every line the library writes, trace and diagnostics alike, goes through here. By default trace
// and informational lines go to stdout and errors to stderr, each followed by a line break and a
// flush; a host may install a handler that receives each line instead.
enum class LogLevel : int32_t { Trace = 0, Info = 1, Error = 2 };

// `text` is one line without its line break, zero-terminated, valid only during the call.
using LogHandler = void (*)(int32_t level, const char* text, void* userData);

// Installs `handler` (null restores the standard streams).
void setLogHandler(LogHandler handler, void* userData) noexcept;

// Writes one line; `line` carries no line break of its own. Never throws.
void logLine(LogLevel level, std::string_view line) noexcept;

// Formats one line printf-style (the C locale's rules for the conversions the library uses) and
// writes it. Never throws.
void logFormat(LogLevel level, const char* format, ...) noexcept
    __attribute__((format(printf, 2, 3)));

}  // namespace GestalPrivate
