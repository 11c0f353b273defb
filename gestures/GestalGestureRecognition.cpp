#include "gestures/GestalGestureRecognition.h"

#include <algorithm>
#include <set>
#include <utility>

#include "core/Exceptions.h"
#include "core/GestalCore.h"

namespace GestalPrivate {
namespace {

// Custom gestures are compared with the rows of the second strength table variant.
constexpr uint32_t kCustomSignType = 1;
constexpr uint32_t kIdentifyLevel = 4;
constexpr uint32_t kExistenceLevel = 2;
constexpr uint32_t kSimilarityLevel = 4;

// A gesture is accepted once more than this share of its comparisons so far were similar. The
// ratio is a float widened to double, so three similar of ten (0.3) does not accept.
constexpr double kAcceptanceRatio = static_cast<double>(0.3f);

bool accepts(int similarCount, std::size_t comparisons) {
  return static_cast<double>(similarCount) / static_cast<double>(comparisons) > kAcceptanceRatio;
}

}  // namespace

GestalGestureRecognition::GestalGestureRecognition(const std::string& directory, Caching caching)
    : directory_(directory),
      customDB_(std::make_unique<GestalCustomGestureDB>(directory, caching)) {}

GestalGestureRecognition::~GestalGestureRecognition() = default;

GestalPredefineGestureDB& GestalGestureRecognition::getPredefineGestureDB(
    const std::string& modelName) {
  for (OpenModel& model : openModels_) {
    if (model.name == modelName) {
      model.lastUse = ++modelUses_;
      return *model.db;
    }
  }
  // A failed open stores nothing, so the next use of the name tries again.
  auto db = std::make_unique<GestalPredefineGestureDB>(directory_ + modelName);
  if (openModels_.size() >= kOpenModelLimit) {
    openModels_.erase(std::min_element(
        openModels_.begin(), openModels_.end(),
        [](const OpenModel& a, const OpenModel& b) { return a.lastUse < b.lastUse; }));
  }
  openModels_.push_back(OpenModel{modelName, std::move(db), ++modelUses_});
  return *openModels_.back().db;
}

const std::vector<PreparedRecording>& GestalGestureRecognition::cachedCustomSamples(
    const std::string& nameSpace, const std::string& gestureIndex) {
  const std::string key = nameSpace + "_" + gestureIndex;
  auto entry = customSamples_.find(key);
  if (entry == customSamples_.end()) {
    entry = customSamples_.emplace(key, customDB_->getCustomSamples(nameSpace, gestureIndex)).first;
  }
  return entry->second;
}

CustomGestureResult GestalGestureRecognition::identifyCustomGesture(
    const std::string& nameSpace, const std::vector<std::string>& targets,
    const MotionSample& sample) {
  CustomGestureResult result;
  const GestalCore core;
  // The sample is prepared and symbolised once for all its comparisons.
  const PreparedRecording probe(sample);
  const std::vector<std::string> candidates =
      targets.empty() ? customDB_->getAllCustomGestureIndexes(nameSpace) : targets;

  // First pass: a candidate is accepted as soon as enough of its samples were similar; its mean
  // score is over the similar comparisons when accepted, over the others when not.
  std::vector<std::string> accepted;
  std::map<std::string, float> meanScores;
  std::set<std::string> acceptedOnce;
  for (const std::string& candidate : candidates) {
    // A candidate listed again (one listing entry per stored sample) has the same outcome.
    if (meanScores.count(candidate) != 0) {
      if (acceptedOnce.count(candidate) != 0) accepted.push_back(candidate);
      continue;
    }
    const std::vector<PreparedRecording>& samples = cachedCustomSamples(nameSpace, candidate);
    int similarCount = 0;
    int otherCount = 0;
    float similarSum = 0.0f;
    float otherSum = 0.0f;
    bool isAccepted = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      MatchResult match;
      try {
        match = core.compareSignatures(samples[i], probe, kIdentifyLevel, kCustomSignType);
      } catch (const GestalCoreException&) {
        ++otherCount;
        continue;
      }
      if (match.matched) {
        ++similarCount;
        similarSum += match.bestScore;
        if (accepts(similarCount, i + 1)) {
          isAccepted = true;
          break;
        }
      } else {
        ++otherCount;
        otherSum += match.bestScore;
      }
    }
    if (isAccepted) {
      accepted.push_back(candidate);
      acceptedOnce.insert(candidate);
    }
    // A candidate without samples gets 0 / 0 (NaN); it is never accepted, so never reported.
    meanScores[candidate] = isAccepted ? similarSum / static_cast<float>(similarCount)
                                       : otherSum / static_cast<float>(otherCount);
  }

  // Ranking: with two or more accepted, by the best similarity of any of their samples, highest
  // first; equal scores keep the byte order of the index.
  std::vector<std::string> ranking;
  if (accepted.size() < 2) {
    ranking = accepted;
  } else {
    std::map<std::string, float> bestScores;
    for (const std::string& candidate : accepted) {
      if (bestScores.count(candidate) != 0) continue;
      float best = 0.0f;
      for (const PreparedRecording& stored : cachedCustomSamples(nameSpace, candidate)) {
        try {
          const float score = core.similarityScore(stored, probe, kIdentifyLevel, kCustomSignType);
          if (score > best) best = score;
        } catch (const GestalCoreException&) {
        }
      }
      bestScores[candidate] = best;
    }
    std::vector<std::pair<std::string, float>> ordered(bestScores.begin(), bestScores.end());
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& entry : ordered) ranking.push_back(entry.first);
  }

  if (!ranking.empty()) {
    result.matchedGesture = ranking.front();
    result.confidence = meanScores[ranking.front()];
  }
  return result;
}

bool GestalGestureRecognition::isCustomGestureExisted(const std::string& nameSpace,
                                                      const MotionSample& sample) {
  const GestalCore core;
  const PreparedRecording probe(sample);
  std::set<std::string> tested;
  for (const std::string& index : customDB_->getAllCustomGestureIndexes(nameSpace)) {
    // Each listing entry of a gesture would repeat the same comparisons.
    if (!tested.insert(index).second) continue;
    const std::vector<PreparedRecording>& samples = cachedCustomSamples(nameSpace, index);
    int similarCount = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      try {
        if (!core.compareSignatures(samples[i], probe, kExistenceLevel, kCustomSignType).matched) {
          continue;
        }
      } catch (const GestalCoreException&) {
        continue;
      }
      ++similarCount;
      if (accepts(similarCount, i + 1)) return true;
    }
  }
  return false;
}

bool GestalGestureRecognition::isTwoGestureSimilar(const MotionSample& first,
                                                   const MotionSample& second) {
  const GestalCore core;
  try {
    return core.compareSignatures(first, second, kSimilarityLevel, kCustomSignType).matched;
  } catch (const GestalCoreException&) {
    return false;
  }
}

}  // namespace GestalPrivate
