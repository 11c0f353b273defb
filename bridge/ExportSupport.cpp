#include "bridge/ExportSupport.h"

#include <string>
#include <string_view>

#include "core/Log.h"

namespace GestalBridge {

void reportFailure(const char* exportName, const char* what) noexcept {
  std::string_view text = what != nullptr ? what : "unknown failure";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  try {
    std::string line = std::string("gestal: ") + exportName + " failed: ";
    for (char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    GestalPrivate::logLine(GestalPrivate::LogLevel::Error, line);
  } catch (...) {
    GestalPrivate::logFormat(GestalPrivate::LogLevel::Error, "gestal: %s failed", exportName);
  }
}

}  // namespace GestalBridge
