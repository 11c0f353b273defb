#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/MotionSample.h"

namespace GestalBridge {

// Host arguments that cannot be read (a null array with a non-zero count, a negative length).
// The export reports it on stderr and returns its neutral result.
class HostInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One recording from a host array of `numDataEntry` entries of `entryLength` floats each: fields
// beyond `entryLength` are 0, floats beyond the tenth of an entry are stepped over. A null `data`
// with a non-zero size gives an empty recording and a line on stderr naming `caller`.
GestalPrivate::MotionSample recordingFromHost(const float* data, uint64_t numDataEntry,
                                              uint64_t entryLength, const char* caller);

// The `count` recordings of SetCustomGesture, one after another in `data`: recording i holds
// lengths[i] entries of entryLengths[i] floats. Negative lengths count as 0. Throws
// HostInputError for null arrays that would be read.
std::vector<GestalPrivate::MotionSample> recordingsFromHost(const float* data, uint64_t count,
                                                            const int32_t* lengths,
                                                            const int32_t* entryLengths);

// Cuts `count` names lying one after another at `names`, name i being lengths[i] bytes long.
// Throws HostInputError for null arrays that would be read or a negative length.
std::vector<std::string> namesFromHost(const char* names, uint64_t count, const int32_t* lengths);

// Text from a byte pointer and count; null with a non-zero count throws HostInputError.
std::string textFromHost(const char* bytes, uint64_t length, const char* what);

}  // namespace GestalBridge
