#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Kernels.h"

namespace GestalPrivate {

// A gesture of a predefined model, and the result of predefined recognition.
struct PredefinedGesture {
  std::string id;    // key of the gesture's rows in the model's samples table
  std::string name;  // "HEART", "C", "DOWN" in the default model
  float score = 0.0f;
  float confidence = 0.0f;

  // Records are ordered by name alone, byte-wise.
  bool operator<(const PredefinedGesture& other) const { return name < other.name; }
};

// One reference template: a prepared sequence with its matching parameters.
struct GestureTemplate {
  std::vector<int16_t> data;  // four values per entry: time, x, y, z (times 100)
  int32_t f = 0;              // symbol threshold T of gestureSimilarity
  int32_t c = 0;              // minimum run length R1
  int32_t u = 0;              // run thinning step R2
  float b = 0.0f;             // raw similarity that counts as a response of exactly 1
  // The symbols of `data` under f, c and u, made once when a model file is read; a template
  // without them is symbolised at every comparison.
  std::optional<Symbols> symbols;
};

// One weak classifier of the boosted model.
struct WeakClassifier {
  int32_t id = -1;
  std::map<PredefinedGesture, std::vector<GestureTemplate>> templates;
  float alpha = 0.0f;
};

using AdaboostClassifier = std::vector<WeakClassifier>;

}  // namespace GestalPrivate
