#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/Kernels.h"
#include "reference/LcsTable.h"

namespace GestalPrivate {
namespace {

int32_t fast(const std::string& a, const std::string& b) {
  return commonSubsequenceLength(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                                 static_cast<uint32_t>(b.size()));
}

int16_t table(const std::string& a, const std::string& b) {
  return GestalReference::lcsTable(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                                   static_cast<uint32_t>(b.size()));
}

std::string randomSymbols(std::mt19937_64& random, size_t length, int alphabet) {
  std::uniform_int_distribution<int> symbol(0, alphabet - 1);
  std::string s(length, 'a');
  for (char& c : s) c = static_cast<char>('a' + symbol(random));
  return s;
}

// Mostly short strings around the one-word and two-word boundaries, some of a few hundred
// symbols, a few of up to 2000; small alphabets give long common subsequences and long carries.
size_t randomLength(std::mt19937_64& random) {
  const uint64_t kind = random() % 10000;
  const uint64_t limit = kind < 9700 ? 100 : kind < 9995 ? 400 : 2001;
  return static_cast<size_t>(random() % limit);
}

// The table is slow under the address sanitizer; there a quarter of the pairs still covers every
// word-count path.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomPairs = 25000;
#else
constexpr int kRandomPairs = 100000;
#endif

TEST(CoreLcs, AgreesWithTheTable) {
  std::mt19937_64 random(20240611);
  for (int pair = 0; pair < kRandomPairs; ++pair) {
    const int alphabet = 1 + static_cast<int>(random() % 6);
    const std::string a = randomSymbols(random, randomLength(random), alphabet);
    const std::string b = randomSymbols(random, randomLength(random), alphabet);
    ASSERT_EQ(fast(a, b), table(a, b)) << a << " / " << b;
  }
  // Long near-identical pairs: long common subsequences spanning many words.
  for (int pair = 0; pair < 300; ++pair) {
    std::string a = randomSymbols(random, 1 + random() % 1200, 6), b = a;
    for (int edit = static_cast<int>(random() % 8); edit > 0; --edit) {
      const size_t at = random() % (b.size() + 1);
      if (at < b.size() && random() % 2 == 0) {
        b.erase(at, 1);
      } else {
        b.insert(at, 1, static_cast<char>('a' + random() % 6));
      }
    }
    ASSERT_EQ(fast(a, b), table(a, b)) << a << " / " << b;
  }
}

TEST(CoreLcs, EdgeShapes) {
  // Bytes outside the symbol alphabet compare like any other byte.
  EXPECT_EQ(fast(std::string("x\0\xffy", 4), std::string("\xff\0y", 3)), 2);
  // Lengths beyond what a 16-bit table cell holds stay exact.
  EXPECT_EQ(fast(std::string(40000, 'c'), std::string(40000, 'c')), 40000);
  EXPECT_EQ(fast(std::string(33000, 'a'), "b" + std::string(32999, 'a')), 32999);
}

}  // namespace
}  // namespace GestalPrivate
