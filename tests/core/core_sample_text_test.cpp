#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/SampleText.h"
#include "reference/SampleTextReference.h"
#include "support/Thrown.h"

namespace GestalPrivate {
namespace {

using namespace std::string_literals;

// What a decoder makes of a text: the bits of the first `fields` values of every entry, or the
// refusal message.
template <typename Decoder>
std::string outcome(Decoder decode, const std::string& text, NullValues nulls,
                    std::size_t fields = 10) {
  try {
    std::string bits;
    for (const MotionEntry& entry : decode(text, nulls)) {
      for (std::size_t k = 0; k < fields; ++k) {
        bits += std::to_string(std::bit_cast<uint32_t>(entry[k])) + ' ';
      }
      bits += '|';
    }
    return bits;
  } catch (const SampleTextError& e) {
    return "refused: "s + e.what();
  }
}

// Both decoders read the text as the reference does; the one for matching, the values it reads.
void expectSameAsReference(const std::string& text, NullValues nulls = NullValues::Reject) {
  const std::string expected = outcome(GestalReference::readSampleText, text, nulls);
  ASSERT_EQ(outcome(readSampleText, text, nulls), expected) << text.substr(0, 200);
  ASSERT_EQ(outcome(readSampleMotion, text, nulls, 4),
            outcome(GestalReference::readSampleText, text, nulls, 4))
      << text.substr(0, 200);
}

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

// A million random floats, each power of two and its neighbours, values whose fifteenth digit is
// followed by exactly one half, denormals, signed zeros and the extremes: written as the C library
// prints them, and read back bit for bit as written and as the reference reads them.
TEST(CoreSampleText, WritesEveryFloatAsTheCLibraryPrintsItAndReadsItBackExactly) {
  std::mt19937 random(23);
  MotionSample sample(100000);
  for (MotionEntry& e : sample) {
    for (float& v : e) v = std::bit_cast<float>(static_cast<uint32_t>(random()));
  }
  MotionEntry edges{};
  std::size_t filled = 0;
  for (int power = -149; power <= 127; ++power) {
    const float exact = std::ldexp(1.0f, power);
    for (float v : {exact, std::nextafter(exact, 0.0f), std::nextafter(exact, 1e38f), -exact}) {
      edges[filled++] = v;
      if (filled == edges.size()) {
        sample.push_back(edges);
        filled = 0;
      }
    }
  }
  // 2^-22 = 2.384185791015625e-07 rounds to even; 999999999999999.5 is no float, 2^60 is.
  sample.push_back({std::ldexp(1.0f, -22), std::ldexp(3.0f, -23), std::ldexp(1.0f, 60), 1e15f,
                    9.99999e14f, 0.0001f, 0.00001f, 123456789.0f, -0.0f, 1e-45f});
  sample.push_back({-0.0f, 0.0f, std::numeric_limits<float>::denorm_min(),
                    -std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
                    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                    std::bit_cast<float>(0x007FFFFFu), 16777217.0f,
                    std::numeric_limits<float>::infinity()});
  const std::string text = writeSampleText(sample);
  ASSERT_EQ(text, GestalReference::writeSampleText(sample));
  const MotionSample back = readSampleText(text, NullValues::AsNaN);
  ASSERT_EQ(back.size(), sample.size());
  for (size_t i = 0; i < sample.size(); ++i) {
    for (size_t k = 0; k < 10; ++k) {
      const float v = sample[i][k];
      if (std::isfinite(v)) {
        ASSERT_EQ(std::bit_cast<uint32_t>(back[i][k]), std::bit_cast<uint32_t>(v)) << i << " " << k;
      } else {
        ASSERT_TRUE(std::isnan(back[i][k])) << i << " " << k;
      }
    }
  }
  expectSameAsReference(text, NullValues::AsNaN);
}

// Texts the writer never produces: long and short mantissas, huge and tiny exponents, integers
// around the edges of float, double and 64 bits. Each reads as the reference reads it, including
// decimals near the midpoint of two floats, which round twice (to double, then to float).
TEST(CoreSampleText, ReadsOtherNumberTextsAsTheReferenceDoes) {
  // 1 + 2^-24 (the midpoint between 1 and the next float) plus a little: a direct conversion
  // gives the next float, the double in between gives 1.
  const std::string nine = "0,0,0,0,0,0,0,0,0";
  EXPECT_EQ(readSampleText("[[1.00000005960464477539062500000001," + nine + "]]",
                           NullValues::Reject)[0][0],
            1.0f);
  std::mt19937_64 random(7);
  const std::vector<std::string> integers = {"16777217",
                                             "-16777217",
                                             "9007199254740993",
                                             "9223372036854775807",
                                             "-9223372036854775808",
                                             "-9223372036854775809",
                                             "18446744073709551615",
                                             "18446744073709551616",
                                             "184467440737095516150",
                                             "-0",
                                             "0",
                                             std::string(400, '9'),
                                             "-" + std::string(310, '9')};
  for (size_t round = 0; round < 20000; ++round) {
    std::string entry = "[";
    for (int k = 0; k < 10; ++k) {
      if (k > 0) entry += ',';
      if (random() % 8 == 0) {
        entry += integers[random() % integers.size()];
        continue;
      }
      if (random() % 2) entry += '-';
      std::string digits = std::to_string(random() % 10);
      for (size_t n = random() % 40; n > 0; --n) digits += static_cast<char>('0' + random() % 10);
      entry += digits.front();
      if (digits.size() > 1) entry.append(".").append(digits, 1);
      if (random() % 2) {
        entry += random() % 2 ? "e" : "E-";
        entry += std::to_string(random() % 2 ? random() % 50 : random() % 340);
      }
    }
    expectSameAsReference("[" + entry + "]]");
  }
}

TEST(CoreSampleText, ReadsWhatTheJsonGrammarAllows) {
  const MotionSample sample = readSampleText(
      "\xEF\xBB\xBF [ [0,1,-2,3.5,4e2,5E-1,6,7,8,18446744073709551615] ,\n"
      "[16777217,0,0,0,0,0,0,0,0,0]]\r\t",
      NullValues::Reject);
  ASSERT_EQ(sample.size(), 2u);
  EXPECT_EQ(sample[0], (MotionEntry{0, 1, -2, 3.5f, 400, 0.5f, 6, 7, 8, 18446744073709551615.0f}));
  EXPECT_EQ(sample[1][0], 16777216.0f);
  EXPECT_TRUE(readSampleText("[]", NullValues::Reject).empty());
  // The first zero byte ends the text.
  EXPECT_TRUE(readSampleText("[]\0garbage"s, NullValues::Reject).empty());
  EXPECT_TRUE(std::isnan(readSampleText("[[1,2,3,4,null,6,7,8,9,10]]", NullValues::AsNaN)[0][4]));
}

// Every refusal with the reference's reason, and the byte count of a syntax error as a reader
// that reads byte by byte reports it.
TEST(CoreSampleText, RefusesEveryOtherTextAsTheReferenceDoes) {
  const std::string ten = "[[1,2,3,4,5,6,7,8,9,";
  const auto reason = [](const std::string& text, NullValues nulls = NullValues::Reject) {
    return GestalTest::thrownText([&] { readSampleText(text, nulls); });
  };
  EXPECT_EQ(reason(ten + "null]]"), "stored recording is malformed: a value is null");
  EXPECT_EQ(reason("null", NullValues::AsNaN),
            "stored recording is malformed: the text is not an array");
  EXPECT_EQ(reason(""), "stored recording is malformed: not valid JSON at byte 1");
  EXPECT_EQ(reason(ten + "1e999]]"), "stored recording is malformed: not valid JSON at byte 25");
  EXPECT_EQ(reason(ten + "10],]"), "stored recording is malformed: not valid JSON at byte 25");
  EXPECT_EQ(reason(ten + "\"10"), "stored recording is malformed: not valid JSON at byte 24");

  for (const std::string& text : {"{}"s,
                                  "5"s,
                                  "\"x\""s,
                                  "[1]"s,
                                  "[[1,2]]"s,
                                  "[[]]"s,
                                  ten + "10,11]]",
                                  ten + "\"10\"]]",
                                  ten + "true]]",
                                  ten + "tru]]",
                                  ten + "[10]]]",
                                  ten + "10]",
                                  ten + "10]]x",
                                  ten + "10]] 5",
                                  ten + "1.]]",
                                  ten + "-]]",
                                  ten + "1e+]]",
                                  ten + "01]]",
                                  "[{\"a\":1,2,3,4,5,6,7,8,9,10}]"s,
                                  std::string(100000, '['),
                                  ten + "\x80]]",
                                  ten + "\"\\u12G4\"]]",
                                  ten + "\"\\uD800x\"]]",
                                  ten + "\"\\uDC00\"]]",
                                  ten + "\"\xF4\x90\x80\x80\"]]",
                                  ten + "\"\x01\"]]",
                                  "\xEF\xBB"s,
                                  "\xEF[]"s,
                                  "[\0]"s}) {
    expectSameAsReference(text);
    EXPECT_NE(reason(text), "") << text.substr(0, 60);
  }

  // Random texts over the bytes that matter to the grammar.
  const std::string alphabet = "[[[]]],,,0123456789-.eE+ nultrfase\"\\u{}:\x80\xC3\xEF\xBB\xBF\t";
  std::mt19937 random(11);
  for (int round = 0; round < 200000; ++round) {
    std::string text = round % 2 ? "[[" : "";
    for (size_t n = random() % 30; n > 0; --n) text += alphabet[random() % alphabet.size()];
    expectSameAsReference(text, round % 3 ? NullValues::Reject : NullValues::AsNaN);
  }
}

}  // namespace
}  // namespace GestalPrivate
