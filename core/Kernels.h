#pragma once

#include <cstdint>
#include <string>

namespace GestalPrivate {

// Matching kernels: free functions over prepared 16-bit sequences (four values per entry: time,
// x, y, z) with explicit lengths. They never throw; failures are negative codes:
//   -1 first symbol string empty (count kernel: symbol limit reached)
//   -2 second symbol string empty
//   -3 symbolising the first sequence reached the symbol limit
//   -4 symbolising the second sequence reached the symbol limit
//   -5 no strength table row of that index

// Symbolisation stops once this many symbols are written (tested after each entry), so at most
// kSymbolLimit + 2 symbols are ever written.
inline constexpr uint32_t kSymbolLimit = 99997;

// Symbols per entry are at most three, and no symbolisation writes beyond kSymbolLimit + 2
// bytes, so a buffer of symbolCapacity(length) bytes always holds the output of symbolizeAxes
// and symbolizeWithRuns for a sequence of `length` values.
inline uint32_t symbolCapacity(uint32_t length) {
  const uint64_t perEntry = (static_cast<uint64_t>(length) / 4 + 1) * 3;
  return perEntry < kSymbolLimit + 2 ? static_cast<uint32_t>(perEntry) : kSymbolLimit + 2;
}

// Writes "a"/"b", "c"/"d", "e"/"f" for x, y, z beyond +/- their threshold (a value above the
// threshold wins over one below its negation when the threshold is negative). Returns 1, or -1
// (and *outCount = 0) on reaching the symbol limit. `out` holds symbolCapacity(length) bytes.
// Values at or beyond `length` are never read, even when `length` is not a multiple of 4.
int32_t symbolizeAxes(const int16_t* sequence, uint32_t length, char* out, uint32_t* outCount,
                      int16_t thresholdX, int16_t thresholdY, int16_t thresholdZ);

// The number of symbols symbolizeAxes would write, or -1 on reaching the limit.
int32_t countActiveValues(const int16_t* sequence, uint32_t length, int16_t thresholdX,
                          int16_t thresholdY, int16_t thresholdZ);

// Symbolises with one threshold for all axes, keeps runs of at least `minRun` equal symbols and
// thins them to one symbol per `runStep`. Returns 1, or -1 on reaching the symbol limit
// (*outCount = 0). `out` holds symbolCapacity(length) bytes; no other buffer is used.
int32_t symbolizeWithRuns(const int16_t* sequence, uint32_t length, char* out, uint32_t* outCount,
                          int16_t threshold, int32_t minRun, int32_t runStep);

// Length of the longest common subsequence of two byte strings (bit-parallel), equal to what a
// dynamic-programming table gives. The length is exact at any size: a table of 16-bit cells would
// wrap beyond 32767, which long custom recordings (tens of thousands of symbols) can reach.
int32_t commonSubsequenceLength(const char* a, uint32_t lengthA, const char* b, uint32_t lengthB);

// Score of two signatures at a row (0 to 9) of a strength table variant (1, or 0 for any other
// value): LCS / (longer symbol count * F), or a negative code; -5 for a row outside 0 to 9.
float signatureSimilarity(const int16_t* a, const int16_t* b, uint32_t lengthA, uint32_t lengthB,
                          int32_t toleranceIndex, int32_t variant);

// Score of a gesture template against an input with run filtering: LCS / longer symbol count, or a
// negative code.
float gestureSimilarity(const int16_t* a, uint32_t lengthA, const int16_t* b, uint32_t lengthB,
                        int16_t threshold, int32_t minRun, int32_t runStep);

// A symbol string made once and compared many times. When symbolisation reached the symbol limit,
// `limitReached` is set and the text is empty.
struct Symbols {
  std::string text;
  bool limitReached = false;
};

// The symbols of symbolizeAxes and of symbolizeWithRuns as a Symbols value.
Symbols axisSymbols(const int16_t* sequence, uint32_t length, int16_t thresholdX,
                    int16_t thresholdY, int16_t thresholdZ);
Symbols runSymbols(const int16_t* sequence, uint32_t length, int16_t threshold, int32_t minRun,
                   int32_t runStep);

// The score of two symbol strings made by the same symbolisation, as signatureSimilarity (with
// the row's factor) and gestureSimilarity (factor 1) compute it from their symbols: LCS / (longer
// count * factor), or -3, -4, -1, -2 in that order of precedence.
float symbolSimilarity(const Symbols& a, const Symbols& b, float factor);

// One row of a strength table: thresholds for the primary x, y, z (sensor value x 100) and the
// share F of the longer symbol string that the common subsequence must reach for a score of 1.
struct StrengthRow {
  int16_t thresholdX;
  int16_t thresholdY;
  int16_t thresholdZ;
  float factor;
};

inline constexpr int32_t kStrengthRows = 10;

// Row `index` (0 to 9) of table variant 1, or of variant 0 for any other variant.
const StrengthRow& strengthRow(int32_t variant, int32_t index);

}  // namespace GestalPrivate
