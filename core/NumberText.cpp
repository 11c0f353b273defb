#include "core/NumberText.h"

#include <charconv>
#include <cmath>

namespace GestalPrivate {
namespace {

// The text after leading white space and a sign; `negative` tells which sign.
std::string_view unsignedPart(std::string_view text, bool& negative) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  text.remove_prefix(start == std::string_view::npos ? text.size() : start);
  negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return text;
}

bool startsWithDigit(std::string_view text) {
  return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "0x" followed by hexadecimal digits, with or without a point among them.
bool isHexNumber(std::string_view text) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
  return isHexDigit(text[2]) || (text[2] == '.' && text.size() > 3 && isHexDigit(text[3]));
}

}  // namespace

std::optional<int64_t> leadingInteger(std::string_view text) {
  std::size_t length = 0;
  return leadingInteger(text, length);
}

std::optional<int64_t> leadingInteger(std::string_view text, std::size_t& length) {
  bool negative = false;
  const std::string_view number = unsignedPart(text, negative);
  // from_chars would take a second sign; strtol does not.
  if (!startsWithDigit(number)) return std::nullopt;
  uint64_t magnitude = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude);
  if (result.ec != std::errc()) return std::nullopt;
  length = static_cast<std::size_t>(result.ptr - text.data());
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  if (negative) {
    if (magnitude > kLimit) return std::nullopt;
    return static_cast<int64_t>(~magnitude + 1);
  }
  if (magnitude >= kLimit) return std::nullopt;
  return static_cast<int64_t>(magnitude);
}

std::optional<float> leadingFloat(std::string_view text) {
  bool negative = false;
  text = unsignedPart(text, negative);
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  float value = 0.0f;
  std::from_chars_result result;
  // "0x" followed by anything else reads as the 0 alone.
  if (isHexNumber(text)) {
    result = std::from_chars(first + 2, last, value, std::chars_format::hex);
  } else {
    result = std::from_chars(first, last, value);
  }
  if (result.ec != std::errc()) return std::nullopt;
  if (std::fpclassify(value) == FP_SUBNORMAL) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace GestalPrivate
