#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "core/Kernels.h"

// Longest common subsequence by bit vectors: one bit per position of the longer string, one pass
// per symbol of the shorter one. After each pass a zero bit marks a position where the LCS of the
// prefixes grows; the final count of zero bits is the LCS length. The update for symbol c with
// match mask M is V' = (V + (V & M)) | (V & ~M), carried across 64-bit words. This replaces the
// (n + 1) x (m + 1) table: n * m / 64 word operations and memory linear in n.

namespace GestalPrivate {

namespace {

// Per-thread match masks and state vector, grown to the longest string seen.
struct LcsScratch {
  std::vector<uint64_t> masks;  // one row of `words` words per distinct byte of the long string
  std::vector<uint64_t> state;
};

uint32_t lengthSingleWord(const char* longer, uint32_t n, const char* shorter, uint32_t m) {
  std::array<uint64_t, 256> masks{};
  for (uint32_t i = 0; i < n; ++i) masks[static_cast<unsigned char>(longer[i])] |= uint64_t{1} << i;
  uint64_t v = ~uint64_t{0};
  for (uint32_t j = 0; j < m; ++j) {
    const uint64_t mask = masks[static_cast<unsigned char>(shorter[j])];
    v = (v + (v & mask)) | (v & ~mask);
  }
  return static_cast<uint32_t>(std::popcount(~v));
}

uint32_t lengthMultiWord(const char* longer, uint32_t n, const char* shorter, uint32_t m) {
  thread_local LcsScratch scratch;
  const size_t words = (static_cast<size_t>(n) + 63) / 64;

  // Rows of masks only for the bytes that occur; any other byte matches nothing.
  std::array<int16_t, 256> slot;
  slot.fill(-1);
  size_t slots = 0;
  for (uint32_t i = 0; i < n; ++i) {
    int16_t& s = slot[static_cast<unsigned char>(longer[i])];
    if (s < 0) s = static_cast<int16_t>(slots++);
  }
  if (scratch.masks.size() < slots * words) scratch.masks.resize(slots * words);
  if (scratch.state.size() < words) scratch.state.resize(words);
  uint64_t* masks = scratch.masks.data();
  uint64_t* v = scratch.state.data();
  std::fill(masks, masks + slots * words, uint64_t{0});
  for (uint32_t i = 0; i < n; ++i) {
    const size_t row = static_cast<size_t>(slot[static_cast<unsigned char>(longer[i])]);
    masks[row * words + i / 64] |= uint64_t{1} << (i % 64);
  }
  std::fill(v, v + words, ~uint64_t{0});

  for (uint32_t j = 0; j < m; ++j) {
    const int16_t s = slot[static_cast<unsigned char>(shorter[j])];
    if (s < 0) continue;
    const uint64_t* mask = masks + static_cast<size_t>(s) * words;
    bool carry = false;
    for (size_t w = 0; w < words; ++w) {
      const uint64_t vw = v[w];
      const uint64_t mw = mask[w];
      uint64_t sum;
      const bool carry1 = __builtin_add_overflow(vw, vw & mw, &sum);
      const bool carry2 = __builtin_add_overflow(sum, static_cast<uint64_t>(carry), &sum);
      carry = carry1 | carry2;
      v[w] = sum | (vw & ~mw);
    }
  }

  // Bits above n in the last word start as ones and stay ones: no mask bit is set there, so the
  // term V & ~M restores any of them that a carry cleared.
  uint64_t zeros = 0;
  for (size_t w = 0; w < words; ++w) zeros += static_cast<uint64_t>(std::popcount(~v[w]));
  return static_cast<uint32_t>(zeros);
}

}  // namespace

int16_t commonSubsequenceLength(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB) {
  if (lengthA == 0 || lengthB == 0) return 0;
  const bool aLonger = lengthA >= lengthB;
  const char* longer = aLonger ? a : b;
  const char* shorter = aLonger ? b : a;
  const uint32_t n = aLonger ? lengthA : lengthB;
  const uint32_t m = aLonger ? lengthB : lengthA;
  const uint32_t length =
      n <= 64 ? lengthSingleWord(longer, n, shorter, m) : lengthMultiWord(longer, n, shorter, m);
  return static_cast<int16_t>(static_cast<uint16_t>(length));
}

}  // namespace GestalPrivate
