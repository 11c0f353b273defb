#pragma once

#include <cstdint>
#include <string>

namespace GestalReference {

// Symbol strings written out step by step, without the limit, as the oracle of the kernels.
inline void appendAxisSymbol(std::string& out, int32_t value, int32_t threshold, char above) {
  if (value > threshold) {
    out += above;
  } else if (value < -threshold) {
    out += static_cast<char>(above + 1);
  }
}

inline std::string symbolsOf(const int16_t* sequence, uint32_t length, int32_t x, int32_t y,
                             int32_t z) {
  std::string out;
  for (uint32_t position = 1; position < length; position += 4) {
    appendAxisSymbol(out, sequence[position], x, 'a');
    if (position + 1 < length) appendAxisSymbol(out, sequence[position + 1], y, 'c');
    if (position + 2 < length) appendAxisSymbol(out, sequence[position + 2], z, 'e');
  }
  return out;
}

inline std::string filterRuns(const std::string& symbols, int32_t minRun, int32_t runStep) {
  std::string kept;
  char previous = 'X';
  int32_t run = 1;
  for (char s : symbols) {
    run = s == previous ? run + 1 : 1;
    if (run >= minRun) kept += s;
    previous = s;
  }
  std::string thinned;
  previous = 'X';
  run = 1;
  for (char s : kept) {
    run = s == previous ? run + 1 : 1;
    if (run >= runStep) {
      thinned += s;
      run = 0;
    }
    previous = s;
  }
  return thinned;
}

}  // namespace GestalReference
