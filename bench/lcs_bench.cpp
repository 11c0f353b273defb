#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "core/Kernels.h"
#include "reference/LcsTable.h"

using GestalPrivate::GestalCore;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

namespace {

std::string randomSymbols(uint32_t length, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::string s(length, 'a');
  for (char& c : s) c = static_cast<char>('a' + random() % 6);
  return s;
}

// A hand-like recording at 90 Hz: each primary axis a sum of three slow sinusoids of a few m/s^2.
MotionSample smoothRecording(float seconds, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  float frequency[3][3], phase[3][3], amplitude[3][3];
  for (int axis = 0; axis < 3; ++axis) {
    for (int k = 0; k < 3; ++k) {
      frequency[axis][k] = 0.3f + 2.5f * unit(random);
      phase[axis][k] = 6.2831853f * unit(random);
      amplitude[axis][k] = 1.0f + 3.0f * unit(random);
    }
  }
  MotionSample sample;
  for (int i = 0; i < static_cast<int>(seconds * 90.0f); ++i) {
    const float t = static_cast<float>(i) / 90.0f;
    MotionEntry e{t * 1000.0f, 0, 0, 0, 0, 0, 0, 1.0f, 0.0f, 0.0f};
    for (int axis = 0; axis < 3; ++axis) {
      for (int k = 0; k < 3; ++k)
        e[1 + axis] +=
            amplitude[axis][k] * std::sin(6.2831853f * frequency[axis][k] * t + phase[axis][k]);
    }
    sample.push_back(e);
  }
  return sample;
}

void LcsBitParallel(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  const std::string a = randomSymbols(n, 1);
  const std::string b = randomSymbols(n, 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(GestalPrivate::commonSubsequenceLength(a.data(), n, b.data(), n));
  }
}
BENCHMARK(LcsBitParallel)->Arg(100)->Arg(300)->Arg(1000);

void LcsTable(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  const std::string a = randomSymbols(n, 1);
  const std::string b = randomSymbols(n, 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(GestalReference::lcsTable(a.data(), n, b.data(), n));
  }
}
BENCHMARK(LcsTable)->Arg(100)->Arg(300)->Arg(1000);

// A predefined gesture template of 1.5 s against a live gesture of 2 s, both undecimated.
void GestureSimilarity(benchmark::State& state) {
  const GestalCore core;
  const auto model = core.prepareSequence(smoothRecording(1.5f, 3), false);
  const auto input = core.prepareSequence(smoothRecording(2.0f, 4), false);
  for (auto _ : state) {
    benchmark::DoNotOptimize(GestalPrivate::gestureSimilarity(
        model.data(), model.length(), input.data(), input.length(), 150, 2, 1));
  }
}
BENCHMARK(GestureSimilarity);

void CompareSignatures(benchmark::State& state) {
  const GestalCore core(1.0f);
  const MotionSample a = smoothRecording(3.0f, 5);
  const MotionSample b = smoothRecording(3.0f, 6);
  for (auto _ : state) benchmark::DoNotOptimize(core.compareSignatures(a, b, 2, 0));
}
BENCHMARK(CompareSignatures);

// Prints, after the usual table, how many times faster the bit-parallel kernel is than the table.
class SpeedupReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* length : {"100", "300", "1000"}) {
      const auto fast = nanoseconds.find(std::string("LcsBitParallel/") + length);
      const auto table = nanoseconds.find(std::string("LcsTable/") + length);
      if (fast == nanoseconds.end() || table == nanoseconds.end()) continue;
      std::printf("LCS speed-up over the table at %s symbols: %.1fx\n", length,
                  table->second / fast->second);
    }
  }

 private:
  std::map<std::string, double> nanoseconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SpeedupReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
