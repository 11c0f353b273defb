#pragma once

#include <cstdint>

namespace GestalPrivate {

// Matching kernels: free functions over prepared 16-bit sequences (four values per entry: time,
// x, y, z) with explicit lengths. They never throw; failures are negative codes:
//   -1 first symbol string empty (count kernel: symbol limit reached)
//   -2 second symbol string empty
//   -3 symbolising the first sequence reached the symbol limit
//   -4 symbolising the second sequence reached the symbol limit

// Symbolisation stops once this many symbols are written (tested after each entry).
inline constexpr uint32_t kSymbolLimit = 99997;

// Symbols per entry are at most three, so a buffer of symbolCapacity(length) bytes always holds
// the output of symbolizeAxes and symbolizeWithRuns for a sequence of `length` values.
inline uint32_t symbolCapacity(uint32_t length) { return (length / 4 + 1) * 3; }

// Writes "a"/"b", "c"/"d", "e"/"f" for x, y, z beyond +/- their threshold. Returns 1, or -1 (and
// *outCount = 0) on reaching the symbol limit. `out` holds symbolCapacity(length) bytes.
int32_t symbolizeAxes(const int16_t* sequence, uint32_t length, char* out, uint32_t* outCount,
                      int16_t thresholdX, int16_t thresholdY, int16_t thresholdZ);

// The number of symbols symbolizeAxes would write, or -1 on reaching the limit.
int32_t countActiveValues(const int16_t* sequence, uint32_t length, int16_t thresholdX,
                          int16_t thresholdY, int16_t thresholdZ);

// Symbolises with one threshold for all axes, keeps runs of at least `minRun` equal symbols and
// thins them to one symbol per `runStep`. Returns 1, or -1 / -2 on overflow (*outCount = 0).
int32_t symbolizeWithRuns(const int16_t* sequence, uint32_t length, char* out,
                          uint32_t* outCount, int16_t threshold, int32_t minRun, int32_t runStep);

// Length of the longest common subsequence of two symbol strings (bit-parallel).
int16_t commonSubsequenceLength(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB);

// Score of two signatures at a row (0 to 9) of a strength table variant (0 or 1):
// LCS / (longer symbol count * F), or a negative code.
float signatureSimilarity(const int16_t* a, const int16_t* b, uint32_t lengthA, uint32_t lengthB,
                          int32_t toleranceIndex, int32_t variant);

// Score of a gesture template against an input with run filtering: LCS / longer symbol count, or a
// negative code.
float gestureSimilarity(const int16_t* a, uint32_t lengthA, const int16_t* b, uint32_t lengthB,
                        int16_t threshold, int32_t minRun, int32_t runStep);

}  // namespace GestalPrivate
