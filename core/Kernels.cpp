#include "core/Kernels.h"

#include <algorithm>
#include <vector>

namespace GestalPrivate {

namespace {

constexpr StrengthRow kStrengthTable[2][kStrengthRows] = {
    {{260, 20, 290, 0.77f},
     {270, 20, 280, 0.74f},
     {260, 10, 220, 0.73f},
     {250, 20, 280, 0.71f},
     {230, 20, 270, 0.70f},
     {260, 30, 320, 0.68f},
     {270, 20, 270, 0.67f},
     {300, 30, 260, 0.65f},
     {280, 40, 220, 0.62f},
     {210, 30, 230, 0.60f}},
    {{60, 250, 160, 0.76f},
     {60, 220, 150, 0.72f},
     {60, 190, 150, 0.69f},
     {40, 180, 200, 0.67f},
     {40, 170, 150, 0.66f},
     {40, 190, 190, 0.64f},
     {30, 180, 190, 0.62f},
     {30, 210, 240, 0.58f},
     {60, 230, 220, 0.50f},
     {70, 240, 210, 0.37f}},
};

// Thresholds widened so that negating -32768 stays exact.
struct AxisThresholds {
  int32_t x;
  int32_t y;
  int32_t z;
};

// Writes the symbol of one component without branching on its value: the byte is always stored
// and only counted when the component is beyond the threshold. The store lands at most at the
// position of the component's own slot in the worst case of three symbols per entry, so it
// stays within symbolCapacity.
inline uint32_t emitSymbol(int32_t value, int32_t threshold, char above, char* out,
                           uint32_t count) {
  const bool high = value > threshold;
  const bool low = value < -threshold;
  out[count] = high ? above : static_cast<char>(above + 1);
  return count + static_cast<uint32_t>(high | low);
}

inline uint32_t countSymbol(int32_t value, int32_t threshold) {
  return static_cast<uint32_t>((value > threshold) | (value < -threshold));
}

// Symbolises into `out` (or only counts when `out` is null) and returns the symbol count, or -1
// once the count reaches the limit after an entry.
int64_t symbolize(const int16_t* sequence, uint32_t length, char* out, AxisThresholds t) {
  uint32_t count = 0;
  uint32_t position = 1;
  // Whole entries: the x, y and z components at position, position + 1 and position + 2.
  for (; position + 2 < length; position += 4) {
    if (out != nullptr) {
      count = emitSymbol(sequence[position], t.x, 'a', out, count);
      count = emitSymbol(sequence[position + 1], t.y, 'c', out, count);
      count = emitSymbol(sequence[position + 2], t.z, 'e', out, count);
    } else {
      count += countSymbol(sequence[position], t.x) + countSymbol(sequence[position + 1], t.y) +
               countSymbol(sequence[position + 2], t.z);
    }
    if (count >= kSymbolLimit) return -1;
  }
  // A sequence cut inside its last entry: only the components that exist are read.
  if (position < length) {
    const int32_t thresholds[2] = {t.x, t.y};
    for (uint32_t axis = 0; axis < 2 && position + axis < length; ++axis) {
      const char above = static_cast<char>('a' + 2 * axis);
      count = out != nullptr
                  ? emitSymbol(sequence[position + axis], thresholds[axis], above, out, count)
                  : count + countSymbol(sequence[position + axis], thresholds[axis]);
    }
    if (count >= kSymbolLimit) return -1;
  }
  return count;
}

// Keeps the symbols whose run of equal symbols has reached `minRun` so far, in place.
uint32_t keepLongRuns(char* symbols, uint32_t count, int32_t minRun) {
  char previous = 'X';
  int32_t run = 1;
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char s = symbols[i];
    run = s == previous ? run + 1 : 1;
    symbols[kept] = s;
    kept += static_cast<uint32_t>(run >= minRun);
    previous = s;
  }
  return kept;
}

// Keeps one symbol per `runStep` equal symbols of a run, in place.
uint32_t thinRuns(char* symbols, uint32_t count, int32_t runStep) {
  char previous = 'X';
  int32_t run = 1;
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char s = symbols[i];
    run = s == previous ? run + 1 : 1;
    if (run >= runStep) {
      symbols[kept++] = s;
      run = 0;
    }
    previous = s;
  }
  return kept;
}

// Per-thread symbol buffers of the similarity kernels. They grow to the largest input seen, which
// symbolCapacity bounds to about 100 kB each.
struct SymbolScratch {
  std::vector<char> first;
  std::vector<char> second;
};

SymbolScratch& symbolScratch(uint32_t lengthA, uint32_t lengthB) {
  thread_local SymbolScratch scratch;
  if (scratch.first.size() < symbolCapacity(lengthA)) scratch.first.resize(symbolCapacity(lengthA));
  if (scratch.second.size() < symbolCapacity(lengthB))
    scratch.second.resize(symbolCapacity(lengthB));
  return scratch;
}

// The score of two symbol strings given by their counts, -1 standing for a symbolisation that
// reached the limit. The factor multiplies the longer count (1 leaves it as it is).
float scoreSymbols(const char* a, int64_t countA, const char* b, int64_t countB, float factor) {
  if (countA < 0) return -3.0f;
  if (countB < 0) return -4.0f;
  if (countA == 0) return -1.0f;
  if (countB == 0) return -2.0f;
  const int32_t common =
      commonSubsequenceLength(a, static_cast<uint32_t>(countA), b, static_cast<uint32_t>(countB));
  const float longer = static_cast<float>(std::max(countA, countB)) * factor;
  return static_cast<float>(common) / longer;
}

}  // namespace

const StrengthRow& strengthRow(int32_t variant, int32_t index) {
  return kStrengthTable[variant == 1 ? 1 : 0][index];
}

int32_t symbolizeAxes(const int16_t* sequence, uint32_t length, char* out, uint32_t* outCount,
                      int16_t thresholdX, int16_t thresholdY, int16_t thresholdZ) {
  const int64_t count = symbolize(sequence, length, out, {thresholdX, thresholdY, thresholdZ});
  if (count < 0) {
    *outCount = 0;
    return -1;
  }
  *outCount = static_cast<uint32_t>(count);
  return 1;
}

int32_t countActiveValues(const int16_t* sequence, uint32_t length, int16_t thresholdX,
                          int16_t thresholdY, int16_t thresholdZ) {
  return static_cast<int32_t>(
      symbolize(sequence, length, nullptr, {thresholdX, thresholdY, thresholdZ}));
}

int32_t symbolizeWithRuns(const int16_t* sequence, uint32_t length, char* out, uint32_t* outCount,
                          int16_t threshold, int32_t minRun, int32_t runStep) {
  const int64_t count = symbolize(sequence, length, out, {threshold, threshold, threshold});
  if (count < 0) {
    *outCount = 0;
    return -1;
  }
  // Both filters only drop symbols, so they work in place in `out`.
  const uint32_t kept = keepLongRuns(out, static_cast<uint32_t>(count), minRun);
  *outCount = thinRuns(out, kept, runStep);
  return 1;
}

namespace {

// Runs one symbolisation (a kernel writing into a buffer of symbolCapacity bytes) into a Symbols.
template <typename Kernel>
Symbols symbolsOf(uint32_t length, Kernel&& kernel) {
  Symbols symbols;
  symbols.text.resize(symbolCapacity(length));
  uint32_t count = 0;
  symbols.limitReached = kernel(symbols.text.data(), &count) < 0;
  symbols.text.resize(count);
  return symbols;
}

}  // namespace

Symbols axisSymbols(const int16_t* sequence, uint32_t length, int16_t thresholdX,
                    int16_t thresholdY, int16_t thresholdZ) {
  return symbolsOf(length, [&](char* out, uint32_t* count) {
    return symbolizeAxes(sequence, length, out, count, thresholdX, thresholdY, thresholdZ);
  });
}

Symbols runSymbols(const int16_t* sequence, uint32_t length, int16_t threshold, int32_t minRun,
                   int32_t runStep) {
  return symbolsOf(length, [&](char* out, uint32_t* count) {
    return symbolizeWithRuns(sequence, length, out, count, threshold, minRun, runStep);
  });
}

float symbolSimilarity(const Symbols& a, const Symbols& b, float factor) {
  return scoreSymbols(a.text.data(), a.limitReached ? -1 : static_cast<int64_t>(a.text.size()),
                      b.text.data(), b.limitReached ? -1 : static_cast<int64_t>(b.text.size()),
                      factor);
}

float signatureSimilarity(const int16_t* a, const int16_t* b, uint32_t lengthA, uint32_t lengthB,
                          int32_t toleranceIndex, int32_t variant) {
  if (toleranceIndex < 0 || toleranceIndex >= kStrengthRows) return -5.0f;
  const StrengthRow& row = strengthRow(variant, toleranceIndex);
  SymbolScratch& scratch = symbolScratch(lengthA, lengthB);
  uint32_t countA = 0;
  uint32_t countB = 0;
  const int32_t first = symbolizeAxes(a, lengthA, scratch.first.data(), &countA, row.thresholdX,
                                      row.thresholdY, row.thresholdZ);
  const int32_t second = symbolizeAxes(b, lengthB, scratch.second.data(), &countB, row.thresholdX,
                                       row.thresholdY, row.thresholdZ);
  return scoreSymbols(scratch.first.data(), first < 0 ? int64_t{-1} : int64_t{countA},
                      scratch.second.data(), second < 0 ? int64_t{-1} : int64_t{countB},
                      row.factor);
}

float gestureSimilarity(const int16_t* a, uint32_t lengthA, const int16_t* b, uint32_t lengthB,
                        int16_t threshold, int32_t minRun, int32_t runStep) {
  SymbolScratch& scratch = symbolScratch(lengthA, lengthB);
  uint32_t countA = 0;
  uint32_t countB = 0;
  const int32_t first =
      symbolizeWithRuns(a, lengthA, scratch.first.data(), &countA, threshold, minRun, runStep);
  const int32_t second =
      symbolizeWithRuns(b, lengthB, scratch.second.data(), &countB, threshold, minRun, runStep);
  return scoreSymbols(scratch.first.data(), first < 0 ? int64_t{-1} : int64_t{countA},
                      scratch.second.data(), second < 0 ? int64_t{-1} : int64_t{countB}, 1.0f);
}

}  // namespace GestalPrivate
