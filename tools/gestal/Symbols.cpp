#include "tools/gestal/Symbols.h"

#include <algorithm>

#include "core/GestalCore.h"
#include "core/Kernels.h"

namespace GestalTool {

using namespace GestalPrivate;

namespace {

// The activity count always reads row 5 of the table variant.
constexpr int32_t kActivityRow = 5;

Thresholds fromRow(const StrengthRow& row) {
  return {row.thresholdX, row.thresholdY, row.thresholdZ};
}

int32_t variantOf(uint32_t signType) {
  return signType == 1 ? 1 : 0;
}

}  // namespace

Thresholds activityThresholds(uint32_t signType) {
  return fromRow(strengthRow(variantOf(signType), kActivityRow));
}

Thresholds comparisonThresholds(uint32_t securityLevel, uint32_t signType) {
  const int32_t row = GestalCore().toleranceIndex(securityLevel, signType);
  return fromRow(strengthRow(variantOf(signType), row < 0 ? 0 : row));
}

std::vector<TimedSymbol> timedSymbols(const MotionSample& sample, Thresholds thresholds) {
  const PreparedSequence prepared = GestalCore().prepareSequence(sample, true);
  std::vector<TimedSymbol> symbols;
  char written[4];
  for (uint32_t at = 0; at + 4 <= prepared.length(); at += 4) {
    uint32_t count = 0;
    symbolizeAxes(prepared.data() + at, 4, written, &count, thresholds.x, thresholds.y,
                  thresholds.z);
    for (uint32_t k = 0; k < count; ++k) {
      symbols.push_back({static_cast<float>(prepared.values[at]), written[k]});
    }
  }
  return symbols;
}

std::string symbolString(const std::vector<TimedSymbol>& symbols) {
  std::string text;
  for (const TimedSymbol& symbol : symbols) text += symbol.symbol;
  return text;
}

std::array<std::string, 3> axisStrings(const std::vector<TimedSymbol>& symbols) {
  std::array<std::string, 3> axes;
  for (const TimedSymbol& symbol : symbols) axes[(symbol.symbol - 'a') / 2] += symbol.symbol;
  return axes;
}

Alignment align(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  // lengths[i][j]: longest common subsequence of a[i..] and b[j..].
  std::vector<uint32_t> lengths((n + 1) * (m + 1), 0);
  const auto at = [&](std::size_t i, std::size_t j) -> uint32_t& {
    return lengths[i * (m + 1) + j];
  };
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      at(i, j) = a[i] == b[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  Alignment out;
  out.common = at(0, 0);
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[i] == b[j]) {
      out.first += a[i++];
      out.marks += '|';
      out.second += b[j++];
    } else if (j == m || (i < n && at(i + 1, j) >= at(i, j + 1))) {
      out.first += a[i++];
      out.marks += ' ';
      out.second += '-';
    } else {
      out.first += '-';
      out.marks += ' ';
      out.second += b[j++];
    }
  }
  return out;
}

}  // namespace GestalTool
