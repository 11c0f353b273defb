#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/Kernels.h"
#include "reference/SymbolReference.h"

namespace GestalPrivate {
namespace {

using Sequence = std::vector<int16_t>;

// Entries 20 ms apart with the given primary x, y, z values.
Sequence entries(std::initializer_list<std::array<int16_t, 3>> xyz) {
  Sequence out;
  for (const auto& v : xyz) out.insert(out.end(), {int16_t(out.size() * 5), v[0], v[1], v[2]});
  return out;
}

// Entries whose three components are all beyond any threshold below 500.
Sequence busy(size_t count) {
  Sequence out;
  for (size_t i = 0; i < count; ++i) out.insert(out.end(), {0, 500, -500, 500});
  return out;
}

uint32_t size(const Sequence& s) {
  return static_cast<uint32_t>(s.size());
}

std::string axes(const Sequence& s, int16_t x, int16_t y, int16_t z) {
  std::string out(symbolCapacity(size(s)), '?');
  uint32_t count = 12345;
  EXPECT_EQ(symbolizeAxes(s.data(), size(s), out.data(), &count, x, y, z), 1);
  return out.substr(0, count);
}

std::string runs(const Sequence& s, int16_t t, int32_t minRun, int32_t runStep) {
  std::string out(symbolCapacity(size(s)), '?');
  uint32_t count = 12345;
  EXPECT_EQ(symbolizeWithRuns(s.data(), size(s), out.data(), &count, t, minRun, runStep), 1);
  return out.substr(0, count);
}

TEST(CoreKernels, AgreeWithThePlainSymbolizerOnRandomSequences) {
  std::mt19937_64 random(99);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::uniform_int_distribution<int> small(-400, 400);
  // Thresholds include negative ones and -32768, whose negation needs more than 16 bits.
  const auto draw = [&](int wide) {
    return static_cast<int16_t>(random() % wide == 0 ? value(random) : small(random));
  };
  for (int round = 0; round < 3000; ++round) {
    Sequence s(random() % 200);
    for (int16_t& v : s) v = draw(8);
    const int16_t x = draw(10), y = draw(10), z = draw(10);
    const std::string expected = GestalReference::symbolsOf(s.data(), size(s), x, y, z);
    ASSERT_EQ(axes(s, x, y, z), expected);
    ASSERT_EQ(countActiveValues(s.data(), size(s), x, y, z), static_cast<int32_t>(expected.size()));
    const int32_t minRun = static_cast<int32_t>(random() % 6) - 1;
    const int32_t runStep = static_cast<int32_t>(random() % 6) - 1;
    ASSERT_EQ(runs(s, x, minRun, runStep),
              GestalReference::filterRuns(GestalReference::symbolsOf(s.data(), size(s), x, x, x),
                                          minRun, runStep));
  }
}

TEST(CoreKernels, ReachingTheSymbolLimitFailsWithNothingWritten) {
  // 33333 entries of three symbols each reach the limit with the last one.
  const Sequence s = busy(33333);
  std::string out(symbolCapacity(size(s)), '?');
  uint32_t written = 12345;
  EXPECT_EQ(symbolizeAxes(s.data(), size(s), out.data(), &written, 1, 1, 1), -1);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(countActiveValues(s.data(), size(s), 1, 1, 1), -1);
  written = 12345;
  EXPECT_EQ(symbolizeWithRuns(s.data(), size(s), out.data(), &written, 1, 1, 1), -1);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(symbolCapacity(4000000), kSymbolLimit + 2);
}

// Rows of {first, second, row or threshold selector, variant or run step, expected score}.
struct ScoreCase {
  Sequence a, b;
  int32_t p, q;
  float score;
};

TEST(CoreKernels, SimilarityScoresAndCodes) {
  const Sequence one = entries({{300, 0, 0}}), quiet = entries({{10, 0, 0}});
  const Sequence aab = entries({{300, 0, 0}, {300, 0, 0}, {-300, 0, 0}});
  const Sequence ab = entries({{300, 0, 0}, {-300, 0, 0}});
  const Sequence over = busy(33333);
  // Signatures at table row p of variant q.
  // Row 0 and row 4 of variant 0 are read through the comparison of recordings.
  for (const ScoreCase& c : std::vector<ScoreCase>{{one, one, 9, 1, 1.0f / 0.37f},
                                                   {ab, aab, 4, 7, 2.0f / (3.0f * 0.70f)},
                                                   {quiet, quiet, 0, 0, -1.0f},
                                                   {quiet, one, 0, 0, -1.0f},
                                                   {one, quiet, 0, 0, -2.0f},
                                                   {over, one, 0, 0, -3.0f},
                                                   {one, over, 0, 0, -4.0f},
                                                   {one, one, 10, 0, -5.0f},
                                                   {one, one, -1, 1, -5.0f}}) {
    EXPECT_EQ(signatureSimilarity(c.a.data(), c.b.data(), size(c.a), size(c.b), c.p, c.q), c.score)
        << c.p << " " << c.q;
  }
  // Gestures with threshold 100, minimum run p, run step q: "aaadd" against "aaee", with runs of
  // two "aad" against "ae".
  const Sequence s = entries({{200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {0, -200, 0}, {0, -200, 0}});
  const Sequence t = entries({{200, 0, 0}, {200, 0, 0}, {0, 0, 200}, {0, 0, 200}});
  for (const ScoreCase& c : std::vector<ScoreCase>{{s, s, 2, 1, 1.0f},
                                                   {s, t, 1, 1, 2.0f / 5.0f},
                                                   {s, t, 2, 1, 1.0f / 3.0f},
                                                   {quiet, quiet, 1, 1, -1.0f},
                                                   {s, quiet, 1, 1, -2.0f},
                                                   {t, t, 3, 1, -1.0f},
                                                   {over, s, 1, 1, -3.0f},
                                                   {s, over, 1, 1, -4.0f}}) {
    EXPECT_EQ(gestureSimilarity(c.a.data(), size(c.a), c.b.data(), size(c.b), 100, c.p, c.q),
              c.score)
        << c.p << " " << c.q;
  }
}

}  // namespace
}  // namespace GestalPrivate
