#include "gestures/ElasticGestures.h"

#include <limits>
#include <set>

#include "core/ElasticMatcher.h"

namespace GestalPrivate {
namespace {

// A host naming ever new targets must not grow the cache without end: beyond this many gestures it
// starts afresh.
constexpr std::size_t kKeptGestureLimit = 10000;

}  // namespace

ElasticGestures::ElasticGestures(GestalCustomGestureDB& store, Caching caching)
    : store_(store), caching_(caching) {}

const ElasticGestures::Gesture& ElasticGestures::gesture(const std::string& nameSpace,
                                                         const std::string& index) {
  auto key = std::make_pair(nameSpace, index);
  auto found = gestures_.find(key);
  if (found != gestures_.end()) return found->second;
  Gesture read;
  for (const MotionSample& sample : store_.getCustomRecordings(nameSpace, index)) {
    read.templates.push_back(std::make_shared<const ElasticTemplate>(makeElasticTemplate(sample)));
  }
  read.threshold = elasticThreshold(read.templates, kGestureScoring);
  return gestures_.emplace(std::move(key), std::move(read)).first->second;
}

CustomGestureResult ElasticGestures::identify(const std::string& nameSpace,
                                              const std::vector<std::string>& targets,
                                              const MotionSample& sample, float minConfidence) {
  const uint64_t changes = store_.changeCount();
  // Cleared only here: the classes below refer to the kept gestures until the match is made.
  if (caching_ == Caching::Off || changes != changes_ || gestures_.size() >= kKeptGestureLimit) {
    gestures_.clear();
  }
  changes_ = changes;

  const std::vector<std::string> listed =
      targets.empty() ? store_.getAllCustomGestureIndexes(nameSpace) : targets;
  std::vector<std::string> candidates;
  std::set<std::string> seen;
  for (const std::string& index : listed) {
    if (seen.insert(index).second) candidates.push_back(index);
  }
  std::vector<ElasticClass> classes;
  classes.reserve(candidates.size());
  for (const std::string& index : candidates) {
    const Gesture& stored = gesture(nameSpace, index);
    classes.push_back({stored.templates, stored.threshold});
  }
  const ElasticMatch match =
      bestElasticMatch(makeElasticTemplate(sample), classes, kGestureScoring, minConfidence);
  CustomGestureResult result;
  if (match.index < candidates.size()) {
    result.matchedGesture = candidates[match.index];
    result.confidence = match.confidence;
  }
  return result;
}

bool ElasticGestures::similar(const MotionSample& first, const MotionSample& second,
                              float minConfidence) {
  const ElasticTemplate stored = makeElasticTemplate(first);
  const float distance = elasticDistance(stored, makeElasticTemplate(second), kGestureScoring);
  return distance < std::numeric_limits<float>::infinity() &&
         elasticConfidence(elasticSingleThreshold(stored, kGestureScoring), distance) >=
             minConfidence;
}

}  // namespace GestalPrivate
