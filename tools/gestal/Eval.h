#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/MotionSample.h"

// What `gestal eval` measures, shared by its text output and its HTML report.
namespace GestalTool {

using GestalPrivate::MotionSample;

struct Tally {
  std::size_t hits = 0;
  std::size_t total = 0;
  // Percent, or -1 when nothing was measured.
  double percent() const { return total == 0 ? -1.0 : 100.0 * static_cast<double>(hits) / total; }
};

struct VariantResults {
  std::string name;  // "raw" or "conditioned"
  Tally dependent;
  Tally dependentConfident;
  Tally independent;
  Tally heldOut;
  Tally heldOutConfident;
  // User-dependent identification: rows the gesture performed, columns the gesture identified
  // and a last column for none.
  std::vector<std::vector<std::size_t>> confusion;
  Tally enrolled;
  std::map<int32_t, std::size_t> refusals;  // enrolment refusals by error type
  Tally genuine;
  Tally impostor;
};

struct EvalSummary {
  std::string folder;
  std::vector<std::string> gestures;
  std::size_t users = 0;
  std::size_t recordings = 0;
  std::size_t identified = 0;  // performances identified per user-dependent run
  bool sessions = false;
  std::size_t definitions = 0;
  double minConfidence = 0;
  std::string conditioning;  // the conditioned variant's steps in words
  bool signatures = true;
  std::vector<VariantResults> variants;
  // Example performances per gesture (the first user's definitions, conditioned), for the plots.
  std::vector<std::vector<std::pair<std::string, MotionSample>>> examples;
};

// One line per figure, the columns being the variants.
struct SummaryRow {
  std::string label;
  std::vector<double> percents;  // Tally::percent of each variant
  std::vector<std::string> cells;
};
std::vector<SummaryRow> summaryRows(const EvalSummary& summary);

std::string evalReport(const EvalSummary& summary);

}  // namespace GestalTool
