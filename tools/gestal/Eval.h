#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
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

// Every answer of one matcher in the open-set protocol, kept so that any minimum confidence can
// be applied afterwards.
struct OpenSetAnswers {
  // The confidence of each answer given, and whether it named the gesture performed.
  std::vector<std::pair<float, bool>> answers;
  std::size_t definedPerformances = 0;  // performances of defined gestures, answered or not
};

// Precision: right answers among those accepted; recall: right answers among the performances of
// defined gestures. Percents, -1 when nothing is accepted or nothing was defined.
struct CurvePoint {
  double precision = -1;
  double recall = -1;
};
// The answers whose confidence reaches `cutoff` accepted.
CurvePoint curvePoint(const OpenSetAnswers& open, double cutoff);
// One point per distinct confidence, from the highest cutoff to the lowest, thinned to about
// `points`.
std::vector<CurvePoint> rejectionCurve(const OpenSetAnswers& open, std::size_t points);

// Signatures identified at one minimum confidence: the user's own later performances identified,
// and other users' performances of the same gestures accepted.
struct SignatureTradeOff {
  float cutoff = 0;
  Tally genuine;
  Tally impostor;
};

// One matcher on one input variant.
struct MatcherResults {
  std::string name;  // "symbols" or "elastic"
  // The minimum confidence of the matcher's own acceptance (the lowest float for the symbol
  // matcher, which accepts by itself) and the one the "with confidence" rows apply.
  float defaultCutoff = 0;
  float confidentCutoff = 0;
  std::vector<float> quotedCutoffs;  // the points of the rejection curve the tables quote
  Tally dependent;
  Tally dependentAccepted;
  Tally dependentConfident;
  Tally independent;
  Tally heldOut;
  Tally heldOutConfident;
  Tally openDefined;
  Tally openUndefined;
  // User-dependent identification: rows the gesture performed, columns the gesture identified
  // and a last column for none.
  std::vector<std::vector<std::size_t>> confusion;
  OpenSetAnswers openSet;
  Tally enrolled;
  Tally genuine;   // at the matcher's own acceptance
  Tally impostor;  // at the matcher's own acceptance
  // The elastic matcher's signature runs, one per quoted cutoff (what identification learns depends
  // on the minimum, so each is a run of its own); empty for the symbol matcher.
  std::vector<SignatureTradeOff> signatureCurve;
};

// A quoted cutoff in words: "none" for the symbol matcher's own acceptance, "(default)" marking
// the matcher's own.
std::string cutoffLabel(const MatcherResults& matcher, float cutoff);

struct VariantResults {
  std::string name;                         // "raw" or "conditioned"
  std::map<int32_t, std::size_t> refusals;  // enrolment refusals by error type
  std::vector<MatcherResults> matchers;     // symbols, then elastic
};

struct EvalSummary {
  std::string folder;
  std::vector<std::string> gestures;
  std::size_t users = 0;
  std::size_t recordings = 0;
  std::size_t identified = 0;  // performances identified per user-dependent run
  bool sessions = false;
  std::size_t definitions = 0;
  std::size_t openSetDefined = 0;  // gestures each user defines in the open-set protocol
  double minConfidence = 0;
  double elasticMinConfidence = 0;
  float elasticDefault = 0;  // the elastic matcher's own acceptance
  std::string conditioning;  // the conditioned variant's steps in words
  bool signatures = true;
  std::vector<VariantResults> variants;
  // Example performances per gesture (the first user's definitions, conditioned), for the plots.
  std::vector<std::vector<std::pair<std::string, MotionSample>>> examples;
};

// What the columns' matchers are, in one sentence.
std::string matcherNote(const EvalSummary& summary);

// The columns of the figures: every variant of the symbol matcher, then of the elastic one.
struct Column {
  const VariantResults* variant;
  const MatcherResults* matcher;
};
std::vector<Column> columns(const EvalSummary& summary);

// One line per figure, the columns being those above.
struct SummaryRow {
  std::string label;
  std::vector<double> percents;  // Tally::percent of each column
  std::vector<std::string> cells;
};
std::vector<SummaryRow> summaryRows(const EvalSummary& summary);

std::string evalReport(const EvalSummary& summary);

}  // namespace GestalTool
