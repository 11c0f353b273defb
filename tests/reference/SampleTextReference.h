#pragma once

#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/SampleText.h"

namespace GestalReference {

using GestalPrivate::MotionSample;
using GestalPrivate::NullValues;
using GestalPrivate::SampleTextError;

// The stored text decoded from the events of the JSON library's parser, whose numbers go through
// strtod to double and then to float: the plain decoder that the fast one must equal, refusal
// messages included. It takes the outer array, one array per entry, exactly ten numbers in each.
class SampleReader : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit SampleReader(NullValues nulls) : nulls_(nulls) {}

  bool null() override {
    if (nulls_ == NullValues::Reject) return fail("a value is null");
    return number(std::numeric_limits<float>::quiet_NaN());
  }
  bool boolean(bool) override { return fail("a value is a boolean"); }
  bool number_integer(number_integer_t value) override { return number(static_cast<float>(value)); }
  bool number_unsigned(number_unsigned_t value) override {
    return number(static_cast<float>(value));
  }
  bool number_float(number_float_t value, const string_t&) override {
    return number(static_cast<float>(value));
  }
  bool string(string_t&) override { return fail("a value is a string"); }
  bool binary(binary_t&) override { return fail("a value is binary"); }
  bool start_object(std::size_t) override { return fail("an object where an array belongs"); }
  bool key(string_t&) override { return fail("an object where an array belongs"); }
  bool end_object() override { return fail("an object where an array belongs"); }

  bool start_array(std::size_t) override {
    if (depth == 0) {
      depth = 1;
      return true;
    }
    if (depth == 2) return fail("an entry holds an array");
    depth = 2;
    sample.emplace_back();
    fields = 0;
    return true;
  }

  bool end_array() override {
    if (depth == 2 && fields != 10) return fail("an entry does not hold exactly ten values");
    --depth;
    return true;
  }

  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    return fail("not valid JSON at byte " + std::to_string(position));
  }

  MotionSample sample;
  std::string error;

 private:
  bool number(float value) {
    if (depth == 0) return fail("the text is not an array");
    if (depth == 1) return fail("an entry is not an array");
    if (fields == 10) return fail("an entry holds more than ten values");
    sample.back()[fields++] = value;
    return true;
  }

  bool fail(std::string message) {
    if (error.empty()) error = std::move(message);
    return false;
  }

  NullValues nulls_;
  int depth = 0;
  std::size_t fields = 0;
};

inline MotionSample readSampleText(std::string_view text, NullValues nulls) {
  SampleReader reader(nulls);
  const bool parsed = nlohmann::json::sax_parse(text.begin(), text.end(), &reader);
  if (!parsed || !reader.error.empty()) {
    throw SampleTextError("stored recording is malformed: " +
                          (reader.error.empty() ? std::string("not valid JSON") : reader.error));
  }
  return std::move(reader.sample);
}

// The stored text as the C library prints it: each value widened to double with "%.15g" (the
// tests run in the C locale), ".0" after a number that would read as an integer, a non-finite
// value as null. The plain writer that the fast one must equal.
inline std::string writeSampleText(const MotionSample& sample) {
  std::string text = "[";
  for (std::size_t i = 0; i < sample.size(); ++i) {
    text += i > 0 ? ",[" : "[";
    for (std::size_t k = 0; k < sample[i].size(); ++k) {
      if (k > 0) text += ',';
      const float value = sample[i][k];
      if (!std::isfinite(value)) {
        text += "null";
        continue;
      }
      char number[40];
      std::snprintf(number, sizeof number, "%.15g", static_cast<double>(value));
      text += number;
      if (std::string_view(number).find_first_of(".e") == std::string_view::npos) text += ".0";
    }
    text += ']';
  }
  return text + "]";
}

}  // namespace GestalReference
