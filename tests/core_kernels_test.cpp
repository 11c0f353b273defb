#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/Kernels.h"
#include "reference/SymbolReference.h"

namespace GestalPrivate {
namespace {

using Sequence = std::vector<int16_t>;

Sequence entries(std::initializer_list<std::array<int16_t, 3>> xyz) {
  Sequence out;
  int16_t time = 0;
  for (const auto& v : xyz) {
    out.insert(out.end(), {time, v[0], v[1], v[2]});
    time = static_cast<int16_t>(time + 20);
  }
  return out;
}

// Entries whose three components are all beyond any threshold below 500.
Sequence busy(size_t count) {
  Sequence out;
  for (size_t i = 0; i < count; ++i) out.insert(out.end(), {0, 500, -500, 500});
  return out;
}

std::string axes(const Sequence& s, int16_t x, int16_t y, int16_t z) {
  std::string out(symbolCapacity(static_cast<uint32_t>(s.size())), '?');
  uint32_t count = 12345;
  EXPECT_EQ(symbolizeAxes(s.data(), static_cast<uint32_t>(s.size()), out.data(), &count, x, y, z),
            1);
  return out.substr(0, count);
}

std::string runs(const Sequence& s, int16_t t, int32_t minRun, int32_t runStep) {
  std::string out(symbolCapacity(static_cast<uint32_t>(s.size())), '?');
  uint32_t count = 12345;
  EXPECT_EQ(symbolizeWithRuns(s.data(), static_cast<uint32_t>(s.size()), out.data(), &count, t,
                              minRun, runStep),
            1);
  return out.substr(0, count);
}

TEST(CoreKernels, SymbolsPerAxisAndThreshold) {
  EXPECT_EQ(axes(entries({{260, 0, 0}, {261, 0, 0}, {-261, 0, 0}, {-260, 0, 0}}), 260, 20, 290),
            "ab");
  EXPECT_EQ(axes(entries({{300, -300, 0}}), 100, 100, 100), "ad");
  EXPECT_EQ(axes(entries({{0, 21, -291}, {0, -21, 291}}), 260, 20, 290), "cfde");
  EXPECT_EQ(countActiveValues(nullptr, 0, 1, 1, 1), 0);
}

TEST(CoreKernels, AgreeWithThePlainSymbolizerOnRandomSequences) {
  std::mt19937_64 random(99);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::uniform_int_distribution<int> small(-400, 400);
  for (int round = 0; round < 3000; ++round) {
    Sequence s(random() % 200);
    for (int16_t& v : s)
      v = static_cast<int16_t>(random() % 8 == 0 ? value(random) : small(random));
    // Thresholds include negative ones and -32768, whose negation needs more than 16 bits.
    const auto threshold = [&] {
      return static_cast<int16_t>(random() % 10 == 0 ? value(random) : small(random));
    };
    const int16_t x = threshold(), y = threshold(), z = threshold();
    const uint32_t length = static_cast<uint32_t>(s.size());
    const std::string expected = GestalReference::symbolsOf(s.data(), length, x, y, z);
    ASSERT_EQ(axes(s, x, y, z), expected);
    ASSERT_EQ(countActiveValues(s.data(), length, x, y, z), static_cast<int32_t>(expected.size()));
    const int32_t minRun = static_cast<int32_t>(random() % 6) - 1;
    const int32_t runStep = static_cast<int32_t>(random() % 6) - 1;
    ASSERT_EQ(runs(s, x, minRun, runStep),
              GestalReference::filterRuns(GestalReference::symbolsOf(s.data(), length, x, x, x),
                                          minRun, runStep));
  }
}

TEST(CoreKernels, SymbolLimitIsTestedAfterEachEntry) {
  // 33332 entries of three symbols stay below the limit; one more entry reaches it.
  for (size_t count : {33332u, 33333u}) {
    const Sequence s = busy(count);
    const uint32_t length = static_cast<uint32_t>(s.size());
    std::string out(symbolCapacity(length), '?');
    uint32_t written = 12345;
    const bool fits = count == 33332u;
    EXPECT_EQ(symbolizeAxes(s.data(), length, out.data(), &written, 1, 1, 1), fits ? 1 : -1);
    EXPECT_EQ(written, fits ? 99996u : 0u);
    EXPECT_EQ(countActiveValues(s.data(), length, 1, 1, 1), fits ? 99996 : -1);
    EXPECT_EQ(symbolizeWithRuns(s.data(), length, out.data(), &written, 1, 1, 1), fits ? 1 : -1);
    EXPECT_EQ(written, fits ? 99996u : 0u);
  }
  EXPECT_EQ(symbolCapacity(0), 3u);
  EXPECT_EQ(symbolCapacity(4000000), kSymbolLimit + 2);
}

TEST(CoreKernels, RunFilterKeepsLongRunsAndThinsThem) {
  // Stage-1 symbols a a a a b b c.
  const Sequence s = entries({{200, 0, 0},
                              {200, 0, 0},
                              {200, 0, 0},
                              {200, 0, 0},
                              {-200, 0, 0},
                              {-200, 0, 0},
                              {0, 200, 0}});
  EXPECT_EQ(runs(s, 100, 2, 1), "aaab");
  EXPECT_EQ(runs(s, 100, 2, 2), "a");
  EXPECT_EQ(runs(s, 100, 1, 1), "aaaabbc");
  EXPECT_EQ(runs(s, 100, 1, 3), "a");
}

TEST(CoreKernels, SignatureSimilarityScoresAndCodes) {
  const Sequence one = entries({{300, 0, 0}});
  const Sequence aab = entries({{300, 0, 0}, {300, 0, 0}, {-300, 0, 0}});
  const Sequence ab = entries({{300, 0, 0}, {-300, 0, 0}});
  const Sequence quiet = entries({{10, 0, 0}});
  const auto score = [](const Sequence& a, const Sequence& b, int32_t index, int32_t variant) {
    return signatureSimilarity(a.data(), b.data(), static_cast<uint32_t>(a.size()),
                               static_cast<uint32_t>(b.size()), index, variant);
  };
  EXPECT_EQ(score(one, one, 0, 0), 1.0f / 0.77f);
  EXPECT_EQ(score(one, one, 9, 1), 1.0f / 0.37f);
  EXPECT_EQ(score(aab, ab, 4, 0), 2.0f / (3.0f * 0.70f));
  EXPECT_EQ(score(ab, aab, 4, 7), 2.0f / (3.0f * 0.70f));
  EXPECT_EQ(score(quiet, quiet, 0, 0), -1.0f);
  EXPECT_EQ(score(quiet, one, 0, 0), -1.0f);
  EXPECT_EQ(score(one, quiet, 0, 0), -2.0f);
  EXPECT_EQ(score(busy(33333), one, 0, 0), -3.0f);
  EXPECT_EQ(score(one, busy(33333), 0, 0), -4.0f);
  EXPECT_EQ(score(one, one, 10, 0), -5.0f);
  EXPECT_EQ(score(one, one, -1, 1), -5.0f);
}

TEST(CoreKernels, GestureSimilarityScoresAndCodes) {
  const Sequence s = entries({{200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {0, -200, 0}, {0, -200, 0}});
  const Sequence t = entries({{200, 0, 0}, {200, 0, 0}, {0, 0, 200}, {0, 0, 200}});
  const Sequence quiet = entries({{10, 0, 0}});
  const auto score = [](const Sequence& a, const Sequence& b, int32_t minRun, int32_t runStep) {
    return gestureSimilarity(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                             static_cast<uint32_t>(b.size()), 100, minRun, runStep);
  };
  EXPECT_EQ(score(s, s, 2, 1), 1.0f);
  // "aaadd" against "aaee"; with runs of two "aad" against "ae".
  EXPECT_EQ(score(s, t, 1, 1), 2.0f / 5.0f);
  EXPECT_EQ(score(s, t, 2, 1), 1.0f / 3.0f);
  EXPECT_EQ(score(quiet, quiet, 1, 1), -1.0f);
  EXPECT_EQ(score(s, quiet, 1, 1), -2.0f);
  EXPECT_EQ(score(t, t, 3, 1), -1.0f);
  EXPECT_EQ(score(busy(33333), s, 1, 1), -3.0f);
  EXPECT_EQ(score(s, busy(33333), 1, 1), -4.0f);
}

}  // namespace
}  // namespace GestalPrivate
