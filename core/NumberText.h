#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace GestalPrivate {

// Numbers at the start of a text, read as the C library's conversions read them in the C locale,
// whatever locale the host has installed: leading white space, an optional sign, the longest
// number that follows; the rest of the text is ignored. Empty when no number starts the text or
// it is out of range.

// Decimal digits, as strtol in base 10, within 64 bits.
std::optional<int64_t> leadingInteger(std::string_view text);
// The same, also telling how many bytes the white space, sign and digits took.
std::optional<int64_t> leadingInteger(std::string_view text, std::size_t& length);

// Decimal or hexadecimal ("0x") floating point, "inf" or "nan", as strtof. A value too large for
// a float, or too small for a normal one (where strtof reports a range error), gives empty.
std::optional<float> leadingFloat(std::string_view text);

}  // namespace GestalPrivate
