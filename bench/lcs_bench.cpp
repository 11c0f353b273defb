#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/GestalCore.h"
#include "core/Kernels.h"
#include "reference/LcsTable.h"
#include "synth/MotionSynth.h"

using GestalPrivate::GestalCore;
using GestalPrivate::MotionSample;

namespace {

std::string randomSymbols(uint32_t length, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::string s(length, 'a');
  for (char& c : s) c = static_cast<char>('a' + random() % 6);
  return s;
}

// A performance cut to its first `seconds`.
MotionSample recording(GestalSynth::Shape shape, uint64_t userSeed, uint64_t repetition,
                       float seconds) {
  MotionSample sample = GestalSynth::perform(GestalSynth::makeUser(userSeed), shape, repetition);
  while (!sample.empty() && sample.back()[GestalPrivate::kTime] > seconds * 1000.0f)
    sample.pop_back();
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

// A heart template of one user against another user's live heart, as gesture recognition
// prepares them.
void GestureSimilarity(benchmark::State& state) {
  const GestalCore core;
  const auto model = core.prepareSequence(recording(GestalSynth::Shape::Heart, 3, 0, 10.0f), true);
  const auto input = core.prepareSequence(recording(GestalSynth::Shape::Heart, 4, 1, 10.0f), false);
  state.counters["templateValues"] = model.length();
  state.counters["inputValues"] = input.length();
  for (auto _ : state) {
    benchmark::DoNotOptimize(GestalPrivate::gestureSimilarity(
        model.data(), model.length(), input.data(), input.length(), 150, 2, 1));
  }
}
BENCHMARK(GestureSimilarity);

void CompareSignatures(benchmark::State& state) {
  const GestalCore core(1.0f);
  const MotionSample a = recording(GestalSynth::Shape::Signature, 5, 0, 3.0f);
  const MotionSample b = recording(GestalSynth::Shape::Signature, 5, 1, 3.0f);
  for (auto _ : state) benchmark::DoNotOptimize(core.compareSignatures(a, b, 2, 0));
}
BENCHMARK(CompareSignatures);

// Prints, after the usual table, how many times faster the bit-parallel kernel is than the table.
class SpeedupReporter : public benchmark::ConsoleReporter {
 public:
  SpeedupReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

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
