#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/MotionSample.h"

namespace GestalPrivate {

// The stored text form of a recording: a compact JSON array with one array of ten numbers per
// entry, each float widened to double and printed with 15 significant digits ("0.100000001490116",
// "1.0", "-0.0", "1.00000002004088e+20"), non-finite values as null, no whitespace.
std::string writeSampleText(const MotionSample& sample);

// Raised by readSampleText for a text that is not an array of arrays of ten numbers.
class SampleTextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a null value in the text (a non-finite float when it was written) decodes to.
enum class NullValues {
  Reject,  // throw SampleTextError
  AsNaN,   // read back as NaN, so that a stored recording is used as it was recorded
};

// Decodes the stored text form. Every entry must be an array of exactly ten values: numbers
// (integer or floating form, converted to float) or, as `nulls` says, null; anything else throws
// SampleTextError.
MotionSample readSampleText(std::string_view text, NullValues nulls);

// The same check of the text, converting only what preparing a recording reads (the time and the
// primary vector of each entry); the other values may read as 0.
MotionSample readSampleMotion(std::string_view text, NullValues nulls);

}  // namespace GestalPrivate
