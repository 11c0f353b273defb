// Measures the library on a folder of labelled recordings, for raw and conditioned input, with
// the library's own classes, so every verdict is the library's.
#include "tools/gestal/Eval.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <limits>
#include <memory>

#include "core/Clock.h"
#include "core/Exceptions.h"
#include "core/GSEnginePreferenceParameters.h"
#include "gestures/GestalGestureRecognition.h"
#include "signatures/GestalDB.h"
#include "signatures/GestalRecognition.h"
#include "signatures/GestalTraining.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"
#include "tools/gestal/ErrorWords.h"
#include "tools/model/RecordingSet.h"

namespace GestalTool {

namespace {

namespace fs = std::filesystem;
using namespace GestalPrivate;
// The C interface declares a type of the same name.
using GestalPrivate::CustomGestureResult;

const char* const kNameSpace = "player";
// Enrolment gives up at the seventh performance; no more are offered.
constexpr std::size_t kMaxEnrolmentTakes = 7;

// A fresh database directory, in memory where possible (every stored sample is a commit), removed
// with its contents at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const std::string base = access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm")
                                                           : fs::temp_directory_path().string();
    std::string pattern = base + "/gestal-eval-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw ToolError(pattern + ": cannot be created");
    path_ = pattern + "/";
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Identification learns and picks templates by their time stamps; performances stored in the
// same millisecond would tie, and which of them counts as newest would follow the machine's
// speed. While one lives, every reading of the clock is one millisecond after the last, from a
// fixed start, so a run gives the same figures on every machine.
class SteppedClock {
 public:
  SteppedClock() : previous_(setTickSource(&step)) { millis_ = kStart; }
  ~SteppedClock() { setTickSource(previous_); }
  SteppedClock(const SteppedClock&) = delete;
  SteppedClock& operator=(const SteppedClock&) = delete;

 private:
  static constexpr int64_t kStart = 1767225600000;  // 2026-01-01, in ms
  static int64_t step() { return ++millis_ * 10000; }
  static inline int64_t millis_ = kStart;
  TickSource previous_;
};

// File names give the performer and the order: USER-REP, or USER-SESSION-REP.
struct Take {
  std::string session;
  std::string repetition;
  std::string file;
  MotionSample raw;
  MotionSample sample;  // the variant being measured
};

// Text order with runs of digits compared as numbers: "2" before "10".
bool naturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      std::string da = a.substr(i, ei - i), db = b.substr(j, ej - j);
      da.erase(0, std::min(da.find_first_not_of('0'), da.size()));
      db.erase(0, std::min(db.find_first_not_of('0'), db.size()));
      if (da.size() != db.size()) return da.size() < db.size();
      if (da != db) return da < db;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// takes[user][gesture]: the user's performances of the gesture in session and repetition order.
struct Corpus {
  std::vector<std::string> gestures;
  std::vector<std::string> users;
  std::vector<std::vector<std::vector<Take>>> takes;
  bool sessions = false;
  std::size_t recordings = 0;
};

Corpus readCorpus(const std::string& folder) {
  RecordingSet set;
  try {
    set = readRecordingFolder(folder);
  } catch (const RecordingError& error) {
    throw ToolError(error.what());
  }
  Corpus corpus;
  corpus.gestures = set.gestures;
  corpus.recordings = set.recordings.size();
  std::map<std::string, std::vector<std::vector<Take>>, decltype(&naturalLess)> byUser(naturalLess);
  for (Recording& recording : set.recordings) {
    const std::string stem = fs::path(recording.origin).stem().string();
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
      const std::size_t dash = stem.find('-', start);
      parts.push_back(stem.substr(start, dash - start));
      if (dash == std::string::npos) break;
      start = dash + 1;
    }
    if (parts.size() < 2 || parts[0].empty()) {
      throw ToolError(recording.origin +
                      ": file names must be USER-REPETITION or USER-SESSION-REPETITION");
    }
    Take take;
    take.file = recording.origin;
    if (parts.size() >= 3) {
      corpus.sessions = true;
      take.session = parts[1];
      for (std::size_t p = 2; p < parts.size(); ++p)
        take.repetition += (p > 2 ? "-" : "") + parts[p];
    } else {
      take.repetition = parts[1];
    }
    take.raw = std::move(recording.sample);
    auto& perGesture = byUser[parts[0]];
    perGesture.resize(corpus.gestures.size());
    perGesture[recording.gesture].push_back(std::move(take));
  }
  for (auto& [user, perGesture] : byUser) {
    for (std::vector<Take>& takes : perGesture) {
      std::sort(takes.begin(), takes.end(), [](const Take& a, const Take& b) {
        if (a.session != b.session) return naturalLess(a.session, b.session);
        return naturalLess(a.repetition, b.repetition);
      });
    }
    corpus.users.push_back(user);
    corpus.takes.push_back(std::move(perGesture));
  }
  if (corpus.recordings == 0) throw ToolError(folder + ": no recordings");
  return corpus;
}

// Which of a user's performances of a gesture define it and which are identified: the first
// `definitions` of the first session define it; the later sessions are identified, or without
// sessions the remaining performances.
struct Split {
  std::vector<const Take*> define;
  std::vector<const Take*> identify;
  std::vector<const Take*> firstSession;
};

Split split(const std::vector<Take>& takes, bool sessions, std::size_t definitions) {
  Split result;
  for (const Take& take : takes) {
    const bool first = take.session == takes.front().session;
    if (first) result.firstSession.push_back(&take);
    if (first && result.define.size() < definitions) {
      result.define.push_back(&take);
    } else if (!sessions || !first) {
      result.identify.push_back(&take);
    }
  }
  return result;
}

// The matchers measured, in the order of VariantResults::matchers.
enum MatcherIndex : std::size_t { kSymbols, kElastic, kMatchers };
// The elastic matcher's own acceptance, as the library sets it by default.
constexpr float kElasticDefault = MatcherChoice{}.minConfidence;

// Whether an answer is accepted at a minimum confidence.
bool reaches(const CustomGestureResult& found, float cutoff) {
  return !found.matchedGesture.empty() && found.confidence >= cutoff;
}

class Evaluator {
 public:
  Evaluator(const Corpus& corpus, const EvalOptions& options, Progress& progress)
      : corpus_(corpus), options_(options), progress_(progress) {
    for (std::size_t u = 0; u < corpus.users.size(); ++u) {
      splits_.emplace_back();
      for (const std::vector<Take>& takes : corpus.takes[u]) {
        splits_.back().push_back(split(takes, corpus.sessions, options.definitions));
      }
    }
  }

  std::size_t identifiedPerRun() const {
    std::size_t count = 0;
    for (const auto& perGesture : splits_) {
      for (const Split& s : perGesture) count += s.identify.size();
    }
    return count;
  }

  // Gestures each user defines in the open-set protocol.
  std::size_t openSetDefined() const { return corpus_.gestures.size() / 2; }

  void customGestures(VariantResults& results) {
    const std::size_t gestures = corpus_.gestures.size();
    for (MatcherResults& m : results.matchers) {
      m.confusion.assign(gestures, std::vector<std::size_t>(gestures + 1, 0));
    }
    for (std::size_t u = 0; u < corpus_.users.size(); ++u) {
      ScratchDirectory directory;
      GestalGestureRecognition recogniser(directory.path());
      std::vector<std::string> defined;
      for (std::size_t g = 0; g < gestures; ++g) {
        if (define(recogniser, g, {u})) defined.push_back(corpus_.gestures[g]);
      }
      for (std::size_t g = 0; g < gestures; ++g) {
        std::vector<std::string> others;
        for (const std::string& name : defined) {
          if (name != corpus_.gestures[g]) others.push_back(name);
        }
        for (const Take* take : splits_[u][g].identify) {
          const Answers found = identify(recogniser, {}, take->sample);
          for (std::size_t m = 0; m < kMatchers; ++m) {
            MatcherResults& r = results.matchers[m];
            const bool correct = found[m].matchedGesture == corpus_.gestures[g];
            count(r.dependent, correct);
            count(r.dependentAccepted, correct && reaches(found[m], r.defaultCutoff));
            count(r.dependentConfident, correct && reaches(found[m], r.confidentCutoff));
            ++r.confusion[g][columnOf(found[m].matchedGesture)];
          }
          // The same performance when its own gesture was never defined: any answer is false.
          if (others.empty()) continue;
          const Answers heldOut = identify(recogniser, others, take->sample);
          for (std::size_t m = 0; m < kMatchers; ++m) {
            MatcherResults& r = results.matchers[m];
            count(r.heldOut, reaches(heldOut[m], r.defaultCutoff));
            count(r.heldOutConfident, reaches(heldOut[m], r.confidentCutoff));
          }
        }
      }
    }
    if (corpus_.users.size() < 2) return;
    for (std::size_t u = 0; u < corpus_.users.size(); ++u) {
      ScratchDirectory directory;
      GestalGestureRecognition recogniser(directory.path());
      std::vector<std::size_t> others;
      for (std::size_t v = 0; v < corpus_.users.size(); ++v) {
        if (v != u) others.push_back(v);
      }
      for (std::size_t g = 0; g < gestures; ++g) define(recogniser, g, others);
      for (std::size_t g = 0; g < gestures; ++g) {
        for (const Take* take : splits_[u][g].identify) {
          const Answers found = identify(recogniser, {}, take->sample);
          for (std::size_t m = 0; m < kMatchers; ++m) {
            count(results.matchers[m].independent, found[m].matchedGesture == corpus_.gestures[g]);
          }
        }
      }
    }
  }

  // Each user defines a cyclic run of half the gestures, once from every gesture on, so that
  // each gesture is defined in half the runs; every performance of every gesture is then
  // identified among the defined ones.
  void openSet(VariantResults& results) {
    const std::size_t gestures = corpus_.gestures.size();
    if (openSetDefined() == 0) return;
    for (std::size_t u = 0; u < corpus_.users.size(); ++u) {
      for (std::size_t first = 0; first < gestures; ++first) {
        ScratchDirectory directory;
        GestalGestureRecognition recogniser(directory.path());
        std::vector<bool> defined(gestures, false);
        for (std::size_t k = 0; k < openSetDefined(); ++k) {
          const std::size_t g = (first + k) % gestures;
          defined[g] = define(recogniser, g, {u});
        }
        if (std::find(defined.begin(), defined.end(), true) == defined.end()) continue;
        for (std::size_t g = 0; g < gestures; ++g) {
          for (const Take* take : splits_[u][g].identify) {
            const Answers found = identify(recogniser, {}, take->sample);
            for (std::size_t m = 0; m < kMatchers; ++m) {
              MatcherResults& r = results.matchers[m];
              const bool correct = found[m].matchedGesture == corpus_.gestures[g];
              const bool accepted = reaches(found[m], r.defaultCutoff);
              if (defined[g]) {
                ++r.openSet.definedPerformances;
                count(r.openDefined, correct && accepted);
              } else {
                count(r.openUndefined, accepted);
              }
              if (!found[m].matchedGesture.empty()) {
                r.openSet.answers.emplace_back(found[m].confidence, correct);
              }
            }
          }
        }
      }
    }
  }

  // Each run enrols into a store of its own, since identification learns into it; the enrolments
  // are the same, so their refusals are counted once. The elastic matcher runs once per quoted
  // cutoff, its own acceptance giving the summary's figures.
  void signatures(VariantResults& results) {
    MatcherResults& symbols = results.matchers[kSymbols];
    signatures(symbols, {Matcher::Lcs, 0.0f}, &results.refusals);
    MatcherResults& elastic = results.matchers[kElastic];
    for (float cutoff : elastic.quotedCutoffs) {
      MatcherResults run;
      signatures(run, {Matcher::Elastic, cutoff}, nullptr);
      elastic.signatureCurve.push_back({cutoff, run.genuine, run.impostor});
      if (cutoff == elastic.defaultCutoff) {
        elastic.enrolled = run.enrolled;
        elastic.genuine = run.genuine;
        elastic.impostor = run.impostor;
      }
    }
  }

  // Identifications one variant makes, for the progress count, with `signatureRuns` runs of the
  // signature protocol.
  std::size_t steps(std::size_t signatureRuns) const {
    const std::size_t perRun = identifiedPerRun();
    std::size_t impostors = 0;
    for (std::size_t u = 0; u < corpus_.users.size(); ++u) {
      for (std::size_t g = 0; g < corpus_.gestures.size(); ++g) {
        for (std::size_t v = 0; v < corpus_.users.size(); ++v) {
          if (v != u)
            impostors += std::min(splits_[v][g].identify.size(), options_.impostorsPerUser);
        }
      }
    }
    const std::size_t openRuns = openSetDefined() == 0 ? 0 : corpus_.gestures.size();
    const std::size_t signatureSteps =
        options_.customOnly ? 0 : signatureRuns * (perRun + impostors);
    return kMatchers * (3 + openRuns) * perRun + signatureSteps;
  }

 private:
  using Answers = std::array<CustomGestureResult, kMatchers>;

  static int32_t actionOf(std::size_t gesture) { return static_cast<int32_t>(gesture + 1); }

  std::size_t columnOf(const std::string& name) const {
    const auto at = std::find(corpus_.gestures.begin(), corpus_.gestures.end(), name);
    return static_cast<std::size_t>(at - corpus_.gestures.begin());
  }

  void count(Tally& tally, bool hit) {
    ++tally.total;
    if (hit) ++tally.hits;
  }

  // Stores the gesture from the definitions of the given users; false when there are none.
  bool define(GestalGestureRecognition& recogniser, std::size_t g,
              const std::vector<std::size_t>& users) {
    std::vector<MotionSample> samples;
    for (std::size_t u : users) {
      for (const Take* take : splits_[u][g].define) samples.push_back(take->sample);
    }
    if (samples.empty()) return false;
    recogniser.customGestureDB().replaceCustomSamples(kNameSpace, corpus_.gestures[g], samples);
    return true;
  }

  // The symbol matcher's answer, and the elastic matcher's nearest gesture whatever its
  // confidence, so that every minimum confidence can be applied to it afterwards.
  Answers identify(GestalGestureRecognition& recogniser, const std::vector<std::string>& targets,
                   const MotionSample& sample) {
    progress_.advance(kMatchers);
    Answers answers;
    recogniser.setMatcher({Matcher::Lcs, 0.0f});
    answers[kSymbols] = recogniser.identifyCustomGesture(kNameSpace, targets, sample);
    recogniser.setMatcher({Matcher::Elastic, 0.0f});
    answers[kElastic] = recogniser.identifyCustomGesture(kNameSpace, targets, sample);
    return answers;
  }

  void signatures(MatcherResults& results, const MatcherChoice& choice,
                  std::map<int32_t, std::size_t>* refusals) {
    const GSEnginePreferenceParameters profile;
    const SteppedClock clock;
    for (std::size_t u = 0; u < corpus_.users.size(); ++u) {
      ScratchDirectory directory;
      GestalDB db(profile, directory.path());
      GestalTraining training(&db, profile, 1.0f);
      GestalRecognition recognition(&db, profile, 1.0f);
      // No failed-trials policy: an evaluation must not lock an action it goes on measuring.
      recognition.setMaxFailedTrials(0);
      recognition.setMatcher(choice);
      std::vector<std::size_t> used(corpus_.gestures.size(), 0);
      for (std::size_t g = 0; g < corpus_.gestures.size(); ++g) {
        if (splits_[u][g].firstSession.empty()) continue;
        used[g] = enrol(training, actionOf(g), splits_[u][g].firstSession, refusals);
        count(results.enrolled, used[g] > 0);
      }
      for (std::size_t g = 0; g < corpus_.gestures.size(); ++g) {
        if (used[g] == 0) continue;
        for (const Take* take : splits_[u][g].identify) {
          if (isEnrolmentTake(splits_[u][g], used[g], take)) continue;
          count(results.genuine, accepts(recognition, {}, take->sample, actionOf(g)));
        }
      }
      for (std::size_t g = 0; g < corpus_.gestures.size(); ++g) {
        if (used[g] == 0) continue;
        for (std::size_t v = 0; v < corpus_.users.size(); ++v) {
          if (v == u) continue;
          const auto& theirs = splits_[v][g].identify;
          for (std::size_t i = 0; i < theirs.size() && i < options_.impostorsPerUser; ++i) {
            count(results.impostor,
                  accepts(recognition, {actionOf(g)}, theirs[i]->sample, actionOf(g)));
          }
        }
      }
    }
  }

  // Offers the performances until the enrolment completes; returns how many it took, or 0.
  // Refusals are counted when `refusals` is given.
  std::size_t enrol(GestalTraining& training, int32_t action, const std::vector<const Take*>& takes,
                    std::map<int32_t, std::size_t>* refusals) {
    for (std::size_t i = 0; i < takes.size() && i < kMaxEnrolmentTakes; ++i) {
      try {
        if (training.train(action, takes[i]->sample).progress == 1.0f) return i + 1;
      } catch (const GestalTrainingInputException& e) {
        if (refusals) ++(*refusals)[inputErrorType(e.code)];
      } catch (const GestalTrainingFailedException&) {
        if (refusals) ++(*refusals)[-208];
        return 0;
      }
    }
    training.clearTraining(action);
    return 0;
  }

  static int32_t inputErrorType(int32_t code) {
    static const int32_t kTypes[] = {0, -202, -201, -203, -205, -204, -207, -209};
    return code >= 1 && code <= 7 ? kTypes[code] : 0;
  }

  static bool isEnrolmentTake(const Split& s, std::size_t used, const Take* take) {
    for (std::size_t i = 0; i < used && i < s.firstSession.size(); ++i) {
      if (s.firstSession[i] == take) return true;
    }
    return false;
  }

  bool accepts(GestalRecognition& recognition, const std::vector<int32_t>& candidates,
               const MotionSample& sample, int32_t action) {
    progress_.advance();
    try {
      return recognition.identify(candidates, sample) == std::vector<int32_t>{action};
    } catch (const NoMatchException&) {
      return false;
    }
  }

  const Corpus& corpus_;
  const EvalOptions& options_;
  Progress& progress_;
  std::vector<std::vector<Split>> splits_;
};

void setVariant(Corpus& corpus, const GestalConditioning::Options* conditioning) {
  for (auto& perGesture : corpus.takes) {
    for (auto& takes : perGesture) {
      for (Take& take : takes) {
        take.sample =
            conditioning ? GestalConditioning::condition(take.raw, *conditioning) : take.raw;
      }
    }
  }
}

std::string describe(const ConditioningChoice& choice) {
  std::string text;
  if (choice.gravity == "lowpass") {
    text = "gravity removed (zero-phase " + fixed(choice.cutoffHz, 2) + " Hz low-pass subtracted)";
  } else if (choice.gravity == "mean") {
    text = "gravity removed (mean subtracted)";
  } else {
    text = "gravity kept";
  }
  if (choice.units == "g") text += ", primary converted from g";
  if (choice.axes != "x,y,z") text += ", axes " + choice.axes;
  if (choice.rateHz > 0) text += ", resampled to " + fixed(choice.rateHz, 1) + " Hz";
  return text;
}

// Right-aligned in a column of `width`, at least one space before.
std::string padded(const std::string& text, std::size_t width) {
  return std::string(text.size() < width ? width - text.size() : 1, ' ') + text;
}

std::string percentText(double percent) {
  return percent < 0 ? std::string("-") : fixed(percent, 1);
}

constexpr std::size_t kCell = 14;
// Wide enough for "100.0 / 100.0" with room on its left.
constexpr std::size_t kCurveCell = 16;

void printSummary(std::ostream& out, const EvalSummary& summary) {
  out << summary.folder << ": " << summary.recordings << " recordings of "
      << summary.gestures.size() << " gestures by " << summary.users << " users\n";
  out << "each user defines every gesture from the first " << summary.definitions
      << " performances of " << (summary.sessions ? "their first session" : "their recordings")
      << "; identified: " << summary.identified << " performances ("
      << (summary.sessions ? "the later sessions" : "the remaining performances") << ")\n";
  if (summary.openSetDefined > 0) {
    out << "open set: each user defines " << summary.openSetDefined << " of the "
        << summary.gestures.size() << " gestures, a cyclic run from each gesture in turn; the "
        << "performances of all are identified among them\n";
  }
  out << "conditioned: " << summary.conditioning << "\n";
  out << matcherNote(summary) << "\n\n";
  std::size_t width = 0;
  const std::vector<SummaryRow> rows = summaryRows(summary);
  for (const SummaryRow& row : rows) width = std::max(width, row.label.size());
  const std::vector<Column> shown = columns(summary);
  out << std::string(width, ' ');
  for (const Column& column : shown) out << padded(column.matcher->name, kCell);
  out << "\n" << std::string(width, ' ');
  for (const Column& column : shown) out << padded(column.variant->name, kCell);
  out << "\n";
  for (const SummaryRow& row : rows) {
    out << row.label << std::string(width - row.label.size(), ' ');
    for (const std::string& cell : row.cells) out << padded(cell, kCell);
    out << "\n";
  }
  if (summary.openSetDefined > 0 && !summary.variants.empty()) {
    for (std::size_t m = 0; m < summary.variants.front().matchers.size(); ++m) {
      const MatcherResults& first = summary.variants.front().matchers[m];
      out << "\nopen set, " << first.name << ", by minimum confidence: precision % / recall %\n";
      out << padded("minimum", 16);
      for (const VariantResults& variant : summary.variants) {
        out << padded(variant.name, kCurveCell);
      }
      out << "\n";
      for (float cutoff : first.quotedCutoffs) {
        out << padded(cutoffLabel(first, cutoff), 16);
        for (const VariantResults& variant : summary.variants) {
          const CurvePoint point = curvePoint(variant.matchers[m].openSet, cutoff);
          out << padded(percentText(point.precision) + " / " + percentText(point.recall),
                        kCurveCell);
        }
        out << "\n";
      }
    }
  }
  if (summary.signatures && !summary.variants.empty()) {
    const MatcherResults& elastic = summary.variants.front().matchers[kElastic];
    out << "\nsignatures, " << elastic.name
        << ", by minimum confidence: own identified % / others accepted %\n";
    out << padded("minimum", 16);
    for (const VariantResults& variant : summary.variants) out << padded(variant.name, kCurveCell);
    out << "\n";
    for (std::size_t i = 0; i < elastic.signatureCurve.size(); ++i) {
      out << padded(cutoffLabel(elastic, elastic.signatureCurve[i].cutoff), 16);
      for (const VariantResults& variant : summary.variants) {
        const SignatureTradeOff& point = variant.matchers[kElastic].signatureCurve[i];
        out << padded(
            percentText(point.genuine.percent()) + " / " + percentText(point.impostor.percent()),
            kCurveCell);
      }
      out << "\n";
    }
  }
  for (const Column& column : shown) {
    out << "\ncustom gestures, user-dependent, " << column.matcher->name << ", "
        << column.variant->name << " (rows: performed, columns: identified)\n";
    std::size_t cell = 6;
    for (const std::string& name : summary.gestures) cell = std::max(cell, name.size() + 2);
    out << padded("", cell);
    for (const std::string& name : summary.gestures) out << padded(name, cell);
    out << padded("none", cell) << "\n";
    for (std::size_t g = 0; g < summary.gestures.size(); ++g) {
      out << padded(summary.gestures[g], cell);
      for (std::size_t count : column.matcher->confusion[g]) {
        out << padded(std::to_string(count), cell);
      }
      out << "\n";
    }
  }
  for (const VariantResults& variant : summary.variants) {
    if (variant.refusals.empty()) continue;
    out << "\nenrolment refusals, " << variant.name << ":";
    for (const auto& [error, count] : variant.refusals) {
      out << " " << error << " " << errorWords(error) << " " << count << ";";
    }
    out << "\n";
  }
}

}  // namespace

std::string matcherNote(const EvalSummary& summary) {
  return "symbols: the symbol matcher, with its own acceptance; elastic: the elastic matcher, "
         "taking the nearest gesture in the accuracy rows and accepting from its default "
         "confidence " +
         fixed(summary.elasticDefault, 2) + " in the others (unless a row names another).";
}

std::string cutoffLabel(const MatcherResults& matcher, float cutoff) {
  std::string label =
      cutoff == std::numeric_limits<float>::lowest() ? std::string("none") : fixed(cutoff, 2);
  return cutoff == matcher.defaultCutoff ? label + " (default)" : label;
}

CurvePoint curvePoint(const OpenSetAnswers& open, double cutoff) {
  std::size_t accepted = 0, right = 0;
  for (const auto& [confidence, correct] : open.answers) {
    if (confidence < cutoff) continue;
    ++accepted;
    if (correct) ++right;
  }
  CurvePoint point;
  if (accepted > 0) point.precision = 100.0 * static_cast<double>(right) / accepted;
  if (open.definedPerformances > 0) {
    point.recall = 100.0 * static_cast<double>(right) / open.definedPerformances;
  }
  return point;
}

std::vector<CurvePoint> rejectionCurve(const OpenSetAnswers& open, std::size_t points) {
  std::vector<std::pair<float, bool>> answers = open.answers;
  std::sort(answers.begin(), answers.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<CurvePoint> curve;
  if (open.definedPerformances == 0) return curve;
  const std::size_t step =
      std::max<std::size_t>(1, answers.size() / std::max<std::size_t>(1, points));
  std::size_t right = 0, next = step;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    if (answers[i].second) ++right;
    // A point only where the cutoff falls between two distinct confidences.
    const bool last = i + 1 == answers.size();
    if (!last && (answers[i + 1].first == answers[i].first || i + 1 < next)) continue;
    next = i + 1 + step;
    curve.push_back({100.0 * static_cast<double>(right) / (i + 1),
                     100.0 * static_cast<double>(right) / open.definedPerformances});
  }
  return curve;
}

std::vector<Column> columns(const EvalSummary& summary) {
  std::vector<Column> result;
  const std::size_t matchers = summary.variants.empty() ? 0 : summary.variants[0].matchers.size();
  for (std::size_t m = 0; m < matchers; ++m) {
    for (const VariantResults& variant : summary.variants) {
      result.push_back({&variant, &variant.matchers[m]});
    }
  }
  return result;
}

std::vector<SummaryRow> summaryRows(const EvalSummary& summary) {
  const auto percent = [](const Tally& tally) {
    return tally.total == 0 ? std::string("-") : fixed(tally.percent(), 1) + " %";
  };
  const std::string confident = "  with confidence >= " + fixed(summary.minConfidence, 2) +
                                " (elastic " + fixed(summary.elasticMinConfidence, 2) + ")";
  struct Figure {
    std::string label;
    Tally MatcherResults::*tally;
  };
  std::vector<Figure> figures = {
      {"custom gestures: user-dependent accuracy", &MatcherResults::dependent},
      {"  with the default rejection", &MatcherResults::dependentAccepted},
      {confident, &MatcherResults::dependentConfident},
      {"custom gestures: user-independent accuracy", &MatcherResults::independent},
      {"custom gestures: held-out gestures accepted", &MatcherResults::heldOut},
      {confident, &MatcherResults::heldOutConfident},
      {"open set: defined gestures identified correctly", &MatcherResults::openDefined},
      {"open set: undefined gestures accepted", &MatcherResults::openUndefined},
  };
  if (summary.signatures) {
    figures.push_back({"signatures: actions enrolled", &MatcherResults::enrolled});
    figures.push_back({"signatures: own performances identified", &MatcherResults::genuine});
    figures.push_back(
        {"signatures: other users' performances accepted", &MatcherResults::impostor});
  }
  std::vector<SummaryRow> rows;
  for (const Figure& figure : figures) {
    SummaryRow row{figure.label, {}, {}};
    for (const Column& column : columns(summary)) {
      const Tally& tally = column.matcher->*figure.tally;
      row.percents.push_back(tally.percent());
      row.cells.push_back(percent(tally));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

int runEval(const EvalOptions& options) {
  if (options.definitions == 0) throw ToolError("--define must be at least 1");
  const GestalConditioning::Options conditioning = conditioningOptions(options.conditioning);
  Corpus corpus = readCorpus(options.folder);
  EvalSummary summary;
  summary.folder = options.folder;
  summary.gestures = corpus.gestures;
  summary.users = corpus.users.size();
  summary.recordings = corpus.recordings;
  summary.sessions = corpus.sessions;
  summary.definitions = options.definitions;
  summary.minConfidence = options.minConfidence;
  summary.elasticMinConfidence = options.elasticMinConfidence;
  summary.elasticDefault = kElasticDefault;
  summary.conditioning = describe(options.conditioning);
  summary.signatures = !options.customOnly;

  const float symbolCutoff = static_cast<float>(options.minConfidence);
  const float elasticCutoff = static_cast<float>(options.elasticMinConfidence);
  const auto quoted = [](std::vector<float> cutoffs) {
    std::sort(cutoffs.begin(), cutoffs.end());
    cutoffs.erase(std::unique(cutoffs.begin(), cutoffs.end()), cutoffs.end());
    return cutoffs;
  };
  Progress progress("eval " + options.folder, 0);
  const GestalConditioning::Options* const variants[] = {nullptr, &conditioning};
  for (const GestalConditioning::Options* variant : variants) {
    setVariant(corpus, variant);
    Evaluator evaluator(corpus, options, progress);
    VariantResults results;
    results.name = variant ? "conditioned" : "raw";
    results.matchers.resize(kMatchers);
    MatcherResults& symbols = results.matchers[kSymbols];
    symbols.name = "symbols";
    symbols.defaultCutoff = std::numeric_limits<float>::lowest();
    symbols.confidentCutoff = symbolCutoff;
    symbols.quotedCutoffs =
        quoted({symbols.defaultCutoff, 1.1f, 1.2f, 1.3f, 1.4f, 1.6f, symbolCutoff});
    MatcherResults& elastic = results.matchers[kElastic];
    elastic.name = "elastic";
    elastic.defaultCutoff = kElasticDefault;
    elastic.confidentCutoff = elasticCutoff;
    elastic.quotedCutoffs =
        quoted({0.0f, 0.8f, 0.9f, kElasticDefault, 1.25f, 1.5f, 2.0f, elasticCutoff});
    progress.expect(evaluator.steps(1 + elastic.quotedCutoffs.size()));
    summary.identified = evaluator.identifiedPerRun();
    summary.openSetDefined = evaluator.openSetDefined();
    evaluator.customGestures(results);
    evaluator.openSet(results);
    if (!options.customOnly) evaluator.signatures(results);
    summary.variants.push_back(std::move(results));
  }
  // The variant left in the corpus is the conditioned one: its first user's definitions are the
  // examples the report plots.
  for (std::size_t g = 0; g < corpus.gestures.size(); ++g) {
    summary.examples.emplace_back();
    const Split first = split(corpus.takes.front()[g], corpus.sessions, options.definitions);
    for (const Take* take : first.define) {
      summary.examples.back().emplace_back(fs::path(take->file).filename().string(), take->sample);
    }
  }
  printSummary(std::cout, summary);
  if (!options.report.empty()) {
    writeTextFile(options.report, evalReport(summary));
    std::cout << "\nreport: " << options.report << "\n";
  }
  return 0;
}

}  // namespace GestalTool
