#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/SampleText.h"
#include "support/Thrown.h"

namespace GestalPrivate {
namespace {

using namespace std::string_literals;

TEST(CoreSampleText, WritesFifteenSignificantDigits) {
  const float inf = std::numeric_limits<float>::infinity();
  const MotionSample sample = {
      {0.1f, 1e-7f, 1e20f, -0.0f, 0.0f, 123456789.0f, std::numeric_limits<float>::quiet_NaN(), -inf,
       1.0f, 0.25f},
      {std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
       std::numeric_limits<float>::max(), 1e15f, 1e16f, -3e-5f, 100.0f, -2.5f, 90.0f, 1e-4f}};
  EXPECT_EQ(writeSampleText(sample),
            "[[0.100000001490116,1.0000000116861e-07,1.00000002004088e+20,-0.0,0.0,123456792.0,"
            "null,null,1.0,0.25],"
            "[1.40129846432482e-45,1.17549435082229e-38,3.40282346638529e+38,999999986991104.0,"
            "1.00000002725642e+16,-2.99999992421363e-05,100.0,-2.5,90.0,9.99999974737875e-05]]");
  EXPECT_EQ(writeSampleText({}), "[]");
}

TEST(CoreSampleText, EveryFiniteFloatSurvivesTheRoundTrip) {
  std::mt19937 random(31);
  MotionSample sample(20000);
  for (MotionEntry& e : sample) {
    for (float& v : e) {
      do {
        v = std::bit_cast<float>(static_cast<uint32_t>(random()));
      } while (!std::isfinite(v));
    }
  }
  sample.push_back({-0.0f, 0.0f, 1.0f, -1.0f, 16777217.0f, 3.0f, 0.5f, 1e-38f, 7.0f, 8.0f});
  const MotionSample back = readSampleText(writeSampleText(sample), NullValues::Reject);
  ASSERT_EQ(back.size(), sample.size());
  for (size_t i = 0; i < sample.size(); ++i) {
    for (size_t k = 0; k < 10; ++k) {
      ASSERT_EQ(std::bit_cast<uint32_t>(back[i][k]), std::bit_cast<uint32_t>(sample[i][k]))
          << i << " " << k;
    }
  }
}

TEST(CoreSampleText, ReadsIntegerAndFloatingNumbers) {
  const MotionSample sample = readSampleText(
      "[[0,1,-2,3.5,4e2,5E-1,6,7,8,18446744073709551615],[16777217,0,0,0,0,0,0,0,0,0]]",
      NullValues::Reject);
  ASSERT_EQ(sample.size(), 2u);
  EXPECT_EQ(sample[0], (MotionEntry{0, 1, -2, 3.5f, 400, 0.5f, 6, 7, 8, 18446744073709551615.0f}));
  EXPECT_EQ(sample[1][0], 16777216.0f);
  EXPECT_TRUE(readSampleText("[]", NullValues::Reject).empty());
  EXPECT_EQ(readSampleText(" [ [1,2,3,4,5,6,7,8,9,10] ] ", NullValues::Reject).size(), 1u);
  // Where wanted, the null written for a non-finite value reads back as NaN.
  const MotionSample nan = readSampleText("[[1,2,3,4,null,6,7,8,9,10]]", NullValues::AsNaN);
  EXPECT_TRUE(std::isnan(nan.at(0)[4]));
  EXPECT_THROW(readSampleText("[null]", NullValues::AsNaN), SampleTextError);
}

TEST(CoreSampleText, RejectsEveryOtherShape) {
  const std::string ten = "[[1,2,3,4,5,6,7,8,9,";
  for (const std::string& text :
       {""s, "{}"s, "5"s, "null"s, "[1]"s, "[[1,2]]"s, "[[]]"s, ten + "10,11]]", ten + "null]]",
        ten + "\"10\"]]", ten + "true]]", ten + "[10]]]", ten + "10]", ten + "10]]x", ten + "10],]",
        ten + "1e999]]", "[{\"a\":1,2,3,4,5,6,7,8,9,10}]"s, std::string(100000, '['),
        ten + "\x80]]"}) {
    EXPECT_THROW(readSampleText(text, NullValues::Reject), SampleTextError) << text.substr(0, 60);
  }
  EXPECT_EQ(GestalTest::thrownText([&] { readSampleText(ten + "null]]", NullValues::Reject); }),
            "stored recording is malformed: a value is null");
}

}  // namespace
}  // namespace GestalPrivate
