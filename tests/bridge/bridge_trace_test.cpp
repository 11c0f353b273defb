// The trace lines every exported call writes, compared line by line, and the result readers.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "bridge/CustomGestureResult.h"
#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/FixedClock.h"
#include "support/HostCalls.h"
#include "support/TempDir.h"

namespace {

using namespace GestalTest;

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CaptureOutput quiet;
    handle_ = GetControllerHelperObject(dir_.path().data(), dir_.path().size());
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { Shutdown(handle_); }

  FixedClock clock_;
  TempDir dir_;
  GestalHandle handle_ = nullptr;
  // Two readings of ten floats.
  const std::vector<float> twoEntries_ = {0,  1, 0, 0, 0, 0, 0, 1, 0, 0,
                                          10, 1, 0, 0, 0, 0, 0, 1, 0, 0};
};

TEST_F(TraceTest, SignatureCalls) {
  CaptureOutput out;
  AddSignature(handle_, 3, twoEntries_.data(), 1, 10, onEnrol);
  EXPECT_EQ(lastReply, (Reply{-1, GESTAL_ERROR_TOO_SHORT, 0, 0}));
  // No enrolled action: a failed identification with the default, practically unlimited trials.
  EXPECT_EQ(identify(handle_, twoEntries_), (Reply{-1, GESTAL_ERROR_NO_MATCH, 2147483646, 0}));
  const int32_t candidates[] = {5, 9};
  IdentifySignature(handle_, twoEntries_.data(), 2, 10, candidates, 2, nullptr);
  EXPECT_TRUE(DeleteAction(handle_, 7));
  EXPECT_EQ(out.take(),
            ">>> AddSignature >>> index:3\n"
            "<<< AddSignatureResult <<< action:-1, error:-201, progress:0, securityLevel:0\n"
            "Time spent: 0ms\n\n"
            ">>> IdentifySignature >>> indexLength:0, index[0]:-1\n"
            "<<< IdentifySignature <<< matched Index:-1, error:-1\n"
            "Time spent: 0ms\n\n"
            ">>> IdentifySignature >>> indexLength:2, index[0]:5\n"
            "<<< IdentifySignature <<< matched Index:-1, error:-1\n"
            "Time spent: 0ms\n\n"
            ">>> DeleteAction >>> index:7\n<<< DeleteAction <<< result:1\n");
}

int32_t verifyReply = 0;
void onVerify(GestureVerifyResult* result, float, float) {
  verifyReply = result->bestMatch;
}

std::string predefinedReply = "unset";
void onPredefined(const GestalGestureName* name, float, float) {
  char buffer[32];
  EXPECT_EQ(GetResultGesture(name, buffer, sizeof buffer), 0);
  predefinedReply = buffer;
}

// Without a model file every predefined call reports the missing file and answers "no match".
TEST_F(TraceTest, PredefinedGestureCalls) {
  CaptureOutput err(2);
  CaptureOutput out;
  const int32_t codes[] = {1001, 42, 1006};
  VerifyGesture(handle_, codes, 3, twoEntries_.data(), 2, 10, onVerify);
  EXPECT_EQ(verifyReply, -1);
  const std::string model = "my_model";
  const int32_t lengths[] = {3, 4};
  VerifyPredefinedGesture(handle_, model.data(), model.size(), 0, 0, "abcwxyz", lengths, 2,
                          twoEntries_.data(), 2, 10, onPredefined);
  EXPECT_EQ(predefinedReply, "");
  EXPECT_EQ(VerifySingleGesture(handle_, 1003, twoEntries_.data(), 2, 10), 0.0f);
  EXPECT_EQ(VerifySingleGesture(handle_, 5, twoEntries_.data(), 2, 7), 0.0f);
  EXPECT_EQ(GetGSGesture(nullptr), -1);
  EXPECT_EQ(out.take(),
            ">>> VerifyGesture >>> Against num of targets: 3\n"
            "target index: 1001\ntarget index: 42\ntarget index: 1006\n"
            "<<< VerifyGesture <<< bestMatch:-1 score:0 conf: 0\n"
            "Time spent: 0ms\n\n"
            ">>> VerifyPredefinedGesture >>> classifier: my_model, Target: abc wxyz \n"
            "<<< VerifyPredefinedGesture <<< bestMatch: score:0 conf: 0\n"
            "Time spent: 0ms\n\n"
            ">>> VerifySingleGesture >>> (index: 1003, data:..., numDataEntry: 2, entryLength: 10\n"
            "TOTAL_LENGTH: 20\n"
            "run singleMatchPredefineGesture\n"
            "<<< VerifySingleGesture <<< gesture:1 score:0\n\n"
            ">>> VerifySingleGesture >>> (index: 5, data:..., numDataEntry: 2, entryLength: 7\n"
            "TOTAL_LENGTH: 14\n"
            "run singleMatchPredefineGesture\n"
            "<<< VerifySingleGesture <<< gesture:-1 score:0\n\n"
            "** GetGSGesture(0) **\n");
  const std::string missing = "Predefine Gesture DB not found.\n";
  EXPECT_EQ(err.take(), "gestal: VerifyGesture failed: " + missing +
                            "gestal: VerifyPredefinedGesture failed: " + missing +
                            "gestal: VerifySingleGesture failed: " + missing +
                            "gestal: VerifySingleGesture failed: " + missing);
}

TEST_F(TraceTest, CustomGestureCalls) {
  std::vector<float> five(50, 0.0f);
  const int32_t lengths[] = {2, 3};
  const int32_t entryLengths[] = {10, 10};
  const std::string name = "wave";
  const int32_t targets[] = {7};
  const int32_t targetLengths[] = {3, 4};
  CaptureOutput out;
  SetCustomGesture(handle_, 7, five.data(), 2, lengths, entryLengths);
  SetCustomGestureStr(handle_, name.data(), name.size(), five.data(), 2, lengths, entryLengths);
  CustomGestureResult* byIndex = IdentifyCustomGesture(handle_, targets, 1, five.data(), 2, 10);
  CustomGestureResult* byName =
      IdentifyCustomGestureStr(handle_, "abcwxyz", 2, targetLengths, five.data(), 2, 10);
  EXPECT_FALSE(IsCustomGestureExisted(handle_, five.data(), 2, 10));
  EXPECT_FALSE(IsTwoGestureSimilar(handle_, five.data(), 2, 10, five.data(), 0, 10));
  EXPECT_EQ(out.take(),
            ">>> SetCustomGesture >>> index:7 numOfData:2\n"
            "2\nData #0, length:2, entryLength:10\n"
            "3\nData #1, length:3, entryLength:10\n"
            "<<< SetCustomGesture <<<\n"
            ">>> SetCustomGesture >>> index:__sg_wave numOfData:2\n"
            "2\nData #0, length:2, entryLength:10\n"
            "3\nData #1, length:3, entryLength:10\n"
            "<<< SetCustomGesture <<<\n"
            ">>> IdentifyCustomGesture >>>\n"
            "<<< IdentifyCustomGesture <<< result.matchedGesture: , result.confidence: 0\n"
            ">>> IdentifyCustomGesture >>> Target: __sg_abc __sg_wxyz \n"
            "<<< IdentifyCustomGesture <<< result.matchedGesture: , result.confidence: 0\n"
            ">>> IsCustomGestureExisted >>>\n"
            "<<< IsCustomGestureExisted <<<\n"
            ">>> IsTwoGestureSimilar >>> Data1 Length: 2, Data2 Length: 0\n"
            "<<< IsTwoGestureSimilar <<< isSimilar: false\n\n");
  ASSERT_NE(byIndex, nullptr);
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(GetGSCustomGestureRecognizeGestureInt(byIndex), -1);
  EXPECT_EQ(GetGSCustomGestureRecognizeGestureConfidence(byName), 0.0f);
  DeleteGSCustomGestureRecognizeGesture(byIndex);
  DeleteGSCustomGestureRecognizeGesture(byName);
  DeleteGSCustomGestureRecognizeGesture(nullptr);
}

TEST(ResultReaders, MatchedGestureAsInteger) {
  auto parse = [](const char* text) {
    CustomGestureResult result{text, 0.5f};
    return GetGSCustomGestureRecognizeGestureInt(&result);
  };
  std::vector<int32_t> parsed;
  for (const char* text :
       {"7", " 42abc", "-12", "__sg_wave", "", "2147483647", "2147483648", "-99999999999999999999"})
    parsed.push_back(parse(text));
  EXPECT_EQ(parsed, (std::vector<int32_t>{7, 42, -12, -1, -1, 2147483647, -1, -1}));
}

// Both name readers copy the name and its zero into a zeroed buffer, or leave a buffer too small
// for them all zero, and never write past it. The custom result's name loses its five-byte prefix;
// its reader answers nothing, counted here as 0. A null record or buffer is a host error, but for
// the action and status readers, where null is an answer of its own.
TEST(ResultReaders, NameCopiesAndNullRecords) {
  using Reader = int32_t (*)(const std::string&, char*, uint64_t);
  const Reader custom = [](const std::string& text, char* buffer, uint64_t size) {
    CustomGestureResult result{text, 0.0f};
    GetGSCustomGestureRecognizeGestureStr(&result, buffer, size);
    return 0;
  };
  const Reader best = [](const std::string& name, char* buffer, uint64_t size) {
    return GetResultGesture(reinterpret_cast<const GestalGestureName*>(&name), buffer, size);
  };
  CaptureOutput err(2);
  for (const auto& [reader, text, size, copied, answer] :
       {std::tuple{custom, "__sg_wave", 6, std::string("wave\0\0", 6), 0},
        {custom, "12", 4, std::string(4, '\0'), 0},
        {custom, "123456", 2, std::string("6\0", 2), 0},
        {custom, "__sg_wave", 4, std::string(4, '\0'), 0},
        {best, "HEART", 6, std::string("HEART\0", 6), 0},
        {best, "HEART", 5, std::string(5, '\0'), ERANGE}}) {
    std::vector<char> buffer(size + 1, 'x');
    EXPECT_EQ(reader(text, buffer.data(), size), answer) << text << " " << size;
    EXPECT_EQ(std::string(buffer.data(), size + 1), copied + 'x') << text << " " << size;
  }
  const std::string name = "HEART";
  EXPECT_EQ(GetResultGesture(reinterpret_cast<const GestalGestureName*>(&name), nullptr, 5),
            EINVAL);
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetResultGesture(nullptr, buffer, sizeof buffer), EINVAL);
  EXPECT_EQ(GetGSCustomGestureRecognizeGestureInt(nullptr), -1);
  EXPECT_EQ(GetActionIndex(nullptr), -1);
  EXPECT_EQ(GetErrorType(nullptr), 0);
  const std::string tooSmall = " bytes cannot hold the name and its terminating zero\n";
  EXPECT_EQ(err.take(), "gestal: GetGSCustomGestureRecognizeGestureStr failed: a buffer of 4" +
                            tooSmall + "gestal: GetResultGesture failed: a buffer of 5" + tooSmall +
                            "gestal: GetResultGesture failed: the buffer is null\n"
                            "gestal: GetResultGesture failed: the name handle is null\n"
                            "gestal: GetGSCustomGestureRecognizeGestureInt failed: the result is "
                            "null\n");
}

}  // namespace
