#include <gtest/gtest.h>

#include <vector>

#include "engine/GSEngineParameters.h"
#include "engine/GSEnginePreferenceParameters.h"

namespace {

using GestalPrivate::GSEnginePreferenceParameters;
using GestalPrivate::makePreferenceProfile;

// Every getter of a profile, in slot order, with the arguments that distinguish the profiles.
struct ProfileRow {
  int signatureTypeMode, requiredSignatureCount;
  bool checksSignatureQuality;
  std::vector<int> minimumComplexity;  // for security levels 0, 1, 2, 3, -1
  int setting5, setting6, setting7, storedSignatureLimit;
  std::vector<double> acceptance;  // for signature types 0, 1, 2
  int learningIntervalSeconds;
  std::vector<int> verificationType0;  // levels -1, 0, 1, 2, 3, 4, 5 with signature type 0
  std::vector<int> verificationType1;  // the same with signature type 1
  int adaptLearningMode;
};

ProfileRow rowOf(const GSEnginePreferenceParameters& p) {
  ProfileRow row{};
  row.signatureTypeMode = p.signatureTypeMode();
  row.requiredSignatureCount = p.requiredSignatureCount();
  row.checksSignatureQuality = p.checksSignatureQuality();
  for (int level : {0, 1, 2, 3, -1})
    row.minimumComplexity.push_back(p.minimumComplexityLevel(level));
  row.setting5 = p.setting5();
  row.setting6 = p.setting6();
  row.setting7 = p.setting7();
  row.storedSignatureLimit = p.storedSignatureLimit();
  for (int type : {0, 1, 2}) row.acceptance.push_back(p.acceptanceRatio(type));
  row.learningIntervalSeconds = p.learningIntervalSeconds();
  for (int level : {-1, 0, 1, 2, 3, 4, 5}) {
    row.verificationType0.push_back(p.verificationLevel(level, 0));
    row.verificationType1.push_back(p.verificationLevel(level, 1));
  }
  row.adaptLearningMode = p.adaptLearningMode();
  return row;
}

void expectRow(const ProfileRow& actual, const ProfileRow& expected) {
  EXPECT_EQ(actual.signatureTypeMode, expected.signatureTypeMode);
  EXPECT_EQ(actual.requiredSignatureCount, expected.requiredSignatureCount);
  EXPECT_EQ(actual.checksSignatureQuality, expected.checksSignatureQuality);
  EXPECT_EQ(actual.minimumComplexity, expected.minimumComplexity);
  EXPECT_EQ(actual.setting5, expected.setting5);
  EXPECT_EQ(actual.setting6, expected.setting6);
  EXPECT_EQ(actual.setting7, expected.setting7);
  EXPECT_EQ(actual.storedSignatureLimit, expected.storedSignatureLimit);
  EXPECT_EQ(actual.acceptance, expected.acceptance);
  EXPECT_EQ(actual.learningIntervalSeconds, expected.learningIntervalSeconds);
  EXPECT_EQ(actual.verificationType0, expected.verificationType0);
  EXPECT_EQ(actual.verificationType1, expected.verificationType1);
  EXPECT_EQ(actual.adaptLearningMode, expected.adaptLearningMode);
}

const ProfileRow kBase{0,
                       3,
                       true,
                       {4, 3, 1, 3, 3},
                       3,
                       5,
                       600,
                       15,
                       {0.4, 0.4, 0.4},
                       86400,
                       {-1, 1, 2, 2, 3, 4, 5},
                       {-1, 1, 2, 2, 3, 4, 5},
                       2};

TEST(PreferenceProfiles, BaseProfileTable) {
  expectRow(rowOf(*makePreferenceProfile(0)), kBase);
}

TEST(PreferenceProfiles, HighSecurityDiffersOnlyInComplexityAndSetting5) {
  ProfileRow expected = kBase;
  expected.minimumComplexity = {5, 4, 3, 4, 4};
  expected.setting5 = 2;
  expectRow(rowOf(*makePreferenceProfile(1)), expected);
}

TEST(PreferenceProfiles, UnlockTable) {
  ProfileRow expected = kBase;
  expected.signatureTypeMode = 1;
  expected.checksSignatureQuality = false;
  expected.minimumComplexity = {0, 0, 0, 0, 0};
  expected.setting5 = 4;
  expected.storedSignatureLimit = 20;
  expected.acceptance = {0.3, 0.2, 0.3};
  // Signature type 1 loosens every level by one step up to 4; a negative level stays.
  expected.verificationType1 = {-1, 2, 2, 3, 4, 4, 5};
  expected.adaptLearningMode = 1;
  expectRow(rowOf(*makePreferenceProfile(2)), expected);
}

TEST(PreferenceProfiles, UnknownPreferenceTypeGivesBaseProfile) {
  for (int type : {7, -1, 3}) expectRow(rowOf(*makePreferenceProfile(type)), kBase);
}

TEST(PreferenceProfiles, CopiesKeepTheKind) {
  for (int type : {0, 1, 2}) {
    auto original = makePreferenceProfile(type);
    expectRow(rowOf(*GestalPrivate::copyPreferenceProfile(*original)), rowOf(*original));
  }
}

TEST(EngineParameters, HostDefaults) {
  Gestal::GSEngineParameters parameters;
  EXPECT_EQ(parameters.preferenceType, 0);
  EXPECT_EQ(parameters.securityLevel, 1);
  EXPECT_EQ(parameters.highestStrengthLevel, 3);
  EXPECT_EQ(parameters.maxFailedTrials, 2147483647);
  EXPECT_EQ(parameters.lockTimeSeconds, 300);
  EXPECT_EQ(parameters.trainMatchThreshold, 1.0f);
  EXPECT_EQ(parameters.verifyMatchThreshold, 1.0f);
}

}  // namespace
