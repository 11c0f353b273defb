#include "gestures/GestalPredefineGestureDB.h"

#include "core/Log.h"
#include "core/NumberText.h"
#include "gestures/PredefinedScoring.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

namespace GestalPrivate {
namespace {

const char* const kSelectWeakClassifiers = "select * from weak_classifier";
const char* const kSelectGestures = "select * from gesture";
const char* const kSelectSamples =
    "select * from samples where weak_classifier_id = ?1 and gesture_id = ?2";

// Low 16 bits of an integral value, as a signed 16-bit number.
int16_t low16(int64_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// A template value: integers keep their low 16 bits, floating-point numbers are truncated toward
// zero first, booleans are 1 and 0; other types fail with the JSON library's exception.
int16_t templateValue(const nlohmann::json& value) {
  if (value.is_number_float()) {
    // The parser refuses numbers that overflow a double, so the value is finite here. fmod of an
    // integral double is exact and brings it within range of int64.
    return low16(static_cast<int64_t>(std::fmod(std::trunc(value.get<double>()), 65536.0)));
  }
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_unsigned()) return low16(static_cast<int64_t>(value.get<uint64_t>()));
  return low16(value.get<int64_t>());
}

// A 32-bit integer parameter; a floating-point value is truncated toward zero and must fit.
int32_t integerParameter(const nlohmann::json& value, const char* key) {
  if (value.is_number_float()) {
    const double number = std::trunc(value.get<double>());
    if (!(number >= std::numeric_limits<int32_t>::min() &&
          number <= std::numeric_limits<int32_t>::max())) {
      throw std::out_of_range(std::string("template parameter ") + key + " out of range");
    }
    return static_cast<int32_t>(number);
  }
  return value.get<int32_t>();
}

GestureTemplate readTemplate(const SqliteStatement& row, int dataColumn, int parametersColumn) {
  GestureTemplate gestureTemplate;
  if (dataColumn >= 0) {
    const nlohmann::json data = nlohmann::json::parse(row.text(dataColumn));
    const std::size_t count = data.size();
    gestureTemplate.data.resize(count);
    for (std::size_t i = 0; i < count; ++i) gestureTemplate.data[i] = templateValue(data[i]);
  }
  if (parametersColumn >= 0) {
    // Not const: a missing member reads as null, so it fails as "not a number".
    nlohmann::json parameters = nlohmann::json::parse(row.text(parametersColumn));
    gestureTemplate.b = parameters["b"].get<float>();
    gestureTemplate.c = integerParameter(parameters["c"], "c");
    gestureTemplate.f = integerParameter(parameters["f"], "f");
    gestureTemplate.u = integerParameter(parameters["u"], "u");
  }
  return gestureTemplate;
}

// A column of a weak_classifier row that cannot be used: the model file is refused.
[[noreturn]] void refuseColumn(const std::string& path, std::size_t row, const char* column,
                               const std::string& text, const char* expected) {
  throw std::runtime_error("model file " + path + " is corrupt: weak_classifier row " +
                           std::to_string(row) + " has " + column + " '" + text + "', not " +
                           expected);
}

}  // namespace

GestalPredefineGestureDB::GestalPredefineGestureDB(const std::string& path) : path_(path) {
  if (!fileIsReadable(path)) throw std::runtime_error("Predefine Gesture DB not found.");
  connection_ = std::make_unique<SqliteConnection>(path);
}

GestalPredefineGestureDB::~GestalPredefineGestureDB() = default;

const AdaboostClassifier& GestalPredefineGestureDB::readWeakClassifiers() {
  if (!classifier_.empty()) return classifier_;

  AdaboostClassifier classifier;
  {
    SqliteStatement select(*connection_, kSelectWeakClassifiers);
    const int id = select.column("id");
    const int alpha = select.column("alpha");
    while (select.step()) {
      WeakClassifier weak;
      // Read with the C locale's rules whatever the host's locale: the text's leading number.
      if (id >= 0) {
        const std::string text = select.text(id);
        const std::optional<int64_t> value = leadingInteger(text);
        if (!value) refuseColumn(path_, classifier.size() + 1, "id", text, "an integer");
        weak.id = static_cast<int32_t>(*value);
      }
      if (alpha >= 0) {
        const std::string text = select.text(alpha);
        const std::optional<float> value = leadingFloat(text);
        if (!value || !std::isfinite(*value)) {
          refuseColumn(path_, classifier.size() + 1, "alpha", text, "a finite number");
        }
        weak.alpha = *value;
      }
      classifier.push_back(std::move(weak));
    }
    if (select.failed()) {
      logFormat(LogLevel::Error, "readWeakClassifiers SQL error: %s", select.error().c_str());
      partial_ = std::move(classifier);
      return partial_;
    }
  }

  const std::vector<PredefinedGesture> gestures = readGestures();
  for (WeakClassifier& weak : classifier) {
    for (const PredefinedGesture& gesture : gestures) {
      // A second gesture of the same name keeps the first record and takes the new templates.
      weak.templates[gesture] = readSamples(weak.id, gesture.id);
    }
  }
  for (WeakClassifier& weak : classifier) {
    for (auto& [gesture, templates] : weak.templates) {
      for (GestureTemplate& gestureTemplate : templates) {
        gestureTemplate.symbols = templateSymbols(gestureTemplate);
      }
    }
  }
  classifier_ = std::move(classifier);
  return classifier_;
}

std::vector<PredefinedGesture> GestalPredefineGestureDB::readGestures() {
  std::vector<PredefinedGesture> gestures;
  SqliteStatement select(*connection_, kSelectGestures);
  const int id = select.column("id");
  const int name = select.column("name");
  while (select.step()) {
    PredefinedGesture gesture;
    if (id >= 0) gesture.id = select.text(id);
    if (name >= 0) gesture.name = select.text(name);
    gestures.push_back(std::move(gesture));
  }
  if (select.failed()) {
    logFormat(LogLevel::Error, "readGestures SQL error: %s", select.error().c_str());
  }
  return gestures;
}

std::vector<GestureTemplate> GestalPredefineGestureDB::readSamples(int32_t weakClassifierId,
                                                                   const std::string& gestureId) {
  std::vector<GestureTemplate> templates;
  SqliteStatement select(*connection_, kSelectSamples);
  select.bind(1, static_cast<int64_t>(weakClassifierId)).bind(2, gestureId);
  const int data = select.column("data");
  const int parameters = select.column("parameters");
  while (select.step()) templates.push_back(readTemplate(select, data, parameters));
  if (select.failed()) {
    logFormat(LogLevel::Error, "readSamples SQL error: %s", select.error().c_str());
  }
  return templates;
}

}  // namespace GestalPrivate
