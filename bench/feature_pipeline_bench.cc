// Filterbank throughput: one second of 16 kHz audio (98 frames of 80 values) per iteration, fed
// in 10 ms blocks as a session would, and in one block as orvane-fbank does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "orvane/feature_pipeline.h"

namespace {

std::vector<float> OneSecond() {
  std::vector<float> x(16000);
  uint32_t state = 1;
  for (size_t i = 0; i < x.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    x[i] = 0.3f * std::sin(0.17f * static_cast<float>(i)) +
           0.05f * (static_cast<float>(state >> 8) / 16777216.0f - 0.5f);
  }
  return x;
}

void BM_FbankOneSecond(benchmark::State& state) {
  const std::vector<float> x = OneSecond();
  const size_t block = static_cast<size_t>(state.range(0));
  orvane::FeaturePipeline fbank;
  size_t frames = 0;
  for (auto _ : state) {
    fbank.Reset();
    for (size_t i = 0; i < x.size(); i += block) fbank.AcceptWaveform(x.data() + i, std::min(block, x.size() - i));
    frames += fbank.num_frames_ready();
    benchmark::DoNotOptimize(fbank.PopFrames(fbank.num_frames_ready()));
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FbankOneSecond)->Arg(160)->Arg(16000);

}  // namespace

BENCHMARK_MAIN();
