#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace GestalPrivate {

// One controller reading: ten 32-bit floats in a fixed order.
using MotionEntry = std::array<float, 10>;

// Field positions within a MotionEntry.
inline constexpr std::size_t kTime = 0;      // milliseconds since the recording started
inline constexpr std::size_t kPrimaryX = 1;  // primary motion vector, matched by every comparison
inline constexpr std::size_t kPrimaryY = 2;
inline constexpr std::size_t kPrimaryZ = 3;
inline constexpr std::size_t kSecondaryX = 4;  // secondary motion vector, carried along only
inline constexpr std::size_t kSecondaryY = 5;
inline constexpr std::size_t kSecondaryZ = 6;
inline constexpr std::size_t kDirectionX = 7;  // pointing direction, read by the posture check
inline constexpr std::size_t kDirectionY = 8;
inline constexpr std::size_t kDirectionZ = 9;

// One performance of a signature or gesture, readings in recording order.
using MotionSample = std::vector<MotionEntry>;

}  // namespace GestalPrivate
