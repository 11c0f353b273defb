#include <gtest/gtest.h>

#include <vector>

#include "core/GSEnginePreferenceParameters.h"

namespace {

using GestalPrivate::GSEnginePreferenceParameters;
using GestalPrivate::makePreferenceProfile;

// Every getter of a profile in slot order, with the arguments that tell the profiles apart:
// signatureTypeMode, requiredSignatureCount, checksSignatureQuality, minimumComplexityLevel for
// security levels 0, 1, 2, 3, -1, setting5..7, storedSignatureLimit, acceptanceRatio for signature
// types 0, 1, 2, learningIntervalSeconds, verificationLevel for levels -1..5 with signature type 0
// and then 1, adaptLearningMode.
std::vector<double> table(const GSEnginePreferenceParameters& p) {
  std::vector<double> row = {double(p.signatureTypeMode()), double(p.requiredSignatureCount()),
                             double(p.checksSignatureQuality())};
  for (int level : {0, 1, 2, 3, -1}) row.push_back(p.minimumComplexityLevel(level));
  row.insert(row.end(), {double(p.setting5()), double(p.setting6()), double(p.setting7()),
                         double(p.storedSignatureLimit())});
  for (int type : {0, 1, 2}) row.push_back(p.acceptanceRatio(type));
  row.push_back(p.learningIntervalSeconds());
  for (int type : {0, 1}) {
    for (int level = -1; level <= 5; ++level) row.push_back(p.verificationLevel(level, type));
  }
  row.push_back(p.adaptLearningMode());
  return row;
}

const std::vector<double> kBase = {0,  3, 1, 4, 3, 1, 3, 3,  3, 5, 600, 15, 0.4, 0.4, 0.4, 86400,
                                   -1, 1, 2, 2, 3, 4, 5, -1, 1, 2, 2,   3,  4,   5,   2};

TEST(PreferenceProfiles, TablesOfTheThreeProfiles) {
  EXPECT_EQ(table(*makePreferenceProfile(0)), kBase);
  // High security differs only in the minimum complexity and setting 5.
  EXPECT_EQ(table(*makePreferenceProfile(1)),
            (std::vector<double>{0,  3, 1, 5, 4, 3, 4, 4,  2, 5, 600, 15, 0.4, 0.4, 0.4, 86400,
                                 -1, 1, 2, 2, 3, 4, 5, -1, 1, 2, 2,   3,  4,   5,   2}));
  // Unlock: no quality checks, 20 stored signatures, and signature type 1 verified one step
  // more leniently up to 4 (a negative level stays).
  EXPECT_EQ(table(*makePreferenceProfile(2)),
            (std::vector<double>{1,  3, 0, 0, 0, 0, 0, 0,  4, 5, 600, 20, 0.3, 0.2, 0.3, 86400,
                                 -1, 1, 2, 2, 3, 4, 5, -1, 2, 2, 3,   4,  4,   5,   1}));
  for (int type : {7, -1, 3}) EXPECT_EQ(table(*makePreferenceProfile(type)), kBase) << type;
  for (int type : {0, 1, 2}) {
    auto original = makePreferenceProfile(type);
    EXPECT_EQ(table(*GestalPrivate::copyPreferenceProfile(*original)), table(*original));
  }
}

}  // namespace
