#include "gestures/GestalGestureRecognition.h"

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_map>
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
      customDB_(std::make_unique<GestalCustomGestureDB>(directory, caching)),
      elastic_(*customDB_, caching) {}

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
  if (matcher_.matcher == Matcher::Elastic) {
    return elastic_.identify(nameSpace, targets, sample, matcher_.minConfidence);
  }
  CustomGestureResult result;
  const GestalCore core;
  // The sample is prepared and symbolised once for all its comparisons.
  const PreparedRecording probe(sample);
  const std::vector<std::string> candidates =
      targets.empty() ? customDB_->getAllCustomGestureIndexes(nameSpace) : targets;

  // First pass: a candidate is accepted as soon as enough of its samples were similar; its mean
  // score is over the similar comparisons when accepted, over the others when not.
  struct Evaluation {
    bool accepted = false;
    float meanScore = 0.0f;
    // The score of each sample compared, in order; none where the comparison failed.
    std::vector<std::optional<float>> scores;
  };
  std::vector<std::string> accepted;
  std::unordered_map<std::string, Evaluation> evaluations;
  for (const std::string& candidate : candidates) {
    // A candidate listed again (one listing entry per stored sample) has the same outcome.
    auto [entry, first] = evaluations.try_emplace(candidate);
    Evaluation& evaluation = entry->second;
    if (!first) {
      if (evaluation.accepted) accepted.push_back(candidate);
      continue;
    }
    const std::vector<PreparedRecording>& samples = cachedCustomSamples(nameSpace, candidate);
    int similarCount = 0;
    int otherCount = 0;
    float similarSum = 0.0f;
    float otherSum = 0.0f;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      MatchResult match;
      try {
        match = core.compareSignatures(samples[i], probe, kIdentifyLevel, kCustomSignType);
      } catch (const GestalCoreException&) {
        evaluation.scores.emplace_back();
        ++otherCount;
        continue;
      }
      evaluation.scores.emplace_back(match.bestScore);
      if (match.matched) {
        ++similarCount;
        similarSum += match.bestScore;
        if (accepts(similarCount, i + 1)) {
          evaluation.accepted = true;
          break;
        }
      } else {
        ++otherCount;
        otherSum += match.bestScore;
      }
    }
    if (evaluation.accepted) accepted.push_back(candidate);
    // A candidate without samples gets 0 / 0 (NaN); it is never accepted, so never reported.
    evaluation.meanScore = evaluation.accepted ? similarSum / static_cast<float>(similarCount)
                                               : otherSum / static_cast<float>(otherCount);
  }

  // Ranking: with two or more accepted, by the best similarity of any of their samples, highest
  // first; equal scores keep the byte order of the index. A sample's similarity is the score its
  // comparison in the first pass gave, at the same level; a failed comparison fails again.
  std::vector<std::string> ranking;
  if (accepted.size() < 2) {
    ranking = accepted;
  } else {
    std::map<std::string, float> bestScores;
    for (const std::string& candidate : accepted) {
      if (bestScores.count(candidate) != 0) continue;
      const std::vector<std::optional<float>>& compared = evaluations[candidate].scores;
      const std::vector<PreparedRecording>& samples = cachedCustomSamples(nameSpace, candidate);
      float best = 0.0f;
      for (std::size_t i = 0; i < samples.size(); ++i) {
        try {
          const std::optional<float> score =
              i < compared.size()
                  ? compared[i]
                  : core.similarityScore(samples[i], probe, kIdentifyLevel, kCustomSignType);
          if (score && *score > best) best = *score;
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
    result.confidence = evaluations[ranking.front()].meanScore;
  }
  return result;
}

bool GestalGestureRecognition::isCustomGestureExisted(const std::string& nameSpace,
                                                      const MotionSample& sample) {
  if (matcher_.matcher == Matcher::Elastic) {
    return !elastic_.identify(nameSpace, {}, sample, matcher_.minConfidence).matchedGesture.empty();
  }
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
  if (matcher_.matcher == Matcher::Elastic) {
    return elastic_.similar(first, second, matcher_.minConfidence);
  }
  const GestalCore core;
  try {
    return core.compareSignatures(first, second, kSimilarityLevel, kCustomSignType).matched;
  } catch (const GestalCoreException&) {
    return false;
  }
}

}  // namespace GestalPrivate
