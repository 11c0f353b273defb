#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Kernels.h"

// Longest common subsequence by bit vectors: one bit per position of the longer string, one pass
// per symbol of the shorter one. The state V starts as all ones; after each pass a zero bit marks
// a position where the LCS of the prefixes grows, and the final count of zero bits is the LCS
// length. The update for a symbol with match mask M is V' = (V + (V & M)) | (V & ~M), the
// addition carried across 64-bit words. Bits of the last word beyond the string's end start as
// ones and stay ones: no mask bit is set there, so the term V & ~M restores any a carry cleared.
// This replaces the (n + 1) x (m + 1) table: n * m / 64 word steps and memory linear in n.

namespace GestalPrivate {

namespace {

// Adds with carry in and out. On x86-64 this is the add-with-carry instruction between restoring
// and saving the carry flag; written out because the compiler's intrinsic passes the sum
// through memory, which puts a store and a load on every update.
inline uint64_t addWithCarry(uint64_t a, uint64_t b, unsigned char& carry) {
#if defined(__x86_64__)
  asm("addb $-1, %[carry]\n\tadcq %[b], %[a]\n\tsetc %[carry]"
      : [a] "+r"(a), [carry] "+q"(carry)
      : [b] "r"(b)
      : "cc");
  return a;
#else
  uint64_t sum;
  const bool first = __builtin_add_overflow(a, b, &sum);
  const bool second = __builtin_add_overflow(sum, static_cast<uint64_t>(carry), &sum);
  carry = static_cast<unsigned char>(first | second);
  return sum;
#endif
}

// One pass of the update for one symbol's mask over one word. V & M is a subset of V, so
// V & ~M is V ^ (V & M), one operation fewer.
inline uint64_t step(uint64_t v, uint64_t mask, unsigned char& carry) {
  const uint64_t matched = v & mask;
  return addWithCarry(v, matched, carry) | (v ^ matched);
}

// Match masks of the longer string: one row of `words` words per distinct byte in it, after a
// row of zeros that every other byte maps to, so the scan needs no test for unknown bytes.
struct MatchMasks {
  std::array<uint16_t, 256> row{};
  std::vector<uint64_t> bits;
  size_t words = 0;

  // One pass: a byte's row is cleared when the byte first occurs.
  void build(const char* s, uint32_t n) {
    words = (static_cast<size_t>(n) + 63) / 64;
    row.fill(0);
    size_t rows = 1;
    if (bits.size() < 2 * words) bits.resize(2 * words);
    std::fill(bits.begin(), bits.begin() + static_cast<std::ptrdiff_t>(words), 0);
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t& r = row[static_cast<unsigned char>(s[i])];
      if (r == 0) {
        r = static_cast<uint16_t>(rows++);
        if (bits.size() < rows * words) bits.resize(2 * rows * words);
        std::fill(bits.begin() + static_cast<std::ptrdiff_t>(r * words),
                  bits.begin() + static_cast<std::ptrdiff_t>(rows * words), 0);
      }
      bits[r * words + i / 64] |= uint64_t{1} << (i % 64);
    }
  }

  const uint64_t* of(char c) const {
    return bits.data() + row[static_cast<unsigned char>(c)] * words;
  }
};

MatchMasks& scratchMasks() {
  thread_local MatchMasks masks;
  return masks;
}

uint32_t lengthSingleWord(const char* longer, uint32_t n, const char* shorter, uint32_t m) {
  std::array<uint64_t, 256> masks{};
  for (uint32_t i = 0; i < n; ++i) masks[static_cast<unsigned char>(longer[i])] |= uint64_t{1} << i;
  uint64_t v = ~uint64_t{0};
  for (uint32_t j = 0; j < m; ++j) {
    const uint64_t mask = masks[static_cast<unsigned char>(shorter[j])];
    const uint64_t matched = v & mask;
    v = (v + matched) | (v ^ matched);
  }
  return static_cast<uint32_t>(std::popcount(~v));
}

// A state of a few words lives in registers for the whole scan.
template <size_t Words>
uint32_t lengthFewWords(const MatchMasks& masks, const char* shorter, uint32_t m) {
  std::array<uint64_t, Words> v;
  v.fill(~uint64_t{0});
  for (uint32_t j = 0; j < m; ++j) {
    const uint64_t* mask = masks.of(shorter[j]);
    unsigned char carry = 0;
    for (size_t w = 0; w < Words; ++w) v[w] = step(v[w], mask[w], carry);
  }
  uint32_t zeros = 0;
  for (uint64_t word : v) zeros += static_cast<uint32_t>(std::popcount(~word));
  return zeros;
}

// Longer states go through memory, four symbols per sweep over the words: each word is loaded
// and stored once per four updates, and the four carry chains run side by side.
uint32_t lengthManyWords(const MatchMasks& masks, const char* shorter, uint32_t m) {
  thread_local std::vector<uint64_t> state;
  // Locals, so that stores to the state are not taken to change the mask table.
  const size_t words = masks.words;
  const uint64_t* bits = masks.bits.data();
  const uint16_t* row = masks.row.data();
  const auto maskOf = [&](char c) { return bits + row[static_cast<unsigned char>(c)] * words; };
  state.assign(words, ~uint64_t{0});
  uint64_t* v = state.data();
  uint32_t j = 0;
  for (; j + 4 <= m; j += 4) {
    const uint64_t* m0 = maskOf(shorter[j]);
    const uint64_t* m1 = maskOf(shorter[j + 1]);
    const uint64_t* m2 = maskOf(shorter[j + 2]);
    const uint64_t* m3 = maskOf(shorter[j + 3]);
    unsigned char c0 = 0, c1 = 0, c2 = 0, c3 = 0;
    for (size_t w = 0; w < words; ++w) {
      uint64_t vw = step(v[w], m0[w], c0);
      vw = step(vw, m1[w], c1);
      vw = step(vw, m2[w], c2);
      v[w] = step(vw, m3[w], c3);
    }
  }
  for (; j < m; ++j) {
    const uint64_t* mask = maskOf(shorter[j]);
    unsigned char carry = 0;
    for (size_t w = 0; w < words; ++w) v[w] = step(v[w], mask[w], carry);
  }
  uint32_t zeros = 0;
  for (size_t w = 0; w < words; ++w) zeros += static_cast<uint32_t>(std::popcount(~v[w]));
  return zeros;
}

uint32_t lengthMultiWord(const char* longer, uint32_t n, const char* shorter, uint32_t m) {
  MatchMasks& masks = scratchMasks();
  masks.build(longer, n);
  switch (masks.words) {
    case 2:
      return lengthFewWords<2>(masks, shorter, m);
    case 3:
      return lengthFewWords<3>(masks, shorter, m);
    case 4:
      return lengthFewWords<4>(masks, shorter, m);
    default:
      return lengthManyWords(masks, shorter, m);
  }
}

}  // namespace

int32_t commonSubsequenceLength(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB) {
  if (lengthA == 0 || lengthB == 0) return 0;
  // Bits over the longer string: fewer passes, each over more words.
  const bool aLonger = lengthA >= lengthB;
  const char* longer = aLonger ? a : b;
  const char* shorter = aLonger ? b : a;
  const uint32_t n = aLonger ? lengthA : lengthB;
  const uint32_t m = aLonger ? lengthB : lengthA;
  const uint32_t length =
      n <= 64 ? lengthSingleWord(longer, n, shorter, m) : lengthMultiWord(longer, n, shorter, m);
  return static_cast<int32_t>(length);
}

}  // namespace GestalPrivate
