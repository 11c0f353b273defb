#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "core/Kernels.h"
#include "gestures/PredefinedGesture.h"
#include "gestures/PredefinedScoring.h"
#include "tools/model/Evaluation.h"
#include "tools/model/RecordingSet.h"
#include "tools/model/SplitMix.h"

namespace GestalPrivate {

// The symbolisation of a template: threshold f (sensor units x 100), minimum run c, thinning u.
struct SymbolParameters {
  int32_t f = 0;
  int32_t c = 0;
  int32_t u = 0;
};

inline std::vector<SymbolParameters> defaultParameterGrid() {
  std::vector<SymbolParameters> grid;
  for (int32_t f : {100, 200, 300, 450, 600}) {
    for (int32_t c : {1, 2, 4, 6}) {
      for (int32_t u : {1, 2, 4, 6}) grid.push_back({f, c, u});
    }
  }
  return grid;
}

struct TrainerOptions {
  std::size_t rounds = 30;
  // Training recordings of each gesture that are tried as templates.
  std::size_t candidatesPerGesture = 40;
  std::vector<SymbolParameters> grid = defaultParameterGrid();
  // Decision points b tried for a template: bStep, 2 bStep, ... up to 1 - bStep.
  float bStep = 0.02f;
  // Factor on each round's optimal weight; below 1 it trades training speed for generalisation.
  double shrinkage = 1.0;
  uint64_t seed = 1;
  std::ostream* progress = nullptr;
};

// Boosting of template-matching weak classifiers under the library's scoring.
//
// The library scores gesture g as S_g = sum over weak classifiers of alpha * (best response of
// g's templates), a real number in [0, 2] per weak classifier, and names the highest S_g. The
// trainer therefore boosts the margins S_y - S_g of every training recording (true gesture y)
// against every other gesture g, minimising the multi-class exponential loss
// sum_i sum_{g != y_i} exp(S_g - S_y) (the pseudo-loss of multi-class AdaBoost, with
// confidence-rated weak responses). Each round adds one weak classifier holding one template per
// gesture: for each gesture the candidate recording, symbol parameters and decision point b whose
// responses correlate best with the loss gradient, then the weight alpha that minimises the loss
// by line search. Responses used for the scores are computed with the library's own scoring, so
// the training scores are exactly what the library will compute from the model file.
class ModelTrainer {
 public:
  ModelTrainer(const RecordingSet& set, TrainerOptions options)
      : set_(set), options_(std::move(options)), gestureCount_(set.gestures.size()) {}

  AdaboostClassifier train() {
    prepare();
    AdaboostClassifier classifier;
    scores_.assign(set_.recordings.size() * gestureCount_, 0.0f);
    for (std::size_t round = 0; round < options_.rounds; ++round) {
      WeakClassifier weak = chooseTemplates(static_cast<int32_t>(round + 1));
      std::vector<float> responses = exactResponses(weak);
      double alpha = lineSearch(responses);
      if (!(alpha > 0.0)) {
        say("round " + std::to_string(round + 1) + ": no further improvement, stopping");
        break;
      }
      weak.alpha = static_cast<float>(alpha * options_.shrinkage);
      for (std::size_t k = 0; k < scores_.size(); ++k) scores_[k] += weak.alpha * responses[k];
      classifier.push_back(std::move(weak));
      report(round + 1, classifier.back());
    }
    return classifier;
  }

  // The gesture's record as the model file stores it: id = its rank in name order, from 1.
  PredefinedGesture gestureRecord(std::size_t g) const {
    PredefinedGesture record;
    record.id = std::to_string(g + 1);
    record.name = set_.gestures[g];
    return record;
  }

  // Share of training recordings whose highest score is their own gesture, from the scores
  // accumulated so far.
  double trainingAccuracy() const {
    std::size_t correct = 0;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      if (bestScoreIndex(&scores_[i * gestureCount_], gestureCount_) ==
          set_.recordings[i].gesture) {
        ++correct;
      }
    }
    return inputs_.empty() ? 0.0 : static_cast<double>(correct) / inputs_.size();
  }

 private:
  // One candidate template under one parameter set, with its raw similarity to every recording
  // and the recordings ordered by that similarity.
  struct Column {
    std::size_t parameters;
    std::size_t gesture;
    std::size_t recording;
    std::vector<float> similarity;
    std::vector<uint32_t> order;
  };

  struct Choice {
    double objective = std::numeric_limits<double>::infinity();
    const Column* column = nullptr;
    float b = 0.0f;
  };

  void say(const std::string& line) const {
    if (options_.progress != nullptr) *options_.progress << line << std::endl;
  }

  void prepare() {
    GestalCore core;
    std::size_t n = set_.recordings.size();
    inputs_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      inputs_[i] = core.prepareSequence(set_.recordings[i].sample, false);
      if (inputs_[i].length() / 4 * 3 >= kSymbolLimit) {
        throw RecordingError(set_.recordings[i].origin + ": too long to match");
      }
    }

    SplitMix random(options_.seed);
    std::vector<std::vector<std::size_t>> candidates(gestureCount_);
    for (std::size_t i = 0; i < n; ++i) {
      if (inputs_[i].length() > 0) candidates[set_.recordings[i].gesture].push_back(i);
    }
    for (std::vector<std::size_t>& list : candidates) {
      random.shuffle(list);
      if (list.size() > options_.candidatesPerGesture) list.resize(options_.candidatesPerGesture);
      std::sort(list.begin(), list.end());
    }

    say("matching " + std::to_string(n) + " recordings against their candidate templates under " +
        std::to_string(options_.grid.size()) + " symbol parameter sets");
    columns_.clear();
    for (std::size_t p = 0; p < options_.grid.size(); ++p) {
      const SymbolParameters& parameters = options_.grid[p];
      std::vector<Symbols> symbols(n);
      for (std::size_t i = 0; i < n; ++i) {
        symbols[i] = runSymbols(inputs_[i].data(), inputs_[i].length(),
                                static_cast<int16_t>(parameters.f), parameters.c, parameters.u);
      }
      for (std::size_t g = 0; g < gestureCount_; ++g) {
        for (std::size_t candidate : candidates[g]) {
          const Symbols& mine = symbols[candidate];
          if (mine.text.empty()) continue;
          Column column{p, g, candidate, std::vector<float>(n), std::vector<uint32_t>(n)};
          // An input without symbols scores 0, as the library reads the kernel's negative codes.
          for (std::size_t i = 0; i < n; ++i) {
            column.similarity[i] = std::max(0.0f, symbolSimilarity(mine, symbols[i], 1.0f));
          }
          std::iota(column.order.begin(), column.order.end(), 0u);
          std::stable_sort(column.order.begin(), column.order.end(), [&](uint32_t a, uint32_t b) {
            return column.similarity[a] < column.similarity[b];
          });
          columns_.push_back(std::move(column));
        }
      }
    }
  }

  // Gradient of the loss with respect to each gesture's response of each recording.
  std::vector<double> gradient() const {
    std::size_t n = set_.recordings.size();
    std::vector<double> result(n * gestureCount_, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
      std::size_t y = set_.recordings[i].gesture;
      const float* s = &scores_[i * gestureCount_];
      for (std::size_t g = 0; g < gestureCount_; ++g) {
        if (g == y) continue;
        double weight = std::exp(static_cast<double>(s[g]) - static_cast<double>(s[y]));
        result[i * gestureCount_ + g] += weight;
        result[i * gestureCount_ + y] -= weight;
      }
    }
    return result;
  }

  // For each gesture, the column and decision point b that minimise sum_i gradient_i * v_i, where
  // v_i is the normalised response (r/b below b, 1 + (r - b)/(1 - b) above). The recording a
  // template is cut from is left out, so a template never earns credit for matching itself.
  WeakClassifier chooseTemplates(int32_t id) const {
    std::vector<double> grad = gradient();
    std::vector<Choice> best(gestureCount_);
    std::size_t steps = static_cast<std::size_t>(std::lround(1.0 / options_.bStep));
    std::vector<float> bValues;
    for (std::size_t k = 1; k < steps; ++k) {
      bValues.push_back(static_cast<float>(static_cast<double>(k) / static_cast<double>(steps)));
    }
    for (const Column& column : columns_) {
      double totalC = 0.0, totalR = 0.0;
      for (std::size_t i = 0; i < column.similarity.size(); ++i) {
        if (i == column.recording) continue;
        double c = grad[i * gestureCount_ + column.gesture];
        totalC += c;
        totalR += c * column.similarity[i];
      }
      double lowC = 0.0, lowR = 0.0;
      std::size_t next = 0;
      Choice& choice = best[column.gesture];
      for (float b : bValues) {
        while (next < column.order.size() && column.similarity[column.order[next]] <= b) {
          uint32_t i = column.order[next++];
          if (i == column.recording) continue;
          double c = grad[i * gestureCount_ + column.gesture];
          lowC += c;
          lowR += c * column.similarity[i];
        }
        double highC = totalC - lowC, highR = totalR - lowR;
        double objective = lowR / b + highC + (highR - b * highC) / (1.0 - b);
        if (objective < choice.objective) choice = {objective, &column, b};
      }
    }

    WeakClassifier weak;
    weak.id = id;
    for (std::size_t g = 0; g < gestureCount_; ++g) {
      std::vector<GestureTemplate>& templates = weak.templates[gestureRecord(g)];
      if (best[g].column == nullptr) continue;
      const Column& column = *best[g].column;
      const SymbolParameters& p = options_.grid[column.parameters];
      templates.push_back(
          {inputs_[column.recording].values, p.f, p.c, p.u, best[g].b, std::nullopt});
    }
    return weak;
  }

  // The weak classifier's response for every recording and gesture, by the library's scoring.
  std::vector<float> exactResponses(const WeakClassifier& weak) const {
    std::vector<float> responses(scores_.size());
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      for (std::size_t g = 0; g < gestureCount_; ++g) {
        responses[i * gestureCount_ + g] = weakResponse(weak, gestureRecord(g), inputs_[i]);
      }
    }
    return responses;
  }

  // Derivative of the loss along alpha for the given responses.
  double lossSlope(const std::vector<float>& responses, double alpha) const {
    double slope = 0.0;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      std::size_t y = set_.recordings[i].gesture;
      const float* s = &scores_[i * gestureCount_];
      const float* h = &responses[i * gestureCount_];
      for (std::size_t g = 0; g < gestureCount_; ++g) {
        if (g == y) continue;
        double d = static_cast<double>(h[g]) - static_cast<double>(h[y]);
        slope += d * std::exp(static_cast<double>(s[g]) - static_cast<double>(s[y]) + alpha * d);
      }
    }
    return slope;
  }

  double loss() const {
    double total = 0.0;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
      std::size_t y = set_.recordings[i].gesture;
      const float* s = &scores_[i * gestureCount_];
      for (std::size_t g = 0; g < gestureCount_; ++g) {
        if (g != y) total += std::exp(static_cast<double>(s[g]) - static_cast<double>(s[y]));
      }
    }
    return inputs_.empty() ? 0.0 : total / static_cast<double>(inputs_.size());
  }

  // The alpha >= 0 where the (convex) loss stops falling; 0 when it rises from the start.
  double lineSearch(const std::vector<float>& responses) const {
    if (lossSlope(responses, 0.0) >= 0.0) return 0.0;
    double low = 0.0, high = 1.0;
    while (lossSlope(responses, high) < 0.0 && high < 64.0) {
      low = high;
      high *= 2.0;
    }
    for (int step = 0; step < 60; ++step) {
      double middle = 0.5 * (low + high);
      (lossSlope(responses, middle) < 0.0 ? low : high) = middle;
    }
    return 0.5 * (low + high);
  }

  void report(std::size_t round, const WeakClassifier& weak) const {
    if (options_.progress == nullptr) return;
    char text[160];
    std::snprintf(text, sizeof text, "round %zu/%zu: alpha %.4f, loss %.4f, training %.2f%%", round,
                  options_.rounds, weak.alpha, loss(), 100.0 * trainingAccuracy());
    std::string line = text;
    for (const auto& [gesture, templates] : weak.templates) {
      for (const GestureTemplate& t : templates) {
        std::snprintf(text, sizeof text, "  %s[f=%d c=%d u=%d b=%.2f]", gesture.name.c_str(), t.f,
                      t.c, t.u, t.b);
        line += text;
      }
    }
    say(line);
  }

  const RecordingSet& set_;
  TrainerOptions options_;
  std::size_t gestureCount_;
  std::vector<PreparedSequence> inputs_;
  std::vector<Column> columns_;
  std::vector<float> scores_;  // recording-major: scores_[i * gestureCount_ + g]
};

}  // namespace GestalPrivate
