#include "core/SampleText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace GestalPrivate {

namespace {

// One value as "%.15g" prints its widening to double in the C locale, with ".0" added to a text
// that would otherwise read as an integer.
void appendNumber(std::string& text, float value) {
  if (!std::isfinite(value)) {
    text += "null";
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                    std::chars_format::general, 15);
  const std::string_view digits(buffer, static_cast<size_t>(result.ptr - buffer));
  text += digits;
  if (digits.find_first_of(".e") == std::string_view::npos) text += ".0";
}

// Builds the sample straight from the parser's events: the outer array, one array per entry,
// exactly ten numbers in each, nothing else.
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

}  // namespace

std::string writeSampleText(const MotionSample& sample) {
  std::string text;
  // Ten numbers of at most 24 characters and their separators per entry.
  text.reserve(2 + sample.size() * 250);
  text += '[';
  for (std::size_t i = 0; i < sample.size(); ++i) {
    if (i > 0) text += ',';
    text += '[';
    for (std::size_t k = 0; k < sample[i].size(); ++k) {
      if (k > 0) text += ',';
      appendNumber(text, sample[i][k]);
    }
    text += ']';
  }
  text += ']';
  return text;
}

MotionSample readSampleText(std::string_view text, NullValues nulls) {
  SampleReader reader(nulls);
  const bool parsed = nlohmann::json::sax_parse(text.begin(), text.end(), &reader);
  if (!parsed || !reader.error.empty()) {
    throw SampleTextError("stored recording is malformed: " +
                          (reader.error.empty() ? std::string("not valid JSON") : reader.error));
  }
  return std::move(reader.sample);
}

}  // namespace GestalPrivate
